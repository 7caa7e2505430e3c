// The about box, shown modally from the Help menu.
#pragma once

#include <QDialog>

class TAboutForm : public QDialog {
public:
  explicit TAboutForm(QWidget *parent = nullptr);
};

extern TAboutForm *AboutForm;
