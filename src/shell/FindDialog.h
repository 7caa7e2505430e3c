// The find dialog: non-modal, always on top, no title-bar buttons.
#pragma once

#include <QDialog>

class TEdFindDlg : public QDialog {
public:
  explicit TEdFindDlg(QWidget *parent = nullptr);
};

extern TEdFindDlg *EdFindDlg;
