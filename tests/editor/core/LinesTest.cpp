// The Lines adapter: a string list over the control's messages.
#include "CustomSyntaxMemo.h"
#include "Streams.h"
#include "SyntaxMemoStrings.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> All(TSyntaxMemoStrings &l) {
  std::vector<std::string> v;
  for (int i = 0; i < l.Count(); ++i)
    v.push_back(l[i]);
  return v;
}

using V = std::vector<std::string>;

struct CountingView : TEditorView {
  int repaints = 0;
  void Repaint() override { ++repaints; }
};

} // namespace

TEST(LinesBasics, AddInsertPutDeleteClear) {
  TCustomSyntaxMemo m;
  TSyntaxMemoStrings &l = m.Lines();
  EXPECT_EQ(l.Count(), 0);
  l.Add("one");
  l.Add("three");
  EXPECT_EQ(All(l), (V{"one", "three"}));
  l.Insert(1, "two");
  EXPECT_EQ(All(l), (V{"one", "two", "three"}));
  l.Insert(0, "zero");
  l.Insert(-1, "never");
  l.Insert(9, "never");
  EXPECT_EQ(All(l), (V{"zero", "one", "two", "three"}));
  l.Put(2, "TWO");
  l.Put(7, "nothing");
  EXPECT_EQ(All(l), (V{"zero", "one", "TWO", "three"}));
  l.Delete(0);
  EXPECT_EQ(All(l), (V{"one", "TWO", "three"}));
  l.Delete(2);
  EXPECT_EQ(All(l), (V{"one", "TWO"}));
  l.Delete(5);
  EXPECT_EQ(l.Count(), 2);
  l.Clear();
  EXPECT_EQ(l.Count(), 0);
  EXPECT_EQ(m.TextLength(), 0);
}

TEST(LinesBasics, TextWithFinalBreakAndInsertAfterLast) {
  TCustomSyntaxMemo m;
  TSyntaxMemoStrings &l = m.Lines();
  l.SetText("a\nb\n");
  EXPECT_EQ(All(l), (V{"a", "b"}));
  EXPECT_EQ(l.Text(), "a\r\nb\r\n");
  // One past the last line: a new line after the last line's text.
  l.Insert(2, "c");
  EXPECT_EQ(All(l), (V{"a", "b", "c"}));
  l.Put(0, "");
  EXPECT_EQ(All(l), (V{"", "b", "c"}));
}

TEST(LinesBasics, GetIsLimitedAndWrappedRowsCountOnce) {
  TCustomSyntaxMemo m;
  TSyntaxMemoStrings &l = m.Lines();
  l.SetText(std::string(5000, 'w') + "\r\nend");
  EXPECT_EQ(l.Count(), 4); // three nodes of the long line, then "end"
  EXPECT_EQ(l[0].size(), 2047u);
  EXPECT_EQ(l[2].size(), 906u);
  EXPECT_EQ(l[3], "end");
  std::string longLine(5000, 'q');
  // A node never holds more than 2047, so Get's 4096 limit holds too.
  l.SetText(longLine);
  for (int i = 0; i < l.Count(); ++i)
    EXPECT_LE(l[i].size(), 4096u);
}

TEST(LinesText, SettingTheSameTextSendsNothing) {
  TCustomSyntaxMemo m;
  TSyntaxMemoStrings &l = m.Lines();
  l.SetText("x\ny");
  int notes = 0, textChanges = 0;
  l.OnChange = [&](TSyntaxMemoStrings *) { ++notes; };
  m.OnTextChange = [&](TCustomSyntaxMemo *, int64_t, int64_t) { ++textChanges; };
  m.ReplaceSel(""); // nothing selected: no change either
  l.SetText("x\r\ny");
  l.SetText("x\ry");
  EXPECT_EQ(notes, 0);
  EXPECT_EQ(textChanges, 0);
  l.SetText("x\r\nz");
  EXPECT_EQ(notes, 1);
  EXPECT_EQ(All(l), (V{"x", "z"}));
  // Under the LF line style the same text is still recognised.
  m.SetSelLineStyle(lsLF);
  l.SetText("x\nz");
  EXPECT_EQ(notes, 1);
}

TEST(LinesUpdate, BeginEndUpdateTurnsRedrawOffAndRepaints) {
  TCustomSyntaxMemo m;
  CountingView v;
  m.SetView(&v);
  TSyntaxMemoStrings &l = m.Lines();
  l.BeginUpdate();
  l.BeginUpdate();
  EXPECT_FALSE(m.Redraw());
  l.Add("a");
  l.Add("b");
  const int during = v.repaints;
  l.EndUpdate();
  EXPECT_FALSE(m.Redraw());
  l.EndUpdate();
  EXPECT_TRUE(m.Redraw());
  EXPECT_GT(v.repaints, during);
  EXPECT_EQ(during, 0);
  m.SetView(nullptr);
}

TEST(LinesStreams, AddStringsReplacesAndStreamsForward) {
  TCustomSyntaxMemo m;
  TSyntaxMemoStrings &l = m.Lines();
  l.Add("old");
  l.AddStrings({"p", "q", "r"});
  EXPECT_EQ(All(l), (V{"p", "q", "r"}));
  TMemoryStream s;
  l.SaveToStream(s);
  EXPECT_EQ(s.Bytes(), "p\r\nq\r\nr\r\n");
  TMemoryStream in(std::string("1\n2"));
  l.LoadFromStream(in);
  EXPECT_EQ(All(l), (V{"1", "2"}));
  l.Assign({"only"});
  EXPECT_EQ(All(l), (V{"only"}));
}
