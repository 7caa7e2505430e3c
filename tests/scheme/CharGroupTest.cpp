// Character-set strings and group interning.
#include "CharGroup.h"

#include <gtest/gtest.h>

namespace {

std::vector<TSM_CharGroup> Spec(const std::string &s) {
  std::vector<TSM_CharGroup> g;
  EXPECT_TRUE(ParseCharSpec(s, g)) << s;
  return g;
}

std::string Members(const TSM_CharGroup &g) {
  std::string out;
  for (unsigned c = 0; c < 256; ++c)
    if (g.Contains(c))
      out += static_cast<char>(c);
  return out;
}

TEST(CharSpec, PlainCharactersAreOneGroupEach) {
  auto g = Spec("*/");
  ASSERT_EQ(g.size(), 2u);
  EXPECT_EQ(Members(g[0]), "*");
  EXPECT_EQ(Members(g[1]), "/");
  EXPECT_TRUE(Spec("").empty());
}

TEST(CharSpec, ClassesRangesNamedClassesAndNegation) {
  EXPECT_EQ(Members(Spec("[a-e]")[0]), "abcde");
  EXPECT_EQ(Members(Spec("[0-9A-F_]")[0]), "0123456789ABCDEF_");
  EXPECT_EQ(Members(Spec("[[:digit:]x]")[0]), "0123456789x");
  EXPECT_EQ(Members(Spec("[[:xdigit:]]")[0]), "0123456789ABCDEFabcdef");
  EXPECT_EQ(Members(Spec("[[:eol:]]")[0]), "\n\r");
  EXPECT_EQ(Members(Spec("[]a]")[0]), "]a");
  EXPECT_EQ(Members(Spec("[-+]")[0]), "+-");
  EXPECT_EQ(Members(Spec("[+-]")[0]), "+-");
  EXPECT_EQ(Members(Spec("[a^]")[0]), "^a");
  const TSM_CharGroup notDigit = Spec("[^0-9]")[0];
  EXPECT_EQ(Members(notDigit).size(), 246u);
  EXPECT_TRUE(notDigit.Contains(0)); // the end-of-text character
  EXPECT_FALSE(notDigit.Contains('5'));
  EXPECT_EQ(Members(Spec("[^]")[0]).size(), 256u);
  // A class and a plain character: two groups.
  EXPECT_EQ(Spec("[ab]c").size(), 2u);
}

TEST(CharSpec, MalformedSpecificationsAreRefused) {
  std::vector<TSM_CharGroup> g;
  EXPECT_FALSE(ParseCharSpec("[z-a]", g));
  EXPECT_FALSE(ParseCharSpec("[abc", g));
  EXPECT_FALSE(ParseCharSpec("[[:nothing:]]", g));
  EXPECT_FALSE(ParseCharSpec("[[:alpha", g));
  EXPECT_TRUE(g.empty());
}

TEST(CharGroupManager, EqualGroupsShareOneIndexAndZeroIsEmpty) {
  TSM_CharGroupManager m;
  EXPECT_TRUE(m.Get(0).Empty());
  const uint16_t a = m.Intern(Spec("[a-z]")[0]);
  const uint16_t b = m.Intern(Spec("[abcdefghijklmnopqrstuvwxyz]")[0]);
  const uint16_t c = m.Intern(Spec("[a-y]")[0]);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  EXPECT_EQ(m.Intern(TSM_CharGroup{}), 0);
  EXPECT_EQ(m.Count(), 3u);
  // An index out of range reads as the empty group.
  EXPECT_TRUE(m.Get(999).Empty());
}

TEST(CharGroup, RangesAboveByteValuesAndStoredBits) {
  TSM_CharGroup g;
  g.AddRange(250, 300);
  EXPECT_TRUE(g.Contains(250));
  EXPECT_TRUE(g.Contains(255));
  EXPECT_TRUE(g.Contains(256));
  EXPECT_TRUE(g.Contains(300));
  EXPECT_FALSE(g.Contains(301));
  ASSERT_EQ(g.Ranges.size(), 1u);
  EXPECT_EQ(g.Ranges[0].Low, 256);
  uint8_t bytes[32];
  g.BitsToBytes(bytes);
  EXPECT_EQ(bytes[31], 0xFC); // 250..255
  TSM_CharGroup h;
  h.BitsFromBytes(bytes);
  h.Ranges = g.Ranges;
  EXPECT_EQ(g, h);
  EXPECT_EQ(Spec("[0-9a]")[0].Describe(), "[0-9a]");
}

} // namespace
