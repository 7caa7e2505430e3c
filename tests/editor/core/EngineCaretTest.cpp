// Caret movement, selection extension, the virtual caret beyond line ends,
// word movement, paging, scrolling, bookmarks and the key-down dispatch.
#include "EngineTestUtil.h"

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

struct TSmallView : TEditorView {
  int VisibleRows() const override { return 3; }
  int VisibleColumns() const override { return 10; }
};

std::string RunCmd(const std::string &doc, int32_t cmd, bool extend = false, uint32_t options = 0) {
  TCustomSyntaxMemo m;
  m.SetOptionsMask(m.OptionsMask() | options);
  SetDoc(m, doc);
  m.ExecuteCommand(cmd, 0, extend);
  return Doc(m);
}

} // namespace

TEST(EngineCaret, CharacterLineAndDocumentMoves) {
  EXPECT_EQ(RunCmd("ab|c", ecLeft), "a|bc");
  EXPECT_EQ(RunCmd("|abc", ecLeft), "|abc");
  EXPECT_EQ(RunCmd("ab|\ncd", ecRight), "ab\n|cd");
  EXPECT_EQ(RunCmd("abc|", ecRight), "abc|");
  EXPECT_EQ(RunCmd("ab<c>d", ecLeft), "ab|cd"); // without extend the anchor follows
  EXPECT_EQ(RunCmd("a|bc", ecRight, true), "a<b>c");
  EXPECT_EQ(RunCmd("x\nab|c\ny", ecLineStart), "x\n|abc\ny");
  EXPECT_EQ(RunCmd("x\na|bc\ny", ecLineEnd, true), "x\na<bc>\ny");
  EXPECT_EQ(RunCmd("ab\ncd|", ecDocStart), "|ab\ncd");
  EXPECT_EQ(RunCmd("a|b\ncd", ecDocEnd), "ab\ncd|");
  EXPECT_EQ(RunCmd("a|b\ncd", ecDocEnd, true), "a<b\ncd>");
}

TEST(EngineCaret, VerticalMovesKeepTheRememberedColumn) {
  TCustomSyntaxMemo m;
  SetDoc(m, "abcdef|\nab\nabcdefgh\n");
  m.ExecuteCommand(ecDown);
  EXPECT_EQ(Doc(m), "abcdef\nab|\nabcdefgh\n");
  m.ExecuteCommand(ecDown);
  EXPECT_EQ(Doc(m), "abcdef\nab\nabcdef|gh\n");
  m.ExecuteCommand(ecDown);
  EXPECT_EQ(Doc(m), "abcdef\nab\nabcdefgh\n|");
  m.ExecuteCommand(ecDown); // nothing below the empty last line
  EXPECT_EQ(Doc(m), "abcdef\nab\nabcdefgh\n|");
  m.ExecuteCommand(ecUp);
  EXPECT_EQ(Doc(m), "abcdef\nab\nabcdef|gh\n");
  SetDoc(m, "ab|cd\nxy");
  m.ExecuteCommand(ecUp);
  EXPECT_EQ(Doc(m), "ab|cd\nxy");
  m.ExecuteCommand(ecDown, 0, true);
  EXPECT_EQ(Doc(m), "ab<cd\nxy>");
  // TABs count by their visual width.
  m.SetTabDefault(4);
  SetDoc(m, "\tx|\nabcdefgh");
  m.ExecuteCommand(ecDown);
  EXPECT_EQ(Doc(m), "\tx\nabcde|fgh");
}

TEST(EngineCaret, VirtualCaretOnlyWithCaretAfterEOL) {
  TCustomSyntaxMemo m;
  SetDoc(m, "abc|\nd");
  m.ExecuteCommand(ecRight);
  EXPECT_FALSE(m.CaretIsVirtual());
  EXPECT_EQ(Doc(m), "abc\n|d");

  m.SetOptionsMask(m.OptionsMask() | smoCaretAfterEOL);
  m.SetOptionsMask(m.OptionsMask() & ~smoSmartFill);
  SetDoc(m, "abc|\nd");
  m.ExecuteCommand(ecRight, 3);
  EXPECT_TRUE(m.CaretIsVirtual());
  EXPECT_EQ(m.CaretColumn(), 6);
  EXPECT_EQ(Doc(m), "abc|\nd");
  m.KeyPress('x');
  EXPECT_EQ(Doc(m), "abc   x|\nd");
  m.Undo();
  EXPECT_EQ(m.Text(), "abc\rd");

  // Left walks back through virtual space; BkSp moves like Left there.
  SetDoc(m, "ab|\nd");
  m.ExecuteCommand(ecRight, 2);
  EXPECT_EQ(m.CaretColumn(), 4);
  m.ExecuteCommand(ecLeft);
  EXPECT_EQ(m.CaretColumn(), 3);
  m.ExecuteCommand(ecBackspace);
  EXPECT_FALSE(m.CaretIsVirtual());
  EXPECT_EQ(Doc(m), "ab|\nd");

  // Vertical moves land in virtual space beyond a short line.
  SetDoc(m, "abcdef|\nab");
  m.ExecuteCommand(ecDown);
  EXPECT_TRUE(m.CaretIsVirtual());
  EXPECT_EQ(m.CaretColumn(), 6);
  m.ExecuteCommand(ecUp);
  EXPECT_EQ(Doc(m), "abcdef|\nab");

  // Del in virtual space fills up to the caret, then joins the next line.
  SetDoc(m, "ab|\ncd");
  m.ExecuteCommand(ecRight, 2);
  m.ExecuteCommand(ecDeleteChar);
  EXPECT_EQ(Doc(m), "ab  |cd");
  // An outside selection change ends the virtual state.
  SetDoc(m, "ab|\ncd");
  m.ExecuteCommand(ecRight, 2);
  m.SetSelection(0, 0);
  EXPECT_FALSE(m.CaretIsVirtual());
  // The column is capped at 2047.
  SetDoc(m, "|");
  m.ExecuteCommand(ecRight, 3000);
  EXPECT_EQ(m.CaretColumn(), 2047);
}

TEST(EngineCaret, WordMovesFollowTheWordTests) {
  EXPECT_EQ(RunCmd("|one two_2 three", ecWordRight), "one |two_2 three");
  EXPECT_EQ(RunCmd("one |two_2 three", ecWordRight), "one two_2 |three");
  EXPECT_EQ(RunCmd("one two_2 |three", ecWordRight), "one two_2 three|");
  EXPECT_EQ(RunCmd("a = (b|)\nc", ecWordRight), "a = (b)|\nc");
  EXPECT_EQ(RunCmd("a = (b)|\n  c", ecWordRight), "a = (b)\n|  c");
  EXPECT_EQ(RunCmd("a = (b)\n|  c", ecWordRight), "a = (b)\n  |c");
  EXPECT_EQ(RunCmd("x = |123 + y", ecWordRight), "x = 123 + |y");
  EXPECT_EQ(RunCmd("one two|", ecWordLeft), "one |two");
  EXPECT_EQ(RunCmd("one |two", ecWordLeft), "|one two");
  EXPECT_EQ(RunCmd("x\n|two", ecWordLeft), "x|\ntwo");
  EXPECT_EQ(RunCmd("x 123abc|", ecWordLeft), "x |123abc");
  EXPECT_EQ(RunCmd("one two |three", ecWordLeft, true), "one >two <three");
  TCustomSyntaxMemo m;
  m.fn_CharStartsWord = [](char c) { return c == '#' || (c >= 'a' && c <= 'z'); };
  m.fn_CharIsInWord = [](char c) { return c == '#' || (c >= 'a' && c <= 'z'); };
  SetDoc(m, "|ab #cd");
  m.ExecuteCommand(ecWordRight);
  EXPECT_EQ(Doc(m), "ab |#cd");
  m.SelectWordAt(5);
  EXPECT_EQ(Doc(m), "ab <#cd>");
}

TEST(EngineCaret, PagesScrollAndKeepTheCaretInView) {
  TCustomSyntaxMemo m;
  TSmallView view;
  m.SetView(&view);
  SetDoc(m, "0\n1\n2\n3\n4\n5\n6\n7|");
  m.ExecuteCommand(ecDocStart);
  EXPECT_EQ(m.TopLine(), 0);
  m.ExecuteCommand(ecPageDown);
  EXPECT_EQ(m.LineFromPos(m.Caret()), 3);
  EXPECT_EQ(m.TopLine(), 3);
  m.ExecuteCommand(ecPageDown, 0, true);
  EXPECT_EQ(m.LineFromPos(m.Caret()), 6);
  EXPECT_EQ(m.Anchor(), 6);
  EXPECT_EQ(m.TopLine(), 5); // the last page ends with the last line
  m.ExecuteCommand(ecPageUp);
  EXPECT_EQ(m.LineFromPos(m.Caret()), 3);
  // Ctrl+Down scrolls without moving the caret until it would leave the window.
  m.SetTopLine(3);
  m.ExecuteCommand(ecScrollDown);
  EXPECT_EQ(m.TopLine(), 4);
  EXPECT_EQ(m.LineFromPos(m.Caret()), 4);
  m.ExecuteCommand(ecScrollUp);
  EXPECT_EQ(m.TopLine(), 3);
  EXPECT_EQ(m.LineFromPos(m.Caret()), 4);
  m.ExecuteCommand(ecDocEnd);
  EXPECT_EQ(m.TopLine(), 5);
  m.Perform(EM_LINESCROLL, 0, -10);
  EXPECT_EQ(m.TopLine(), 0);
  m.Perform(EM_SCROLLCARET);
  EXPECT_EQ(m.TopLine(), 5);
  SetDoc(m, "abcdefghijklmnop|");
  m.ScrollCaret();
  EXPECT_EQ(m.LeftColumn(), 7);
}

TEST(EngineBookmarks, OneBookmarkPerLineToggleAndClampedColumn) {
  TCustomSyntaxMemo m;
  SetDoc(m, "line0\nline|1\nline2");
  m.ExecuteCommand(ecSetBookmark0 + 5);
  m.ExecuteCommand(ecSetBookmark0 + 3);
  int64_t line;
  int col;
  EXPECT_TRUE(m.GetBookmark(3, line, col));
  EXPECT_EQ(line, 1);
  EXPECT_EQ(col, 5);
  EXPECT_FALSE(m.GetBookmark(5, line, col));
  m.SetSelection(0, 0);
  m.ExecuteCommand(ecGotoBookmark0 + 5); // unset: nothing
  EXPECT_EQ(m.Caret(), 0);
  m.ExecuteCommand(ecGotoBookmark0 + 3);
  EXPECT_EQ(Doc(m), "line0\nline|1\nline2");
  // Setting it again on the same line removes it.
  m.ExecuteCommand(ecSetBookmark0 + 3);
  EXPECT_FALSE(m.GetBookmark(3, line, col));
  // A stored column past the line's end goes to the line's end.
  m.SetBookmark(2, 3, 40);
  m.SetSelection(0, 0);
  m.GotoBookmark(2);
  EXPECT_EQ(Doc(m), "line0\nline1\nline2|");
  EXPECT_THROW(m.SetBookmark(10), ESyntaxMemo);
  try {
    m.SetBookmark(10);
  } catch (const ESyntaxMemo &e) {
    EXPECT_STREQ(e.what(), "Bookmark index range error");
  }
}

TEST(EngineKeys, DispatchOrderAndTwoKeySequences) {
  TCustomSyntaxMemo m;
  SetDoc(m, "ab|c");
  // Ctrl+K then X abandons the sequence and types the x.
  Key(m, scCtrl | 'K');
  Key(m, 'X', 'x');
  EXPECT_EQ(Doc(m), "abx|c");
  // Ctrl+Q, 5 and Ctrl+Q, Ctrl+5 both go to bookmark 5.
  SetDoc(m, "one\ntw|o\nthree");
  m.SetBookmark(5);
  m.SetSelection(0, 0);
  Key(m, scCtrl | 'Q');
  Key(m, '5');
  EXPECT_EQ(m.Caret(), 6);
  m.SetSelection(0, 0);
  Key(m, scCtrl | 'Q');
  Key(m, scCtrl | vk::Control); // the modifier key itself does not break the sequence
  Key(m, scCtrl | '5');
  EXPECT_EQ(m.Caret(), 6);
  // Shift+Ctrl+Left runs the Ctrl+Left binding extending the selection.
  SetDoc(m, "one two|");
  Key(m, scShift | scCtrl | vk::Left);
  EXPECT_EQ(Doc(m), "one >two<");
  Key(m, scShift | vk::Home);
  EXPECT_EQ(Doc(m), ">one two<");
  // A handler may change or cancel the command.
  std::vector<int32_t> seen;
  m.OnCommandRecognised = [&](TCustomSyntaxMemo *, int32_t &code) {
    seen.push_back(code);
    if (code == ecDocEnd)
      code = -1;
  };
  SetDoc(m, "|abc");
  EXPECT_TRUE(m.KeyDown(scCtrl | vk::End));
  EXPECT_EQ(Doc(m), "|abc");
  EXPECT_EQ(seen, std::vector<int32_t>{ecDocEnd});
  m.OnCommandRecognised = nullptr;
  // Shift+Ctrl+Z keeps its Shift and redoes.
  SetDoc(m, "|");
  Type(m, "ab");
  Key(m, scCtrl | 'Z');
  EXPECT_EQ(Doc(m), "a|");
  Key(m, scShift | scCtrl | 'Z');
  EXPECT_EQ(Doc(m), "ab|");
  // The owner's key-down hook sees keys first and can swallow them.
  m.OnKeyDown = [](TCustomSyntaxMemo *, uint16_t &key) {
    if (key == vk::Left)
      key = 0;
  };
  EXPECT_TRUE(m.KeyDown(vk::Left));
  EXPECT_EQ(Doc(m), "ab|");
  // Unbound keys are left to the character handler.
  EXPECT_FALSE(m.KeyDown('A'));
}

TEST(EngineKeys, InsertToggleAndOverwrite) {
  TCustomSyntaxMemo m;
  SetDoc(m, "a|bc\nd");
  Key(m, vk::Insert);
  EXPECT_FALSE(m.InsertMode());
  Type(m, "XY");
  EXPECT_EQ(Doc(m), "aXY|\nd");
  Type(m, "Z"); // at the line's end overwrite inserts rather than eating the break
  EXPECT_EQ(Doc(m), "aXYZ|\nd");
  m.Undo();
  EXPECT_EQ(Doc(m), "aXY|\nd");
  m.Undo();
  m.Undo();
  EXPECT_EQ(Doc(m), "a|bc\nd");
  Key(m, vk::Insert);
  EXPECT_TRUE(m.InsertMode());
}
