// Code templates and auto-replace in the control: the hot key, the caret mark,
// the list offered when no name stands before the caret, and undo groups.
#include "EngineTestUtil.h"

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

void AddTemplates(TCustomSyntaxMemo &m) {
  m.CodeTemplates = {{"for", "FOR loop", "FOR | = 0 TO 10\r\nNEXT"},
                     {"forstep", "FOR STEP", "FOR | = 0 TO 10 STEP 2\nNEXT"},
                     {"if", "IF", "IF | THEN\nENDIF"}};
}

} // namespace

TEST(TemplatesEditor, HotKeyExpandsTheNameBeforeTheCaret) {
  TCustomSyntaxMemo m;
  AddTemplates(m);
  SetDoc(m, "  x = 1\n  for|");
  Key(m, scCtrl | 'J');
  EXPECT_EQ(Doc(m), "  x = 1\n  FOR | = 0 TO 10\n  NEXT");
  // The whole expansion is one undo step, kind 18.
  m.Undo();
  EXPECT_EQ(Doc(m), "  x = 1\n  for|");
  m.Redo();
  EXPECT_EQ(m.Text(), "  x = 1\r  FOR  = 0 TO 10\r  NEXT");
  // Case does not matter; the longest name wins.
  SetDoc(m, "ForStep|");
  EXPECT_TRUE(m.ExpandCodeTemplate());
  EXPECT_EQ(Doc(m), "FOR | = 0 TO 10 STEP 2\nNEXT");
  // A read-only control expands nothing.
  SetDoc(m, "if|");
  m.SetReadOnly(true);
  EXPECT_FALSE(m.ExpandCodeTemplate());
  EXPECT_EQ(Doc(m), "if|");
}

TEST(TemplatesEditor, ListIsOfferedWhenNoNameStandsBeforeTheCaret) {
  TCustomSyntaxMemo m;
  AddTemplates(m);
  std::vector<int> offered;
  std::string word;
  m.OnTemplateList = [&](TCustomSyntaxMemo *, const std::vector<int> &c, const std::string &w) {
    offered = c;
    word = w;
  };
  SetDoc(m, "x = fo|");
  EXPECT_FALSE(m.ExpandCodeTemplate());
  EXPECT_EQ(offered, (std::vector<int>{0, 1}));
  EXPECT_EQ(word, "fo");
  // The widget's choice replaces the partial word.
  m.InsertCodeTemplate(1);
  EXPECT_EQ(Doc(m), "x = FOR | = 0 TO 10 STEP 2\nNEXT");
  // A choice that does not continue the word keeps it.
  SetDoc(m, "zz|");
  m.ExpandCodeTemplate();
  EXPECT_EQ(offered, (std::vector<int>{0, 1, 2}));
  m.InsertCodeTemplate(2);
  EXPECT_EQ(Doc(m), "zzIF | THEN\nENDIF");
  m.InsertCodeTemplate(7); // out of range: nothing
  // Without templates the hot key goes to the key map (Ctrl+J is unbound there).
  m.CodeTemplates.clear();
  EXPECT_FALSE(m.KeyDown(scCtrl | 'J'));
}

TEST(TemplatesEditor, AutoReplaceOnAWordEndingCharacter) {
  TCustomSyntaxMemo m;
  m.AutoReplaceList = {{"teh", "the"}, {"endif", "ENDIF"}};
  SetDoc(m, "|");
  Type(m, "teh cat");
  EXPECT_EQ(Doc(m), "the cat|");
  Type(m, "\nendif\n");
  EXPECT_EQ(Doc(m), "the cat\nENDIF\n|");
  // One undo takes back the replacement and the character that caused it.
  m.Undo();
  EXPECT_EQ(Doc(m), "the cat\nendif|");
  // Inside a longer word nothing is replaced; word characters do not trigger it.
  SetDoc(m, "|");
  Type(m, "xteh tehx teh_ ");
  EXPECT_EQ(Doc(m), "xteh tehx teh_ |");
}
