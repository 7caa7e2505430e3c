// The program without a window, for make files and CI:
//   korvex-editor --compile FILE.bas    the compile F9 runs, its report and
//                                       its "DEVICE", "CODE", "RAM" line
//   korvex-editor --program FILE.bas    the configured programmer on FILE.HEX
//   korvex-editor --download FILE.bas   the configured loader on FILE.HEX
// Exit status: 0 success, 1 the compiler reported errors (or the tool
// failed), 2 the tool could not run.
#pragma once

#include <string>

// True when the arguments ask for one of the runs above.
bool IsCommandLineRun(int argc, char **argv);
// Runs it and returns the exit status; needs no display.
int RunCommandLine(int argc, char **argv);
