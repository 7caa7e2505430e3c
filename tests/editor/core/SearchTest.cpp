// Search over a character stream: plain and regular-expression, both
// directions, case and whole words, replacement groups and pattern errors.
#include "Search.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>

namespace {

struct Found {
  int64_t start;
  int64_t len;
  bool operator==(const Found &) const = default;
};

std::ostream &operator<<(std::ostream &o, const Found &f) {
  return o << "(" << f.start << "," << f.len << ")";
}

Found Search(const std::string &text, const std::string &pattern, uint32_t flags, int64_t from) {
  TBufferEdStream s(text.data(), text.size());
  TTextSearcher t(pattern, flags);
  TSearchMatch m;
  if (!t.Find(s, from, m))
    return {-1, 0};
  return {m.Start, m.Length};
}

} // namespace

TEST(SearchPlain, ForwardAndBackwardWithCaseAndWholeWords) {
  const std::string text = "Port PORTA port\rxport port_b\rport";
  EXPECT_EQ(Search(text, "port", 0, 0), (Found{0, 4}));
  EXPECT_EQ(Search(text, "port", 0, 1), (Found{5, 4}));
  EXPECT_EQ(Search(text, "port", sfMatchCase, 0), (Found{11, 4}));
  EXPECT_EQ(Search(text, "port", sfWholeWords, 1), (Found{11, 4}));
  EXPECT_EQ(Search(text, "port", sfWholeWords, 12), (Found{29, 4})); // skips xport and port_b
  EXPECT_EQ(Search(text, "port", 0, 30), (Found{-1, 0}));
  EXPECT_EQ(Search(text, "port", 0, static_cast<int64_t>(text.size())), (Found{-1, 0}));
  // Backwards: the last match that lies wholly before the start.
  EXPECT_EQ(Search(text, "port", sfBackwards, static_cast<int64_t>(text.size())), (Found{29, 4}));
  EXPECT_EQ(Search(text, "port", sfBackwards, 32), (Found{22, 4})); // port_b
  EXPECT_EQ(Search(text, "port", sfBackwards | sfMatchCase, 15), (Found{11, 4}));
  EXPECT_EQ(Search(text, "port", sfBackwards | sfWholeWords, 29), (Found{11, 4}));
  EXPECT_EQ(Search(text, "port", sfBackwards, 0), (Found{-1, 0}));
  EXPECT_EQ(Search(text, "", 0, 0), (Found{-1, 0}));
  EXPECT_EQ(Search(text, "", sfRegExp, 0), (Found{-1, 0}));
  EXPECT_EQ(Search(text, "PORTA", sfWholeWords | sfMatchCase, 0), (Found{5, 5}));
}

TEST(SearchRegExp, ForwardBackwardCaseWholeWordsAndAnchors) {
  const std::string text = "x = 10\rGOSUB init\r  gosub Done\rend";
  EXPECT_EQ(Search(text, "gosub\\s+(\\w+)", sfRegExp, 0), (Found{7, 10}));
  EXPECT_EQ(Search(text, "gosub\\s+(\\w+)", sfRegExp | sfMatchCase, 0), (Found{20, 10}));
  EXPECT_EQ(Search(text, "gosub\\s+(\\w+)", sfRegExp | sfBackwards, 34), (Found{20, 10}));
  EXPECT_EQ(Search(text, "gosub\\s+(\\w+)", sfRegExp | sfBackwards, 29), (Found{7, 10}));
  EXPECT_EQ(Search(text, "^\\s*\\w+", sfRegExp, 1), (Found{7, 5}));
  EXPECT_EQ(Search(text, "\\d+$", sfRegExp, 0), (Found{4, 2}));
  EXPECT_EQ(Search(text, "in", sfRegExp | sfWholeWords, 0), (Found{-1, 0}));
  EXPECT_EQ(Search(text, "in\\w*", sfRegExp | sfWholeWords, 0), (Found{13, 4}));
  EXPECT_EQ(Search(text, "^", sfRegExp | sfBackwards, 34), (Found{31, 0}));
  EXPECT_EQ(Search(text, "^", sfRegExp | sfBackwards, 31),
            (Found{18, 0})); // not at the start itself
  // An empty match is not taken at the start point, so repeated searches move on.
  EXPECT_EQ(Search(text, "^", sfRegExp, 0), (Found{7, 0}));
  EXPECT_EQ(Search(text, "x*", sfRegExp, 1), (Found{2, 0}));
}

TEST(SearchRegExp, ReplacementFillsGroupReferences) {
  const std::string text = "a = b + c\rLET total = 42";
  TBufferEdStream s(text.data(), text.size());
  TTextSearcher t("(\\w+) = (\\d+)", sfRegExp);
  TSearchMatch m;
  ASSERT_TRUE(t.Find(s, 0, m));
  EXPECT_EQ(m.Start, 14);
  EXPECT_EQ(t.ExpandReplacement("\\2 -> \\1 (\\0) \\9 \\\\ \\x"),
            "42 -> total (total = 42)  \\ \\x");
  // Backwards keeps the groups of the match it chose.
  TTextSearcher b("(\\w) = (\\w)", sfRegExp | sfBackwards);
  ASSERT_TRUE(b.Find(s, static_cast<int64_t>(text.size()), m));
  EXPECT_EQ(m.Start, 18);
  EXPECT_EQ(b.ExpandReplacement("\\1\\2"), "l4");
  TTextSearcher plain("a", 0);
  ASSERT_TRUE(plain.Find(s, 0, m));
  EXPECT_EQ(plain.ExpandReplacement("\\1x"), "\\1x");
}

TEST(SearchRegExp, InvalidPatternGivesThreeLinesWithCaretUnderTheFault) {
  for (const auto &[pattern, column] : std::vector<std::pair<std::string, size_t>>{
           {"abc(def", 7}, {"a[b", 3}, {"x{2,1}", 5}, {"ab)c", 2}}) {
    try {
      TTextSearcher t(pattern, sfRegExp);
      FAIL() << pattern;
    } catch (const ERegExpError &e) {
      const std::string msg = e.what();
      const size_t nl1 = msg.find('\n');
      ASSERT_NE(nl1, std::string::npos);
      const size_t nl2 = msg.find('\n', nl1 + 1);
      ASSERT_NE(nl2, std::string::npos);
      EXPECT_FALSE(msg.substr(0, nl1).empty());
      EXPECT_EQ(msg.substr(nl1 + 1, nl2 - nl1 - 1), pattern);
      EXPECT_EQ(msg.substr(nl2 + 1), std::string(column, ' ') + "^") << pattern;
    }
  }
  try {
    TTextSearcher t("abc(def", sfRegExp);
  } catch (const ERegExpError &e) {
    EXPECT_EQ(std::string(e.what()), "missing closing parenthesis\nabc(def\n       ^");
  }
}

TEST(SearchPlain, CaselessMatchesEveryLetterAndNothingBeside) {
  for (char lower = 'a'; lower <= 'z'; ++lower) {
    const char upper = static_cast<char>(lower - 32);
    EXPECT_EQ(Search(std::string("..") + upper, std::string(1, lower), 0, 0).start, 2) << lower;
    EXPECT_EQ(Search(std::string("..") + lower, std::string(1, upper), 0, 0).start, 2) << upper;
    EXPECT_EQ(Search(std::string("..") + upper, std::string(1, lower), sfMatchCase, 0).start, -1);
  }
  // Codes that differ from a letter only by the case bit are not letters.
  for (const auto &[a, b] : {std::pair{'@', '`'}, std::pair{'[', '{'}, std::pair{'\xC9', '\xE9'}}) {
    EXPECT_EQ(Search(std::string(1, a), std::string(1, b), 0, 0).start, -1) << a;
    EXPECT_EQ(Search(std::string(1, b), std::string(1, a), 0, 0).start, -1) << b;
  }
}

TEST(SearchProperty, MatchesAgreeWithANaiveScanInBothDirections) {
  std::mt19937 rng(7);
  // The letters at both ends of a-z and A-Z, the characters just outside
  // them (whose codes differ from a letter's by the case bit), and accented
  // letters, which caseless search leaves as they are.
  const std::string alphabet = "azAZ@[`{ \r_\xE9\xC9";
  const std::string firsts = "azAZ@[`{\xE9\xC9";
  for (int round = 0; round < 1500; ++round) {
    std::string text;
    const int n = static_cast<int>(rng() % 40);
    for (int i = 0; i < n; ++i)
      text += alphabet[rng() % alphabet.size()];
    std::string pat(1, firsts[rng() % firsts.size()]);
    if (rng() % 2)
      pat += firsts[rng() % firsts.size()];
    const uint32_t flags = (rng() % 2 ? sfMatchCase : 0) | (rng() % 2 ? sfWholeWords : 0);
    const int64_t from = n ? static_cast<int64_t>(rng() % (n + 1)) : 0;
    auto eq = [&](size_t at) {
      for (size_t j = 0; j < pat.size(); ++j) {
        char a = text[at + j], b = pat[j];
        if (!(flags & sfMatchCase)) {
          a = static_cast<char>(std::tolower(static_cast<unsigned char>(a)));
          b = static_cast<char>(std::tolower(static_cast<unsigned char>(b)));
        }
        if (a != b)
          return false;
      }
      // Whole words: a word character at an end of the match may not
      // continue a word outside it.
      if (flags & sfWholeWords) {
        const size_t end = at + pat.size();
        if (at > 0 && DefaultCharIsInWord(text[at]) && DefaultCharIsInWord(text[at - 1]))
          return false;
        if (end < text.size() && DefaultCharIsInWord(text[end - 1]) &&
            DefaultCharIsInWord(text[end]))
          return false;
      }
      return true;
    };
    int64_t fwd = -1, bwd = -1;
    for (int64_t at = from; at + static_cast<int64_t>(pat.size()) <= n; ++at)
      if (eq(static_cast<size_t>(at))) {
        fwd = at;
        break;
      }
    // Backwards takes the last of the matches a forward scan meets.
    for (int64_t at = 0; at + static_cast<int64_t>(pat.size()) <= from;) {
      if (eq(static_cast<size_t>(at))) {
        bwd = at;
        at += static_cast<int64_t>(pat.size());
      } else {
        ++at;
      }
    }
    EXPECT_EQ(Search(text, pat, flags, from).start, fwd) << round;
    EXPECT_EQ(Search(text, pat, flags | sfBackwards, from).start, bwd) << round;
    // The regular-expression engine agrees on the pattern taken literally.
    std::string literal;
    for (char c : pat)
      literal.append(std::isalnum(static_cast<unsigned char>(c)) ? "" : "\\").append(1, c);
    EXPECT_EQ(Search(text, literal, flags | sfRegExp, from).start, fwd) << round;
    EXPECT_EQ(Search(text, literal, flags | sfRegExp | sfBackwards, from).start, bwd) << round;
  }
}
