#include "FindDialog.h"

TEdFindDlg *EdFindDlg = nullptr;

TEdFindDlg::TEdFindDlg(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("EdFindDlg"));
  setWindowTitle(QStringLiteral("Find text..."));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowStaysOnTopHint);
}
