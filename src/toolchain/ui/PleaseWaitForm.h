// The "Please Wait" box shown while the compiler runs: borderless, not modal,
// centred on the desktop.
#pragma once

#include <QWidget>

class TDummy_Virtual_Form : public QWidget {
public:
  explicit TDummy_Virtual_Form(QWidget *parent = nullptr);
  // Shows the box in the middle of the desktop and paints it at once.
  void ShowCentred();
};

extern TDummy_Virtual_Form *Dummy_Virtual_Form;
