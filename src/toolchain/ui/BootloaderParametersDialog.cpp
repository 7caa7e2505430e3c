#include "BootloaderParametersDialog.h"

TBootloader_Parameters *Bootloader_Parameters = nullptr;

TBootloader_Parameters::TBootloader_Parameters(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Bootloader_Parameters"));
  setWindowTitle(QStringLiteral("Bootloader Directory Path"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
}
