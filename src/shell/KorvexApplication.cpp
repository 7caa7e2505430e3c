#include "KorvexApplication.h"

#include "CommandGuard.h"

TKorvexApplication::TKorvexApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool TKorvexApplication::notify(QObject *receiver, QEvent *event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ShowCurrentException();
    return false;
  }
}
