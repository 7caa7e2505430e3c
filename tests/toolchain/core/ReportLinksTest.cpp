// Which source line a report line names: every default form, in any case,
// with the number in the first group that matched; a pattern of the user's;
// a pattern that is no expression falls back to the default; lines that name
// nothing, or absurd numbers, lead nowhere.
#include "ReportLinks.h"

#include <gtest/gtest.h>

namespace {

TEST(ReportLinks, DefaultPatternFindsTheUsualForms) {
  const struct {
    const char *line;
    int64_t want;
  } cases[] = {
      {"ERROR line 12: syntax error", 12},
      {"Line 7: bad expression", 7},
      {"LINE 300", 300},
      {"blink.bas(45) : undefined symbol LED", 45},
      {"c:\\pic\\blink.bas:9: missing THEN", 9},
      {"/home/me/x.bas:1234:5: warning", 1234},
      {"Error in line12", 12},
      {"Compiled blink.bas", 0},
      {"", 0},
      {"line", 0},
      {"(abc) line x", 0},
      {"size 100 bytes", 0},
      {"line 99999999999999999999", 0},
  };
  for (const auto &c : cases)
    EXPECT_EQ(ReportLineNumber(c.line, DefaultReportLinePattern), c.want) << c.line;
}

TEST(ReportLinks, TheUsersPatternAndItsFallback) {
  EXPECT_EQ(ReportLineNumber("E0042 at row 17", R"(row (\d+))"), 17);
  // The first group that took part counts, whichever alternative matched.
  EXPECT_EQ(ReportLineNumber("pos 3 / row 8", R"(x(\d+)|row (\d+))"), 8);
  // Not an expression, or empty: the default forms still work.
  for (const char *bad : {"(", "[a-", ""}) {
    EXPECT_FALSE(ValidReportLinePattern(bad)) << bad;
    EXPECT_EQ(ReportLineNumber("Line 5: x", bad), 5) << bad;
  }
  EXPECT_TRUE(ValidReportLinePattern(DefaultReportLinePattern));
  // A pattern whose group holds no number leads nowhere.
  EXPECT_EQ(ReportLineNumber("line abc", R"(line (\w+))"), 0);
  // Only the head of a huge line is searched.
  EXPECT_EQ(ReportLineNumber(std::string(10000, 'x') + " line 4", DefaultReportLinePattern), 0);
  EXPECT_EQ(ReportLineNumber("line 4 " + std::string(100000, 'x'), DefaultReportLinePattern), 4);
}

} // namespace
