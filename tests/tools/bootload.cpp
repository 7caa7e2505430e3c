// Stand-in for a bootloader: records how it was started and the size of the
// HEX file it was given (its first argument), as a loader reads it.
#include "StandIn.h"

int main(int argc, char **argv) {
  using namespace standin;
  TRun run("bootload", argc, argv);
  if (!run.Args().empty())
    run.Add("HEXSIZE", std::to_string(ReadFile(run.Args()[0]).size()));
  run.Record();
  return run.Finish();
}
