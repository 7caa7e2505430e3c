// The launcher with real processes: the stand-in tools record how they were
// started. Waiting keeps events flowing and refuses a second start; a
// program that cannot start is reported with its reason; Windows programs go
// through wine with their paths converted; quitting ends a wait and leaves
// the tool running.
#include "Launcher.h"

#include "Prompter.h"
#include "TempFolder.h"
#include "ToolLog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include <filesystem>
#include <signal.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const std::string Tools = KX_TOOLS_DIR "/";

QApplication &App() {
  static int argc = 1;
  static char name[] = "test_toolchain_ui";
  static char *argv[] = {name, nullptr};
  if (!QApplication::instance())
    new QApplication(argc, argv);
  return *qApp;
}

class Launcher : public ::testing::Test {
protected:
  void SetUp() override {
    App();
    log = dir.Dir() + "tools.log";
    qputenv("KX_TOOL_LOG", QByteArray::fromStdString(log));
    qunsetenv("KX_TOOL_HOLD");
    oldPath = qgetenv("PATH");
    auto r = std::make_unique<TRecordingPrompter>();
    rec = r.get();
    previous = SetPrompter(std::move(r));
  }
  void TearDown() override {
    SetPrompter(std::move(previous));
    qputenv("PATH", oldPath);
    qunsetenv("KX_TOOL_LOG");
    qunsetenv("KX_TOOL_HOLD");
  }
  // A stand-in under another name in the test's folder.
  std::string Install(const std::string &standIn, const std::string &as) {
    const std::string path = dir.Dir() + as;
    fs::create_directories(fs::path(path).parent_path());
    fs::copy_file(Tools + standIn, path, fs::copy_options::overwrite_existing);
    return path;
  }
  void UseSearchPath(const std::string &folders) {
    qputenv("PATH", QByteArray::fromStdString(folders));
  }
  std::vector<TToolRun> Runs() { return ReadToolLog(log); }
  std::vector<std::string> Messages() {
    std::vector<std::string> out;
    for (const TPromptRecord &r : rec->Records)
      if (r.Kind == "MESSAGE")
        out.push_back(r.Text);
    return out;
  }

  TTempFolder dir;
  std::string log;
  QByteArray oldPath;
  TRecordingPrompter *rec = nullptr;
  std::unique_ptr<TPrompter> previous;
};

TEST_F(Launcher, WaitsForTheProgramWithItsArgumentsAndInheritedFolder) {
  const std::string tool = Install("korvex", "prog folder/korvex");
  const std::string doc = dir.Put("my work/blink led.bas", "x = 1\r\n");
  EXPECT_TRUE(ExecuteAndWait(dir.Dir() + "prog folder/KORVEX.EXE", CompilerArguments(doc)));
  const auto runs = Runs();
  ASSERT_EQ(runs.size(), 1u) << "the wait ends after the program's record";
  EXPECT_EQ(runs[0].Args, (std::vector<std::string>{doc, "-m", "-q"}));
  EXPECT_EQ(runs[0].Cwd, fs::current_path().string());
  EXPECT_EQ(runs[0].Extra.at("TEXT"), "x = 1\r\n");
  EXPECT_TRUE(ToolEnded(runs[0].Pid));
  EXPECT_TRUE(fs::exists(dir.Dir() + "my work/blink led.PBE"));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(Launcher, EventsFlowDuringTheWaitAndASecondStartIsRefused) {
  const std::string tool = Install("epicwin", "EPICWIN");
  const std::string hold = dir.Put("hold", "");
  qputenv("KX_TOOL_HOLD", QByteArray::fromStdString(hold));
  std::vector<bool> busySeen;
  const auto connection = QObject::connect(&LauncherSignals(), &TLauncherSignals::BusyChanged,
                                           [&](bool b) { busySeen.push_back(b); });
  int ticks = 0;
  bool secondStarted = true, busyDuring = false;
  QTimer timer;
  timer.setInterval(10);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    ++ticks;
    if (ticks == 2) {
      busyDuring = LauncherBusy();
      secondStarted = ExecuteAndWait(tool, LoaderArguments("/second"));
    }
    // The tool ends once the record is there and the timer went on firing.
    if (ticks >= 5 && !Runs().empty())
      fs::remove(hold);
  });
  timer.start();
  EXPECT_FALSE(LauncherBusy());
  EXPECT_TRUE(ExecuteAndWait(dir.Dir() + "epicwin.exe", LoaderArguments("/first")));
  timer.stop();
  QObject::disconnect(connection);
  EXPECT_GE(ticks, 5);
  EXPECT_TRUE(busyDuring);
  EXPECT_FALSE(secondStarted);
  EXPECT_FALSE(LauncherBusy());
  EXPECT_EQ(busySeen, (std::vector<bool>{true, false}));
  const auto runs = Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].Args, std::vector<std::string>{"/first"});
  EXPECT_TRUE(Messages().empty()) << "the refused start says nothing";
}

TEST_F(Launcher, QuittingEndsTheWaitAndTheToolGoesOnRunning) {
  const std::string tool = Install("bootload", "BOOTLOAD");
  const std::string hold = dir.Put("hold", "");
  qputenv("KX_TOOL_HOLD", QByteArray::fromStdString(hold));
  bool returned = false, started = false;
  QTimer::singleShot(0, [&] {
    started = ExecuteAndWait(dir.Dir() + "BOOTLOAD.EXE", LoaderArguments(dir.Dir() + "x.HEX"));
    returned = true;
  });
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!Runs().empty())
      QCoreApplication::quit();
  });
  poll.start();
  // The program's own event loop, as at run time; quitting ends every loop.
  QCoreApplication::exec();
  poll.stop();
  // The nested wait returned first, then the program's loop.
  EXPECT_TRUE(returned);
  EXPECT_TRUE(started);
  EXPECT_FALSE(LauncherBusy());
  const auto runs = Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_FALSE(ToolEnded(runs[0].Pid)) << "the tool was stopped with the wait";
  fs::remove(hold);
  while (!ToolEnded(runs[0].Pid))
    ::usleep(2000);
}

TEST_F(Launcher, ProgramsThatCannotStartAreReportedWithTheReason) {
  const std::string missing = dir.Dir() + "KX_INC/MPASMWIN.EXE";
  EXPECT_FALSE(ExecuteAndWait(missing, AssemblerArguments("/a.ASM", false)));
  dir.Put("plain/TOOL.EXE", "#!/bin/sh\n");
  EXPECT_FALSE(ExecuteAndWait(dir.Dir() + "plain/TOOL.EXE", TCommandArgs{}));
  dir.Put("win/LOADER.EXE", std::string("MZ\x90\0", 4));
  UseSearchPath(dir.Dir() + "nothing-here");
  EXPECT_FALSE(ExecuteAndWait(dir.Dir() + "win/LOADER.EXE", LoaderArguments("/x.HEX")));
  EXPECT_EQ(Messages(), (std::vector<std::string>{
                            "Problem Running " + missing + "\r\nThe file does not exist.",
                            "Problem Running " + dir.Dir() +
                                "plain/TOOL.EXE\r\nThe file is not marked as executable.",
                            "Problem Running " + dir.Dir() +
                                "win/LOADER.EXE\r\nIt is a Windows program, and wine is not "
                                "installed.",
                        }));
  EXPECT_TRUE(Runs().empty());
  EXPECT_FALSE(LauncherBusy());
}

TEST_F(Launcher, RunProgramStartsWithoutWaitingOrRaisesTheSpecifiedMessage) {
  const std::string tool = Install("epicwin", "pk2/pk2cmd");
  const std::string hold = dir.Put("hold", "");
  qputenv("KX_TOOL_HOLD", QByteArray::fromStdString(hold));
  RunProgram(tool, EpicArguments("/w/A.HEX", "16F628"));
  // It returned while the programmer holds: its record comes without a wait.
  while (Runs().empty())
    ::usleep(2000);
  const auto runs = Runs();
  EXPECT_EQ(runs[0].Args, (std::vector<std::string>{"/w/A.HEX", "-dPIC16F628"}));
  EXPECT_FALSE(ToolEnded(runs[0].Pid));
  fs::remove(hold);

  for (const std::string &bad :
       {std::string(), dir.Dir() + "none/TERM.EXE", std::string("C:\\EPIC\\EPICWIN.EXE")}) {
    try {
      RunProgram(bad, TCommandArgs{});
      ADD_FAILURE() << bad;
    } catch (const EProblemRunning &e) {
      EXPECT_EQ(std::string(e.what()), "Problem Running " + bad);
    }
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_F(Launcher, WindowsProgramsRunThroughWineWithWindowsPaths) {
  const std::string bin = dir.Dir() + "bin";
  Install("wine", "bin/wine");
  Install("winepath", "bin/winepath");
  UseSearchPath(bin + ":" + oldPath.toStdString());
  const std::string exe = dir.Put("KX_INC/BootLoad.exe", std::string("MZ\x90\0", 4));
  EXPECT_TRUE(
      ExecuteAndWait(dir.Dir() + "KX_INC/BOOTLOAD.EXE", LoaderArguments("/w/my dir/A.HEX")));
  RunProgram(exe, [](const TPathForm &form) {
    return CommandTemplateArguments("-f%FULL -n %FILENAME -p%PIC", "/w/my dir/A.HEX", "16F876",
                                    form);
  });
  while (Runs().size() < 4)
    ::usleep(2000);
  const auto runs = Runs();
  std::vector<TToolRun> wine;
  for (const TToolRun &r : runs)
    if (r.Name == "wine")
      wine.push_back(r);
  ASSERT_EQ(wine.size(), 2u);
  EXPECT_EQ(wine[0].Args, (std::vector<std::string>{exe, "Z:\\w\\my dir\\A.HEX"}));
  EXPECT_EQ(wine[1].Args,
            (std::vector<std::string>{exe, "Z:\\w\\my dir\\A.HEX", "-fZ:\\w\\my dir\\A.HEX", "-n",
                                      "A.HEX", "-p16F876"}));
  // Switches are never taken for paths.
  const std::string asmExe = dir.Put("KX_INC/MPASMWIN.EXE", std::string("MZ", 2));
  EXPECT_TRUE(ExecuteAndWait(asmExe, AssemblerArguments("/w/B.ASM", true)));
  const auto last = Runs().back();
  EXPECT_EQ(last.Args, (std::vector<std::string>{asmExe, "Z:\\w\\B.ASM", "/aINHX8M", "/e+", "/l+",
                                                 "/x-", "/w2", "/c-", "/m-", "/q"}));
}

TEST_F(Launcher, WithoutWinepathWinesDefaultDriveIsUsed) {
  const std::string bin = dir.Dir() + "bin";
  Install("wine", "bin/wine");
  UseSearchPath(bin);
  const std::string exe = dir.Put("T.EXE", std::string("MZ", 2));
  EXPECT_TRUE(ExecuteAndWait(exe, LoaderArguments("/home/u/A.HEX")));
  ASSERT_EQ(Runs().size(), 1u);
  EXPECT_EQ(Runs()[0].Args, (std::vector<std::string>{exe, "Z:\\home\\u\\A.HEX"}));
}

TEST_F(Launcher, DocumentsOpenWithTheDesktopsDefaultProgram) {
  const std::string bin = dir.Dir() + "bin";
  Install("xdg-open", "bin/xdg-open");
  UseSearchPath(bin);
  const std::string help = dir.Put("KX_INC/korvex.hlp", "help text");
  RunProgram(dir.Dir() + "KX_INC/KORVEX.HLP", TCommandArgs{});
  while (Runs().empty())
    ::usleep(2000);
  EXPECT_EQ(Runs()[0].Name, "xdg-open");
  EXPECT_EQ(Runs()[0].Args, std::vector<std::string>{help});
  // Without xdg-open the document cannot be opened.
  UseSearchPath(dir.Dir() + "none");
  EXPECT_THROW(RunProgram(help, TCommandArgs{}), EProblemRunning);
}

} // namespace
