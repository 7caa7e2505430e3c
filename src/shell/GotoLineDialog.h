// The go-to-line dialog: a small fixed window.
#pragma once

#include <QDialog>

class TGotoLineDialog : public QDialog {
public:
  explicit TGotoLineDialog(QWidget *parent = nullptr);
};

extern TGotoLineDialog *GotoLineDialog;
