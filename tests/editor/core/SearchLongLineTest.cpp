// Plain-text search over lines far longer than the stretch it reads at a
// time: every match is found once, in order, wherever it falls against the
// stretch borders, with and without case and whole words, exactly as a
// brute-force scan and the regular-expression search find them.
#include "EngineTestUtil.h"

#include <gtest/gtest.h>

#include <random>

using namespace enginetest;

namespace {

bool InWord(char c) {
  return DefaultCharIsInWord(c);
}

char Fold(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// Starts of the matches a forward sweep meets (each search from the end of
// the last match), by looking at every position.
std::vector<int64_t> BruteForce(const std::string &text, const std::string &needle,
                                uint32_t flags) {
  std::vector<int64_t> out;
  const size_t n = needle.size();
  for (size_t p = 0; p + n <= text.size();) {
    bool same = true;
    for (size_t k = 0; k < n && same; ++k)
      same =
          (flags & sfMatchCase) ? text[p + k] == needle[k] : Fold(text[p + k]) == Fold(needle[k]);
    if (same && (flags & sfWholeWords)) {
      if (InWord(needle[0]) && p > 0 && InWord(text[p - 1]))
        same = false;
      if (InWord(needle[n - 1]) && p + n < text.size() && InWord(text[p + n]))
        same = false;
    }
    if (same) {
      out.push_back(static_cast<int64_t>(p));
      p += n;
    } else {
      ++p;
    }
  }
  return out;
}

std::vector<int64_t> Sweep(TCustomSyntaxMemo &m, const std::string &needle, uint32_t flags) {
  std::vector<int64_t> out;
  m.SetSelection(0, 0);
  int64_t len = 0;
  while (m.SearchAndSelect(needle, flags, len)) {
    EXPECT_EQ(len, static_cast<int64_t>(needle.size()));
    out.push_back(m.SelStart());
    if (out.size() > 100000)
      break;
  }
  return out;
}

// Lines of random letters, some several stretches long, with the needle and
// near misses planted around the stretch borders and at random.
std::string LongLines(std::mt19937 &rng, const std::string &needle) {
  const std::string letters = "abcdeXYZ_ 0";
  // Appended rather than added: the compiler's overlap warning misfires on
  // a literal plus a string.
  auto joined = [](const char *a, const std::string &b, const char *c) {
    return std::string(a).append(b).append(c);
  };
  const std::vector<std::string> plants = {needle,
                                           joined("x", needle, ""),
                                           joined("", needle, "s"),
                                           joined("_", needle, ""),
                                           joined(" ", needle, " "),
                                           joined("N", needle.substr(1), "")};
  std::string text;
  for (int line = 0; line < 4; ++line) {
    const size_t length = line % 2 ? 3 * kSearchStretch + rng() % 5000 : rng() % 300;
    std::string l;
    while (l.size() < length)
      l += letters[rng() % letters.size()];
    for (size_t border = kSearchStretch; border < l.size(); border += kSearchStretch - 2) {
      const std::string &p = plants[rng() % plants.size()];
      const size_t at = border - std::min<size_t>(border, rng() % (p.size() + 3));
      l.replace(at, std::min(p.size(), l.size() - at), p.substr(0, l.size() - at));
    }
    for (int k = 0; k < 20 && !l.empty(); ++k) {
      const std::string &p = plants[rng() % plants.size()];
      const size_t at = rng() % l.size();
      l.replace(at, std::min(p.size(), l.size() - at), p.substr(0, l.size() - at));
    }
    text += l;
    if (line < 3)
      text += '\r';
  }
  return text;
}

} // namespace

TEST(SearchLongLine, SweepsFindWhatABruteForceScanFinds) {
  std::mt19937 rng(7);
  for (int round = 0; round < 6; ++round) {
    const std::string needle = round % 2 ? "needle" : "ne_dle x";
    const std::string text = LongLines(rng, needle);
    TCustomSyntaxMemo m;
    m.ReplaceSel(text);
    ASSERT_EQ(m.Text(), text);
    for (uint32_t flags : {0u, sfMatchCase, sfWholeWords, sfMatchCase | sfWholeWords}) {
      const auto expected = BruteForce(text, needle, flags);
      EXPECT_EQ(Sweep(m, needle, flags), expected) << "round " << round << " flags " << flags;
      // The same pattern as a regular expression reads whole lines.
      EXPECT_EQ(Sweep(m, needle, flags | sfRegExp), expected) << "round " << round;
    }
  }
}

TEST(SearchLongLine, MatchStraddlingEveryOffsetOfAStretchBorderIsFound) {
  const std::string needle = "border";
  for (size_t shift = 0; shift <= needle.size() + 1; ++shift) {
    std::string line(2 * kSearchStretch + 10, 'q');
    const size_t at = kSearchStretch - shift;
    line.replace(at, needle.size(), needle);
    TCustomSyntaxMemo m;
    m.ReplaceSel(std::string("head\r").append(line));
    EXPECT_EQ(Sweep(m, needle, 0), std::vector<int64_t>{static_cast<int64_t>(at + 5)})
        << "shift " << shift;
    // As a whole word it needs a boundary on both sides, wherever the
    // stretch ends.
    EXPECT_TRUE(Sweep(m, needle, sfWholeWords).empty()) << "shift " << shift;
    for (const std::string sides : {" q", "q.", " ."}) {
      line[at - 1] = sides[0];
      line[at + needle.size()] = sides[1];
      m.SetSelection(0, m.TextLength());
      m.ReplaceSel(std::string("head\r").append(line));
      const auto found = Sweep(m, needle, sfWholeWords);
      if (sides == " .")
        EXPECT_EQ(found, std::vector<int64_t>{static_cast<int64_t>(at + 5)}) << "shift " << shift;
      else
        EXPECT_TRUE(found.empty()) << "shift " << shift << " sides '" << sides << "'";
    }
  }
}

TEST(SearchLongLine, ReplaceAllOverALongLineReplacesEveryMatch) {
  // Replacing with a longer text moves every later match; the sweep goes on
  // from the end of each replacement.
  std::string line;
  for (int i = 0; i < 3000; ++i)
    line += "LED = LED + 1 : ";
  TCustomSyntaxMemo m;
  m.ReplaceSel(line);
  m.BeginGroup(ugCompound);
  m.SetSelection(0, 0);
  std::string insert;
  int n = 0;
  while (m.SearchForReplace("LED", "PORTB.7", sfMatchCase | sfWholeWords, insert)) {
    m.ReplaceSel(insert, false);
    ++n;
  }
  m.EndGroup(ugCompound);
  EXPECT_EQ(n, 6000);
  std::string expected;
  for (int i = 0; i < 3000; ++i)
    expected += "PORTB.7 = PORTB.7 + 1 : ";
  EXPECT_EQ(m.Text(), expected);
  m.Undo();
  EXPECT_EQ(m.Text(), line);
}
