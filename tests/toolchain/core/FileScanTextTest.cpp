// The block-wise text search against a naive search of the whole file: random
// files and texts, every block size from 1 byte up, all match kinds, both case
// modes and all three ways of combining texts; plus the delimiter and case
// tables and files that cannot be read.
#include "FileScanText.h"

#include "FileScanTestUtil.h"

#include <gtest/gtest.h>

#include <random>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

using kxscan::TempTree;

bool IsWordByte(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')
    return true;
  if (c >= 0xC0)
    return c != 0xD7 && c != 0xF7;
  for (unsigned char w : {0x8A, 0x8C, 0x8E, 0x9A, 0x9C, 0x9E, 0x9F})
    if (c == w)
      return true;
  return false;
}

unsigned char Lower(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
    return static_cast<unsigned char>(c + 0x20);
  if (c == 0x8A || c == 0x8C || c == 0x8E)
    return static_cast<unsigned char>(c + 0x10);
  if (c == 0x9F)
    return 0xFF;
  return c;
}

// The whole file at once, every position tried.
bool NaiveFound(const std::string &hay, const std::string &text, TSearchStringType kind,
                bool caseSense) {
  const size_t n = hay.size(), m = text.size();
  for (size_t p = 0; p + m <= n; ++p) {
    bool eq = true;
    for (size_t i = 0; i < m && eq; ++i) {
      const auto a = static_cast<unsigned char>(hay[p + i]);
      const auto b = static_cast<unsigned char>(text[i]);
      eq = caseSense ? a == b : Lower(a) == Lower(b);
    }
    if (!eq)
      continue;
    const bool lead = p == 0 || !IsWordByte(static_cast<unsigned char>(hay[p - 1]));
    const bool trail = p + m == n || !IsWordByte(static_cast<unsigned char>(hay[p + m]));
    switch (kind) {
    case TSearchStringType::sst_Normal:
      return true;
    case TSearchStringType::sst_Word:
      if (lead && trail)
        return true;
      break;
    case TSearchStringType::sst_Prefix:
      if (lead)
        return true;
      break;
    case TSearchStringType::sst_Suffix:
      if (trail)
        return true;
      break;
    }
  }
  return false;
}

int NaiveOutcome(const std::string &hay, const std::vector<std::string> &texts, TSearchType type,
                 TSearchStringType kind, bool caseSense) {
  int found = 0, count = 0;
  for (const std::string &t : texts) {
    if (t.empty())
      continue;
    ++count;
    found += NaiveFound(hay, t, kind, caseSense) ? 1 : 0;
  }
  switch (type) {
  case TSearchType::st_And:
    return found == count ? 1 : 0;
  case TSearchType::st_Not:
    return found > 0 ? 0 : 1;
  case TSearchType::st_Or:
    break;
  }
  return found > 0 ? 1 : 0;
}

// Bytes from a small alphabet, so texts occur often, next to word bytes and
// delimiters of both kinds and letters of both cases.
const std::string kAlphabet = std::string("abAB _.\r\n\xe9\xc9\xd7") + '\0';

std::string RandomBytes(std::mt19937 &rng, size_t n) {
  std::uniform_int_distribution<size_t> pick(0, kAlphabet.size() - 1);
  std::string s(n, ' ');
  for (char &c : s)
    c = kAlphabet[pick(rng)];
  return s;
}

TEST(FileScanTextSearch, BlockWiseSearchAgreesWithANaiveSearchOfTheWholeFile) {
  TempTree tree;
  std::mt19937 rng(20240611);
  const TSearchStringType kinds[] = {TSearchStringType::sst_Normal, TSearchStringType::sst_Word,
                                     TSearchStringType::sst_Prefix, TSearchStringType::sst_Suffix};
  const TSearchType types[] = {TSearchType::st_Or, TSearchType::st_And, TSearchType::st_Not};
  int checked = 0, matches = 0;
  for (int round = 0; round < 400; ++round) {
    const size_t len = std::uniform_int_distribution<size_t>(0, 200)(rng);
    const std::string hay = RandomBytes(rng, len);
    std::string name = std::to_string(round);
    name += ".txt";
    const std::string file = tree.File(name, hay);
    std::vector<std::string> texts;
    const int count = std::uniform_int_distribution<int>(1, 3)(rng);
    for (int i = 0; i < count; ++i) {
      // Often a piece of the file itself, so that matches land on borders.
      std::string t;
      const size_t tl = std::uniform_int_distribution<size_t>(1, 6)(rng);
      if (len >= tl && rng() % 3 != 0)
        t = hay.substr(std::uniform_int_distribution<size_t>(0, len - tl)(rng), tl);
      else
        t = RandomBytes(rng, tl);
      texts.push_back(t);
    }
    for (TSearchStringType kind : kinds)
      for (TSearchType type : types)
        for (bool caseSense : {false, true}) {
          const int want = NaiveOutcome(hay, texts, type, kind, caseSense);
          TTextSearch search(texts, type, kind, caseSense);
          EXPECT_EQ(search.SearchBytes(hay), want);
          for (size_t block : {size_t(1), size_t(2), size_t(3), size_t(5), size_t(7), size_t(16),
                               size_t(17), size_t(64), size_t(30000)}) {
            search.BlockSize = block;
            ASSERT_EQ(search.SearchFile(AT_FDCWD, file, file), want)
                << "round " << round << " block " << block << " kind " << int(kind) << " type "
                << int(type) << " case " << caseSense;
            ++checked;
          }
          matches += want;
        }
  }
  EXPECT_GT(checked, 80000);
  // Both outcomes are well represented.
  EXPECT_GT(matches, 2000);
  EXPECT_LT(matches, 400 * 24 - 2000);
}

TEST(FileScanTextSearch, TextsAcrossTheRealBlockBordersOfLargeFiles) {
  TempTree tree;
  std::mt19937 rng(7);
  // A word placed across each border of 30000-byte blocks, with delimiters or
  // word bytes around it, must give what the naive search says.
  for (size_t border : {size_t(30000), size_t(60000), size_t(90000)}) {
    for (int shift = -8; shift <= 8; ++shift) {
      for (const char *around : {" ", "x"}) {
        std::string hay(120000, '.');
        const std::string word = "Needle";
        const size_t at = border + static_cast<size_t>(shift) - 3;
        hay.replace(at, word.size(), word);
        hay[at - 1] = around[0];
        hay[at + word.size()] = around[0];
        const std::string file = tree.File("big", hay);
        for (TSearchStringType kind :
             {TSearchStringType::sst_Normal, TSearchStringType::sst_Word,
              TSearchStringType::sst_Prefix, TSearchStringType::sst_Suffix}) {
          TTextSearch search({"needle"}, TSearchType::st_Or, kind, false);
          EXPECT_EQ(search.SearchFile(AT_FDCWD, file, file),
                    NaiveOutcome(hay, {"needle"}, TSearchType::st_Or, kind, false))
              << border << " " << shift << " '" << around << "' " << int(kind);
        }
      }
    }
  }
  (void)rng;
}

TEST(FileScanTextSearch, AWordEndingAtABlockBorderIsJudgedByTheByteAfterIt) {
  TempTree tree;
  // "hello" fills the end of block 1 and "x" starts block 2: not a word.
  std::string hay(30000 - 5, ' ');
  hay += "hellox";
  const std::string joined = tree.File("joined", hay);
  TTextSearch word({"hello"}, TSearchType::st_Or, TSearchStringType::sst_Word, true);
  EXPECT_EQ(word.SearchFile(AT_FDCWD, joined, joined), 0);
  // "x" ends block 1 and "hello" starts block 2 (inside the overlap).
  std::string before(30000 - 1, ' ');
  before += "xhello ";
  const std::string prefixed = tree.File("prefixed", before);
  EXPECT_EQ(word.SearchFile(AT_FDCWD, prefixed, prefixed), 0);
  // A file of exactly one block that ends with the word.
  std::string exact(30000 - 6, ' ');
  exact += " hello";
  const std::string full = tree.File("exact", exact);
  EXPECT_EQ(word.SearchFile(AT_FDCWD, full, full), 1);
}

TEST(FileScanTextSearch, DelimitersAndCaseFolding) {
  for (int c = 0; c < 256; ++c) {
    const auto b = static_cast<unsigned char>(c);
    EXPECT_EQ(IsTextDelimiter(b), !IsWordByte(b)) << c;
    EXPECT_EQ(FoldTextCase(b), Lower(b)) << c;
  }
  TTextSearch caseless({"\xc9T\xc9"}, TSearchType::st_Or, TSearchStringType::sst_Word, false);
  EXPECT_EQ(caseless.SearchBytes("un \xe9t\xe9 chaud"), 1);
  EXPECT_EQ(caseless.SearchBytes("un \xe9t\xe9s chaud"), 0);
  TTextSearch exact({"\xc9T\xc9"}, TSearchType::st_Or, TSearchStringType::sst_Normal, true);
  EXPECT_EQ(exact.SearchBytes("un \xe9t\xe9 chaud"), 0);
}

TEST(FileScanTextSearch, FilesThatCannotBeOpenedOrAreNotPlainFiles) {
  TempTree tree;
  TTextSearch s({"x"}, TSearchType::st_Not, TSearchStringType::sst_Normal, false);
  EXPECT_EQ(s.SearchFile(AT_FDCWD, tree.Path("missing"), "missing"), -1);
  const std::string folder = tree.Folder("folder");
  EXPECT_EQ(s.SearchFile(AT_FDCWD, folder, folder), -1);
  const std::string fifo = tree.Path("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(s.SearchFile(AT_FDCWD, fifo, fifo), -1);
  // An empty file holds none of the texts.
  const std::string empty = tree.File("empty");
  EXPECT_EQ(s.SearchFile(AT_FDCWD, empty, empty), 1);
  TTextSearch none(std::vector<std::string>{"", ""}, TSearchType::st_Or,
                   TSearchStringType::sst_Normal, false);
  EXPECT_FALSE(none.HasTexts());
}

} // namespace
