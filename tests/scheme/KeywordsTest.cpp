// The keyword trie against a plain longest-match search.
#include "Keywords.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>

namespace {

struct Entry {
  std::string Word;
  uint16_t Term;
  TStateSet States;
  uint8_t Token;
};

// Whether w is already a word in one of these states (AddWord refuses it).
bool Clashes(const std::vector<Entry> &words, const std::string &w, const TStateSet &states,
             bool caseSensitive) {
  for (const Entry &e : words) {
    bool same = e.Word.size() == w.size();
    for (size_t k = 0; same && k < w.size(); ++k)
      same = caseSensitive ? e.Word[k] == w[k]
                           : TSyntaxKeywords::Lower(e.Word[k]) == TSyntaxKeywords::Lower(w[k]);
    if (same && e.States.Intersects(states))
      return true;
  }
  return false;
}

// Adds the word to the trie, and to the reference list unless the trie must
// refuse it; false when the trie answered otherwise.
bool AddChecked(TSyntaxKeywords &kw, std::vector<Entry> &words, const Entry &e,
                bool caseSensitive) {
  const bool clash = Clashes(words, e.Word, e.States, caseSensitive);
  if (!clash)
    words.push_back(e);
  return kw.AddWord(e.Word, e.Term, e.States, e.Token) == !clash;
}

// The reference: the longest word that matches here, is valid in cur and
// whose terminator accepts the next character.
int Naive(const std::vector<Entry> &words, const std::string &text, size_t pos,
          const TStateSet &cur, const TSM_CharGroupManager &groups, bool caseSensitive, int &len) {
  int best = -1;
  size_t bestLen = 0;
  for (const Entry &e : words) {
    if (e.Word.size() <= bestLen || pos + e.Word.size() > text.size() || !e.States.Intersects(cur))
      continue;
    bool eq = true;
    for (size_t i = 0; i < e.Word.size() && eq; ++i) {
      unsigned char a = static_cast<unsigned char>(text[pos + i]),
                    b = static_cast<unsigned char>(e.Word[i]);
      if (!caseSensitive) {
        a = TSyntaxKeywords::Lower(a);
        b = TSyntaxKeywords::Lower(b);
      }
      eq = a == b;
    }
    if (!eq)
      continue;
    const size_t next = pos + e.Word.size();
    const unsigned nc = next < text.size() ? static_cast<unsigned char>(text[next]) : 0;
    if (e.Term != 0 && !groups.Get(e.Term).Contains(nc))
      continue;
    best = e.Token;
    bestLen = e.Word.size();
  }
  len = static_cast<int>(bestLen);
  return best;
}

TEST(Keywords, RandomWordSetsMatchTheLongestAcceptableWord) {
  std::mt19937 rng(8);
  for (int round = 0; round < 60; ++round) {
    const bool caseSensitive = round % 2;
    TSM_CharGroupManager groups;
    TSM_CharGroup notLetter;
    notLetter.AddRange('a', 'c');
    notLetter.AddRange('A', 'C');
    notLetter.Invert();
    const uint16_t term = groups.Intern(notLetter);
    TSyntaxKeywords kw(caseSensitive);
    std::vector<Entry> words;
    for (int i = 0; i < 40; ++i) {
      std::string w;
      const int n = 1 + static_cast<int>(rng() % 4);
      for (int k = 0; k < n; ++k)
        w += "abcAB"[rng() % 5];
      TStateSet states = TStateSet::Of(rng() % 3);
      const uint16_t t = (rng() % 2) ? term : 0;
      const uint8_t token = static_cast<uint8_t>(1 + rng() % 200);
      EXPECT_TRUE(AddChecked(kw, words, {w, t, states, token}, caseSensitive)) << w;
    }
    std::string text;
    for (int i = 0; i < 300; ++i)
      text += "abcAB x"[rng() % 7];
    for (unsigned s = 0; s < 3; ++s) {
      const TStateSet cur = TStateSet::Of(s);
      for (size_t pos = 0; pos < text.size(); ++pos) {
        TBufferEdStream src(text.data(), text.size());
        src.SetPosition(static_cast<int64_t>(pos));
        int len = -1, nlen = 0;
        const int got = kw.Match(src, cur, groups, len);
        const int want = Naive(words, text, pos, cur, groups, caseSensitive, nlen);
        ASSERT_EQ(got, want) << "round " << round << " pos " << pos;
        if (got >= 0) {
          EXPECT_EQ(len, nlen);
          EXPECT_EQ(src.Position(), static_cast<int64_t>(pos) + nlen);
        } else
          EXPECT_EQ(src.Position(), static_cast<int64_t>(pos));
      }
    }
  }
}

TEST(Keywords, OneWordEndCarriesRecordsForDifferentStates) {
  TSM_CharGroupManager groups;
  TSyntaxKeywords kw(false);
  EXPECT_TRUE(kw.AddWord("end", 0, TStateSet::Of(0), 1));
  EXPECT_TRUE(kw.AddWord("END", 0, TStateSet::Of(2), 2));
  EXPECT_FALSE(kw.AddWord("End", 0, TStateSet::Of(2), 3));
  const std::string text = "End";
  for (unsigned s : {0u, 2u}) {
    TBufferEdStream src(text.data(), text.size());
    int len = 0;
    EXPECT_EQ(kw.Match(src, TStateSet::Of(s), groups, len), s == 0 ? 1 : 2);
  }
  TBufferEdStream src(text.data(), text.size());
  int len = 0;
  EXPECT_EQ(kw.Match(src, TStateSet::Of(1), groups, len), -1);
}

TEST(Keywords, OnlyAsciiLettersAreFoldedAndCaseRuleCanChangeLater) {
  TSM_CharGroupManager groups;
  TSyntaxKeywords kw(true);
  EXPECT_TRUE(kw.AddWord("Caf\xe9", 0, TStateSet::Of(0), 7));
  EXPECT_TRUE(kw.AddWord("if", 0, TStateSet::Of(0), 8));
  EXPECT_TRUE(kw.AddWord("IF", 0, TStateSet::Of(0), 9));
  EXPECT_FALSE(kw.SetCaseSensitive(false)); // "if" and "IF" would collide
  EXPECT_TRUE(kw.IsCaseSensitive());
  TSyntaxKeywords k2(true);
  EXPECT_TRUE(k2.AddWord("Caf\xe9", 0, TStateSet::Of(0), 7));
  EXPECT_TRUE(k2.SetCaseSensitive(false));
  for (const std::string text : {"CAF\xe9", "caf\xe9", "CAF\xc9"}) {
    TBufferEdStream src(text.data(), text.size());
    int len = 0;
    EXPECT_EQ(k2.Match(src, TStateSet::Of(0), groups, len), text == "CAF\xc9" ? -1 : 7) << text;
  }
}

// Matching builds the scanner's form of the tree; words added or removed
// afterwards, and states beyond the first 64 distinct sets, still count.
TEST(Keywords, ChangesAfterAMatchAndManyDistinctStateSetsAreSeen) {
  TSM_CharGroupManager groups;
  TSyntaxKeywords kw(false);
  auto match = [&](const std::string &text, const TStateSet &cur) {
    TBufferEdStream src(text.data(), text.size());
    int len = 0;
    return kw.Match(src, cur, groups, len);
  };
  EXPECT_TRUE(kw.AddWord("goto", 0, TStateSet::Of(0), 5));
  EXPECT_EQ(match("GOTO", TStateSet::Of(0)), 5);
  EXPECT_EQ(match("GOSUB", TStateSet::Of(0)), -1);
  EXPECT_TRUE(kw.AddWord("gosub", 0, TStateSet::Of(0), 6));
  EXPECT_EQ(match("GOSUB", TStateSet::Of(0)), 6);
  // Each word valid in a state set of its own: 150 sets, so both the masked
  // test of the first 64 and the direct test of the rest decide.
  auto word = [](unsigned i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "w%03u", i); // no word a prefix of another
    return std::string(buf);
  };
  for (unsigned i = 0; i < 150; ++i) {
    TStateSet s = TStateSet::Of(i + 1);
    s.Include((i * 7 + 3) % 256);
    ASSERT_TRUE(kw.AddWord(word(i), 0, s, static_cast<uint8_t>(i % 250 + 1)));
  }
  for (unsigned i = 0; i < 150; ++i) {
    const std::string w = word(i);
    EXPECT_EQ(match(w, TStateSet::Of(i + 1)), static_cast<int>(i % 250 + 1)) << w;
    const unsigned other = (i + 1 + 128) % 256;
    TStateSet s = TStateSet::Of(i + 1);
    s.Include((i * 7 + 3) % 256);
    if (!s.Has(other)) {
      EXPECT_EQ(match(w, TStateSet::Of(other)), -1) << w;
    }
  }
  kw.Clear();
  EXPECT_EQ(match("GOTO", TStateSet::Of(0)), -1);
}

// A source that hands out the text in chunks of a few bytes, each followed
// by word characters that are not the text: a match that reads past its
// chunk's end instead of stepping the source gives a different answer.
class ChunkedSource : public TEdStream {
public:
  ChunkedSource(const std::string &text, size_t chunk) : text_(text), chunk_(chunk) {
    SetSize(static_cast<int64_t>(text.size()));
    Fetch(0);
  }

protected:
  void Fetch(int64_t pos) override {
    const size_t start = static_cast<size_t>(pos) - static_cast<size_t>(pos) % chunk_;
    const size_t len = std::min(chunk_, text_.size() - start);
    copy_.assign(text_, start, len);
    copy_.append(16, 'a');
    SetChunk(reinterpret_cast<const unsigned char *>(copy_.data()), len,
             static_cast<int64_t>(start), pos);
  }

private:
  const std::string &text_;
  size_t chunk_;
  std::string copy_;
};

// Schemes whose words are names ending where a name ends are matched by
// reading the whole run of name characters and looking it up; words of
// other shapes beside them (a name with a dot, a terminator that accepts a
// name character, none at all) keep their first characters on the walk.
// Both must give the plain search's answer wherever the text is split.
TEST(Keywords, WholeNameLookupMatchesTheLongestAcceptableWordThroughChunks) {
  std::mt19937 rng(16);
  const std::string alphabet = "abAB_1\xe9\xc9"; // bytes above 127 are never folded
  for (int round = 0; round < 80; ++round) {
    const bool caseSensitive = round % 2;
    TSM_CharGroupManager groups;
    TSM_CharGroup name;
    name.AddRange('a', 'z');
    name.AddRange('A', 'Z');
    name.AddRange('0', '9');
    name.Add('_');
    name.Add(0xe9);
    name.Add(0xc9);
    TSM_CharGroup notName = name;
    notName.Invert();
    const uint16_t ends = groups.Intern(notName);
    TSM_CharGroup notDigit;
    notDigit.AddRange('0', '9');
    notDigit.Invert();
    const uint16_t noDigit = groups.Intern(notDigit);
    TSM_CharGroup blank;
    blank.Add(' ');
    const uint16_t onlyBlank = groups.Intern(blank); // refuses every name character too
    TSyntaxKeywords kw(caseSensitive);
    std::vector<Entry> words;
    // Rounds differ in how many words have another shape, down to none.
    const unsigned odd = static_cast<unsigned>(round % 4);
    for (int i = 0; i < 60; ++i) {
      std::string w;
      // Some rounds hold words too long for the two-word comparison.
      const int n = 1 + static_cast<int>(rng() % (round % 3 == 2 ? 20 : 4));
      for (int k = 0; k < n; ++k)
        w += alphabet[rng() % alphabet.size()];
      uint16_t t = (rng() % 5) ? ends : onlyBlank;
      if (odd && rng() % 8 < odd) {
        switch (rng() % 3) {
        case 0:
          w.insert(rng() % (w.size() + 1), ".");
          break;
        case 1:
          t = noDigit;
          break;
        default:
          t = 0;
          break;
        }
      }
      const TStateSet states = TStateSet::Of(rng() % 3);
      const uint8_t token = static_cast<uint8_t>(1 + rng() % 200);
      ASSERT_TRUE(AddChecked(kw, words, {w, t, states, token}, caseSensitive)) << w;
    }
    // Random characters and copies of words, some with a letter's case
    // changed, so that long words are met in the text too.
    std::string text;
    const std::string textChars = alphabet + " .";
    while (text.size() < 300) {
      if (rng() % 3) {
        text += textChars[rng() % textChars.size()];
        continue;
      }
      std::string w = words[rng() % words.size()].Word;
      const size_t at = rng() % w.size();
      if (w[at] >= 'a' && w[at] <= 'z')
        w[at] = static_cast<char>(w[at] - 32);
      text += w;
    }
    for (size_t chunk : {size_t(0), size_t(1), size_t(3), size_t(7)})
      for (unsigned s = 0; s < 3; ++s) {
        const TStateSet cur = TStateSet::Of(s);
        for (size_t pos = 0; pos < text.size(); ++pos) {
          TBufferEdStream flat(text.data(), text.size());
          std::unique_ptr<ChunkedSource> chunked;
          TEdStream *src = &flat;
          if (chunk) {
            chunked = std::make_unique<ChunkedSource>(text, chunk);
            src = chunked.get();
          }
          src->SetPosition(static_cast<int64_t>(pos));
          int len = -1, nlen = 0;
          const int got = kw.Match(*src, cur, groups, len);
          const int want = Naive(words, text, pos, cur, groups, caseSensitive, nlen);
          ASSERT_EQ(got, want) << "round " << round << " chunk " << chunk << " pos " << pos;
          EXPECT_EQ(src->Position(), static_cast<int64_t>(pos) + (got >= 0 ? nlen : 0));
          if (got >= 0) {
            EXPECT_EQ(len, nlen);
          }
        }
      }
  }
}

// The edges of the lookup one at a time: a word that is a prefix of a name,
// a name that is a prefix of a longer word, the end of the text right after
// a word, a word split by a chunk's end, and case folding of ASCII only.
TEST(Keywords, WholeNameLookupEdges) {
  TSM_CharGroupManager groups;
  TSM_CharGroup name;
  name.AddRange('a', 'z');
  name.AddRange('A', 'Z');
  name.Add(0xe9);
  TSM_CharGroup notName = name;
  notName.Invert();
  const uint16_t ends = groups.Intern(notName);
  TSyntaxKeywords kw(false);
  ASSERT_TRUE(kw.AddWord("goto", ends, TStateSet::Of(0), 1));
  ASSERT_TRUE(kw.AddWord("gotoend", ends, TStateSet::Of(0), 2));
  ASSERT_TRUE(kw.AddWord("caf\xe9", ends, TStateSet::Of(0), 3));
  ASSERT_TRUE(kw.AddWord("cafe", ends, TStateSet::Of(1), 4));
  struct Case {
    std::string Text;
    size_t Chunk; // 0: one buffer
    int Token;
    int Length;
  };
  const std::vector<Case> cases = {
      {"GoTo x", 0, 1, 4}, {"gotox", 0, -1, 0},   {"gotoEnd(", 0, 2, 7},  {"gotoen", 0, -1, 0},
      {"goto", 0, 1, 4},   {"goto", 2, 1, 4},     {"gotoend", 4, 2, 7},   {"gotoe x", 4, -1, 0},
      {"goto x", 3, 1, 4}, {"CAF\xe9!", 0, 3, 4}, {"CAF\xc9!", 0, -1, 0}, {"caf\xe9x", 0, -1, 0},
      {"cafe.", 0, -1, 0}, // valid in another state only
  };
  for (const Case &c : cases) {
    TBufferEdStream flat(c.Text.data(), c.Text.size());
    ChunkedSource chunked(c.Text, c.Chunk ? c.Chunk : 1);
    TEdStream &src = c.Chunk ? static_cast<TEdStream &>(chunked) : flat;
    int len = 0;
    EXPECT_EQ(kw.Match(src, TStateSet::Of(0), groups, len), c.Token) << c.Text << " " << c.Chunk;
    EXPECT_EQ(src.Position(), c.Token >= 0 ? c.Length : 0) << c.Text;
  }
}

TEST(StateSet, OperationsAndStoredBytes) {
  TStateSet a = TStateSet::Of(0);
  a.Include(63);
  a.Include(64);
  a.Include(255);
  EXPECT_TRUE(a.Has(255));
  EXPECT_FALSE(a.Has(256));
  EXPECT_EQ(a.Lowest(), 0);
  TStateSet b = TStateSet::Of(64);
  EXPECT_TRUE(a.Intersects(b));
  a -= b;
  EXPECT_FALSE(a.Intersects(b));
  uint8_t bytes[32];
  a.ToBytes(bytes);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[7], 0x80);
  EXPECT_EQ(bytes[31], 0x80);
  EXPECT_EQ(TStateSet::FromBytes(bytes), a);
  EXPECT_EQ(TStateSet().Lowest(), -1);
}

} // namespace
