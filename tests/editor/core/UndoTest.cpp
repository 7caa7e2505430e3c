// Undo and redo: record layout, groups, save point, limit and failures.
#include "CustomSyntaxMemo.h"
#include "Streams.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

struct BeepCounter : TEditorView {
  int beeps = 0;
  void Beep() override { ++beeps; }
};

void Type(TCustomSyntaxMemo &m, const std::string &s) {
  for (char c : s) {
    m.BeginGroup(ugTyping);
    m.ReplaceSel(std::string(1, c));
    m.EndGroup(ugTyping);
  }
}

std::vector<std::pair<int, int>> Records(const TUndoStack &u) {
  std::vector<std::pair<int, int>> v; // (type, extra or kind)
  for (TStack::Entry *e = u.Bottom(); e; e = e->Next)
    v.emplace_back(e->Record->Type,
                   e->Record->Type == urMarker
                       ? static_cast<int>(e->Record->Object) * 10 + e->Record->Extra
                       : 0);
  return v;
}

} // namespace

TEST(UndoLayout, TransactionAndGroupRecords) {
  TCustomSyntaxMemo m;
  m.ReplaceSel("ab");
  TUndoStack &u = *m.Store()->UndoStack();
  // Group 24 around one kind-1 transaction.
  const std::vector<std::pair<int, int>> want = {
      {urMarker, 242},  {urSelection, 0}, {urMarker, 242},  {urMarker, 10},
      {urSelection, 0}, {urText, 0},      {urText, 0},      {urSelection, 0},
      {urMarker, 10},   {urMarker, 243},  {urSelection, 0}, {urMarker, 243}};
  EXPECT_EQ(Records(u), want);
  EXPECT_EQ(u.DoneCount(), 12);
  // Sizes: 16 per entry plus the inserted text's length (nothing removed).
  EXPECT_EQ(u.TotalSize(), 12 * 16 + 2);
  TStack::Entry *e = u.Bottom();
  for (int i = 0; i < 5; ++i)
    e = e->Next;
  EXPECT_EQ(e->Record->Object, 0); // removed text: none
  EXPECT_STREQ(reinterpret_cast<const char *>(e->Next->Record->Object), "ab");
}

TEST(UndoBasics, TypingUndoRedoAndRedoChainEnds) {
  TCustomSyntaxMemo m;
  Type(m, "abc");
  EXPECT_EQ(m.Text(), "abc");
  m.Undo();
  EXPECT_EQ(m.Text(), "ab");
  EXPECT_EQ(m.Caret(), 2);
  EXPECT_TRUE(m.CanRedo());
  Type(m, "d");
  EXPECT_EQ(m.Text(), "abd");
  EXPECT_FALSE(m.CanRedo());
  m.Redo();
  EXPECT_EQ(m.Text(), "abd");
  m.Undo();
  m.Undo();
  m.Undo();
  EXPECT_EQ(m.Text(), "");
  EXPECT_FALSE(m.CanUndo());
  m.Redo();
  m.Redo();
  EXPECT_EQ(m.Text(), "ab");
  EXPECT_EQ(m.Caret(), 2);
}

TEST(UndoBasics, ReplacementRestoresSelection) {
  TCustomSyntaxMemo m;
  m.ReplaceSel("hello world");
  m.ClearUndo();
  m.SetSelection(11, 6); // reversed: anchor after caret
  m.ReplaceSel("there\r\nfriend");
  EXPECT_EQ(m.Text(), "hello there\rfriend");
  m.Undo();
  EXPECT_EQ(m.Text(), "hello world");
  EXPECT_EQ(m.Anchor(), 11);
  EXPECT_EQ(m.Caret(), 6);
  m.Redo();
  EXPECT_EQ(m.Text(), "hello there\rfriend");
  EXPECT_EQ(m.Caret(), 18);
}

TEST(UndoGroups, NestedGroupIsOneStep) {
  TCustomSyntaxMemo m;
  m.BeginGroup(ugCompound);
  m.ReplaceSel("one ");
  m.BeginGroup(ugPaste); // ignored: groups never nest
  m.ReplaceSel("two ");
  m.EndGroup(ugPaste); // kind differs from the open one: ignored
  m.ReplaceSel("three");
  m.EndGroup(ugCompound);
  EXPECT_EQ(m.Text(), "one two three");
  m.Undo();
  EXPECT_EQ(m.Text(), "");
  EXPECT_FALSE(m.CanUndo());
  m.Redo();
  EXPECT_EQ(m.Text(), "one two three");
  EXPECT_FALSE(m.CanRedo());
}

TEST(UndoGroups, IndentRequestsUndoInOneStep) {
  TCustomSyntaxMemo m;
  std::string text;
  for (int i = 0; i < 10; ++i)
    text += "line" + std::to_string(i) + "\r";
  m.ReplaceSel(text);
  m.ClearUndo();
  m.SetSelection(0, m.TextLength());
  const std::string before = m.Text();
  // What block indent does: one group, each line logged with request 10.
  m.BeginGroup(ugIndent);
  for (int i = 0; i < 10; ++i) {
    const int64_t at = m.LineStart(i);
    m.RawInsert(at, "  ", 2);
    TLogPosText d{at, "  ", 2};
    m.LogTransaction(ltInsertAt, 0, &d);
  }
  m.EndGroup(ugIndent);
  EXPECT_EQ(m.LineText(9), "  line9");
  m.Undo();
  EXPECT_EQ(m.Text(), before);
  EXPECT_EQ(m.SelStart(), 0);
  EXPECT_EQ(m.SelEnd(), m.TextLength());
  m.Redo();
  EXPECT_EQ(m.LineText(0), "  line0");
  EXPECT_EQ(m.LineText(9), "  line9");
}

TEST(UndoGroups, UnindentRequestRestoresTheTab) {
  TCustomSyntaxMemo m;
  m.ReplaceSel("\tx\r");
  m.ClearUndo();
  m.BeginGroup(ugUnindent);
  m.RawDelete(0, 1);
  TLogPosText d{0, "\t", 1};
  m.LogTransaction(ltRemoveBlanks, 0, &d);
  m.EndGroup(ugUnindent);
  EXPECT_EQ(m.Text(), "x\r");
  m.Undo();
  EXPECT_EQ(m.Text(), "\tx\r");
}

TEST(UndoGroups, EmptyGroupLeavesNoStep) {
  TCustomSyntaxMemo m;
  m.BeginGroup(ugTyping);
  m.EndGroup(ugTyping);
  EXPECT_FALSE(m.CanUndo());
  EXPECT_FALSE(m.Modified());
}

TEST(UndoModified, SavePointFollowsUndo) {
  TCustomSyntaxMemo m;
  Type(m, "ab");
  TUndoStack &u = *m.Store()->UndoStack();
  u.TakeSavePoint();
  EXPECT_FALSE(m.Modified());
  Type(m, "c");
  EXPECT_TRUE(m.Modified());
  m.Undo();
  EXPECT_FALSE(m.Modified());
  m.Undo();
  EXPECT_TRUE(m.Modified());
  m.Redo();
  EXPECT_FALSE(m.Modified());
  // A different edit of the same size is not the saved state.
  m.Undo();
  Type(m, "x");
  EXPECT_TRUE(m.Modified());
  // Modified := false clears the history: nothing to undo, unmodified.
  m.SetModified(false);
  EXPECT_FALSE(m.Modified());
  EXPECT_FALSE(m.CanUndo());
  m.Perform(SM_MODIFIED, 1, 1); // true does nothing
  EXPECT_FALSE(m.Modified());
}

TEST(UndoModified, DetachedStackKeepsHistoryAcrossSave) {
  TCustomSyntaxMemo m;
  Type(m, "abc");
  auto *stack = reinterpret_cast<TUndoStack *>(m.Perform(SM_UNDOSTACK, 0, 0));
  m.Perform(SM_UNDOSTACK, 1, 0);
  TMemoryStream out;
  m.SaveToStream(&out);
  stack->TakeSavePoint();
  m.Perform(SM_UNDOSTACK, 1, reinterpret_cast<intptr_t>(stack));
  EXPECT_FALSE(m.Modified());
  m.Undo();
  EXPECT_EQ(m.Text(), "ab");
  EXPECT_TRUE(m.Modified());
}

TEST(UndoLimit, TrimsWholeTransactions) {
  TCustomSyntaxMemo m;
  TUndoStack &u = *m.Store()->UndoStack();
  u.Limit = 500;
  Type(m, "abcdefghij");
  EXPECT_LE(u.TotalSize(), 500);
  // The bottom is always a whole unit: a marker that opens something.
  ASSERT_NE(u.Bottom(), nullptr);
  EXPECT_EQ(u.Bottom()->Record->Type, urMarker);
  int undos = 0;
  while (m.CanUndo() && undos < 100) {
    m.Undo();
    ++undos;
  }
  // What remains undoes cleanly to a prefix of the typed text.
  EXPECT_EQ(m.Text(), std::string("abcdefghij").substr(0, m.TextLength()));
  EXPECT_GT(m.TextLength(), 0);
  EXPECT_TRUE(m.Modified()); // the start state left the history
}

TEST(UndoLimit, AHistoryExactlyAtTheLimitIsKeptWhole) {
  int64_t full = 0;
  int done = 0;
  {
    TCustomSyntaxMemo m;
    Type(m, "abc");
    full = m.Store()->UndoStack()->TotalSize();
    done = m.Store()->UndoStack()->DoneCount();
  }
  TCustomSyntaxMemo m;
  TUndoStack &u = *m.Store()->UndoStack();
  u.Limit = full;
  Type(m, "abc");
  EXPECT_EQ(u.TotalSize(), full);
  EXPECT_EQ(u.DoneCount(), done);
  while (m.CanUndo())
    m.Undo();
  EXPECT_EQ(m.Text(), "");
  EXPECT_FALSE(m.Modified());
  // One byte less, and the oldest typing leaves the history.
  TCustomSyntaxMemo tight;
  tight.Store()->UndoStack()->Limit = full - 1;
  Type(tight, "abc");
  EXPECT_LT(tight.Store()->UndoStack()->TotalSize(), full);
  EXPECT_LT(tight.Store()->UndoStack()->DoneCount(), done);
  while (tight.CanUndo())
    tight.Undo();
  EXPECT_TRUE(tight.Modified());
}

TEST(UndoFailures, BadLogEntryClearsAndBeeps) {
  BeepCounter view;
  TCustomSyntaxMemo m;
  m.SetView(&view);
  Type(m, "x");
  m.LogTransaction(ltText, ltBegin, "a");
  try {
    m.LogTransaction(ltText, ltBegin, "b");
    FAIL();
  } catch (const ESyntaxMemo &e) {
    EXPECT_STREQ(e.what(), "Bad transaction log entry");
  }
  EXPECT_EQ(view.beeps, 1);
  EXPECT_FALSE(m.CanUndo());
  // An end of another kind fails the same way.
  m.LogTransaction(ltText, ltBegin, "a");
  EXPECT_THROW(m.LogTransaction(ltStream, ltEnd, nullptr), ESyntaxMemo);
  m.SetView(nullptr);
}

TEST(UndoFailures, CorruptStackClearsAndBeeps) {
  BeepCounter view;
  TCustomSyntaxMemo m;
  m.SetView(&view);
  TUndoStack &u = *m.Store()->UndoStack();
  u.PushSelection(0, 0); // not a marker at the cursor
  m.Undo();
  EXPECT_EQ(view.beeps, 1);
  EXPECT_EQ(u.DoneCount(), 0);
  EXPECT_EQ(u.Bottom(), nullptr);
  TStack s;
  try {
    s.Pop();
    FAIL();
  } catch (const ESyntaxMemo &e) {
    EXPECT_STREQ(e.what(), "Stack underflow");
  }
  m.SetView(nullptr);
}

TEST(UndoLogging, DisabledLogsNothingAndNoStackIsSafe) {
  TCustomSyntaxMemo m;
  m.LogTransaction(ltDisable, 0, nullptr);
  m.ReplaceSel("abc");
  EXPECT_FALSE(m.CanUndo());
  m.LogTransaction(ltEnable, 0, nullptr);
  m.ReplaceSel("d");
  EXPECT_TRUE(m.CanUndo());
  // Detaching hands the stack to the caller, who frees it.
  std::unique_ptr<TUndoStack> held(
      reinterpret_cast<TUndoStack *>(m.Perform(SM_UNDOSTACK, 0, 0)));
  auto *stack = reinterpret_cast<TUndoStack *>(m.Perform(SM_UNDOSTACK, 1, 0));
  EXPECT_EQ(stack, nullptr);
  m.ReplaceSel("e"); // nothing is logged without a stack
  m.Undo();
  EXPECT_EQ(m.Text(), "abcde");
}

TEST(UndoStream, StreamInsertionUndoesToTheRemovedText) {
  TCustomSyntaxMemo m;
  m.ReplaceSel("keep REPLACED end");
  m.ClearUndo();
  m.SetSelection(5, 13);
  TMemoryStream s(std::string("new\r\nstuff"));
  m.Perform(SM_LOADSTREAM, 0, reinterpret_cast<intptr_t>(&s));
  EXPECT_EQ(m.Text(), "keep new\rstuff end");
  m.Undo();
  EXPECT_EQ(m.Text(), "keep REPLACED end");
  EXPECT_EQ(m.SelStart(), 5);
  EXPECT_EQ(m.SelEnd(), 13);
  m.Redo();
  EXPECT_EQ(m.Text(), "keep new\rstuff end");
  EXPECT_EQ(m.Caret(), 14);
}

TEST(UndoStores, SwappingStoresSwapsHistories) {
  TTextStore last; // outlives the control, which shows it at the end
  std::unique_ptr<TTextStore> a, b;
  TCustomSyntaxMemo m;
  Type(m, "first");
  a.reset(reinterpret_cast<TTextStore *>(m.Perform(SM_TEXTSTORE, 0, 0)));
  b = std::make_unique<TTextStore>();
  m.Perform(SM_TEXTSTORE, 1, reinterpret_cast<intptr_t>(b.get()));
  EXPECT_EQ(m.Text(), "");
  EXPECT_FALSE(m.CanUndo());
  Type(m, "xy");
  m.Perform(SM_TEXTSTORE, 1, reinterpret_cast<intptr_t>(a.get()));
  EXPECT_EQ(m.Text(), "first");
  m.Undo();
  EXPECT_EQ(m.Text(), "firs");
  m.Perform(SM_TEXTSTORE, 1, reinterpret_cast<intptr_t>(b.get()));
  m.SetSelection(2, 2);
  m.Undo();
  EXPECT_EQ(m.Text(), "x");
  TTextStore *out = nullptr;
  m.Perform(SM_TEXTSTORE, 0, reinterpret_cast<intptr_t>(&out));
  EXPECT_EQ(out, b.get());
  m.Perform(SM_TEXTSTORE, 1, reinterpret_cast<intptr_t>(&last));
}

TEST(UndoSavePoint, AnEntryInTheSavedEntrysMemoryIsNotTheSavePoint) {
  // A freed entry's memory is soon reused; the save point must not take the
  // entry that lands there for its own.
  TUndoStack u;
  u.PushMarker(ugTyping, 2);
  u.TakeSavePoint();
  EXPECT_FALSE(u.Modified());
  for (int round = 0; round < 50; ++round) {
    u.Pop();
    u.PushMarker(ugTyping, 3);
    EXPECT_TRUE(u.Modified()) << "round " << round;
  }
}
