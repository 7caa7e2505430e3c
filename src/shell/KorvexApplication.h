// The application object: the program's last line of defence against an
// exception escaping an event handler that no command guard covers.
#pragma once

#include <QApplication>

class TKorvexApplication : public QApplication {
public:
  TKorvexApplication(int &argc, char **argv);
  // Delivers the event; an escaping exception is shown like a failed
  // command's and the event counts as not handled.
  bool notify(QObject *receiver, QEvent *event) override;
};
