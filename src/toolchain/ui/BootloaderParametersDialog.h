// The dialog that sets up the user-defined bootloader.
#pragma once

#include <QDialog>

class TBootloader_Parameters : public QDialog {
public:
  explicit TBootloader_Parameters(QWidget *parent = nullptr);
};

extern TBootloader_Parameters *Bootloader_Parameters;
