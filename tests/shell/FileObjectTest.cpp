// Document records over one editor: whole stores change places, so each
// document keeps its text, selection, top line, undo history and bookmarks;
// the save point follows saves and undo; a failed load changes nothing.
#include "FileObject.h"
#include "KorvexError.h"
#include "Streams.h"
#include "SyntaxMemo.h"
#include "TextStore.h"
#include "UndoStack.h"

#include "ShellTestApp.h"

#include <gtest/gtest.h>

#include <QTest>

#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class FileObjectTest : public ::testing::Test {
protected:
  void SetUp() override {
    ShellTestApp();
    editor = std::make_unique<TSyntaxMemo>();
    editor->resize(600, 400);
    // The window's rule: the store the editor shows belongs to a document.
    spare.reset(editor->Store());
    editor->Perform(SM_TEXTSTORE, 1, reinterpret_cast<intptr_t>(new TTextStore));
    dir = fs::temp_directory_path() / ("kx_fobj_" + std::to_string(::getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override {
    TTextStore *shown = editor->Store();
    editor.reset();
    delete shown;
    fs::remove_all(dir);
  }
  std::string File(const std::string &name, const std::string &bytes) {
    const std::string p = (dir / name).string();
    WriteFileAtomic(p, bytes);
    return p;
  }

  std::unique_ptr<TSyntaxMemo> editor;
  std::unique_ptr<TTextStore> spare;
  fs::path dir;
};

} // namespace

TEST_F(FileObjectTest, FreshRecordHasItsDefaults) {
  TFileObject d;
  EXPECT_EQ(d.FileName, "No_name.bas");
  EXPECT_EQ(d.FontName, "Courier New");
  EXPECT_EQ(d.FontSize, 10);
  EXPECT_EQ(d.FontCharset, 1);
  EXPECT_EQ(d.TopLine, 0);
  EXPECT_EQ(d.SavedCount, 0);
  EXPECT_FALSE(d.WordWrap);
  EXPECT_FALSE(d.ShowAllActive);
  ASSERT_NE(d.TextStore, nullptr);
  EXPECT_EQ(d.TextStore->CharCount(), 0);
}

TEST_F(FileObjectTest, TwoDocumentsKeepTheirOwnTextSelectionTopLineUndoAndBookmarks) {
  TFileObject a, b;
  a.ClearIntoEditor(editor.get());
  a.LoadIntoEditor(editor.get());
  std::string many;
  for (int i = 0; i < 200; ++i)
    many += "line " + std::to_string(i) + "\r\n";
  editor->ReplaceSel(many);
  editor->SetSelection(10, 14);
  editor->Perform(SM_TOPLINE, 1, 50);
  editor->SetBookmark(3, 7, 2);
  TTextStore *storeA = editor->Store();

  a.StoreFromEditor(editor.get());
  EXPECT_EQ(a.TextStore.get(), storeA); // the whole store moved, no copy
  b.ClearIntoEditor(editor.get());
  b.LoadIntoEditor(editor.get());
  EXPECT_EQ(editor->TextLength(), 0);
  QTest::keyClicks(editor.get(), "xyz");
  EXPECT_EQ(editor->Text(), "xyz");

  b.StoreFromEditor(editor.get());
  a.LoadIntoEditor(editor.get());
  EXPECT_EQ(editor->Store(), storeA);
  EXPECT_EQ(editor->Text().substr(0, 7), "line 0\r");
  EXPECT_EQ(editor->Anchor(), 10);
  EXPECT_EQ(editor->Caret(), 14);
  EXPECT_EQ(editor->TopLine(), 50);
  int64_t line = 0;
  int column = 0;
  ASSERT_TRUE(editor->GetBookmark(3, line, column));
  EXPECT_EQ(line, 6);
  // Undo here undoes this document's edit only.
  editor->Undo();
  EXPECT_EQ(editor->TextLength(), 0);

  a.StoreFromEditor(editor.get());
  b.LoadIntoEditor(editor.get());
  EXPECT_EQ(editor->Text(), "xyz");
  EXPECT_EQ(editor->Caret(), 3);
  int64_t l2 = 0;
  int c2 = 0;
  EXPECT_FALSE(editor->GetBookmark(3, l2, c2));
  // The spare goes back to a: exactly one store more than records.
  a.LoadIntoEditor(editor.get());
  EXPECT_NE(a.TextStore.get(), b.TextStore.get());
  EXPECT_NE(a.TextStore.get(), editor->Store());
}

TEST_F(FileObjectTest, ModifiedFollowsEditsUndoAndTheSavePoint) {
  TFileObject d;
  const std::string path = File("m.bas", "first\r\n");
  d.LoadFile(editor.get(), path);
  d.LoadIntoEditor(editor.get());
  EXPECT_EQ(d.FileName, path);
  EXPECT_EQ(d.SchemeName, "TARNIC");
  EXPECT_FALSE(d.IsModifiedShown(editor.get()));
  editor->ReplaceSel("ab");
  EXPECT_TRUE(d.IsModifiedShown(editor.get()));
  editor->Undo();
  EXPECT_FALSE(d.IsModifiedShown(editor.get()));
  editor->ReplaceSel("cd");
  d.SaveFile(editor.get(), path);
  EXPECT_EQ(ReadWholeFile(path), "cdfirst\r\n");
  EXPECT_FALSE(d.IsModifiedShown(editor.get()));
  // The history survives the save and stays usable.
  EXPECT_TRUE(editor->CanUndo());
  editor->Undo();
  EXPECT_EQ(editor->Text(), "first\r");
  EXPECT_TRUE(d.IsModifiedShown(editor.get()));
  editor->Redo();
  EXPECT_FALSE(d.IsModifiedShown(editor.get()));
  // The stored test sees the same on the record's own store.
  editor->ReplaceSel("z");
  d.StoreFromEditor(editor.get());
  EXPECT_TRUE(d.IsModifiedStored());
  d.LoadIntoEditor(editor.get());
  editor->Undo();
  d.StoreFromEditor(editor.get());
  EXPECT_FALSE(d.IsModifiedStored());
}

TEST_F(FileObjectTest, ADifferentEditAtTheSameDepthCountsAsModified) {
  TFileObject d;
  d.ClearIntoEditor(editor.get());
  d.LoadIntoEditor(editor.get());
  QTest::keyClicks(editor.get(), "a");
  const std::string path = (dir / "depth.bas").string();
  d.SaveFile(editor.get(), path);
  editor->Undo();
  editor->SetSelection(0, 0);
  editor->ReplaceSel("b");
  EXPECT_TRUE(d.IsModifiedShown(editor.get()));
}

TEST_F(FileObjectTest, LoadingAMissingFileFailsAndKeepsTheShownText) {
  TFileObject shown;
  shown.ClearIntoEditor(editor.get());
  shown.LoadIntoEditor(editor.get());
  editor->ReplaceSel("keep me");
  TFileObject d;
  const std::string missing = (dir / "nope.bas").string();
  try {
    d.LoadFile(editor.get(), missing);
    FAIL();
  } catch (const EKorvexError &e) {
    EXPECT_EQ(std::string(e.what()), "File '" + missing + "' cannot be opened for reading");
  }
  EXPECT_EQ(editor->Text(), "keep me");
}

TEST_F(FileObjectTest, BinaryAndLongLineFilesLoad) {
  std::string bin;
  for (int i = 0; i < 4096; ++i)
    bin.push_back(static_cast<char>(i * 7));
  TFileObject d;
  d.LoadFile(editor.get(), File("bin.dat", bin));
  d.LoadIntoEditor(editor.get());
  EXPECT_GT(editor->TextLength(), 0);
  TFileObject e;
  d.StoreFromEditor(editor.get());
  e.LoadFile(editor.get(), File("long.bas", std::string(10 << 20, 'x')));
  e.LoadIntoEditor(editor.get());
  EXPECT_EQ(editor->TextLength(), 10 << 20);
}

TEST_F(FileObjectTest, SaveKeepsPermissionsAndWritesThroughALink) {
  const std::string target = File("real.bas", "old");
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const std::string link = (dir / "link.bas").string();
  fs::create_symlink(target, link);
  TFileObject d;
  d.LoadFile(editor.get(), link);
  d.LoadIntoEditor(editor.get());
  editor->SetSelection(0, 3);
  editor->ReplaceSel("new");
  d.SaveFile(editor.get(), link);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadWholeFile(target), "new");
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(FileObjectTest, WrappedLayoutIsRedoneOnlyWhenTheWidthChanged) {
  editor->show();
  TFileObject a, b;
  a.LoadFile(editor.get(), File("w.bas", std::string(300, 'w') + "\r\n"));
  a.WordWrap = true;
  a.LoadIntoEditor(editor.get());
  EXPECT_TRUE(editor->WordWrap());
  a.StoreFromEditor(editor.get());
  EXPECT_TRUE(a.WordWrap);
  const int32_t width = a.ClientWidth;
  b.ClearIntoEditor(editor.get());
  b.LoadIntoEditor(editor.get());
  editor->resize(300, 400);
  b.StoreFromEditor(editor.get());
  a.LoadIntoEditor(editor.get());
  EXPECT_TRUE(editor->WordWrap());
  a.StoreFromEditor(editor.get());
  EXPECT_NE(a.ClientWidth, width);
}
