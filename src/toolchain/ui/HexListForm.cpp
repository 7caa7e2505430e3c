#include "HexListForm.h"

THEXList *HEXList = nullptr;

THEXList::THEXList(QWidget *parent) : QWidget(parent) {
  setObjectName(QStringLiteral("HEXList"));
  setWindowTitle(QStringLiteral("Program Data"));
  setWindowFlag(Qt::WindowStaysOnTopHint);
}
