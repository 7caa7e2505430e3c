// The replace dialog: non-modal, always on top, no title-bar buttons.
#pragma once

#include <QDialog>

class TEdReplDlg : public QDialog {
public:
  explicit TEdReplDlg(QWidget *parent = nullptr);
};

extern TEdReplDlg *EdReplDlg;
