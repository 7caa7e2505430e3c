// The dialog that sets up the user-defined programmer.
#pragma once

#include <QDialog>

class TProgPath : public QDialog {
public:
  explicit TProgPath(QWidget *parent = nullptr);
};

extern TProgPath *ProgPath;
