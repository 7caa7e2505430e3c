// kxscheme: command-line tool for language schemes (placeholder entry point).
#include "StoredCommands.h"

#include <cstdio>

int main(int argc, char **argv) {
  const int rc = RunStoredCommand(argc, argv);
  if (rc >= 0)
    return rc;
  std::fprintf(stderr, "usage: kxscheme COMMAND ...\n%s", StoredCommandsUsage());
  return 2;
}
