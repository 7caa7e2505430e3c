// The ASCII table tool window.
#pragma once

#include <QWidget>

class TASCII : public QWidget {
public:
  explicit TASCII(QWidget *parent = nullptr);
};

extern TASCII *ASCII;
