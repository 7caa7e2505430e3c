// Program, Download, the Run entries and the other tools end to end: the main
// window starts real stand-in programs that record how they were started.
#include "FileObject.h"
#include "ToolCommandsFixture.h"
#include "ToolLog.h"

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

using kxtools::ToolsTest;
namespace fs = std::filesystem;

// One start of a stand-in as it recorded it.
using Started = TToolRun;

class StartTest : public ToolsTest {
protected:
  void SetUp() override {
    ToolsTest::SetUp();
    log = dir + "tools.log";
    qputenv("KX_TOOL_LOG", QByteArray::fromStdString(log));
    qputenv("KX_RUN_TOOL_RESULT", QByteArray());
    qunsetenv("KX_RUN_TOOL_RESULT");
    savedPath = qgetenv("PATH");
  }
  void TearDown() override {
    qunsetenv("KX_TOOL_LOG");
    qunsetenv("KX_RUN_TOOL_RESULT");
    qputenv("PATH", savedPath);
    ToolsTest::TearDown();
  }
  // A stand-in program copied to a path of the test's folders.
  std::string Program(const char *standIn, const std::string &path) {
    fs::create_directories(fs::path(path).parent_path());
    fs::copy_file(fs::path(KX_TOOLS_DIR) / standIn, path, fs::copy_options::overwrite_existing);
    ::chmod(path.c_str(), 0755);
    return path;
  }
  // The document A.BAS in a folder of its own, open and current.
  std::string OpenDocument(const std::string &name = "A.BAS") {
    const std::string folder = dir + "work/";
    fs::create_directories(folder);
    WriteFileAtomic(folder + name, "HIGH PORTB.0\r\n");
    form->OpenPath(folder + name);
    return folder;
  }
  std::vector<Started> Log() { return ReadToolLog(log); }
  // Waits for the n-th record of a program that is not waited for (a record
  // counts once its END line is written).
  std::vector<Started> WaitForStarts(size_t n) {
    for (int i = 0; i < 3000 && Log().size() < n; ++i)
      QTest::qWait(10);
    return Log();
  }
  void Answer(std::initializer_list<std::string> answers) {
    for (const std::string &a : answers)
      rec->Answers.push_back(a);
  }

  std::string log;
  QByteArray savedPath;
};

TEST_F(StartTest, EpicGetsTheHexPathAndTheDevice) {
  Start();
  const std::string epic = Program("epicwin", dir + "epic/EPICWIN.EXE");
  SetIni("EPIC", "PATHNAME", epic, "PBP.INI");
  const std::string folder = OpenDocument();
  DeviceName = "16F628";
  form->Program1->trigger();
  const auto starts = WaitForStarts(1);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].Args, (std::vector<std::string>{folder + "A.HEX", "-dPIC16F628"}));
  // The toolbar button and the popup item run the same command; an empty
  // device leaves "-dPIC" alone.
  DeviceName.clear();
  form->ProgramButton->trigger();
  form->PopupProgram->trigger();
  const auto more = WaitForStarts(3);
  ASSERT_EQ(more.size(), 3u);
  EXPECT_EQ(more[1].Args, (std::vector<std::string>{folder + "A.HEX", "-dPIC"}));
  EXPECT_EQ(more[2].Args, more[1].Args);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(StartTest, WithoutAnEpicPathTheDialogAsksAndCancelEndsWithTheMessage) {
  Start();
  OpenDocument();
  const std::string epic = Program("epicwin", dir + "epic/EPICWIN.EXE");
  Answer({epic});
  WithDialog([&] { form->Program1->trigger(); },
             [&](QDialog &d) {
               EXPECT_EQ(d.windowTitle(), "Find EPIC Directory Path");
               d.findChild<QPushButton *>("BrowseButton")->click();
               d.findChild<QPushButton *>("OKButton")->click();
             });
  EXPECT_EQ(WaitForStarts(1).size(), 1u);
  SetIni("EPIC", "PATHNAME", "", "PBP.INI");
  WithDialog([&] { form->Program1->trigger(); }, [&](QDialog &d) { d.reject(); });
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].substr(0, 16), "Problem Running ");
  EXPECT_EQ(Log().size(), 1u);
}

TEST_F(StartTest, TheUsersProgrammerGetsTheHexPathAndItsExpandedTemplate) {
  const std::string prog = Program("epicwin", dir + "my tools/prog");
  SetIni("PROGRAMMER", "TYPE", "OTHER");
  SetIni("EXT_PROG", "EXT_PATH", prog);
  SetIni("EXT_PROG", "CMD_LINE", "%FILENAME");
  Start();
  const std::string folder = OpenDocument();
  EXPECT_TRUE(form->ExtProg->isChecked());
  form->Program1->trigger();
  auto starts = WaitForStarts(1);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].Args, (std::vector<std::string>{folder + "A.HEX", "A.HEX"}));
  // Lower-case "epic" is no type: the user's programmer stays chosen.
  SetIni("PROGRAMMER", "TYPE", "epic");
  QTest::keyClicks(Memo(), "x");
  EXPECT_TRUE(form->ExtProg->isChecked());
  SetIni("EXT_PROG", "CMD_LINE", "-p%Pic %full");
  DeviceName = "16F877";
  form->Program1->trigger();
  starts = WaitForStarts(2);
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[1].Args,
            (std::vector<std::string>{folder + "A.HEX", "-p16F877", folder + "A.HEX"}));
}

TEST_F(StartTest, ATemplateOfTenThousandMacros) {
  const std::string prog = Program("epicwin", dir + "prog");
  SetIni("PROGRAMMER", "TYPE", "OTHER");
  SetIni("EXT_PROG", "EXT_PATH", prog);
  std::string macros;
  for (int i = 0; i < 10000; ++i)
    macros += "%PIC ";
  SetIni("EXT_PROG", "CMD_LINE", macros);
  Start();
  OpenDocument();
  DeviceName.clear();
  form->Program1->trigger();
  const auto starts = WaitForStarts(1);
  ASSERT_EQ(starts.size(), 1u);
  ASSERT_EQ(starts[0].Args.size(), 10001u);
  EXPECT_EQ(starts[0].Args[10000], "16F84");
}

TEST_F(StartTest, TheStandardLoaderIsWaitedForWithTheHexPathAlone) {
  Program("bootload", inc + "bootload");
  Start();
  const std::string folder = OpenDocument();
  WriteFileAtomic(folder + "A.HEX", ":00000001FF\r\n");
  form->Download1->trigger();
  // Waited for: the record is there as soon as the command returns.
  const auto starts = Log();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].Name, "bootload");
  EXPECT_EQ(starts[0].Args, (std::vector<std::string>{folder + "A.HEX"}));
}

TEST_F(StartTest, AnInfraredLoaderGoneSinceStartUpFallsBackToTheStandardOne) {
  const std::string ir = Program("bootload", inc + "KORVIR_BOOT.EXE");
  Program("bootload", inc + "BOOTLOAD.EXE");
  Start();
  OpenDocument();
  ASSERT_TRUE(form->KORVEX_IR_Option->isVisible());
  form->KORVEX_IR_Option->trigger();
  EXPECT_EQ(Ini("BOOTLOADER", "TYPE"), "KORVEX_IR");
  fs::remove(ir);
  form->DownloadButton->trigger();
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{
                "Cannot Find KORVEX IR bootloader\r\nDefaulting to standard bootloader."}));
  EXPECT_EQ(rec->Records.back().Type, "Information");
  EXPECT_TRUE(form->Standard_Bootloader_Option->isChecked());
  EXPECT_FALSE(form->KORVEX_IR_Option->isChecked());
  EXPECT_FALSE(form->KORVEX_IR_Option->isVisible());
  EXPECT_FALSE(form->KORVEX_IR_Option->isEnabled());
  EXPECT_TRUE(Log().empty());
  // The settings keep their type; the next download uses the standard loader.
  EXPECT_EQ(Ini("BOOTLOADER", "TYPE"), "KORVEX_IR");
  form->PopupDownload->trigger();
  EXPECT_EQ(Log().size(), 1u);
}

TEST_F(StartTest, MeloaderAndTheUsersLoaderAreNotWaitedFor) {
  const std::string me = Program("bootload", dir + "me/MELOADER.EXE");
  const std::string mine = Program("epicwin", dir + "mine/loader");
  SetIni("MELOADER", "PATHNAME", me);
  SetIni("BOOTLOADER", "TYPE", "MELOADER");
  SetIni("EXT_BOOTLOADER", "EXT_PATH", mine);
  SetIni("EXT_BOOTLOADER", "CMD_LINE", "%FILENAME");
  Start();
  const std::string folder = OpenDocument();
  form->Download1->trigger();
  auto starts = WaitForStarts(1);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].Args, (std::vector<std::string>{folder + "A.HEX"}));
  form->External_Bootloader_Option->trigger();
  DeviceName = "16F876";
  form->Download1->trigger();
  starts = WaitForStarts(2);
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[1].Args, (std::vector<std::string>{folder + "A.HEX", "A.HEX"}));
}

TEST_F(StartTest, TheBootloaderDialogShowsTheArgumentsDownloadWillStart) {
  Start();
  const std::string folder = OpenDocument();
  DeviceName = "16F88";
  WithDialog([&] { form->BootloaderPath->trigger(); },
             [&](QDialog &d) {
               auto *path = d.findChild<QLineEdit *>("PathEdit");
               auto *cmd = d.findChild<QLineEdit *>("CmdLineEdit");
               auto *view = d.findChild<QPlainTextEdit *>("PreviewView");
               ASSERT_TRUE(view && view->isVisible());
               QTest::keyClicks(cmd, "x");
               EXPECT_EQ(view->toPlainText().toStdString(),
                         "(no program chosen)\n" + folder + "A.HEX\nx");
               cmd->clear();
               path->setText(QStringLiteral("/opt/loader"));
               QTest::keyClicks(cmd, "-p%PIC %FILENAME");
               EXPECT_EQ(view->toPlainText().toStdString(),
                         "/opt/loader\n" + folder + "A.HEX\n-p16F88\nA.HEX");
             });
}

TEST_F(StartTest, ARunEntryRunsItsToolAndTheResultReplacesTheSelection) {
  StandIn("HELLO.EXE");
  StandIn("quiet");
  StandIn("sub dir/inner.exe");
  Start();
  ASSERT_EQ(Entries(form->Run_Program_Option), (QStringList{"HELLO.EXE", "quiet", "inner.exe"}));
  QTest::keyClicks(Memo(), "say world");
  Memo()->SetSelection(4, 9);
  qputenv("KX_RUN_TOOL_RESULT", "hello");
  form->Run_Program_Option->actions()[0]->trigger();
  EXPECT_EQ(Memo()->Text(), "say hello");
  struct stat st {};
  ASSERT_EQ(::stat((tools + "RES_FILE.TXT").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 0);
  auto starts = Log();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_TRUE(starts[0].Args.empty());
  // A tool that writes nothing: the selection goes, the file stays empty.
  qunsetenv("KX_RUN_TOOL_RESULT");
  Memo()->SetSelection(0, 4);
  form->PopUp_Menu_RUNLIST->actions()[1]->trigger();
  EXPECT_EQ(Memo()->Text(), "hello");
  // A tool in a subfolder runs too.
  form->Run_Program_Option->actions()[2]->trigger();
  EXPECT_EQ(Log().size(), 3u);
}

TEST_F(StartTest, WhileARunEntryWaitsNoOtherWaitedForToolStarts) {
  StandIn("SLOW.EXE");
  Program("bootload", inc + "BOOTLOAD.EXE");
  Start();
  const std::string hold = dir + "hold";
  WriteFileAtomic(hold, "");
  qputenv("KX_TOOL_HOLD", QByteArray::fromStdString(hold));
  bool checked = false;
  QTimer::singleShot(0, form.get(), [&] {
    WaitForStarts(1);
    EXPECT_FALSE(form->Download1->isEnabled());
    EXPECT_FALSE(form->DownloadButton->isEnabled());
    EXPECT_FALSE(form->Run_Program_Option->menuAction()->isEnabled());
    EXPECT_FALSE(form->PopUp_Menu_RUNLIST->menuAction()->isEnabled());
    EXPECT_TRUE(form->Program1->isEnabled());
    // Shortcuts and direct calls are refused as well.
    form->DownloadButtonClick(form->Download1);
    form->RunExternalTool(form->Run_Program_Option->actions()[0]);
    checked = true;
    fs::remove(hold);
  });
  form->Run_Program_Option->actions()[0]->trigger();
  qunsetenv("KX_TOOL_HOLD");
  EXPECT_TRUE(checked);
  EXPECT_EQ(Log().size(), 1u);
  EXPECT_TRUE(form->Download1->isEnabled());
  EXPECT_TRUE(form->Run_Program_Option->menuAction()->isEnabled());
}

TEST_F(StartTest, TerminalCalculatorAndHelp) {
  Program("epicwin", inc + "TERM.EXE");
  WriteFileAtomic(inc + "KORVEX.HLP", "help");
  const std::string bin = dir + "bin/";
  Program("xdg-open", bin + "xdg-open");
  Program("bootload", bin + "galculator");
  Program("epicwin", bin + "xcalc");
  qputenv("PATH", QByteArray::fromStdString(bin));
  Start();
  form->SerialTerminal1->trigger();
  form->Calculator1->trigger();
  form->Help1->trigger();
  const auto starts = WaitForStarts(3);
  ASSERT_EQ(starts.size(), 3u);
  std::vector<std::string> names;
  for (const Started &s : starts)
    names.push_back(s.Name);
  std::sort(names.begin(), names.end());
  // The terminal and xcalc are the programmer stand-in under other names.
  EXPECT_EQ(names, (std::vector<std::string>{"bootload", "epicwin", "xdg-open"}));
  for (const Started &s : starts)
    if (s.Name == "xdg-open")
      EXPECT_EQ(s.Args, (std::vector<std::string>{inc + "KORVEX.HLP"}));
    else
      EXPECT_TRUE(s.Args.empty());
  EXPECT_TRUE(Messages().empty());

  // No calculator at all: the message names the last one looked for.
  fs::remove(bin + "galculator");
  fs::remove(bin + "xcalc");
  form->Calculator1->trigger();
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Problem Running xcalc"}));
}

} // namespace
