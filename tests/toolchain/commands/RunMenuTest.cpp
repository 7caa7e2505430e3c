// The Run menus built from the tool folder at start-up, and the result file a
// Run entry hands back into the editor.
#include "FileScan.h"
#include "ToolCommandsFixture.h"

#include <QAction>
#include <QTest>

#include <fstream>

namespace {

using kxtools::ToolsTest;
namespace fs = std::filesystem;

class RunMenuTest : public ToolsTest {
protected:
  bool RunMenusShown() {
    const bool options = form->Run_Program_Option->menuAction()->isVisible() &&
                         form->Run_Separator->isVisible() &&
                         form->Run_Program_Option->menuAction()->isEnabled();
    const bool popup = form->PopUp_Menu_RUNLIST->menuAction()->isVisible() &&
                       form->PopUp_Run_Separator->isVisible() &&
                       form->PopUp_Menu_RUNLIST->menuAction()->isEnabled();
    EXPECT_EQ(options, popup);
    return options && popup;
  }
  QAction *Entry(QMenu *menu, const QString &caption) {
    for (QAction *a : menu->actions())
      if (a->text() == caption)
        return a;
    return nullptr;
  }
  std::string ResultFile() { return tools + "RES_FILE.TXT"; }
  int64_t Size(const std::string &path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
  }
};

TEST_F(RunMenuTest, NoToolFolderOrNoToolGivesNoRunMenu) {
  Start();
  EXPECT_FALSE(RunMenusShown());
  fs::create_directories(tools);
  Tool("readme.txt");
  Tool(".hidden.exe");
  Tool("sub/deep.exe");
  Start();
  EXPECT_FALSE(RunMenusShown());
  // The placeholder entry is all the submenus hold.
  EXPECT_EQ(Entries(form->Run_Program_Option), QStringList{QString()});
}

TEST_F(RunMenuTest, TwoToolsGiveTwoEntriesInEachMenuAndNoPlaceholder) {
  Tool("PICCALC.EXE");
  Tool("serial.exe");
  Tool("notes.txt");
  Start();
  ASSERT_TRUE(RunMenusShown());
  EXPECT_EQ(Entries(form->Run_Program_Option), (QStringList{"PICCALC.EXE", "serial.exe"}));
  EXPECT_EQ(Entries(form->PopUp_Menu_RUNLIST), (QStringList{"PICCALC.EXE", "serial.exe"}));
  EXPECT_EQ(form->ToolList,
            (std::vector<std::string>{tools + "PICCALC.EXE", tools + "serial.exe"}));
  EXPECT_TRUE(form->FileScan1->Results.empty());
}

TEST_F(RunMenuTest, ProgramsOfAnyNameAndSubfoldersAreTools) {
  Tool("b.exe");
  Tool("a-native-tool", 0755);
  Tool("data.bin", 0644);
  Tool("v1.2/inner.EXE");
  Tool("more/x&y tool", 0700);
  Start();
  ASSERT_TRUE(RunMenusShown());
  EXPECT_EQ(Entries(form->Run_Program_Option),
            (QStringList{"a-native-tool", "b.exe", "x&&y tool", "inner.EXE"}));
}

TEST_F(RunMenuTest, AFolderOfTenThousandToolsAndALinkLoop) {
  fs::create_directories(tools + "many");
  for (int i = 0; i < 10000; ++i)
    std::ofstream(tools + "many/t" + std::to_string(100000 + i) + ".exe");
  Tool("first.exe");
  fs::create_symlink("..", tools + "many/loop");
  Start();
  ASSERT_TRUE(RunMenusShown());
  EXPECT_EQ(form->Run_Program_Option->actions().size(), 10001);
  EXPECT_EQ(form->PopUp_Menu_RUNLIST->actions().size(), 10001);
  EXPECT_EQ(form->Run_Program_Option->actions().first()->text(), "first.exe");
  EXPECT_EQ(form->Run_Program_Option->actions().last()->text(), "t109999.exe");
}

TEST_F(RunMenuTest, TheResultFileReplacesTheSelectionAndIsEmptied) {
  Tool("gone.exe");
  Start();
  QTest::keyClicks(Memo(), "say world now");
  Memo()->SetSelection(4, 9);
  WriteFileAtomic(ResultFile(), "hello");
  QAction *entry = Entry(form->Run_Program_Option, "gone.exe");
  ASSERT_NE(entry, nullptr);
  // The tool is gone by now: nothing runs, but the result file still counts.
  fs::remove(tools + "gone.exe");
  entry->trigger();
  EXPECT_EQ(Memo()->Text(), "say hello now");
  EXPECT_EQ(Size(ResultFile()), 0);
  // An empty result file replaces the selection with nothing.
  Memo()->SetSelection(4, 10);
  Entry(form->PopUp_Menu_RUNLIST, "gone.exe")->trigger();
  EXPECT_EQ(Memo()->Text(), "say now");
  EXPECT_EQ(Size(ResultFile()), 0);
  // No selection: the text goes in at the caret; and it can be undone.
  Memo()->SetSelection(3, 3);
  WriteFileAtomic(ResultFile(), ",");
  entry->trigger();
  EXPECT_EQ(Memo()->Text(), "say, now");
}

TEST_F(RunMenuTest, BinaryAndLargeResultFilesGoInWhole) {
  Tool("t.exe");
  Start();
  // Every byte but the line breaks and the control codes the editor shows as
  // dots goes in as it is; the control codes keep their places.
  std::string printable = "\t";
  for (int i = 0x20; i < 256; ++i)
    printable += static_cast<char>(i);
  WriteFileAtomic(ResultFile(), printable);
  Entry(form->Run_Program_Option, "t.exe")->trigger();
  EXPECT_EQ(Memo()->Text(), printable);
  EXPECT_EQ(Size(ResultFile()), 0);
  Memo()->SelectAll();
  const std::string controls("a\0b\x01\x1f\x7f", 6);
  WriteFileAtomic(ResultFile(), controls);
  Entry(form->Run_Program_Option, "t.exe")->trigger();
  EXPECT_EQ(Memo()->TextLength(), 6);
  EXPECT_EQ(Memo()->CharAt(0), 'a');
  EXPECT_EQ(Memo()->CharAt(2), 'b');
  EXPECT_EQ(Size(ResultFile()), 0);

  Memo()->SelectAll();
  std::string big;
  const std::string line(99, 'x');
  while (big.size() < 50u * 1000 * 1000)
    big += line + "\r\n";
  WriteFileAtomic(ResultFile(), big);
  Entry(form->Run_Program_Option, "t.exe")->trigger();
  EXPECT_EQ(Memo()->LineCount(), static_cast<int64_t>(big.size() / 101));
  EXPECT_EQ(Memo()->TextLength(), static_cast<int64_t>(big.size() / 101 * 100));
  EXPECT_EQ(Size(ResultFile()), 0);
}

TEST_F(RunMenuTest, AResultThatCannotGoInStaysInItsFile) {
  Tool("t.exe");
  Start();
  QTest::keyClicks(Memo(), "keep");
  Memo()->SetReadOnly(true);
  WriteFileAtomic(ResultFile(), "lost?");
  Entry(form->Run_Program_Option, "t.exe")->trigger();
  EXPECT_EQ(Memo()->Text(), "keep");
  EXPECT_EQ(ReadWholeFile(ResultFile()), "lost?");
}

} // namespace
