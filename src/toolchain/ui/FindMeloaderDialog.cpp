#include "FindMeloaderDialog.h"

TFind_MELOADER *Find_MELOADER = nullptr;

TFind_MELOADER::TFind_MELOADER(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Find_MELOADER"));
  setWindowTitle(QStringLiteral("Find MELOADER Directory Path"));
}
