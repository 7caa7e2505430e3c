#include "DataListForm.h"

TDATAList *DATAList = nullptr;

TDATAList::TDATAList(QWidget *parent) : QWidget(parent) {
  setObjectName(QStringLiteral("DATAList"));
  setWindowTitle(QStringLiteral("Eeprom Data"));
  setWindowFlag(Qt::WindowStaysOnTopHint);
}
