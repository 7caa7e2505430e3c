// The status bar and the command states follow every keystroke: the caret
// panel's exact text, "Modified", the mode panel, the button states, the
// programmer and bootloader marks read afresh from the settings file, the
// caption, the state without documents, and the two-second information text.
#include "FileCommandsTestFixture.h"

#include <QAction>
#include <QElapsedTimer>
#include <QMenu>
#include <QMenuBar>
#include <QStatusTipEvent>
#include <QTimer>

using namespace kxdocs;

namespace {

class StatusBarTest : public DocsTest {};

} // namespace

TEST_F(StatusBarTest, CaretPanelReadsLineAndColumnRightAligned) {
  EXPECT_EQ(Panel(0), "     1:   1");
  for (int i = 0; i < 11; ++i)
    Key(Qt::Key_Return);
  Type("abcd");
  EXPECT_EQ(Panel(0), "    12:   5");
  Key(Qt::Key_Left);
  EXPECT_EQ(Panel(0), "    12:   4");
  Key(Qt::Key_Up);
  EXPECT_EQ(Panel(0), "    11:   1");
  std::string many;
  for (int i = 0; i < 123455; ++i)
    many += "\r\n";
  Memo()->ReplaceSel(many + std::string(1233, ' '));
  EXPECT_EQ(Panel(0), QString("123466:1234"));
}

TEST_F(StatusBarTest, ModifiedFollowsTypingAndUndoToTheSavePoint) {
  const std::string a = Put("a.bas", "text\r\n");
  Open(a);
  EXPECT_EQ(Panel(1), "");
  EXPECT_FALSE(form->UndoButton->isEnabled());
  Type("x");
  EXPECT_EQ(Panel(1), "Modified");
  EXPECT_TRUE(form->UndoButton->isEnabled());
  EXPECT_FALSE(form->RedoButton->isEnabled());
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Text(), "text\r");
  EXPECT_EQ(Panel(1), "");
  EXPECT_TRUE(form->RedoButton->isEnabled());
}

TEST_F(StatusBarTest, SelectionEnablesCutCopyIndentAndUndent) {
  Type("some text");
  for (QAction *a : {form->CutButton, form->CopyButton, form->IndentButton, form->UndentButton})
    EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
  Key(Qt::Key_Left, Qt::ShiftModifier);
  for (QAction *a : {form->CutButton, form->CopyButton, form->IndentButton, form->UndentButton})
    EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
  Key(Qt::Key_Right);
  EXPECT_FALSE(form->CutButton->isEnabled());
}

TEST_F(StatusBarTest, ModePanelShowsInsertOverwriteAndReadOnly) {
  Type("a");
  EXPECT_EQ(Panel(5), " Insert");
  // The panel follows the key itself, before any other change.
  Key(Qt::Key_Insert);
  EXPECT_EQ(Panel(5), " Overwrite");
  Key(Qt::Key_Insert);
  EXPECT_EQ(Panel(5), " Insert");
  Key(Qt::Key_Insert);
  Key(Qt::Key_Left);
  EXPECT_EQ(Panel(5), " Overwrite");
  Memo()->SetReadOnly(true);
  Key(Qt::Key_Right);
  EXPECT_EQ(Panel(5), " Read only");
}

TEST_F(StatusBarTest, APendingTwoKeySequenceShowsUntilItsSecondKey) {
  Type("line");
  Key(Qt::Key_K, Qt::ControlModifier);
  EXPECT_EQ(Panel(5), " Ctrl+K ...");
  EXPECT_EQ(Text(), "line");
  Key(Qt::Key_1); // Ctrl+K 1 sets bookmark 1
  EXPECT_EQ(Panel(5), " Insert");
  int64_t line = -1;
  int column = 0;
  EXPECT_TRUE(Memo()->GetBookmark(1, line, column));
  // A second key that ends no sequence is typed; the panel clears as well.
  Key(Qt::Key_Q, Qt::ControlModifier);
  EXPECT_EQ(Panel(5), " Ctrl+Q ...");
  Key(Qt::Key_X);
  EXPECT_EQ(Panel(5), " Insert");
  EXPECT_EQ(Text(), "linex");
  // Leaving the editor abandons the sequence.
  Key(Qt::Key_K, Qt::ControlModifier);
  EXPECT_EQ(Panel(5), " Ctrl+K ...");
  Memo()->ResetPendingKey();
  EXPECT_EQ(Panel(5), " Insert");
}

TEST_F(StatusBarTest, MenuMarksMoveAtTheNextKeystrokeAfterTheSettingsChange) {
  Type("a");
  EXPECT_TRUE(form->Standard_Bootloader_Option->isChecked());
  EXPECT_TRUE(form->EpicProg->isChecked());
  EXPECT_EQ(form->ExtProg->text(), "Undefined");
  EXPECT_EQ(form->External_Bootloader_Option->text(), "Undefined");

  SetIni("BOOTLOADER", "TYPE", "MELOADER");
  SetIni("EXT_PROG", "NAME", "PicKit & Co");
  SetIni("EXT_BOOTLOADER", "NAME", "MyLoader");
  EXPECT_TRUE(form->Standard_Bootloader_Option->isChecked()); // no change event yet
  Type("b");
  EXPECT_FALSE(form->Standard_Bootloader_Option->isChecked());
  EXPECT_TRUE(form->MELoader_Option->isChecked());
  EXPECT_EQ(form->ExtProg->text(), "PicKit && Co");
  EXPECT_EQ(form->External_Bootloader_Option->text(), "MyLoader");

  SetIni("BOOTLOADER", "TYPE", "OTHER");
  SetIni("PROGRAMMER", "TYPE", "OTHER");
  Key(Qt::Key_Left); // a caret move is a change too
  EXPECT_TRUE(form->External_Bootloader_Option->isChecked());
  EXPECT_FALSE(form->MELoader_Option->isChecked());
  EXPECT_TRUE(form->ExtProg->isChecked());
  EXPECT_FALSE(form->EpicProg->isChecked());

  // Unknown values and lower case leave the marks alone.
  SetIni("BOOTLOADER", "TYPE", "meloader");
  SetIni("PROGRAMMER", "TYPE", "JUNK");
  Type("c");
  EXPECT_TRUE(form->External_Bootloader_Option->isChecked());
  EXPECT_TRUE(form->ExtProg->isChecked());

  // The infrared mark is only touched while its item is enabled.
  SetIni("BOOTLOADER", "TYPE", "KORVEX_IR");
  Type("d");
  EXPECT_FALSE(form->KORVEX_IR_Option->isChecked());
  EXPECT_FALSE(form->External_Bootloader_Option->isChecked());
  form->KORVEX_IR_Option->setVisible(true);
  form->KORVEX_IR_Option->setEnabled(true);
  Type("e");
  EXPECT_TRUE(form->KORVEX_IR_Option->isChecked());

  // An empty name reads as no name: the items say "Undefined", not nothing.
  SetIni("EXT_PROG", "NAME", "");
  SetIni("EXT_BOOTLOADER", "NAME", "");
  Type("g");
  EXPECT_EQ(form->ExtProg->text(), "Undefined");
  EXPECT_EQ(form->External_Bootloader_Option->text(), "Undefined");

  // A missing settings file gives the defaults.
  fs::remove(dir + "KX_INC/KORVEX.INI");
  Type("f");
  EXPECT_TRUE(form->Standard_Bootloader_Option->isChecked());
  EXPECT_FALSE(form->KORVEX_IR_Option->isChecked());
  EXPECT_TRUE(form->EpicProg->isChecked());
  EXPECT_EQ(form->ExtProg->text(), "Undefined");
}

TEST_F(StatusBarTest, SearchAgainFollowsTheLastSearchText) {
  Type("a");
  EXPECT_FALSE(form->Searchagain1->isEnabled());
  form->EdPersistent->LastSearchText = "needle";
  Type("b");
  EXPECT_TRUE(form->Searchagain1->isEnabled());
}

TEST_F(StatusBarTest, WithoutDocumentsEverythingEditingIsHidden) {
  EXPECT_TRUE(form->SaveButton->isVisible());
  EXPECT_TRUE(form->Edit1->menuAction()->isVisible());
  form->ASMData1->setChecked(true);
  form->CloseAll1Click(nullptr);
  EXPECT_EQ(form->windowTitle(), "KORVEX Compiler");
  EXPECT_TRUE(form->EditAreaPanel->isHidden());
  for (QAction *a :
       {form->SaveButton, form->CutButton, form->CompileButton, form->ProgramButton,
        form->DownloadButton, form->ASMButton, form->Save1, form->SaveAs1, form->Close1,
        form->CloseAll1, form->FileSeparator1, form->Edit1->menuAction(),
        form->Search1->menuAction(), form->Options1->menuAction(), form->View1->menuAction()})
    EXPECT_FALSE(a->isVisible()) << a->objectName().toStdString();
  EXPECT_FALSE(form->ASMData1->isChecked());
  EXPECT_TRUE(form->NewButton->isVisible());
  EXPECT_TRUE(form->OpenButton->isVisible());
  form->NewButtonClick(nullptr);
  EXPECT_FALSE(form->EditAreaPanel->isHidden());
  EXPECT_TRUE(form->SaveButton->isVisible());
  EXPECT_TRUE(form->SaveButton->isEnabled());
  // Program and Download are enabled as their menu commands are, and
  // Compile while no tool is being waited for.
  EXPECT_EQ(form->ProgramButton->isEnabled(), form->Program1->isEnabled());
  EXPECT_EQ(form->DownloadButton->isEnabled(), form->Download1->isEnabled());
  EXPECT_TRUE(form->CompileButton->isEnabled());
  EXPECT_TRUE(form->ASMButton->isEnabled());
}

TEST_F(StatusBarTest, CloseAllClearsThePanelsOfTheLastDocument) {
  Open(Put("a.bas", "one\r\ntwo\r\n"));
  Key(Qt::Key_Down);
  Type("x");
  Key(Qt::Key_Insert);
  ASSERT_EQ(Panel(0), "     2:   2");
  ASSERT_EQ(Panel(1), "Modified");
  Answer({"No"});
  form->CloseAll1Click(nullptr);
  ASSERT_EQ(Tabs(), 0);
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(Panel(i), "") << "panel " << i;
  // A new document fills them again.
  form->NewButtonClick(nullptr);
  EXPECT_EQ(Panel(0), "     1:   1");
  EXPECT_EQ(Panel(5), " Overwrite");
}

TEST_F(StatusBarTest, InformationTextShowsForTwoSecondsThenTheModeReturns) {
  Type("a");
  ASSERT_EQ(Panel(5), " Insert");
  form->ShowInfo("Printing page 1");
  EXPECT_EQ(Panel(5), "  Printing page 1");
  EXPECT_TRUE(form->FInfoTimer->isActive());
  // Typing during the text keeps it.
  Type("b");
  EXPECT_EQ(Panel(5), "  Printing page 1");
  // A second text restarts the time: once half of it has passed, more than
  // that half remains again (the repaint after the restart takes a little).
  ASSERT_TRUE(QTest::qWaitFor([&] { return form->FInfoTimer->remainingTime() < 1000; }, 60000));
  const int before = form->FInfoTimer->remainingTime();
  form->ShowInfo("Printing page 2");
  EXPECT_EQ(Panel(5), "  Printing page 2");
  EXPECT_GT(form->FInfoTimer->remainingTime(), before);
  // The time running out brings the mode back and stops the timer.
  form->FInfoTimer->setInterval(50);
  form->FInfoTimer->start();
  EXPECT_TRUE(QTest::qWaitFor([&] { return Panel(5) == " Insert"; }, 60000));
  EXPECT_FALSE(form->FInfoTimer->isActive());
}

TEST_F(StatusBarTest, InformationTimerIsTwoSecondsAndHintsReachIt) {
  EXPECT_EQ(form->FInfoTimer->interval(), 2000);
  QStatusTipEvent tip(QStringLiteral("Open an existing file"));
  QApplication::sendEvent(form.get(), &tip);
  EXPECT_EQ(Panel(5), "  Open an existing file");
  EXPECT_TRUE(form->FInfoTimer->isActive());
  EXPECT_TRUE(form->FInfoTimer->isSingleShot() || form->FInfoTimer->interval() == 2000);
  QElapsedTimer t;
  t.start();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !form->FInfoTimer->isActive(); }, 60000));
  // A lower bound only: a loaded machine can make the wait longer, never shorter.
  EXPECT_GE(t.elapsed(), 1800);
  EXPECT_EQ(Panel(5), " Insert");
}

TEST_F(StatusBarTest, CaptionIsTheCurrentFilesFullPath) {
  const std::string a = Put("a.bas", "A"), b = Put("b.bas", "B");
  Open(a);
  Open(b);
  EXPECT_EQ(form->windowTitle(), QString::fromStdString(b));
  SelectTab(0);
  EXPECT_EQ(form->windowTitle(), QString::fromStdString(a));
}

// Without documents only File and Help are on the bar. Merely hidden, the
// other menus' Alt keys still put the bar into its keyboard mode unseen (under
// X), where an arrow key opens File and Return chooses Exit.
TEST_F(StatusBarTest, WithoutDocumentsOnlyFileAndHelpAreOnTheMenuBar) {
  auto titles = [&] {
    QStringList t;
    for (QAction *a : form->menuBar()->actions())
      t << a->text();
    return t.join(' ');
  };
  EXPECT_EQ(titles(), "&File &Edit &Search &Options &View &Help");
  form->CloseAll1Click(nullptr);
  EXPECT_EQ(titles(), "&File &Help");
  form->NewButtonClick(nullptr);
  EXPECT_EQ(titles(), "&File &Edit &Search &Options &View &Help");
  Type("x");
  EXPECT_EQ(titles(), "&File &Edit &Search &Options &View &Help");
}
