#include "EpicPathDialog.h"

TEPICPath *EPICPath = nullptr;

TEPICPath::TEPICPath(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("EPICPath"));
  setWindowTitle(QStringLiteral("Find EPIC Directory Path"));
}
