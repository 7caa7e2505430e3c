// The save point of a document: after undoing back past it and typing
// something else the document is modified, however the undo history reuses
// its memory (a record at the same place as the saved one is not the saved
// one). Otherwise Close would not ask, and F9 would compile the old file.
#include "FileCommandsTestFixture.h"

using namespace kxdocs;

namespace {

class SavePoint : public DocsTest {};

} // namespace

TEST_F(SavePoint, TypingAfterUndoingPastTheSaveIsAChangeEvenWhenTheHistoryReusesItsMemory) {
  const std::string path = Put("doc.bas", "x\r\n");
  Open(path);
  for (const QString &first : {QStringLiteral("a"), QStringLiteral("ab"), QStringLiteral("abc")}) {
    for (const QString &second : {QStringLiteral("b"), QStringLiteral("ba"), QStringLiteral("q")}) {
      Type(first);
      form->Save1->trigger();
      ASSERT_EQ(Panel(1), "");
      ASSERT_FALSE(form->CurrentFile->IsModifiedShown(Memo()));
      // Undo what was saved, then type something else of the same shape.
      Key(Qt::Key_Z, Qt::ControlModifier);
      Type(second);
      EXPECT_TRUE(form->CurrentFile->IsModifiedShown(Memo()))
          << first.toStdString() << " then " << second.toStdString();
      EXPECT_EQ(Panel(1), "Modified") << first.toStdString() << " then " << second.toStdString();
      form->Save1->trigger();
    }
  }
  // And the file on disk holds what the editor holds.
  std::string crlf;
  for (char c : Text())
    crlf += c == '\r' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(Get(path), crlf);
}

TEST_F(SavePoint, ARecordThatTakesTheSavedRecordsPlaceIsNotTheSaveAgain) {
  const std::string path = Put("doc.bas", "x\r\n");
  Open(path);
  Type("a");
  form->Save1->trigger();
  ASSERT_FALSE(form->CurrentFile->IsModifiedShown(Memo()));
  auto *u = reinterpret_cast<TUndoStack *>(Memo()->Perform(SM_UNDOSTACK, 0, 0));
  ASSERT_NE(u, nullptr);
  // Step the history back over the saved record and push others in its
  // place, again and again: the memory of a freed record is soon reused.
  for (int round = 0; round < 50; ++round) {
    u->Pop();
    u->PushMarker(ugCompound, round % 2 ? 2 : 3);
    EXPECT_TRUE(form->CurrentFile->IsModifiedShown(Memo())) << "round " << round;
  }
}
