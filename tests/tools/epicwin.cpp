// Stand-in for a device programmer: records how it was started.
#include "StandIn.h"

int main(int argc, char **argv) {
  standin::TRun run("epicwin", argc, argv);
  run.Record();
  return run.Finish();
}
