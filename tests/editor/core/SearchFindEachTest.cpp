// The find-every-match run against searching again from the end of each
// match, one search at a time, over random texts, patterns and options; and
// caseless matching at both ends of the letter ranges.
#include "EngineTestUtil.h"

#include <gtest/gtest.h>

#include <random>

using namespace enginetest;

namespace {

using Matches = std::vector<std::pair<int64_t, int64_t>>;

Matches OneByOne(TCustomSyntaxMemo &m, const std::string &pattern, uint32_t flags, int64_t from) {
  Matches out;
  m.SkipEmptyMatchAt(-1);
  m.SetSelection(from, from);
  int64_t len = 0;
  while (m.SearchAndSelect(pattern, flags, len) && out.size() < 10000) {
    out.emplace_back(m.SelStart(), len);
    m.SetSelection(m.SelEnd(), m.SelEnd());
  }
  return out;
}

Matches AllAtOnce(TCustomSyntaxMemo &m, const std::string &pattern, uint32_t flags, int64_t from) {
  Matches out;
  m.SkipEmptyMatchAt(-1);
  m.FindEach(pattern, flags, from, [&](const TSearchMatch &x) {
    out.emplace_back(x.Start, x.Length);
    return true;
  });
  return out;
}

} // namespace

TEST(SearchFindEach, FindsWhatSearchingAgainFindsForEveryPatternAndOption) {
  // Letters at the ends of both ranges, their neighbours in the code table,
  // digits, blanks and line breaks.
  const std::string alphabet = "aAzZ@[`{_ 09\r";
  const std::vector<std::string> plain = {"a", "z", "Az", "z_", " a", "a\r", "@", "[", "zZ"};
  const std::vector<std::string> regexps = {"a",  "a*",   "^",       "$",  "\\b", "[a-z]+",
                                            "Z?", "\\w+", "(a|Z)_?", "x*", "^$",  "[@-\\[]"};
  const uint32_t options[] = {0, sfMatchCase, sfWholeWords, sfMatchCase | sfWholeWords};
  std::mt19937 rng(7);
  TCustomSyntaxMemo m;
  for (int round = 0; round < 120; ++round) {
    std::string text;
    const size_t len = rng() % 80;
    for (size_t i = 0; i < len; ++i)
      text += alphabet[rng() % alphabet.size()];
    m.Perform(WM_SETTEXT, 0, reinterpret_cast<intptr_t>(text.c_str()));
    const int64_t from = m.TextLength() ? static_cast<int64_t>(rng() % (m.TextLength() + 1)) : 0;
    for (const uint32_t o : options) {
      for (const std::string &p : plain)
        ASSERT_EQ(AllAtOnce(m, p, o, from), OneByOne(m, p, o, from))
            << "plain \"" << p << "\" options " << o << " from " << from << " in \"" << text
            << "\"";
      for (const std::string &p : regexps)
        ASSERT_EQ(AllAtOnce(m, p, o | sfRegExp, from), OneByOne(m, p, o | sfRegExp, from))
            << "regexp \"" << p << "\" options " << o << " from " << from << " in \"" << text
            << "\"";
    }
  }
}

TEST(SearchFindEach, StopsWhenAskedAndLeavesTheSelectionAlone) {
  TCustomSyntaxMemo m;
  SetDoc(m, "ab <ab> ab\nab");
  int seen = 0;
  EXPECT_EQ(m.FindEach("ab", 0, 0, [&](const TSearchMatch &) { return ++seen < 2; }), 2);
  EXPECT_EQ(Doc(m), "ab <ab> ab\nab");
  EXPECT_EQ(m.FindEach("ab", sfBackwards, 5, [](const TSearchMatch &) { return true; }), 2)
      << "always forward";
  EXPECT_EQ(m.FindEach("", 0, 0, [](const TSearchMatch &) { return true; }), 0);
  EXPECT_THROW(m.FindEach("(", sfRegExp, 0, [](const TSearchMatch &) { return true; }),
               ERegExpError);
}

TEST(SearchFindEach, CaselessMatchesExactlyTheOtherCaseOfEachLetter) {
  // Every byte once; each letter must meet its other case and nothing else, so
  // a folding bound that is one off (A-Z against @-[) is seen.
  std::string all;
  for (int c = 32; c < 256; ++c)
    all += static_cast<char>(c);
  TCustomSyntaxMemo m;
  m.Perform(WM_SETTEXT, 0, reinterpret_cast<intptr_t>(all.c_str()));
  const std::string stored = m.Text();
  for (const uint32_t re : {0u, static_cast<uint32_t>(sfRegExp)}) {
    for (int c = 32; c < 256; ++c) {
      const char ch = static_cast<char>(c);
      if (re && std::string("\\^$.|?*+()[]{}").find(ch) != std::string::npos)
        continue;
      std::vector<char> found;
      m.FindEach(std::string(1, ch), re, 0, [&](const TSearchMatch &x) {
        found.push_back(stored[static_cast<size_t>(x.Start)]);
        return true;
      });
      std::vector<char> want = {ch};
      if (c >= 'a' && c <= 'z')
        want.push_back(static_cast<char>(c - 32));
      if (c >= 'A' && c <= 'Z')
        want.push_back(static_cast<char>(c + 32));
      std::sort(found.begin(), found.end());
      std::sort(want.begin(), want.end());
      EXPECT_EQ(found, want) << "character " << c << (re ? " as a regular expression" : "");
    }
  }
}
