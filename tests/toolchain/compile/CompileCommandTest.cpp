// F9 through the main window with real key events: the questions, the save
// before the compile, the compiler as a real process, and what its result
// file puts into the status bar, DeviceName and the report window.
#include "CompileFixture.h"

#include <QTimer>

using namespace kxcompile;

namespace {

TEST_F(CompileTest, F9SavesThenCompilesAndTheCompilerSeesTheSavedText) {
  const std::string doc = Put("my project/blink.bas", "' blink\r\n");
  Open(doc);
  Key(Qt::Key_End);
  Type(" led");
  MenuKey(Qt::Key_F9);
  const auto runs = Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].Args, (std::vector<std::string>{doc, "-m", "-q"}));
  EXPECT_EQ(runs[0].Extra.at("TEXT"), "' blink led\r\n");
  EXPECT_EQ(runs[0].Cwd, fs::current_path().string());
  EXPECT_EQ(Get(dir + "my project/blink.BAK"), "' blink\r\n");
  EXPECT_EQ(Panel(1), "");
  EXPECT_EQ(Panel(2), "DEVICE 16F84");
  EXPECT_EQ(Panel(3), "CODE 112");
  EXPECT_EQ(Panel(4), "RAM 9");
  EXPECT_EQ(DeviceName, "16F84");
  EXPECT_TRUE(Questions().empty());
  EXPECT_FALSE(Dummy_Virtual_Form->isVisible());
  // A summary with the report unchecked leaves the report hidden.
  EXPECT_FALSE(Report->isVisible());

  // Compiled again without a change: not saved again, so the backup still
  // holds the text before the change.
  MenuKey(Qt::Key_F9);
  EXPECT_EQ(Runs().size(), 2u);
  EXPECT_EQ(Get(dir + "my project/blink.BAK"), "' blink\r\n");
  // A file deleted meanwhile is written again before the compile.
  fs::remove(doc);
  MenuKey(Qt::Key_F9);
  EXPECT_EQ(Get(doc), "' blink led\r\n");
  EXPECT_EQ(Runs().back().Extra.at("TEXT"), "' blink led\r\n");
}

TEST_F(CompileTest, TheToolbarButtonAndThePopupItemCompileToo) {
  Open(Put("a.bas", "x\r\n"));
  ASSERT_TRUE(form->CompileButton->isEnabled());
  ASSERT_TRUE(form->PopupCompile->isEnabled());
  form->CompileButton->trigger();
  form->PopupCompile->trigger();
  form->Compile1->trigger();
  EXPECT_EQ(Runs().size(), 3u);
}

TEST_F(CompileTest, ANonBasicFileIsCompiledOnlyWhenTheUserSaysSo) {
  Open(Put("test.txt", "text\r\n"));
  Answer({"No"});
  MenuKey(Qt::Key_F9);
  ASSERT_EQ(Questions().size(), 1u);
  EXPECT_EQ(Questions()[0].Text,
            "File \"test.txt\" is not a BASIC program\r\nDo you still wish to compile the code?");
  EXPECT_EQ(Questions()[0].Type, "Confirmation");
  EXPECT_EQ(Questions()[0].Buttons, "Yes,No");
  EXPECT_TRUE(Runs().empty());

  Answer({"Yes"});
  MenuKey(Qt::Key_F9);
  ASSERT_EQ(Runs().size(), 1u);
  EXPECT_EQ(Runs()[0].Args[0], dir + "test.txt");

  // The extension is compared in upper case.
  Open(Put("other.Bas", "x\r\n"));
  MenuKey(Qt::Key_F9);
  EXPECT_EQ(Questions().size(), 2u);
  EXPECT_EQ(Runs().size(), 2u);
}

TEST_F(CompileTest, AnUntitledDocumentIsNamedFirstOrNotCompiled) {
  Type("high portb.0");
  const std::string question = "BASIC Program must be given a name other than NO_NAME.BAS\r\n"
                               "Before compilation may commence.";
  // Cancel: no save dialog, nothing started.
  Answer({"Cancel"});
  MenuKey(Qt::Key_F9);
  ASSERT_EQ(Questions().size(), 1u);
  EXPECT_EQ(Questions()[0].Text, question);
  EXPECT_EQ(Questions()[0].Buttons, "OK,Cancel");
  // OK, then the Save As dialog cancelled: still nothing started.
  Answer({"OK", "Cancel"});
  MenuKey(Qt::Key_F9);
  ASSERT_EQ(Questions().size(), 3u);
  EXPECT_EQ(Questions()[2].Kind, "SAVE");
  EXPECT_EQ(form->CurrentFile->FileName, NoNameFileName);
  EXPECT_TRUE(Runs().empty());
  EXPECT_FALSE(Dummy_Virtual_Form->isVisible());
  // OK and a name: saved under it and compiled.
  Answer({"OK", dir + "named.bas"});
  MenuKey(Qt::Key_F9);
  EXPECT_EQ(Get(dir + "named.bas"), "high portb.0");
  ASSERT_EQ(Runs().size(), 1u);
  EXPECT_EQ(Runs()[0].Args[0], dir + "named.bas");
  EXPECT_EQ(Runs()[0].Extra.at("TEXT"), "high portb.0");
}

TEST_F(CompileTest, ASaveThatFailsStopsTheCompile) {
  const std::string doc = Put("proj/x.bas", "old\r\n");
  Open(doc);
  Type("new ");
  // The folder is gone and a file has its name: the save cannot be written.
  fs::rename(dir + "proj", dir + "moved");
  Put("proj", "a file");
  MenuKey(Qt::Key_F9);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find(doc), std::string::npos) << Messages()[0];
  EXPECT_TRUE(Runs().empty()) << "the old text on disk was compiled";
  EXPECT_EQ(Panel(1), "Modified");
}

TEST_F(CompileTest, TheSummaryFillsThePanelsAndDeviceName) {
  SetEnv("KX_COMPILER_STATUS", "16F877,1024,48,");
  Open(Put("big.bas", "x\r\n"));
  MenuKey(Qt::Key_F9);
  EXPECT_EQ(DeviceName, "16F877");
  EXPECT_EQ(Panel(2), "DEVICE 16F877");
  EXPECT_EQ(Panel(3), "CODE 1024");
  EXPECT_EQ(Panel(4), "RAM 48");

  // A compile with errors empties them, and DeviceName.
  SetEnv("KX_COMPILER_STATUS", "ERROR");
  MenuKey(Qt::Key_F9);
  EXPECT_EQ(DeviceName, "");
  EXPECT_EQ(Panel(2), "");
  EXPECT_EQ(Panel(3), "");
  EXPECT_EQ(Panel(4), "");

  // No result file at all: the same.
  SetEnv("KX_COMPILER_STATUS", "16F628,1,2,");
  MenuKey(Qt::Key_F9);
  EXPECT_EQ(DeviceName, "16F628");
  SetEnv("KX_COMPILER_NONE", "1");
  fs::remove(dir + "big.PBE");
  MenuKey(Qt::Key_F9);
  EXPECT_EQ(DeviceName, "");
  EXPECT_EQ(Panel(2), "");
}

TEST_F(CompileTest, ErrorsShowTheReportWhileUncheckedAndTwoTogglesHideIt) {
  SetEnv("KX_COMPILER_STATUS", "ERROR");
  SetEnv("KX_COMPILER_REPORT", "blink.bas line 3: syntax error\r\n\r\n1 error\r\n");
  Open(Put("blink.bas", "x\r\n"));
  EXPECT_FALSE(Report->isVisible());
  MenuKey(Qt::Key_F9);
  EXPECT_TRUE(Report->isVisible());
  EXPECT_TRUE(Report->isEnabled());
  EXPECT_FALSE(form->ShowReport->isChecked());
  EXPECT_EQ(Report->Memo()->Lines(),
            (std::vector<std::string>{"blink.bas line 3: syntax error", "", "1 error"}));
  // The first toggle only checks the item; the second hides the window.
  MenuKey(Qt::Key_F1);
  EXPECT_TRUE(form->ShowReport->isChecked());
  EXPECT_TRUE(Report->isVisible());
  MenuKey(Qt::Key_F1);
  EXPECT_FALSE(form->ShowReport->isChecked());
  EXPECT_FALSE(Report->isVisible());
  EXPECT_FALSE(Report->isEnabled());
  // "ASSEMBLER ERRORS" shows it as well; the caret stays where it was.
  SetEnv("KX_COMPILER_STATUS", "ASSEMBLER ERRORS");
  Key(Qt::Key_End);
  const int64_t caret = Memo()->Caret();
  MenuKey(Qt::Key_F9);
  EXPECT_TRUE(Report->isVisible());
  EXPECT_EQ(Memo()->Caret(), caret);
}

TEST_F(CompileTest, ACheckedReportShowsTheSummarysReport) {
  Open(Put("ok.bas", "x\r\n"));
  MenuKey(Qt::Key_F1);
  EXPECT_TRUE(Report->isVisible());
  EXPECT_TRUE(Report->Memo()->Lines().empty()) << "no result file yet";
  MenuKey(Qt::Key_F9);
  EXPECT_TRUE(Report->isVisible());
  EXPECT_EQ(Report->Memo()->Lines(),
            (std::vector<std::string>{"KORVEX stand-in compiler", "Compiled ok.bas"}));
  // Another document without results empties the visible report.
  form->NewButtonClick(nullptr);
  EXPECT_TRUE(Report->isVisible());
  EXPECT_TRUE(Report->Memo()->Lines().empty());
  form->OpenFilesTab->setCurrentIndex(0);
  EXPECT_EQ(Report->Memo()->Lines().size(), 2u);
}

TEST_F(CompileTest, ResultFilesAreFoundIgnoringTheCaseOfTheirNames) {
  SetEnv("KX_COMPILER_UPPER", "1");
  SetEnv("KX_COMPILER_STATUS", "16F88,10,20,");
  Open(Put("blink.bas", "x\r\n"));
  MenuKey(Qt::Key_F9);
  EXPECT_TRUE(fs::exists(dir + "BLINK.PBE"));
  EXPECT_EQ(DeviceName, "16F88");
  form->ProgramDataClick(nullptr);
  EXPECT_EQ(HEXList->Model()->CellText(0, 1), "2800");
}

namespace {

// Notes, for each message, whether the compile's wait box was on screen
// while it was shown.
class TWaitBoxWatch : public TRecordingPrompter {
public:
  TModalResult Message(const std::string &text, TMsgDlgType type, TMsgDlgButtons buttons,
                       const std::string &caption) override {
    WaitBoxShown.push_back(Dummy_Virtual_Form && Dummy_Virtual_Form->isVisible());
    return TRecordingPrompter::Message(text, type, buttons, caption);
  }
  std::vector<bool> WaitBoxShown;
};

} // namespace

TEST_F(CompileTest, TheWaitBoxMakesWayForTheReasonACompilerDidNotStart) {
  fs::remove(dir + "korvex");
  Open(Put("a.bas", "x\r\n"));
  auto watch = std::make_unique<TWaitBoxWatch>();
  TWaitBoxWatch *w = watch.get();
  std::unique_ptr<TPrompter> before = SetPrompter(std::move(watch));
  MenuKey(Qt::Key_F9);
  const std::vector<bool> shown = w->WaitBoxShown;
  const size_t messages = w->Records.size();
  SetPrompter(std::move(before));
  ASSERT_EQ(messages, 1u);
  EXPECT_EQ(shown, std::vector<bool>{false}) << "the wait box covered the message";
}

TEST_F(CompileTest, WithoutACompilerTheUserIsToldWhy) {
  fs::remove(dir + "korvex");
  Open(Put("a.bas", "x\r\n"));
  MenuKey(Qt::Key_F9);
  EXPECT_EQ(Messages(), std::vector<std::string>{"Problem Running " + dir +
                                                 "KORVEX.EXE\r\nThe file does not exist."});
  EXPECT_EQ(DeviceName, "");
  EXPECT_EQ(Panel(2), "");
  EXPECT_FALSE(Dummy_Virtual_Form->isVisible());
  // A Windows compiler without wine.
  Put("KORVEX.EXE", std::string("MZ\x90\0", 4));
  const QByteArray path = qgetenv("PATH");
  SetEnv("PATH", dir + "empty");
  MenuKey(Qt::Key_F9);
  qputenv("PATH", path);
  ASSERT_EQ(Messages().size(), 2u);
  EXPECT_EQ(Messages()[1], "Problem Running " + dir +
                               "KORVEX.EXE\r\nIt is a Windows program, and wine is not installed.");
}

TEST_F(CompileTest, TheWindowKeepsWorkingWhileTheCompilerRunsAndASecondCompileIsRefused) {
  const std::string hold = Put("hold", "");
  SetEnv("KX_TOOL_HOLD", hold);
  Open(Put("slow.bas", "x\r\n"));
  int ticks = 0;
  bool pleaseWaitShown = false, compileDisabled = false, typed = false;
  QTimer timer;
  timer.setInterval(10);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    ++ticks;
    if (Runs().empty())
      return;
    pleaseWaitShown = Dummy_Virtual_Form->isVisible();
    compileDisabled = !form->CompileButton->isEnabled() && !form->Compile1->isEnabled() &&
                      !form->PopupCompile->isEnabled();
    // A second F9 and the toolbar button start nothing.
    MenuKey(Qt::Key_F9);
    form->CompileButtonClick(nullptr);
    // The editor takes typing meanwhile.
    if (!typed) {
      Type("y");
      typed = true;
    }
    if (ticks > 5)
      fs::remove(hold);
  });
  timer.start();
  MenuKey(Qt::Key_F9);
  timer.stop();
  EXPECT_GT(ticks, 5);
  EXPECT_TRUE(pleaseWaitShown);
  EXPECT_TRUE(compileDisabled);
  EXPECT_TRUE(typed);
  EXPECT_EQ(Runs().size(), 1u);
  EXPECT_TRUE(form->CompileButton->isEnabled());
  EXPECT_FALSE(Dummy_Virtual_Form->isVisible());
  EXPECT_EQ(Panel(2), "DEVICE 16F84");
  EXPECT_EQ(Panel(1), "Modified");
}

TEST_F(CompileTest, ClosingTheMainWindowEndsTheWait) {
  const std::string hold = Put("hold", "");
  SetEnv("KX_TOOL_HOLD", hold);
  Open(Put("q.bas", "x\r\n"));
  bool compileReturned = false;
  QTimer::singleShot(0, [&] {
    MenuKey(Qt::Key_F9);
    compileReturned = true;
  });
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!Runs().empty()) {
      poll.stop();
      form->close();
    }
  });
  poll.start();
  // The program's own loop: closing the last window quits it.
  QApplication::exec();
  EXPECT_TRUE(compileReturned);
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(LauncherBusy());
  ASSERT_EQ(Runs().size(), 1u);
  fs::remove(hold);
}

} // namespace
