// Stand-in for xdg-open: records the document it was asked to open.
#include "StandIn.h"

int main(int argc, char **argv) {
  standin::TRun run("xdg-open", argc, argv);
  run.Record();
  return run.Finish();
}
