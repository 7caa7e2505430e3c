// The program a user runs, on a real X display with a window manager, driven
// by real key presses (xdotool): F9 compiles through the stand-in compiler,
// a failed compile brings up the report window and F1 twice puts it away,
// and closing the window while a compile waits ends the program and leaves
// the compiler running.
#include "Prompter.h"
#include "TempFolder.h"
#include "ToolLog.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <filesystem>
#include <fstream>
#include <signal.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Waits for a condition; the limit only ends a run that never gets there.
bool WaitFor(const std::function<bool()> &done, int ms = 120000) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) {
    if (done())
      return true;
    QThread::msleep(20);
  }
  return done();
}

bool Ended(long pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line))
    return true;
  const size_t paren = line.rfind(')');
  return paren != std::string::npos && paren + 2 < line.size() && line[paren + 2] == 'Z';
}

// A virtual display of its own (Xvfb picks a free number) with openbox.
class TDisplay {
public:
  bool Start() {
    for (const char *tool : {"Xvfb", "openbox", "xdotool"})
      if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
        missing_ = tool;
        return false;
      }
    xvfb_.start(QStringLiteral("Xvfb"),
                {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                 QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                 QStringLiteral("tcp")});
    if (!xvfb_.waitForStarted(-1))
      return false;
    QByteArray number;
    WaitFor([&] {
      xvfb_.waitForReadyRead(50);
      number += xvfb_.readAllStandardOutput();
      return number.contains('\n') || xvfb_.state() == QProcess::NotRunning;
    });
    if (!number.contains('\n'))
      return false;
    display_ = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("DISPLAY"), display_);
    openbox_.setProcessEnvironment(e);
    openbox_.start(QStringLiteral("openbox"), {});
    return openbox_.waitForStarted(-1);
  }
  ~TDisplay() {
    for (QProcess *p : {&openbox_, &xvfb_}) {
      if (p->state() != QProcess::NotRunning) {
        p->terminate();
        if (!p->waitForFinished(10000)) {
          p->kill();
          p->waitForFinished(-1);
        }
      }
    }
  }
  const QString &Name() const { return display_; }
  const char *Missing() const { return missing_; }

  // Runs xdotool; gives its output (window ids, one a line).
  QString Xdotool(const QStringList &args) const {
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("DISPLAY"), display_);
    p.setProcessEnvironment(e);
    p.start(QStringLiteral("xdotool"), args);
    p.waitForFinished(-1);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
  }
  bool Visible(const QString &title) const {
    return !Xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                     QStringLiteral("--name"), title})
                .isEmpty();
  }
  // Activates the window and types one key into it.
  void KeyInto(const QString &window, const QString &key) const {
    Xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
    Xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), key});
  }

private:
  QProcess xvfb_, openbox_;
  QString display_;
  const char *missing_ = nullptr;
};

TEST(DesktopCompile, F9TheReportAndClosingDuringACompile) {
  TDisplay display;
  if (!display.Start()) {
    if (display.Missing())
      GTEST_SKIP() << display.Missing() << " is not installed";
    FAIL() << "no display";
  }
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
  e.insert(QStringLiteral("DISPLAY"), display.Name());
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
    main = display
               .Xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                         QStringLiteral("--name"), QStringLiteral("blink.bas")})
               .section(QLatin1Char('\n'), 0, 0);
    return !main.isEmpty();
  });
  ASSERT_FALSE(main.isEmpty());

  // F9: the compiler runs on the document; its "ERROR" brings up the report.
  display.KeyInto(main, QStringLiteral("F9"));
  ASSERT_TRUE(WaitFor([&] { return ReadToolLog(tools).size() == 1; }));
  const TToolRun run = ReadToolLog(tools)[0];
  EXPECT_EQ(run.Args, (std::vector<std::string>{doc, "-m", "-q"}));
  EXPECT_EQ(run.Cwd, dir.substr(0, dir.size() - 1));
  ASSERT_TRUE(WaitFor([&] { return display.Visible(QStringLiteral("^Compiler Report")); }));

  // F1 twice: the first only checks the View item, the second hides it.
  display.KeyInto(main, QStringLiteral("F1"));
  display.KeyInto(main, QStringLiteral("F1"));
  EXPECT_TRUE(WaitFor([&] { return !display.Visible(QStringLiteral("^Compiler Report")); }));

  // A compile that holds; closing the window ends the program, not the tool.
  t.Put("hold", "");
  display.KeyInto(main, QStringLiteral("F9"));
  ASSERT_TRUE(WaitFor([&] { return ReadToolLog(tools).size() == 2; }));
  display.KeyInto(main, QStringLiteral("alt+F4"));
  EXPECT_TRUE(editor.waitForFinished(120000)) << "the program kept waiting";
  const long compiler = ReadToolLog(tools)[1].Pid;
  EXPECT_FALSE(Ended(compiler)) << "the compiler was stopped with the program";
  fs::remove(hold);
  EXPECT_TRUE(WaitFor([&] { return Ended(compiler); }));
  if (editor.state() != QProcess::NotRunning) {
    editor.kill();
    editor.waitForFinished(-1);
  }
  for (const TPromptRecord &r : TRecordingPrompter::ReadLog(log))
    EXPECT_NE(r.Kind, "MESSAGE") << r.Text;
}

} // namespace
