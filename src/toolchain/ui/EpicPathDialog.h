// The dialog that locates the EPIC programmer software.
#pragma once

#include <QDialog>

class TEPICPath : public QDialog {
public:
  explicit TEPICPath(QWidget *parent = nullptr);
};

extern TEPICPath *EPICPath;
