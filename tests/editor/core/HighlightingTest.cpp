// Highlighting pass: incremental re-scans agree with a scan of the whole text,
// a comment opened or closed re-styles the lines after it, a fresh text is
// scanned only as far as asked, and OnTokenSeen sees every token.
#include "Highlighting.h"
#include "CustomSyntaxMemo.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// Words 1, numbers 2, "{ ... }" comments 3 (across lines), the rest 0. The
// state after a token depends only on its value, as the scheme's context
// states do.
class TToyHighlighter : public THighlighter {
public:
  void Reset(int tokenValue) override {
    inComment_ = tokenValue == 3;
    ++resets;
  }
  int GetToken(TEdStream &s, int &length) override {
    const int64_t start = s.Position();
    unsigned char c = s.Current();
    int value = 0;
    if (inComment_ || c == '{') {
      if (!inComment_)
        s.Advance();
      inComment_ = true;
      while (!s.AtEnd()) {
        const unsigned char d = s.Current();
        s.Advance();
        if (d == '}') {
          inComment_ = false;
          break;
        }
        if (d == 13)
          break; // a comment token ends with its line; the state carries on
      }
      value = 3;
    } else if (isalpha(c)) {
      while (!s.AtEnd() && isalpha(s.Current()))
        s.Advance();
      value = 1;
    } else if (isdigit(c)) {
      while (!s.AtEnd() && isdigit(s.Current()))
        s.Advance();
      value = 2;
    } else {
      s.Advance();
    }
    length = static_cast<int>(s.Position() - start);
    ++tokens;
    return value;
  }
  TTokenStyle Style(int) const override { return {}; }
  int resets = 0;
  int64_t tokens = 0;

private:
  bool inComment_ = false;
};

// Style bytes of every node as one string of digits.
std::string Bytes(TTextStore &s) {
  std::string out;
  for (TLineNode *n = s.First(); n; n = n->Next)
    for (int i = 0; i < n->Length; ++i)
      out += n->Attributes() ? char('0' + n->Attributes()[i]) : '?';
  return out;
}

std::string FullScan(const std::string &text) {
  TCustomSyntaxMemo m;
  m.Perform(WM_SETTEXT, 0, reinterpret_cast<intptr_t>(text.c_str()));
  TToyHighlighter h;
  TSyntaxHighlighting pass(m.Store());
  pass.SetHighlighter(&h);
  while (pass.Continue(1000)) {
  }
  return Bytes(*m.Store());
}

struct Fixture {
  TCustomSyntaxMemo memo;
  TToyHighlighter h;
  TSyntaxHighlighting pass;
  explicit Fixture(const std::string &text) {
    memo.Perform(WM_SETTEXT, 0, reinterpret_cast<intptr_t>(text.c_str()));
    pass.SetStore(memo.Store());
    pass.SetHighlighter(&h);
    while (pass.Continue(1000)) {
    }
  }
  // Replaces [start, end) and runs the pass as the widget does after an edit.
  void Edit(int64_t start, int64_t end, const std::string &text) {
    memo.SetSelection(start, end, false);
    memo.ClearChangedLine();
    memo.ReplaceSel(text, false);
    pass.TextChanged(memo.ChangedLine() < 0 ? 0 : memo.ChangedLine());
    pass.Ensure(0, memo.LineCount());
  }
};

} // namespace

TEST(HighlightingPass, FullScanStylesEveryCharacterByToken) {
  EXPECT_EQ(FullScan("ab 12\r{x}\rq"), "110220"
                                       "3330"
                                       "1");
}

TEST(HighlightingPass, OpeningACommentRestylesFollowingLinesAndClosingRestoresThem) {
  Fixture f("a\rb\rc\rd");
  EXPECT_EQ(Bytes(*f.memo.Store()), "1010101");
  f.Edit(0, 0, "{");
  EXPECT_EQ(Bytes(*f.memo.Store()), "33333333");
  f.Edit(4, 4, "}");
  EXPECT_EQ(Bytes(*f.memo.Store()), FullScan(f.memo.Text()));
  EXPECT_EQ(Bytes(*f.memo.Store()), "333330101");
}

TEST(HighlightingPass, AnEditStopsOnceTheLinesAfterItStartAsBefore) {
  std::string text;
  for (int i = 0; i < 5000; ++i)
    text += "word 123 other\r";
  Fixture f(text);
  const int64_t before = f.h.tokens;
  f.Edit(15 * 2500 + 2, 15 * 2500 + 2, "x");
  // The changed line, the one before it and the stale rows after an insertion.
  EXPECT_LT(f.h.tokens - before, 6 * 100);
  EXPECT_EQ(Bytes(*f.memo.Store()), FullScan(f.memo.Text()));
}

TEST(HighlightingPass, RandomEditsAgreeWithAFullScan) {
  std::mt19937 rng(7);
  const std::string alphabet = "ab1 {}\r\r";
  Fixture f("start {c}\rtext 1\r");
  for (int step = 0; step < 400; ++step) {
    const int64_t len = f.memo.TextLength();
    std::uniform_int_distribution<int64_t> pos(0, len);
    int64_t a = pos(rng), b = pos(rng);
    if (a > b)
      std::swap(a, b);
    if (rng() % 3)
      b = a; // mostly insertions
    std::string ins;
    for (int k = int(rng() % 4); k > 0; --k)
      ins += alphabet[rng() % alphabet.size()];
    f.Edit(a, b, ins);
    ASSERT_EQ(Bytes(*f.memo.Store()), FullScan(f.memo.Text())) << "step " << step;
  }
}

TEST(HighlightingPass, AFreshTextIsScannedOnlyWhereAsked) {
  std::string text;
  for (int i = 0; i < 100000; ++i)
    text += "alpha 42\r";
  TCustomSyntaxMemo m;
  m.Perform(WM_SETTEXT, 0, reinterpret_cast<intptr_t>(text.c_str()));
  TToyHighlighter h;
  TSyntaxHighlighting pass(m.Store());
  pass.SetHighlighter(&h);
  pass.Ensure(0, 39);
  EXPECT_LT(h.tokens, 41 * 4);
  EXPECT_FALSE(pass.Complete());
  // Far ahead of the sequential scan: the shown lines are styled from a guess.
  h.tokens = 0;
  pass.Ensure(90000, 90039);
  EXPECT_LT(h.tokens, 41 * 4);
  TLineNode *n = m.Store()->LocateLine(90000).Node;
  ASSERT_NE(n->Attributes(), nullptr);
  EXPECT_TRUE(n->Flags & nfGuessed);
  while (pass.Continue(5000)) {
  }
  EXPECT_TRUE(pass.Complete());
  EXPECT_FALSE(n->Flags & nfGuessed);
  EXPECT_EQ(Bytes(*m.Store()), FullScan(text));
}

TEST(HighlightingPass, TokenSeenReportsEveryTokenExtent) {
  Fixture f("ab 12");
  std::vector<std::tuple<int, int64_t, int64_t>> seen;
  f.pass.OnTokenSeen = [&](int v, int64_t s, int64_t e) { seen.emplace_back(v, s, e); };
  f.pass.Invalidate();
  f.memo.Store()->First()->Flags |= nfStale;
  f.pass.Ensure(0, 0);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], std::make_tuple(1, 0, 2));
  EXPECT_EQ(seen[1], std::make_tuple(0, 2, 3));
  EXPECT_EQ(seen[2], std::make_tuple(2, 3, 5));
}

TEST(HighlightingPass, StoreStreamCrossesNodesAndLongLines) {
  TCustomSyntaxMemo m;
  const std::string text = std::string(5000, 'x') + "\ryz";
  m.Perform(WM_SETTEXT, 0, reinterpret_cast<intptr_t>(text.c_str()));
  TStoreEdStream s(*m.Store());
  std::string back;
  while (!s.AtEnd()) {
    back += char(s.Current());
    s.Advance();
  }
  EXPECT_EQ(back, m.Text());
  s.SetPosition(4999);
  EXPECT_EQ(s.Current(), 'x');
  s.Advance();
  EXPECT_EQ(s.Current(), 13);
  s.SetPosition(2047);
  EXPECT_EQ(s.Current(), 'x');
}

// A re-scan reports exactly the lines whose style bytes it had to change,
// wherever in a token of any length the wrong byte sits, and mends it.
TEST(HighlightingPass, ARescanFindsEveryWrongByteAndReportsOnlyItsLine) {
  std::string text;
  for (int len = 1; len <= 21; ++len)
    text += std::string(static_cast<size_t>(len), 'w') + " 7\r";
  Fixture f(text);
  const std::string good = Bytes(*f.memo.Store());
  // Nothing wrong: nothing reported.
  f.pass.Invalidate();
  while (f.pass.Continue(3)) {
  }
  EXPECT_EQ(f.pass.ChangedFirst, -1);
  for (int line = 0; line < 21; ++line) {
    const int len = line + 1;
    for (int at = 0; at < len; ++at) {
      f.memo.Store()->LocateLine(line).Node->Attributes()[at] = 9;
      f.pass.Invalidate();
      int64_t first = -1, last = -1;
      while (true) {
        const bool more = f.pass.Continue(1000);
        if (f.pass.ChangedFirst >= 0) {
          first = first < 0 ? f.pass.ChangedFirst : std::min(first, f.pass.ChangedFirst);
          last = std::max(last, f.pass.ChangedLast);
        }
        if (!more)
          break;
      }
      ASSERT_EQ(first, line) << "byte " << at << " of a " << len << "-character word";
      ASSERT_EQ(last, line);
      ASSERT_EQ(Bytes(*f.memo.Store()), good);
    }
  }
}
