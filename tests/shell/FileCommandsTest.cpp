// The file commands through the main window: new, open with its questions,
// the untouched untitled tab, recent files, save with the ".BAK" copy, save
// as, close, close all, exit, dropped files, and the history file's exact
// bytes after each of them.
#include "FileCommandsTestFixture.h"

#include <QAction>
#include <QMenu>

#include <sys/stat.h>

using namespace kxdocs;

namespace {

class FileCommands : public DocsTest {};

QStringList ReopenCaptions(TEditorMainForm *f) {
  QStringList out;
  for (QAction *a : f->Reopen1->actions())
    if (a->isVisible())
      out << a->text();
  return out;
}

} // namespace

TEST_F(FileCommands, StartUpLeavesOneUntitledDocumentAndAnEmptyRecentList) {
  EXPECT_EQ(Tabs(), 1);
  EXPECT_EQ(TabText(0), "No_name.bas");
  EXPECT_EQ(form->windowTitle(), "No_name.bas");
  EXPECT_EQ(History(), "[MRU]\r\n\r\n");
  EXPECT_EQ(ReopenCaptions(form.get()), QStringList{"<No entries>"});
  EXPECT_FALSE(form->ReopenPlaceholder->isEnabled());
}

TEST_F(FileCommands, OpeningReplacesAnUntouchedUntitledTabButNotOneWithText) {
  const std::string a = Put("a.bas", "alpha\r\n");
  const std::string b = Put("b.bas", "beta\r\n");
  Open(a);
  ASSERT_EQ(Tabs(), 1);
  EXPECT_EQ(TabText(0), "a.bas");
  EXPECT_EQ(Text(), "alpha\r");
  EXPECT_EQ(form->windowTitle(), QString::fromStdString(a));
  EXPECT_EQ(Panel(1), "");
  // The working directory is stored.
  EXPECT_EQ(TIniFile(dir + "KX_INC/KORVEX.INI").ReadString("WORKING_DIRECTORY", "PATHNAME", "?"),
            root.string());

  form->NewButtonClick(nullptr);
  Type("typed");
  Open(b);
  ASSERT_EQ(Tabs(), 3);
  EXPECT_EQ(TabText(1), "No_name.bas");
  EXPECT_EQ(TabText(2), "b.bas");
  EXPECT_EQ(TabIndex(), 2);
  SelectTab(1);
  EXPECT_EQ(Text(), "typed");
  EXPECT_EQ(Panel(1), "Modified");
}

TEST_F(FileCommands, OpenDialogUsesTheFilterAndTheStoredWorkingDirectory) {
  const std::string a = Put("a.bas", "x");
  SetIni("WORKING_DIRECTORY", "PATHNAME", "/some/where");
  Answer({a});
  form->OpenButtonClick(nullptr);
  ASSERT_EQ(rec->Records.size(), 1u);
  EXPECT_EQ(rec->Records[0].Kind, "OPEN");
  EXPECT_EQ(
      rec->Records[0].Type,
      "TARNIC files|*.bas;|INCLUDE files|*.inc;|ASM files|*.asm;|PBP files|*.pbp;|All files|*.*");
  EXPECT_EQ(rec->Records[0].Buttons, "/some/where");
  EXPECT_EQ(TabText(0), "a.bas");
  // Cancel changes nothing.
  form->OpenButtonClick(nullptr);
  EXPECT_EQ(Tabs(), 1);
}

TEST_F(FileCommands, OpeningAMissingFileWhileADocumentIsShownAsksNothingElse) {
  Open(dir + "gone.bas");
  EXPECT_EQ(Messages(),
            std::vector<std::string>{"Cannot Find or Open File\r\"" + dir + "gone.bas\""});
  EXPECT_EQ(Tabs(), 1);
  EXPECT_EQ(TabText(0), "No_name.bas");
}

TEST_F(FileCommands, OpeningWithNoDocumentReachesTheEditorsLoadError) {
  form->CloseAll1Click(nullptr);
  ASSERT_EQ(Tabs(), 0);
  const std::string missing = dir + "gone.bas";
  EXPECT_FALSE(RunCommand([&] { Open(missing); }));
  EXPECT_EQ(Messages().back(), "File '" + missing + "' cannot be opened for reading");
  EXPECT_EQ(Tabs(), 0);
}

TEST_F(FileCommands, ReopeningAnOpenFileAsksAndReloadsFromDiskOnYes) {
  const std::string a = Put("a.bas", "disk\r\n");
  Open(a);
  Type("edit ");
  Answer({"No"});
  Open(a);
  EXPECT_EQ(Messages().back(), "File \"" + a + "\" is already open\rDo you wish to reload ?");
  EXPECT_EQ(Text(), "edit disk\r");
  EXPECT_EQ(Tabs(), 1);
  // Yes, then No at the save question: the disk version comes back.
  Answer({"Yes", "No"});
  form->ReOpenFileClick(nullptr);
  const auto m = Messages();
  EXPECT_EQ(m[m.size() - 1], "File \"" + a + "\" has been modified\r\nSave changes ?");
  EXPECT_EQ(Tabs(), 1);
  EXPECT_EQ(Text(), "disk\r");
  EXPECT_EQ(Panel(1), "");
  // Yes, then Cancel at the save question: nothing happens.
  Type("again ");
  Answer({"Yes", "Cancel"});
  Open(a);
  EXPECT_EQ(Tabs(), 1);
  EXPECT_EQ(Text(), "again disk\r");
}

TEST_F(FileCommands, SavingTwiceLeavesTheEarlierContentsInTheBakFile) {
  const std::string a = Put("prog.bas", "v0\r\n");
  Open(a);
  Type("1");
  form->SaveButtonClick(nullptr);
  EXPECT_EQ(Get(a), "1v0\r\n");
  EXPECT_EQ(Get(dir + "prog.BAK"), "v0\r\n");
  EXPECT_EQ(Panel(1), "");
  Type("2");
  EXPECT_EQ(Panel(1), "Modified");
  form->SaveButtonClick(nullptr);
  EXPECT_EQ(Get(a), "12v0\r\n");
  EXPECT_EQ(Get(dir + "prog.BAK"), "1v0\r\n");
  // Files without an extension get it appended.
  const std::string plain = Put("makefile", "m");
  Open(plain);
  Type("x");
  form->SaveButtonClick(nullptr);
  EXPECT_EQ(Get(dir + "makefile.BAK"), "m");
}

TEST_F(FileCommands, AFileWithOnlyLfLineBreaksIsSavedWithLfEveryOtherWithCrLf) {
  // LF only: typed lines get LF too, and Save As keeps the style.
  const std::string unix = Put("unix.bas", "a\nb\n");
  Open(unix);
  Key(Qt::Key_End);
  Key(Qt::Key_Return);
  Type("new");
  form->SaveButtonClick(nullptr);
  EXPECT_EQ(Get(unix), "a\nnew\nb\n");
  EXPECT_EQ(Get(dir + "unix.BAK"), "a\nb\n");
  Answer({dir + "renamed.bas"});
  form->SaveAs1Click(nullptr);
  EXPECT_EQ(Get(dir + "renamed.bas"), "a\nnew\nb\n");

  // One CR LF among the LFs: the file is written as the Parts say, CR LF.
  const std::string mixed = Put("mixed.bas", "a\nb\r\nc\n");
  Open(mixed);
  Type("x");
  form->SaveButtonClick(nullptr);
  EXPECT_EQ(Get(mixed), "xa\r\nb\r\nc\r\n");

  // No line break at all, and a new document: CR LF like every new file.
  const std::string single = Put("single.bas", "end");
  Open(single);
  Key(Qt::Key_End);
  Key(Qt::Key_Return);
  form->SaveButtonClick(nullptr);
  EXPECT_EQ(Get(single), "end\r\n");
  form->NewButtonClick(nullptr);
  Type("one");
  Key(Qt::Key_Return);
  Answer({dir + "fresh.bas"});
  form->SaveButtonClick(nullptr);
  EXPECT_EQ(Get(dir + "fresh.bas"), "one\r\n");

  // The style stays with its document across tab changes.
  SelectTab(form->FindDocument(dir + "renamed.bas"));
  Key(Qt::Key_Home, Qt::ControlModifier);
  Type("z");
  form->SaveButtonClick(nullptr);
  EXPECT_EQ(Get(dir + "renamed.bas"), "za\nnew\nb\n");
}

TEST_F(FileCommands, BackupKeepsTheDocumentsPermissionsAndReplacesALinkInItsPlace) {
  const mode_t mask = ::umask(022); // new files would be world-readable
  const std::string a = Put("secret.bas", "v0\r\n");
  fs::permissions(a, fs::perms::owner_read | fs::perms::owner_write);
  Open(a);
  Type("1");
  form->SaveButtonClick(nullptr);
  const std::string bak = dir + "secret.BAK";
  EXPECT_EQ(Get(bak), "v0\r\n");
  EXPECT_EQ(fs::status(bak).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  // An existing, more open backup follows the document's permissions too.
  fs::permissions(bak, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
  Type("2");
  form->SaveButtonClick(nullptr);
  EXPECT_EQ(fs::status(bak).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  // A backup name that is a symbolic link: the link goes, its target stays.
  const std::string other = Put("other.txt", "someone else's file");
  fs::remove(bak);
  fs::create_symlink(other, bak);
  Type("3");
  form->SaveButtonClick(nullptr);
  EXPECT_TRUE(Messages().empty());
  EXPECT_FALSE(fs::is_symlink(bak));
  EXPECT_EQ(Get(bak), "12v0\r\n");
  EXPECT_EQ(Get(other), "someone else's file");
  EXPECT_EQ(Get(a), "123v0\r\n");
  ::umask(mask);
}

TEST_F(FileCommands, SaveOfAnUntitledDocumentRunsSaveAsAndCancelWritesNothing) {
  Type("hello");
  Answer({"Cancel"});
  form->SaveButtonClick(nullptr);
  EXPECT_EQ(rec->Records.back().Kind, "SAVE");
  EXPECT_EQ(rec->Records.back().Type, "TARNIC files|*.bas;|INCLUDE files|*.inc;|All files|*.*");
  EXPECT_EQ(rec->Records.back().Text, "No_name.bas");
  EXPECT_FALSE(fs::exists(dir + "No_name.bas"));
  EXPECT_FALSE(fs::exists("No_name.bas"));
  EXPECT_FALSE(fs::exists("No_name.BAK"));
  EXPECT_EQ(Panel(1), "Modified");

  const std::string target = dir + "new.bas";
  Answer({target});
  form->SaveButtonClick(nullptr);
  EXPECT_EQ(Get(target), "hello");
  EXPECT_EQ(Get(dir + "new.BAK"), "hello");
  EXPECT_EQ(TabText(0), "new.bas");
  EXPECT_EQ(form->windowTitle(), QString::fromStdString(target));
  EXPECT_EQ(Panel(1), "");
}

TEST_F(FileCommands, SaveAsRenamesTheTabAndStartsInTheFilesFolder) {
  const std::string a = Put("a.bas", "text");
  Open(a);
  fs::create_directories(root / "sub");
  const std::string other = dir + "sub/other.bas";
  Answer({other});
  form->SaveAs1Click(nullptr);
  EXPECT_EQ(rec->Records.back().Buttons, root.string());
  EXPECT_EQ(rec->Records.back().Text, a);
  EXPECT_EQ(Get(other), "text");
  EXPECT_EQ(TabText(0), "other.bas");
  // The caption follows at once, not at the next key.
  EXPECT_EQ(form->windowTitle(), QString::fromStdString(other));
  // Save As keeps the working directory where the last open put it.
  EXPECT_EQ(TIniFile(dir + "KX_INC/KORVEX.INI").ReadString("WORKING_DIRECTORY", "PATHNAME", "?"),
            root.string());
}

TEST_F(FileCommands, SaveAsOntoAFileOpenInAnotherTabLeavesOneTabOnIt) {
  const std::string a = Put("a.bas", "A text");
  const std::string b = Put("b.bas", "B text");
  const std::string c = Put("c.bas", "C text");
  Open(a);
  Open(b);
  Type("edited ");
  Open(c);
  SelectTab(0);
  ASSERT_EQ(TabText(TabIndex()), "a.bas");

  // The other tab's unsaved changes would be lost: asked first, and No
  // writes nothing and keeps both tabs.
  Answer({b, "No"});
  form->SaveAs1Click(nullptr);
  EXPECT_EQ(Messages().back(), "File \"" + b +
                                   "\" is open in another tab with unsaved changes.\r\nReplace it "
                                   "and lose those changes ?");
  EXPECT_EQ(rec->Records.back().Buttons, "Yes,No");
  EXPECT_EQ(Get(b), "B text");
  EXPECT_EQ(Tabs(), 3);

  Answer({b, "Yes"});
  form->SaveAs1Click(nullptr);
  EXPECT_EQ(Get(b), "A text");
  ASSERT_EQ(Tabs(), 2);
  EXPECT_EQ(TabText(0), "b.bas");
  EXPECT_EQ(TabText(1), "c.bas");
  EXPECT_EQ(TabIndex(), 0);
  EXPECT_EQ(Text(), "A text");
  EXPECT_EQ(form->windowTitle(), QString::fromStdString(b));
  EXPECT_TRUE(form->OpenFilesTab->tabIcon(0).isNull()) << "the saved document still marked modified";

  // An unchanged tab on the target goes without a question; the document
  // saved stays current even when the closed tab stood before it.
  const size_t asked = Messages().size();
  SelectTab(1);
  Type("more ");
  form->SyntaxMemo1Change(nullptr);
  ASSERT_FALSE(form->OpenFilesTab->tabIcon(1).isNull());
  Answer({b});
  form->SaveAs1Click(nullptr);
  EXPECT_EQ(Messages().size(), asked);
  EXPECT_EQ(Get(b), "more C text");
  ASSERT_EQ(Tabs(), 1);
  EXPECT_EQ(TabText(0), "b.bas");
  EXPECT_EQ(TabIndex(), 0);
  EXPECT_EQ(Text(), "more C text");
  EXPECT_EQ(Get(c), "C text");
  EXPECT_TRUE(form->OpenFilesTab->tabIcon(0).isNull()) << "the saved document still marked modified";
}

TEST_F(FileCommands, SaveAsBeforeAnyOpenStartsInTheStoredFolderAndKeepsIt) {
  SetIni("WORKING_DIRECTORY", "PATHNAME", root.string());
  Type("new text");
  Answer({"Cancel"});
  form->SaveAs1Click(nullptr);
  EXPECT_EQ(rec->Records.back().Kind, "SAVE");
  EXPECT_EQ(rec->Records.back().Buttons, root.string());
  EXPECT_EQ(TIniFile(dir + "KX_INC/KORVEX.INI").ReadString("WORKING_DIRECTORY", "PATHNAME", "?"),
            root.string());
}

TEST_F(FileCommands, CloseOfAModifiedDocumentWithYesNoCancel) {
  const std::string a = Put("a.bas", "A");
  Open(a);
  Type("x");
  Answer({"Cancel"});
  form->Close1Click(nullptr);
  EXPECT_EQ(Tabs(), 1);
  EXPECT_EQ(Messages().back(), "File \"" + a + "\" has been modified\r\nSave changes ?");
  EXPECT_EQ(rec->Records.back().Type, "Confirmation");
  EXPECT_EQ(rec->Records.back().Buttons, "Yes,No,Cancel");
  Answer({"No"});
  form->Close1Click(nullptr);
  EXPECT_EQ(Tabs(), 0);
  EXPECT_EQ(Get(a), "A");

  Open(a);
  Type("y");
  Answer({"Yes"});
  form->Close1Click(nullptr);
  EXPECT_EQ(Tabs(), 0);
  EXPECT_EQ(Get(a), "yA");
}

TEST_F(FileCommands, ClosingTheLastTabHidesTheEditAreaAndWritesTheRecentList) {
  const std::string a = Put("a.bas", "A");
  Open(a);
  form->Close1Click(nullptr);
  EXPECT_EQ(Tabs(), 0);
  EXPECT_TRUE(form->EditAreaPanel->isHidden());
  EXPECT_EQ(form->windowTitle(), "KORVEX Compiler");
  EXPECT_EQ(History(), "[MRU]\r\n" + a + "\r\n\r\n");
  EXPECT_EQ(ReopenCaptions(form.get()), QStringList{QString::fromStdString(a)});
  // An untitled document never enters the list.
  form->NewButtonClick(nullptr);
  EXPECT_FALSE(form->EditAreaPanel->isHidden());
  form->Close1Click(nullptr);
  EXPECT_EQ(History(), "[MRU]\r\n" + a + "\r\n\r\n");
}

TEST_F(FileCommands, RecentFilesAreEnteredOnCloseAtTheTopAndKeepTheirPlace) {
  const std::string a = Put("a.bas", "A"), b = Put("b.bas", "B");
  Open(a);
  form->Close1Click(nullptr);
  Open(b);
  form->Close1Click(nullptr);
  EXPECT_EQ(History(), "[MRU]\r\n" + b + "\r\n" + a + "\r\n\r\n");
  Open(a);
  form->Close1Click(nullptr);
  EXPECT_EQ(History(), "[MRU]\r\n" + b + "\r\n" + a + "\r\n\r\n");
  EXPECT_EQ(ReopenCaptions(form.get()),
            (QStringList{QString::fromStdString(b), QString::fromStdString(a)}));
  // Clicking a recent item opens it.
  QAction *item = form->Reopen1->actions().at(1);
  ASSERT_NE(item, form->ReopenPlaceholder);
  item->trigger();
  ASSERT_EQ(Tabs(), 1);
  EXPECT_EQ(TabText(0), "b.bas");
}

TEST_F(FileCommands, TheRecentListKeepsOtherSectionsOfTheHistoryFile) {
  form->EdPersistent->SetFindHistory({"needle"});
  const std::string a = Put("a.bas", "A");
  Open(a);
  form->Close1Click(nullptr);
  EXPECT_EQ(History(), "[FindHistory]\r\nneedle\r\n\r\n[MRU]\r\n" + a + "\r\n\r\n");
}

TEST_F(FileCommands, CloseAllStopsAtCancelLeavingThatDocumentAndTheRestOpen) {
  const std::string a = Put("a.bas", "A"), b = Put("b.bas", "B"), c = Put("c.bas", "C");
  Open(a);
  Open(b);
  Open(c);
  SelectTab(1);
  Type("changed ");
  SelectTab(0);
  Answer({"Cancel"});
  form->CloseAll1Click(nullptr);
  ASSERT_EQ(Tabs(), 2);
  EXPECT_EQ(TabText(0), "b.bas");
  EXPECT_EQ(TabText(1), "c.bas");
  EXPECT_EQ(Text(), "changed B");
  EXPECT_EQ(History(), "[MRU]\r\n" + a + "\r\n\r\n");
  Answer({"No"});
  form->CloseAll1Click(nullptr);
  EXPECT_EQ(Tabs(), 0);
  EXPECT_EQ(History(), "[MRU]\r\n" + c + "\r\n" + b + "\r\n" + a + "\r\n\r\n");
}

TEST_F(FileCommands, ExitAsksForEachModifiedDocument) {
  const std::string a = Put("a.bas", "A"), b = Put("b.bas", "B");
  Open(a);
  Type("1");
  Open(b);
  Type("2");
  // Cancel at the first: nothing closes.
  Answer({"Cancel"});
  EXPECT_FALSE(form->close());
  EXPECT_EQ(Messages().back(), "File \"" + a + "\" has been modified\r\nSave changes ?");
  EXPECT_EQ(Tabs(), 2);
  EXPECT_EQ(TabIndex(), 0);
  EXPECT_EQ(Text(), "1A");
  // Yes to the first, No to the second.
  Answer({"Yes", "No"});
  EXPECT_TRUE(form->close());
  EXPECT_EQ(Tabs(), 0);
  EXPECT_EQ(Get(a), "1A");
  EXPECT_EQ(Get(b), "B");
  EXPECT_EQ(History(), "[MRU]\r\n" + b + "\r\n" + a + "\r\n\r\n");
}

TEST_F(FileCommands, ExitWithAnUntitledDocumentWhoseSaveIsCancelledStaysOpen) {
  Type("unsaved work");
  Answer({"Yes", "Cancel"});
  EXPECT_FALSE(form->close());
  EXPECT_EQ(Tabs(), 1);
  EXPECT_EQ(Text(), "unsaved work");
  // Close asks the same and also keeps it.
  Answer({"Yes", "Cancel"});
  form->Close1Click(nullptr);
  EXPECT_EQ(Tabs(), 1);
}

TEST_F(FileCommands, DroppingThreeFilesOpensTheFirstAndKeepsTheWorkingDirectory) {
  SetIni("WORKING_DIRECTORY", "PATHNAME", "/kept");
  const std::string a = Put("a.bas", "A"), b = Put("b.bas", "B"), c = Put("c.bas", "C");
  ASSERT_TRUE(Memo()->OnFilesDropped);
  Memo()->OnFilesDropped(Memo(), {a, b, c});
  ASSERT_EQ(Tabs(), 1);
  EXPECT_EQ(TabText(0), "a.bas");
  EXPECT_EQ(TIniFile(dir + "KX_INC/KORVEX.INI").ReadString("WORKING_DIRECTORY", "PATHNAME", "?"),
            "/kept");
  EXPECT_FALSE(form->DroppedFile);
  // A later ordinary open stores its folder again.
  fs::create_directories(root / "d");
  Open(Put("d/x.bas", "X"));
  EXPECT_EQ(TIniFile(dir + "KX_INC/KORVEX.INI").ReadString("WORKING_DIRECTORY", "PATHNAME", "?"),
            dir + "d");
  // A drop of a missing file does nothing.
  Memo()->OnFilesDropped(Memo(), {dir + "none.bas"});
  EXPECT_EQ(Tabs(), 2);
  int types = 0x401;
  Memo()->OnDataDrop(Memo(), types);
  EXPECT_EQ(types, 0x1);
  types = 0x400;
  Memo()->OnDataDrop(Memo(), types);
  EXPECT_EQ(types, 0x400);
}

TEST_F(FileCommands, AnyFileOpens) {
  std::string bin;
  for (int i = 0; i < 10000; ++i)
    bin.push_back(static_cast<char>((i * 31) & 0xFF));
  Open(Put("binary.hex", bin));
  EXPECT_EQ(TabText(0), "binary.hex");
  fs::create_directories(root / "with blank");
  const std::string odd = Put("with blank/n\xC3\xA4me \xC3\xA9.bas", "odd");
  Open(odd);
  EXPECT_EQ(Tabs(), 2);
  EXPECT_EQ(Text(), "odd");
  EXPECT_EQ(form->FindDocument(odd), 1);
  Type("!");
  form->SaveButtonClick(nullptr);
  EXPECT_EQ(Get(odd), "!odd");
  Open(Put("longline.bas", std::string(10 << 20, 'L')));
  EXPECT_EQ(Memo()->TextLength(), 10 << 20);
  // Names that are not valid UTF-8 open and save under their own bytes.
  const std::string raw = Put("raw\xE4\xFF.bas", "raw");
  Open(raw);
  EXPECT_EQ(Text(), "raw");
  Type("+");
  form->SaveButtonClick(nullptr);
  EXPECT_EQ(Get(raw), "+raw");
  EXPECT_TRUE(Messages().empty());
  // A folder is no file.
  EXPECT_FALSE(RunCommand([&] { Open(dir + "with blank"); }));
  EXPECT_EQ(Tabs(), 4);
}

TEST_F(FileCommands, TwoUntitledDocumentsBothShowTheirName) {
  form->NewButtonClick(nullptr);
  EXPECT_EQ(Tabs(), 2);
  EXPECT_EQ(TabText(0), "No_name.bas");
  EXPECT_EQ(TabText(1), "No_name.bas");
  EXPECT_EQ(form->windowTitle(), "No_name.bas");
  EXPECT_EQ(form->FindDocument("No_name.bas"), 0);
}

TEST_F(FileCommands, AnUnwritableHistoryFileIsReportedAndTheCloseGoesOn) {
  fs::create_directories(root / "hist.DAT"); // a folder cannot be replaced by the file
  form->EdPersistent = std::make_unique<TEdPersistent>(dir + "hist.DAT");
  const std::string a = Put("a.bas", "A");
  Open(a);
  form->Close1Click(nullptr);
  EXPECT_EQ(Tabs(), 0);
  // Once for the untitled tab the open replaced, once for this close.
  ASSERT_EQ(Messages().size(), 2u);
  for (const std::string &m : Messages())
    EXPECT_NE(m.find(dir + "hist.DAT"), std::string::npos) << m;
  // The list is kept in memory and offered in the menu.
  EXPECT_EQ(form->RecentFiles, std::vector<std::string>{a});
  QStringList captions;
  for (QAction *item : form->Reopen1->actions())
    if (item->isVisible())
      captions << item->text();
  EXPECT_EQ(captions, QStringList{QString::fromStdString(a)});
}

TEST_F(FileCommands, TheCommandLineFileIsTheOnlyTabAtStartUp) {
  const std::string a = Put("cmd line.bas", "from the command line\r\n");
  Start(a);
  ASSERT_EQ(Tabs(), 1);
  EXPECT_EQ(TabText(0), "cmd line.bas");
  EXPECT_EQ(Text(), "from the command line\r");
  EXPECT_EQ(form->windowTitle(), QString::fromStdString(a));
  EXPECT_EQ(Panel(0), "     1:   1");
  EXPECT_TRUE(Messages().empty());
}

TEST_F(FileCommands, AMissingCommandLineFileIsReportedAndANewDocumentOpens) {
  const std::string missing = dir + "not there.bas";
  Start(missing);
  EXPECT_EQ(Messages(),
            std::vector<std::string>{"File '" + missing + "' cannot be opened for reading"});
  ASSERT_EQ(Tabs(), 1);
  EXPECT_EQ(TabText(0), "No_name.bas");
  EXPECT_EQ(form->windowTitle(), "No_name.bas");
  Type("ok");
  EXPECT_EQ(Text(), "ok");
}
