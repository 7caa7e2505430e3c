#include "ReplaceDialog.h"

TEdReplDlg *EdReplDlg = nullptr;

TEdReplDlg::TEdReplDlg(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("EdReplDlg"));
  setWindowTitle(QStringLiteral("Find and replace text..."));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowStaysOnTopHint);
}
