#include "AsmListForm.h"

TASMList *ASMList = nullptr;

TASMList::TASMList(QWidget *parent) : QWidget(parent) {
  setObjectName(QStringLiteral("ASMList"));
  setWindowTitle(QStringLiteral("ASSEMBLER Listing"));
  setWindowFlag(Qt::WindowStaysOnTopHint);
}
