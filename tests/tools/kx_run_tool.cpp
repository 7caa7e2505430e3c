// Stand-in for a program of the Run menu: records how it was started and, as
// a tool that hands text back to the editor does, writes the text of
// KX_RUN_TOOL_RESULT (when set) into "RES_FILE.TXT" beside itself.
#include "StandIn.h"

#include <climits>

int main(int argc, char **argv) {
  using namespace standin;
  TRun run("kx_run_tool", argc, argv);
  run.Record();
  if (const char *text = std::getenv("KX_RUN_TOOL_RESULT")) {
    char self[PATH_MAX + 1];
    const ssize_t n = ::readlink("/proc/self/exe", self, PATH_MAX);
    if (n > 0) {
      const std::string path(self, static_cast<size_t>(n));
      WriteFile(path.substr(0, path.find_last_of('/') + 1) + "RES_FILE.TXT", text);
    }
  }
  return run.Finish();
}
