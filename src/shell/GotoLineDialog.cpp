#include "GotoLineDialog.h"

TGotoLineDialog *GotoLineDialog = nullptr;

TGotoLineDialog::TGotoLineDialog(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("GotoLineDialog"));
  setWindowTitle(QStringLiteral("Go to line number"));
}
