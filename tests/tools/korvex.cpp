// Stand-in for the compiler: records its start and the source text it read,
// then writes the three result files beside the source as the compiler does.
//   KX_COMPILER_STATUS   status line of the ".PBE" (default "16F84,112,9,")
//   KX_COMPILER_REPORT   report text after it (default two lines)
//   KX_COMPILER_ASM      file whose bytes become the ".ASM" (default a small listing)
//   KX_COMPILER_HEX      file whose bytes become the ".HEX" (default one record)
//   KX_COMPILER_UPPER    set: result names in upper case ("BLINK.PBE"), as under wine
//   KX_COMPILER_NONE     set: write no result file
// The result files are written before the hold, so a test sees them while
// the compiler still "runs".
#include "StandIn.h"

int main(int argc, char **argv) {
  using namespace standin;
  TRun run("korvex", argc, argv);
  const std::string source = run.Args().empty() ? std::string() : run.Args()[0];
  run.Add("TEXT", ReadFile(source));
  if (Env("KX_COMPILER_NONE").empty() && !source.empty()) {
    std::string stem = WithExtension(source, "");
    if (!Env("KX_COMPILER_UPPER").empty()) {
      const size_t slash = stem.find_last_of('/');
      stem = stem.substr(0, slash + 1) + Upper(stem.substr(slash + 1));
    }
    const std::string status = Env("KX_COMPILER_STATUS", "16F84,112,9,");
    const std::string report = Env("KX_COMPILER_REPORT", "KORVEX stand-in compiler\r\nCompiled " +
                                                             BaseName(source) + "\r\n");
    WriteFile(stem + ".PBE", status + "\r\n" + report);
    const std::string asmFile = Env("KX_COMPILER_ASM");
    WriteFile(stem + ".ASM",
              asmFile.empty()
                  ? std::string("\tprocessor 16f84a\r\n\torg 0\r\nloop\tgoto loop\r\n\tend\r\n")
                  : ReadFile(asmFile));
    const std::string hexFile = Env("KX_COMPILER_HEX");
    WriteFile(stem + ".HEX", hexFile.empty() ? std::string(":020000000028D6\r\n:00000001FF\r\n")
                                             : ReadFile(hexFile));
  }
  run.Record();
  return run.Finish();
}
