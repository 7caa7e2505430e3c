// The program a user runs, on a real X display with a window manager, driven
// by real key presses (xdotool): F9 compiles through the stand-in compiler,
// a failed compile brings up the report window and F1 twice puts it away,
// and closing the window while a compile waits ends the program and leaves
// the compiler running.
#include "Prompter.h"
#include "TempFolder.h"
#include "ToolLog.h"
#include "XServer.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>

#include <filesystem>
#include <signal.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

using kxtest::TXServer;

// Waits for a condition; the limit only ends a run that never gets there (a
// compile on a loaded machine may take long).
template <class F> bool WaitFor(F done) {
  return TXServer::WaitFor(done, 120000);
}

TEST(DesktopCompile, F9TheReportAndClosingDuringACompile) {
  TXServer display;
  if (display.Missing())
    GTEST_SKIP() << display.Missing() << " is not installed";
  ASSERT_TRUE(display.Ready()) << "no display";
  TTempFolder t;
  const std::string dir = t.Dir();
  fs::create_directories(dir + "KX_INC");
  t.Put("KX_INC/KORVEX.INI", "");
  fs::copy_file(KX_BINARY_DIR "/korvex-editor", dir + "korvex-editor");
  fs::copy_file(KX_TOOLS_DIR "/korvex", dir + "korvex");
  const std::string doc = t.Put("work/blink.bas", "' blink\r\nhigh portb.0\r\n");
  const std::string log = dir + "prompter.log", tools = dir + "tools.log", hold = dir + "hold";

  QProcess editor;
  QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
  e.insert(QStringLiteral("DISPLAY"), display.Display());
  e.remove(QStringLiteral("QT_QPA_PLATFORM"));
  e.insert(QStringLiteral("KX_INSTANCE_NAME"), QStringLiteral("kx-desktop-%1").arg(::getpid()));
  e.insert(QStringLiteral("KX_PROMPTER_LOG"), QString::fromStdString(log));
  e.insert(QStringLiteral("KX_TOOL_LOG"), QString::fromStdString(tools));
  e.insert(QStringLiteral("KX_TOOL_HOLD"), QString::fromStdString(hold));
  e.insert(QStringLiteral("KX_COMPILER_STATUS"), QStringLiteral("ERROR"));
  e.insert(QStringLiteral("KX_COMPILER_REPORT"), QStringLiteral("blink.bas(2): bad port\r\n"));
  editor.setProcessEnvironment(e);
  editor.setWorkingDirectory(QString::fromStdString(dir));
  editor.start(QString::fromStdString(dir + "korvex-editor"), {QString::fromStdString(doc)});
  ASSERT_TRUE(editor.waitForStarted(-1));
  ASSERT_TRUE(WaitFor([&] {
    for (const TPromptRecord &r : TRecordingPrompter::ReadLog(log))
      if (r.Kind == "EVENT" && r.Text.rfind("shown", 0) == 0)
        return true;
    return false;
  }));
  // The window is shown before the window system has mapped it under its
  // caption: wait for it there.
  QString main;
  WaitFor([&] {
    main = display.Named(QStringLiteral("blink.bas")).section(QLatin1Char('\n'), 0, 0);
    return !main.isEmpty();
  });
  ASSERT_FALSE(main.isEmpty());

  // F9: the compiler runs on the document; its "ERROR" brings up the report.
  display.Keys(main, {QStringLiteral("F9")});
  ASSERT_TRUE(WaitFor([&] { return ReadToolLog(tools).size() == 1; }));
  const TToolRun run = ReadToolLog(tools)[0];
  EXPECT_EQ(run.Args, (std::vector<std::string>{doc, "-m", "-q"}));
  EXPECT_EQ(run.Cwd, dir.substr(0, dir.size() - 1));
  ASSERT_TRUE(WaitFor([&] { return display.Visible(QStringLiteral("^Compiler Report")); }));

  // F1 twice: the first only checks the View item, the second hides it.
  display.Keys(main, {QStringLiteral("F1")});
  display.Keys(main, {QStringLiteral("F1")});
  EXPECT_TRUE(WaitFor([&] { return !display.Visible(QStringLiteral("^Compiler Report")); }));

  // A compile that holds; closing the window ends the program, not the tool.
  t.Put("hold", "");
  display.Keys(main, {QStringLiteral("F9")});
  ASSERT_TRUE(WaitFor([&] { return ReadToolLog(tools).size() == 2; }));
  display.Keys(main, {QStringLiteral("alt+F4")});
  EXPECT_TRUE(editor.waitForFinished(120000)) << "the program kept waiting";
  const long compiler = ReadToolLog(tools)[1].Pid;
  EXPECT_FALSE(ToolEnded(compiler)) << "the compiler was stopped with the program";
  fs::remove(hold);
  EXPECT_TRUE(WaitFor([&] { return ToolEnded(compiler); }));
  if (editor.state() != QProcess::NotRunning) {
    editor.kill();
    editor.waitForFinished(-1);
  }
  for (const TPromptRecord &r : TRecordingPrompter::ReadLog(log))
    EXPECT_NE(r.Kind, "MESSAGE") << r.Text;
}

} // namespace
