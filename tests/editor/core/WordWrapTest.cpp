// Word wrap: rows never exceed the wrap column (but for a single character or
// hanging blanks), rows break after blanks, the text and its positions never
// change, wrap then unwrap restores the node layout, and the store's
// invariants hold after every re-cut.
#include "WordWrap.h"
#include "CustomSyntaxMemo.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>

namespace {

std::vector<int> Rows(const std::string &s, int width) {
  TTabStops tabs;
  return WrapRows(s.data(), static_cast<int>(s.size()), width, tabs, width > 0);
}

std::vector<std::string> NodeTexts(TTextStore &s) {
  std::vector<std::string> out;
  for (TLineNode *n = s.First(); n; n = n->Next)
    out.emplace_back(n->Text(), n->Length);
  return out;
}

} // namespace

TEST(WordWrap, RowsBreakAfterBlanksAndKeepTheBreakOnTheLastRow) {
  EXPECT_EQ(Rows("alpha beta gamma\r", 9), (std::vector<int>{6, 5, 6}));
  EXPECT_EQ(Rows("alpha beta gamma\r", 10), (std::vector<int>{6, 11}));
  EXPECT_EQ(Rows("abcdefghijklmno", 10), (std::vector<int>{10, 5}));
  EXPECT_EQ(Rows("short\r", 10), (std::vector<int>{6}));
  EXPECT_EQ(Rows("\r", 10), (std::vector<int>{1}));
  // Unwrapped: only the node limit cuts.
  EXPECT_EQ(Rows(std::string(5000, 'x'), 0), (std::vector<int>{2047, 2047, 906}));
}

TEST(WordWrap, RandomLinesRespectTheColumnAndCoverTheText) {
  std::mt19937 rng(3);
  TTabStops tabs;
  for (int round = 0; round < 300; ++round) {
    std::string s;
    for (int n = static_cast<int>(rng() % 300); n > 0; --n)
      s += "ab \t"[rng() % 4];
    s += '\r';
    const int width = 1 + static_cast<int>(rng() % 40);
    const std::vector<int> rows = WrapRows(s.data(), static_cast<int>(s.size()), width, tabs, true);
    ASSERT_EQ(std::accumulate(rows.begin(), rows.end(), 0), static_cast<int>(s.size()));
    size_t off = 0;
    for (int len : rows) {
      ASSERT_GT(len, 0);
      int col = 0, visibleEnd = 0;
      for (int i = 0; i < len; ++i) {
        const char c = s[off + static_cast<size_t>(i)];
        if (c == '\r')
          break;
        col = c == '\t' ? tabs.NextStop(col) : col + 1;
        if (c != ' ')
          visibleEnd = col;
      }
      // Blanks may hang past the column; anything else fits, or stands alone.
      if (len > 1) {
        EXPECT_TRUE(visibleEnd <= width || s[off] == '\t') << "round " << round;
      }
      off += static_cast<size_t>(len);
    }
  }
}

TEST(WordWrap, WrapAndUnwrapKeepTextPositionsAndMarks) {
  TCustomSyntaxMemo m;
  std::string text;
  for (int i = 0; i < 50; ++i)
    text +=
        "word" + std::to_string(i) + " and some more words here " + std::string(i * 3, 'z') + "\r";
  text += std::string(3000, 'q');
  m.Perform(WM_SETTEXT, 0, reinterpret_cast<intptr_t>(text.c_str()));
  const std::string before = m.Text();
  const std::vector<std::string> layout = NodeTexts(*m.Store());
  m.SetBookmark(4, 10, 3);
  m.Store()->LocateLine(20).Node->Gutter = 0x8;
  const TRewrapResult r = RewrapStore(*m.Store(), 12, m.Tabs());
  EXPECT_EQ(r.FirstLine, 0);
  EXPECT_GT(m.LineCount(), 60);
  EXPECT_EQ(m.Text(), before);
  EXPECT_EQ(m.Store()->CheckInvariants(), "");
  for (TLineNode *n = m.Store()->First(); n; n = n->Next)
    EXPECT_LE(n->Length, 2047);
  int64_t line = -1;
  int col = 0;
  ASSERT_TRUE(m.GetBookmark(4, line, col));
  EXPECT_FALSE(m.Store()->LocateLine(line).Node->Marks & nmContinued);
  RewrapStore(*m.Store(), 0, m.Tabs());
  EXPECT_EQ(NodeTexts(*m.Store()), layout);
  EXPECT_EQ(m.Store()->CheckInvariants(), "");
  ASSERT_TRUE(m.GetBookmark(4, line, col));
  EXPECT_EQ(line, 9);
  EXPECT_EQ(m.Store()->LocateLine(20).Node->Gutter, 0x8);
  // A second wrap at the same column changes nothing.
  RewrapStore(*m.Store(), 12, m.Tabs());
  EXPECT_EQ(RewrapStore(*m.Store(), 12, m.Tabs()).FirstLine, -1);
}
