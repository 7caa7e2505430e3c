// The one application object of a shell test process.
#pragma once

#include "KorvexApplication.h"

inline QApplication &ShellTestApp() {
  static int argc = 1;
  static char name[] = "test_shell";
  static char *argv[] = {name, nullptr};
  if (!QApplication::instance())
    new TKorvexApplication(argc, argv);
  return *qApp;
}
