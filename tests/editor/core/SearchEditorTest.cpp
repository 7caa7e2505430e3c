// The editor's search entry points: SM_FIND silent and with the dialog hook,
// the search-and-select of the find and replace dialogs, and SM_REPLACE.
#include "EngineTestUtil.h"

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

intptr_t Find(TCustomSyntaxMemo &m, uint32_t flags, const char *pattern) {
  return m.Perform(SM_FIND, flags, reinterpret_cast<intptr_t>(pattern));
}

} // namespace

TEST(SearchEditor, SilentFindStartsAtTheCaretOrTheSelection) {
  TCustomSyntaxMemo m;
  SetDoc(m, "|abc x abc\nABC");
  EXPECT_EQ(Find(m, sfSilent, "abc"), 0);
  EXPECT_EQ(Doc(m), "|abc x abc\nABC"); // a plain match is not selected
  m.SetSelection(0, 3);
  EXPECT_EQ(Find(m, sfSilent, "abc"), 6);
  m.SetSelection(6, 9);
  EXPECT_EQ(Find(m, sfSilent, "abc"), 10);
  EXPECT_EQ(Find(m, sfSilent | sfMatchCase, "abc"), -1);
  // Backwards from the selection's start.
  m.SetSelection(6, 9);
  EXPECT_EQ(Find(m, sfSilent | sfBackwards, "abc"), 0);
  // At the document's end (backwards: start) nothing is searched.
  m.SetSelection(14, 14);
  EXPECT_EQ(Find(m, sfSilent, "c"), -1);
  m.SetSelection(0, 0);
  EXPECT_EQ(Find(m, sfSilent | sfBackwards, "a"), -1);
  // A regular-expression match is selected.
  SetDoc(m, "|x = 10\ny = 200");
  EXPECT_EQ(Find(m, sfSilent | sfRegExp, "[0-9]{3}"), 11);
  EXPECT_EQ(Doc(m), "x = 10\ny = <200>");
  EXPECT_EQ(Find(m, sfSilent | sfRegExp | sfBackwards, "\\d+"), 4);
  EXPECT_EQ(Doc(m), "x = <10>\ny = 200");
  EXPECT_EQ(Find(m, sfSilent | sfWholeWords, "0"), -1);
}

// A control that keeps the errors it would show.
class TErrorRecordingMemo : public TCustomSyntaxMemo {
public:
  std::vector<std::string> Errors;

protected:
  void ShowErrorMessage(const std::string &text) override { Errors.push_back(text); }
};

TEST(SearchEditor, InvalidPatternIsShownByTheMessageAndRaisedByTheDialogSearch) {
  TErrorRecordingMemo m;
  SetDoc(m, "|abc");
  // The message answers "not found" and shows the three lines; nothing escapes it.
  EXPECT_EQ(Find(m, sfSilent | sfRegExp, "ab(c"), -1);
  ASSERT_EQ(m.Errors.size(), 1u);
  const size_t nl = m.Errors[0].find('\n');
  ASSERT_NE(nl, std::string::npos);
  EXPECT_GT(nl, 0u); // the engine's own text comes first
  EXPECT_EQ(m.Errors[0].substr(nl), "\nab(c\n    ^");
  EXPECT_EQ(Doc(m), "|abc");
  // The dialogs' search raises it, with the same text, for their command to show.
  int64_t len = 0;
  try {
    m.SearchAndSelect("ab(c", sfRegExp, len);
    FAIL();
  } catch (const ERegExpError &e) {
    EXPECT_EQ(e.what(), m.Errors[0]);
  }
  // The control stays usable with a good pattern afterwards.
  EXPECT_EQ(Find(m, sfSilent | sfRegExp, "b"), 1);
  EXPECT_EQ(m.Errors.size(), 1u);
}

TEST(SearchEditor, DialogHooksReceiveTheStartText) {
  TCustomSyntaxMemo m;
  std::string seenText;
  uint32_t seenFlags = 0;
  m.OnFindDialog = [&](TCustomSyntaxMemo *, const std::string &t, uint32_t f) {
    seenText = t;
    seenFlags = f;
  };
  m.OnReplaceDialog = m.OnFindDialog;
  SetDoc(m, "one <two>");
  EXPECT_EQ(Find(m, 0, ""), -1);
  EXPECT_EQ(seenText, "two");
  Find(m, sfMatchCase, "given");
  EXPECT_EQ(seenText, "given");
  EXPECT_EQ(seenFlags, sfMatchCase);
  Find(m, sfRegExp, "");
  EXPECT_EQ(seenText, "");
  m.Perform(SM_REPLACE, sfMatchCase);
  EXPECT_EQ(seenText, "two");
  EXPECT_EQ(seenFlags, sfMatchCase);
  m.Perform(SM_REPLACE, sfRegExp);
  EXPECT_EQ(seenText, "");
}

TEST(SearchEditor, SearchAndSelectAndReplaceAllLoop) {
  TCustomSyntaxMemo m;
  SetDoc(m, "|GOSUB a1\nx\ngosub b22\ngosub c3");
  int64_t len = 0;
  ASSERT_TRUE(m.SearchAndSelect("gosub (\\w)(\\d+)", sfRegExp, len));
  EXPECT_EQ(len, 8);
  EXPECT_EQ(Doc(m), "<GOSUB a1>\nx\ngosub b22\ngosub c3");
  // The replace dialog's run: sweep forward replacing every match, one undo group.
  m.SetSelection(0, 0);
  m.BeginGroup(ugCompound);
  std::string insert;
  int replaced = 0;
  while (m.SearchForReplace("gosub (\\w)(\\d+)", "CALL \\1_\\2", sfRegExp, insert)) {
    m.ReplaceSel(insert);
    ++replaced;
    m.SetSelection(m.Caret(), m.Caret());
  }
  m.EndGroup(ugCompound);
  EXPECT_EQ(replaced, 3);
  EXPECT_EQ(m.Text(), "CALL a_1\rx\rCALL b_22\rCALL c_3");
  m.Undo();
  EXPECT_EQ(m.Text(), "GOSUB a1\rx\rgosub b22\rgosub c3");
  // Plain text gives the replacement as typed; an empty pattern never loops.
  SetDoc(m, "|aXa");
  ASSERT_TRUE(m.SearchForReplace("X", "\\1", 0, insert));
  EXPECT_EQ(insert, "\\1");
  EXPECT_EQ(Doc(m), "a<X>a");
  m.SetSelection(0, 0);
  EXPECT_FALSE(m.SearchAndSelect("", 0, len));
  // A zero-length regular-expression match cannot trap a replace-all loop.
  SetDoc(m, "|ab\ncd");
  int runs = 0;
  while (m.SearchForReplace("x*", "", sfRegExp, insert) && ++runs < 20) {
    m.ReplaceSel(insert);
    m.SetSelection(m.Caret(), m.Caret());
  }
  EXPECT_EQ(runs, 6); // the empty matches at 0, 1, 2, 3, 4 and 5, each once
  m.SetSelection(0, 0);
  int guard = 0;
  while (m.SearchForReplace("^", "> ", sfRegExp, insert) && ++guard < 10) {
    m.ReplaceSel(insert);
    m.SetSelection(m.Caret(), m.Caret());
  }
  EXPECT_EQ(m.Text(), "> ab\r> cd");
}

TEST(SearchEditor, BigDocumentIsSearchedAcrossNodes) {
  // Lines longer than a node and many lines: matches across node seams are found.
  std::string text(5000, 'a');
  text += "NEEDLE";
  for (int i = 0; i < 3000; ++i) {
    text += "\rline ";
    text += std::to_string(i);
  }
  text += "\rfinal NEEDLE";
  TCustomSyntaxMemo m;
  m.Perform(WM_SETTEXT, 0, reinterpret_cast<intptr_t>(text.c_str()));
  EXPECT_EQ(m.Perform(SM_FIND, sfSilent | sfMatchCase, reinterpret_cast<intptr_t>("aNEEDLE")),
            4999);
  int64_t len = 0;
  m.SetSelection(0, 0);
  ASSERT_TRUE(m.SearchAndSelect("line 2999", sfWholeWords, len));
  EXPECT_EQ(m.SelText(), "line 2999");
  m.SetSelection(m.TextLength(), m.TextLength());
  ASSERT_TRUE(m.SearchAndSelect("needle", sfBackwards, len));
  EXPECT_EQ(m.SelStart(), static_cast<int64_t>(text.size()) - 6);
  ASSERT_TRUE(m.SearchAndSelect("a{3}needle", sfBackwards | sfRegExp, len));
  EXPECT_EQ(m.SelStart(), 4997);
}
