// Stand-in for winepath: "-w PATH" prints wine's default Windows form of
// PATH (drive Z: for the root folder, backslashes), then records the call.
// It never holds: the launcher converts paths before it starts the program.
#include "StandIn.h"

#include <iostream>

int main(int argc, char **argv) {
  standin::TRun run("winepath", argc, argv);
  const auto &args = run.Args();
  if (args.size() != 2 || args[0] != "-w")
    return 2;
  std::string w = "Z:" + args[1];
  for (char &c : w)
    if (c == '/')
      c = '\\';
  std::cout << w << "\n";
  run.Record();
  return 0;
}
