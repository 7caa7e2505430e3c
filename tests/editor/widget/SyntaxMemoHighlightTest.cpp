// The widget's highlighting pass over the line store gives every character
// the style byte the tokenizer gives it over the same text in one buffer:
// for a first pass, for a re-scan of a styled text, across lines longer than
// a node and tokens that look past their line's end; and its token hook
// reports exactly while OnTokenSeen is set.
#include "WidgetTestUtil.h"

#include "Streams.h"
#include "SyntaxMemoParser.h"
#include "TextStore.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using kxwidget::App;

TSyntaxMemoParser &Scheme(const char *name) {
  static TSyntaxMemoParser basic, assembler;
  TSyntaxMemoParser &p = std::strcmp(name, "picasm.scheme") == 0 ? assembler : basic;
  if (p.Keywords.WordCount() == 0)
    p.CompileFile(std::string(KX_SOURCE_DIR) + "/resources/schemes/" + name);
  return p;
}

// Lines of BASIC and assembler pieces, with bytes above 127, labels after
// line breaks, ASM blocks, and now and then a line longer than a node.
std::string RandomProgram(std::mt19937 &rng, int lines) {
  static const char *pieces[] = {"HIGH ", "PORTB", ".", "0", " ", "\t", "' r\xE9glage ",
                                 "\"cha\xEEne\"", "$FF", "%101", "@ nop", "movlw", "H'1F'",
                                 "x", ":", "REM", "Main", "(", "+", "\xE9", "GOSUB", "count"};
  std::string s;
  for (int l = 0; l < lines; ++l) {
    switch (rng() % 12) {
    case 0: s += "ASM\r"; break;
    case 1: s += "ENDASM\r"; break;
    case 2: s += "label" + std::to_string(l) + ":\r"; break;
    case 3:
      // A comment or a run of words past the node limit: one token or many
      // spanning the node boundary.
      s += (rng() % 2 ? "' " : "") + std::string(2047 + rng() % 3000, rng() % 2 ? 'a' : ' ') + "\r";
      break;
    default: {
      const int n = 1 + static_cast<int>(rng() % 10);
      for (int i = 0; i < n; ++i)
        s += pieces[rng() % (sizeof pieces / sizeof pieces[0])];
      s += "\r";
    }
    }
  }
  return s;
}

// The tokenizer over the text as one buffer: a style byte per character.
std::vector<unsigned char> FlatStyles(TSyntaxMemoParser &p, const std::string &text) {
  std::vector<unsigned char> styles(text.size());
  TBufferEdStream src(text.data(), text.size());
  p.Reset(-1); // the scheme's start states, where a text begins
  int64_t pos = 0;
  while (!src.AtEnd()) {
    int len = 0;
    const int v = p.GetToken(nullptr, src, len);
    std::memset(styles.data() + pos, v, static_cast<size_t>(len));
    pos += len;
  }
  return styles;
}

std::vector<unsigned char> StoreStyles(TSyntaxMemo &m) {
  std::vector<unsigned char> out;
  for (TLineNode *n = m.Store()->First(); n; n = n->Next) {
    if (!n->Attributes())
      return {};
    out.insert(out.end(), n->Attributes(), n->Attributes() + n->Length);
  }
  return out;
}

std::string StoreText(TSyntaxMemo &m) {
  std::string out;
  for (TLineNode *n = m.Store()->First(); n; n = n->Next)
    out.append(n->Text(), n->Length);
  return out;
}

void RunPass(TSyntaxMemo &m, int64_t slice) {
  while (m.Highlighting().Continue(slice)) {
  }
}

TEST(SyntaxMemoHighlight, ThePassOverTheStoreAgreesWithTheTokenizerOverOneBuffer) {
  App();
  std::mt19937 rng(77);
  for (const char *scheme : {"tarnic.scheme", "picasm.scheme"}) {
    for (int round = 0; round < 6; ++round) {
      const std::string text = RandomProgram(rng, 300);
      TSyntaxMemo m;
      m.SetParser(&Scheme(scheme));
      m.SetOptionsMask(m.OptionsMask() | smoSyntaxHighlight);
      THighlighter *h = m.Highlighter;
      m.SetHighlighterObject(nullptr);
      m.Perform(WM_SETTEXT, 0, reinterpret_cast<intptr_t>(text.c_str()));
      m.SetHighlighterObject(h);
      ASSERT_GT(m.LineCount(), 300) << "long lines take more than one node";
      // Slices of a few lines end the scan on every kind of line.
      RunPass(m, 1 + round % 7);
      ASSERT_EQ(StoreStyles(m), FlatStyles(Scheme(scheme), StoreText(m))) << scheme;

      // An edit at the top, then every styled line scanned again.
      m.SetSelection(0, 0);
      m.ReplaceSel("' ", 2, false);
      m.SetHighlighterObject(nullptr);
      m.SetHighlighterObject(h);
      RunPass(m, 5000);
      EXPECT_EQ(StoreStyles(m), FlatStyles(Scheme(scheme), StoreText(m))) << scheme;
    }
  }
}

TEST(SyntaxMemoHighlight, TokenHookReportsWhileOnTokenSeenIsSet) {
  App();
  TSyntaxMemo m;
  m.SetParser(&Scheme("tarnic.scheme"));
  m.SetOptionsMask(m.OptionsMask() | smoSyntaxHighlight);
  m.Perform(WM_SETTEXT, 0, reinterpret_cast<intptr_t>("HIGH PORTB.0\r' note\r"));
  RunPass(m, 5000);
  std::vector<std::pair<int64_t, int64_t>> seen;
  m.OnTokenSeen = [&](TSyntaxMemo *who, int, int64_t s, int64_t e) {
    EXPECT_EQ(who, &m);
    seen.emplace_back(s, e);
  };
  THighlighter *h = m.Highlighter;
  m.SetHighlighterObject(nullptr); // everything is scanned again
  m.SetHighlighterObject(h);
  RunPass(m, 5000);
  ASSERT_FALSE(seen.empty());
  // The reported extents tile the text.
  int64_t at = 0;
  for (const auto &[s, e] : seen) {
    EXPECT_EQ(s, at);
    EXPECT_GT(e, s);
    at = e;
  }
  EXPECT_EQ(at, m.TextLength());

  m.OnTokenSeen = nullptr;
  seen.clear();
  m.SetHighlighterObject(nullptr);
  m.SetHighlighterObject(h);
  RunPass(m, 5000);
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(StoreStyles(m), FlatStyles(Scheme("tarnic.scheme"), StoreText(m)));
}

} // namespace
