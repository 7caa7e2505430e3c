// Code-template and auto-replace matching and template text expansion.
#include "CodeTemplates.h"

#include <gtest/gtest.h>

TEST(TemplatesMatching, NameMustStandAloneBeforeTheCaret) {
  const std::vector<TSM_CodeTemplate> t = {
      {"for", "FOR loop", "FOR | = 0 TO 10\rNEXT"},
      {"forn", "FOR NEXT", "x"},
      {"if", "IF", "IF | THEN\rENDIF"},
      {"#d", "define", "DEFINE |"},
  };
  const TCharTest w = DefaultCharIsInWord;
  EXPECT_EQ(FindTemplateBeforeCaret(t, "  for", w), 0);
  EXPECT_EQ(FindTemplateBeforeCaret(t, "  FORN", w), 1);
  EXPECT_EQ(FindTemplateBeforeCaret(t, "  xfor", w), -1);
  EXPECT_EQ(FindTemplateBeforeCaret(t, "a=b:if", w), 2);
  EXPECT_EQ(FindTemplateBeforeCaret(t, "x#d", w), 3); // starts with a non-word character
  EXPECT_EQ(FindTemplateBeforeCaret(t, "", w), -1);
  EXPECT_EQ(FindTemplateBeforeCaret(t, "fo", w), -1);
  EXPECT_EQ(FindTemplateBeforeCaret({}, "for", w), -1);
  EXPECT_EQ(WordBeforeCaret("  x = fo", w), "fo");
  EXPECT_EQ(WordBeforeCaret("x ", w), "");
  EXPECT_EQ(TemplateCandidates(t, "fo"), (std::vector<int>{0, 1}));
  EXPECT_EQ(TemplateCandidates(t, "zz"), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(TemplateCandidates(t, ""), (std::vector<int>{0, 1, 2, 3}));
}

TEST(TemplatesMatching, AutoReplaceTakesTheLongestListedWord) {
  const std::vector<TSM_AutoReplace> a = {{"teh", "the"}, {"endif", "ENDIF"}, {"(c)", "\xA9"}};
  const TCharTest w = DefaultCharIsInWord;
  EXPECT_EQ(FindAutoReplaceBeforeCaret(a, "x teh", w), 0);
  EXPECT_EQ(FindAutoReplaceBeforeCaret(a, "xteh", w), -1);
  EXPECT_EQ(FindAutoReplaceBeforeCaret(a, "EndIf", w), 1);
  EXPECT_EQ(FindAutoReplaceBeforeCaret(a, "a(c)", w), 2);
  EXPECT_EQ(FindAutoReplaceBeforeCaret(a, "te", w), -1);
}

TEST(TemplatesExpansion, BarMarksTheCaretAndLinesKeepTheIndent) {
  auto e = ExpandTemplateText("FOR | = 0 TO 10\r\nNEXT", "  ");
  EXPECT_EQ(e.Text, "FOR  = 0 TO 10\r  NEXT");
  EXPECT_EQ(e.CaretOffset, 4u);
  e = ExpandTemplateText("a || b\nc|", "\t");
  EXPECT_EQ(e.Text, "a | b\r\tc");
  EXPECT_EQ(e.CaretOffset, 8u);
  e = ExpandTemplateText("no bar", "");
  EXPECT_EQ(e.CaretOffset, 6u);
  e = ExpandTemplateText("|x|", "");
  EXPECT_EQ(e.Text, "x|");
  EXPECT_EQ(e.CaretOffset, 0u);
}
