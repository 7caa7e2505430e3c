// The go-to-line dialog "Go to line number": a small fixed window that asks
// for a line number between a minimum and a maximum and refuses any other.
#pragma once

#include <QDialog>

#include <cstdint>

class QLabel;
class QLineEdit;
class QPushButton;

class TGotoLineDialog : public QDialog {
  Q_OBJECT

public:
  explicit TGotoLineDialog(QWidget *parent = nullptr);

  // Shows the dialog modally with Current in the box; true when OK closed it
  // with a number in range, which is then Current.
  bool Execute();

  int32_t Current = 1;
  int32_t Minimum = 1;
  int32_t Maximum = 1;

  QLabel *LineNumberLabel = nullptr;
  QLineEdit *LineNumberBox = nullptr;
  QPushButton *OKButton = nullptr;
  QPushButton *CancelButton = nullptr;

  void accept() override;

protected:
  void showEvent(QShowEvent *e) override;
};

extern TGotoLineDialog *GotoLineDialog;
