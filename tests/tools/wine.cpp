// Stand-in for wine: records the Windows program and the arguments it was
// asked to run them with.
#include "StandIn.h"

int main(int argc, char **argv) {
  standin::TRun run("wine", argc, argv);
  run.Record();
  return run.Finish();
}
