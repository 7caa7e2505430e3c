// Stand-in for the Windows assembler: records its start and the listing it
// read (the first argument), then writes the ".HEX", ".LST" and ".ERR" files
// beside it. KX_ASSEMBLER_HEX names a file whose bytes become the ".HEX".
#include "StandIn.h"

int main(int argc, char **argv) {
  using namespace standin;
  TRun run("mpasmwin", argc, argv);
  const std::string source = run.Args().empty() ? std::string() : run.Args()[0];
  const std::string text = ReadFile(source);
  run.Add("TEXT", text);
  if (!source.empty() && Exists(source)) {
    const std::string hexFile = Env("KX_ASSEMBLER_HEX");
    WriteFile(WithExtension(source, ".HEX"), hexFile.empty()
                                                 ? std::string(":020000000128D5\r\n:00000001FF\r\n")
                                                 : ReadFile(hexFile));
    WriteFile(WithExtension(source, ".LST"), "stand-in listing of " + BaseName(source) + "\r\n");
    WriteFile(WithExtension(source, ".ERR"), "");
  }
  run.Record();
  return run.Finish();
}
