#include "ProgPathDialog.h"

TProgPath *ProgPath = nullptr;

TProgPath::TProgPath(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ProgPath"));
  setWindowTitle(QStringLiteral("Programmer Directory Path"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
}
