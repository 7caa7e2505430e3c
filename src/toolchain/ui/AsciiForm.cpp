#include "AsciiForm.h"

TASCII *ASCII = nullptr;

TASCII::TASCII(QWidget *parent) : QWidget(parent) {
  setObjectName(QStringLiteral("ASCII"));
  setWindowTitle(QStringLiteral("ASCII Table"));
  setWindowFlag(Qt::WindowStaysOnTopHint);
}
