// Editing a long wrapped line through real keys: the highlighting restarts
// where the line starts (a comment's third row stays a comment), Ctrl+Y
// deletes the whole line, and a bookmark set on a wrapped row comes back to
// the same character.
#include "WidgetTestUtil.h"

#include "SyntaxMemoParser.h"

#include <gtest/gtest.h>

using namespace kxwidget;

namespace {

std::unique_ptr<TSyntaxMemoParser> Basic() {
  auto p = std::make_unique<TSyntaxMemoParser>();
  p->CompileFile(std::string(KX_SOURCE_DIR) + "/resources/schemes/tarnic.scheme");
  return p;
}

// A BASIC editor wrapping at 20 columns.
struct Wrapped {
  std::unique_ptr<TSyntaxMemoParser> scheme = Basic();
  std::unique_ptr<TSyntaxMemo> m;
  explicit Wrapped(const std::string &text) {
    m = MakeMemo(text);
    m->SetParser(scheme.get());
    m->SetOptionsMask(m->OptionsMask() | smoWordWrap | smoSyntaxHighlight);
    m->SetWrapAtColumn(20);
    m->FinishHighlighting();
  }
  ~Wrapped() { m->SetParser(nullptr); }
  // Token values of the row's characters.
  std::vector<int> Row(int64_t row) {
    m->FinishHighlighting();
    TLineNode *n = m->Store()->LocateLine(row).Node;
    std::vector<int> v;
    for (int i = 0; i < n->TextLength(); ++i)
      v.push_back(n->Attributes() ? n->Attributes()[i] : -1);
    return v;
  }
};

const std::string kComment = "' one two three four five six seven eight nine ten eleven";

} // namespace

// Token values of every character of the wrapped line on rows 1 .. n-2.
std::vector<int> LineValues(Wrapped &w) {
  std::vector<int> all;
  for (int64_t r = 1; r < w.m->LineCount() - 1; ++r)
    for (int v : w.Row(r))
      all.push_back(v);
  return all;
}

TEST(WordWrapEditing, TypingOnTheThirdRowOfACommentOrStringKeepsItsColourOnEveryRow) {
  Wrapped comment("a = 1\r" + kComment + "\rb = 2");
  ASSERT_GE(comment.m->LineCount(), 5) << "the line wraps onto at least three rows";
  for (int64_t row = 2; row <= 4; ++row) {
    comment.m->SetSelection(comment.m->LineStart(row) + 3, comment.m->LineStart(row) + 3);
    QTest::keyClicks(comment.m.get(), "zz");
    for (int v : LineValues(comment))
      ASSERT_EQ(v, 1) << "after typing on row " << row;
  }

  Wrapped string("a = 1\rx = \"" + kComment.substr(2) + "\"\rb = 2");
  for (int64_t row = 2; row <= 3; ++row) {
    string.m->SetSelection(string.m->LineStart(row) + 2, string.m->LineStart(row) + 2);
    QTest::keyClicks(string.m.get(), "q");
    const std::vector<int> all = LineValues(string);
    ASSERT_GT(all.size(), 40u);
    // "x = " and then the string, quotes included, to the line's end.
    for (size_t i = 4; i + 1 < all.size(); ++i)
      ASSERT_EQ(all[i], 2) << i << " after typing on row " << row;
  }
}

TEST(WordWrapEditing, CtrlYDeletesEveryRowOfTheWrappedLine) {
  Wrapped w("a = 1\r" + kComment + "\rb = 2");
  const int64_t rows = w.m->LineCount();
  ASSERT_GE(rows, 5);
  w.m->SetSelection(w.m->LineStart(3) + 1, w.m->LineStart(3) + 1);
  QTest::keyClick(w.m.get(), Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(w.m->Text(), "a = 1\rb = 2");
  QTest::keyClick(w.m.get(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(w.m->Text(), "a = 1\r" + kComment + "\rb = 2");
}

TEST(WordWrapEditing, ABookmarkSetOnAWrappedRowReturnsToTheSameCharacter) {
  Wrapped w("a = 1\r" + kComment + "\rb = 2");
  const int64_t at = w.m->LineStart(3) + 4;
  const char under = w.m->CharAt(at);
  w.m->SetSelection(at, at);
  QTest::keyClick(w.m.get(), Qt::Key_K, Qt::ControlModifier);
  QTest::keyClick(w.m.get(), Qt::Key_3);
  int64_t line = -1;
  int column = 0;
  ASSERT_TRUE(w.m->GetBookmark(3, line, column));
  EXPECT_EQ(line, 1); // the first row of the line carries it
  EXPECT_EQ(column, at - w.m->LineStart(1) + 1);
  QTest::keyClick(w.m.get(), Qt::Key_Home, Qt::ControlModifier);
  QTest::keyClick(w.m.get(), Qt::Key_Q, Qt::ControlModifier);
  QTest::keyClick(w.m.get(), Qt::Key_3);
  EXPECT_EQ(w.m->Caret(), at);
  EXPECT_EQ(w.m->CharAt(w.m->Caret()), under);
  // Rewrapped at another width, it is still the same character.
  w.m->SetWrapAtColumn(15);
  QTest::keyClick(w.m.get(), Qt::Key_Home, Qt::ControlModifier);
  QTest::keyClick(w.m.get(), Qt::Key_Q, Qt::ControlModifier);
  QTest::keyClick(w.m.get(), Qt::Key_3);
  EXPECT_EQ(w.m->CharAt(w.m->Caret()), under);
  EXPECT_EQ(w.m->Caret(), at);
}
