// Starting the external programs: waited for (ExecuteAndWait) or not
// (RunProgram). Programs run as real processes with argument lists, never
// through a shell, and inherit this program's working folder.
//
// `file` is looked up as FindTool does (ignoring case, a native program of
// the same base name without extension, never the running program); a
// Windows program runs through `wine` from PATH with every path argument in
// its Windows form (`winepath -w`); a document (the help file) opens with
// the desktop's default program (`xdg-open`).
#pragma once

#include "CommandLines.h"
#include "KorvexError.h"

#include <QObject>

#include <string>

// The failure of RunProgram: "Problem Running " followed by the file exactly
// as passed (nothing after it for an empty path).
KX_DECLARE_ERROR(EProblemRunning, EKorvexError);

// Starts the program and waits until it ends. While it runs every event of
// this program is dispatched (windows repaint, menus and commands work), and
// the wait checks at least every 100 ms; it also ends when the application
// quits (the program then goes on running). There is no time limit. Returns
// true when the program was started.
//
// A program that cannot be started shows "Problem Running " + file and, on a
// second line, the reason (not found, not executable, wine is not
// installed), and gives false. While another waited-for program runs nothing
// is started and false comes back at once: see LauncherBusy.
bool ExecuteAndWait(const std::string &file, const TCommandArgs &args);
bool ExecuteAndWait(const std::string &file, const TArgumentBuilder &build);

// Starts the program and returns at once. Raises EProblemRunning when it
// cannot be started.
void RunProgram(const std::string &file, const TCommandArgs &args);
void RunProgram(const std::string &file, const TArgumentBuilder &build);

// The exit code of the program the last ExecuteAndWait waited for: -1 when it
// did not start, crashed, or was still running when the wait ended. The
// command-line runs pass it on.
int LastExitCode();

// True while ExecuteAndWait waits for a program. Commands that start a
// waited-for program (compile, re-assemble, the fixed loaders, Run entries)
// are disabled meanwhile, so two tools never write the same files.
bool LauncherBusy();

// Tells when LauncherBusy changes, so command states can follow.
class TLauncherSignals : public QObject {
  Q_OBJECT
signals:
  void BusyChanged(bool busy);
  // Just before "Problem Running" is shown: a window kept above every other
  // (the compile's wait box) makes way, or it would cover the message.
  void StartProblem();
};
TLauncherSignals &LauncherSignals();
