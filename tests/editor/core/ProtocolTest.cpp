// The message protocol: every message of the table, driven through Perform.
#include "CustomSyntaxMemo.h"
#include "Streams.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

intptr_t P(const void *p) {
  return reinterpret_cast<intptr_t>(p);
}

struct RecordingView : TEditorView {
  int repaints = 0, lineRepaints = 0, scrolls = 0;
  void Repaint() override { ++repaints; }
  void RepaintLines(int64_t, int64_t) override { ++lineRepaints; }
  void Scrolled() override { ++scrolls; }
};

} // namespace

TEST(ProtocolText, SetGetLengthAndLineStyle) {
  TCustomSyntaxMemo m;
  EXPECT_EQ(m.Perform(WM_SETTEXT, 0, P("ab\r\ncd\nef")), 1);
  EXPECT_EQ(m.Perform(WM_GETTEXTLENGTH), 10); // CR LF counted 2 under lsCRLF
  char buf[64];
  EXPECT_EQ(m.Perform(WM_GETTEXT, sizeof buf, P(buf)), 10);
  EXPECT_STREQ(buf, "ab\r\ncd\r\nef");
  // A small buffer takes size - 1 characters and the NUL.
  EXPECT_EQ(m.Perform(WM_GETTEXT, 4, P(buf)), 3);
  EXPECT_STREQ(buf, "ab\r");
  m.SetSelLineStyle(lsLF);
  EXPECT_EQ(m.Perform(WM_GETTEXTLENGTH), 8);
  EXPECT_EQ(m.Perform(WM_GETTEXT, sizeof buf, P(buf)), 8);
  EXPECT_STREQ(buf, "ab\rcd\ref");
  EXPECT_EQ(m.Perform(WM_GETTEXT, 0, P(buf)), 0);
  EXPECT_EQ(m.Perform(WM_GETTEXT, 10, 0), 0);
  // Null text empties the control; undo is cleared.
  m.ReplaceSel("x");
  m.Perform(WM_SETTEXT, 0, 0);
  EXPECT_EQ(m.TextLength(), 0);
  EXPECT_EQ(m.Perform(EM_CANUNDO), 0);
}

TEST(ProtocolSelection, GetSetAndSelectionMessage) {
  TCustomSyntaxMemo m;
  m.Perform(WM_SETTEXT, 0, P("hello\r\nworld"));
  m.Perform(EM_SETSEL, 0, -1);
  int32_t s = -1, e = -1;
  m.Perform(EM_GETSEL, P(&s), P(&e));
  EXPECT_EQ(s, 0);
  EXPECT_EQ(e, 11);
  m.Perform(EM_SETSEL, 8, 2);
  EXPECT_EQ(m.Perform(EM_GETSEL, P(&s), P(&e)), 8 | (2 << 16));
  EXPECT_EQ(s, 8);
  EXPECT_EQ(e, 2);
  EXPECT_EQ(m.SelStart(), 2);
  EXPECT_EQ(m.SelLength(), 7); // one line break inside counts 2

  int changes = 0;
  m.OnChange = [&](TCustomSyntaxMemo *) { ++changes; };
  TSMPoint pt{-1, 0};
  m.Perform(SM_SELECTION, smsSet, P(&pt));
  EXPECT_EQ(m.SelEnd(), 11);
  EXPECT_EQ(changes, 1);
  pt = {100, -5}; // clamped
  m.Perform(SM_SELECTION, smsSet | smsNoNotify, P(&pt));
  EXPECT_EQ(m.Anchor(), 11);
  EXPECT_EQ(m.Caret(), 0);
  EXPECT_EQ(changes, 1);
  TSMPoint out;
  m.Perform(SM_SELECTION, 0, P(&out));
  EXPECT_EQ(out.X, 11);
  EXPECT_EQ(out.Y, 0);
}

TEST(ProtocolSelection, SelLengthUnderBothLineStyles) {
  TCustomSyntaxMemo m;
  m.Perform(WM_SETTEXT, 0, P("ab\r\ncd"));
  m.Perform(EM_SETSEL, 0, -1);
  EXPECT_EQ(m.SelLength(), 6);
  m.SetSelLineStyle(lsLF);
  EXPECT_EQ(m.SelLength(), 5);
  m.SetSelStart(1);
  m.SetSelLength(3);
  EXPECT_EQ(m.Anchor(), 1);
  EXPECT_EQ(m.Caret(), 4);
}

TEST(ProtocolLines, CountIndexLengthFromCharAndGetLine) {
  TCustomSyntaxMemo m;
  EXPECT_EQ(m.Perform(EM_GETLINECOUNT), 1);
  EXPECT_EQ(m.Perform(EM_LINEINDEX, 0), 0);
  m.Perform(WM_SETTEXT, 0, P("abc\r\nxyz"));
  EXPECT_EQ(m.Perform(EM_GETLINECOUNT), 2);
  EXPECT_EQ(m.Perform(EM_LINELENGTH, 0), 3);
  EXPECT_EQ(m.Perform(EM_LINELENGTH, 1), 3);
  EXPECT_EQ(m.Perform(EM_LINELENGTH, 2), 0);
  EXPECT_EQ(m.Perform(EM_LINEINDEX, 1), 4);
  EXPECT_EQ(m.Perform(EM_LINEINDEX, 2), -1);
  m.Perform(EM_SETSEL, 5, 5);
  EXPECT_EQ(m.Perform(EM_LINEINDEX, -1), 4);
  EXPECT_EQ(m.Perform(EM_LINEFROMCHAR, -1), 1);
  EXPECT_EQ(m.Perform(EM_LINEFROMCHAR, 3), 0);
  EXPECT_EQ(m.Perform(EM_LINEFROMCHAR, 4), 1);

  char buf[16] = {};
  const uint16_t size = 2;
  std::memcpy(buf, &size, 2);
  EXPECT_EQ(m.Perform(EM_GETLINE, 1, P(buf)), 2); // the buffer's size limits
  EXPECT_EQ(std::string(buf, 2), "xy");
  std::memcpy(buf, &size, 2);
  EXPECT_EQ(m.Perform(EM_GETLINE, 5, P(buf)), 0);
  EXPECT_EQ(m.Perform(EM_GETLINE, -1, P(buf)), 0);
}

TEST(ProtocolEdit, ReplaceSelUndoRedoModified) {
  TCustomSyntaxMemo m;
  RecordingView v;
  m.SetView(&v);
  m.Perform(EM_REPLACESEL, 0, P("one"));
  EXPECT_EQ(m.Perform(EM_GETMODIFY), 1);
  EXPECT_EQ(m.Perform(EM_CANUNDO), 1);
  const int before = v.repaints + v.lineRepaints;
  m.Perform(SM_REPLACESEL, 2, P(" two"));
  EXPECT_EQ(v.repaints + v.lineRepaints, before); // bit 1: no repaint
  EXPECT_EQ(m.Text(), "one two");
  m.Perform(EM_UNDO);
  EXPECT_EQ(m.Text(), "one");
  EXPECT_EQ(m.Perform(SM_CANREDO), 1);
  m.Perform(SM_REDO);
  EXPECT_EQ(m.Text(), "one two");
  m.Perform(WM_UNDO);
  m.Perform(WM_UNDO);
  EXPECT_EQ(m.Perform(EM_GETMODIFY), 0);
  m.Perform(SM_REDO);
  m.Perform(EM_EMPTYUNDOBUFFER);
  EXPECT_EQ(m.Perform(EM_CANUNDO), 0);
  EXPECT_EQ(m.Perform(SM_MODIFIED), 0);
  m.SetView(nullptr);
}

TEST(ProtocolState, OptionsUpdatingTopLineLeftColumn) {
  TCustomSyntaxMemo m;
  RecordingView v;
  m.SetView(&v);
  std::string text;
  for (int i = 0; i < 100; ++i)
    text += "line\r\n";
  m.Perform(WM_SETTEXT, 0, P(text.c_str()));
  m.Perform(SM_OPTIONS, 1, smoWordWrap | smoAutoIndent);
  EXPECT_EQ(m.Perform(SM_OPTIONS, 0, 0), static_cast<intptr_t>(smoWordWrap | smoAutoIndent));

  int changes = 0;
  m.OnChange = [&](TCustomSyntaxMemo *) { ++changes; };
  m.Perform(SM_UPDATING, 1, 1);
  EXPECT_EQ(m.Perform(SM_UPDATING, 0, 0), 1);
  m.Perform(EM_REPLACESEL, 0, P("x"));
  EXPECT_EQ(changes, 0); // no OnChange while updating
  m.Perform(SM_UPDATING, 1, 0);
  EXPECT_EQ(changes, 1); // leaving the state sends the pending change

  m.Perform(SM_TOPLINE, 1, 50);
  EXPECT_EQ(m.Perform(SM_TOPLINE, 0, 0), 50);
  EXPECT_EQ(m.Perform(EM_GETFIRSTVISIBLELINE), 50);
  m.Perform(SM_TOPLINE, 1, 100000);
  EXPECT_EQ(m.Perform(EM_GETFIRSTVISIBLELINE), 99);
  m.Perform(SM_LEFTCOLUMN, 1, 7);
  EXPECT_EQ(m.Perform(SM_LEFTCOLUMN, 0, 0), 7);
  EXPECT_GT(v.scrolls, 0);
  // Look-ups near the top line use the anchor; results stay right.
  EXPECT_EQ(m.Perform(EM_LINEINDEX, 60), 1 + 60 * 5);
  m.Perform(WM_SETREDRAW, 0);
  const int r = v.repaints;
  m.Perform(SM_TOPLINE, 1, 10);
  EXPECT_EQ(v.repaints, r);
  m.Perform(WM_SETREDRAW, 1);
  EXPECT_GT(v.repaints, r);
  m.SetView(nullptr);
}

TEST(ProtocolView, PosFromCharAndCharFromPos) {
  TCustomSyntaxMemo m;
  m.Perform(WM_SETTEXT, 0, P("abc\r\n\tx"));
  TSMPoint pt;
  m.Perform(EM_POSFROMCHAR, P(&pt), 2);
  EXPECT_EQ(pt.X, 16); // 8 by 16 pixel cells in the default view
  EXPECT_EQ(pt.Y, 0);
  m.Perform(EM_POSFROMCHAR, P(&pt), 5); // after the TAB: column 8
  EXPECT_EQ(pt.X, 64);
  EXPECT_EQ(pt.Y, 16);
  TSMPoint q{17, 2};
  EXPECT_EQ(m.Perform(EM_CHARFROMPOS, 0, P(&q)), 2);
  q = {-1, 0};
  EXPECT_EQ(m.Perform(EM_CHARFROMPOS, 0, P(&q)), -1);
  q = {0, 40 * 16};
  EXPECT_EQ(m.Perform(EM_CHARFROMPOS, 0, P(&q)), -1);
  q = {8, 20 * 16}; // inside the view, below the text
  EXPECT_EQ(m.Perform(EM_CHARFROMPOS, 0, P(&q)), m.TextLength());
}

TEST(ProtocolStreams, LoadSaveAndGetTextStream) {
  TCustomSyntaxMemo m;
  m.Perform(WM_SETTEXT, 0, P("head tail"));
  m.Perform(EM_SETSEL, 5, 5);
  TMemoryStream in(std::string("mid\r\n"));
  m.Perform(SM_LOADSTREAM, 0, P(&in));
  EXPECT_EQ(m.Text(), "head mid\rtail");
  m.Perform(EM_SETSEL, 5, 9);
  TMemoryStream out;
  m.Perform(SM_SAVESTREAM, sfTEXT, P(&out));
  EXPECT_EQ(out.Bytes(), "mid\r\n");
  std::string s;
  EXPECT_EQ(m.Perform(SM_GETTEXTSTREAM, sfUNIX, P(&s)), 4);
  EXPECT_EQ(s, "mid\n");
  m.Perform(SM_GETTEXTSTREAM, sfHTML, P(&s));
  EXPECT_NE(s.find("mid"), std::string::npos);
  EXPECT_NE(s.find("<html>"), std::string::npos);
}

TEST(ProtocolAttributes, SetAndGetStyleBytes) {
  TCustomSyntaxMemo m;
  m.Perform(WM_SETTEXT, 0, P("ab\r\ncde\r\nf"));
  uint8_t bytes[9];
  for (int i = 0; i < 9; ++i)
    bytes[i] = static_cast<uint8_t>(i + 1);
  EXPECT_EQ(m.Perform(SM_SETATTRIBUTES, 0, P(bytes)), 8);
  uint8_t out[9] = {};
  int32_t range[2] = {1, 1};
  EXPECT_EQ(m.Perform(SM_GETATTRIBUTES, P(range), P(out)), 4);
  EXPECT_EQ(out[0], 4);
  EXPECT_EQ(out[3], 7);
  EXPECT_TRUE(m.Store()->First()->Next->Flags & nfStale);
  // Editing a line drops its bytes: zeros come back.
  m.Perform(EM_SETSEL, 4, 4);
  m.Perform(EM_REPLACESEL, 0, P("Z"));
  EXPECT_EQ(m.Perform(SM_GETATTRIBUTES, P(range), P(out)), 5);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[4], 0);
  range[0] = 0;
  range[1] = 0;
  m.Perform(SM_GETATTRIBUTES, P(range), P(out));
  EXPECT_EQ(out[0], 1); // untouched line keeps its bytes
}

TEST(ProtocolStore, TextStoreUndoStackChangedLineVersion) {
  TTextStore spare;
  TCustomSyntaxMemo m;
  m.Perform(WM_SETTEXT, 0, P("a\r\nb\r\nc"));
  TTextStore *mine = nullptr;
  EXPECT_EQ(m.Perform(SM_TEXTSTORE, 0, P(&mine)), P(m.Store()));
  EXPECT_EQ(mine, m.Store());
  m.Perform(EM_SETSEL, 4, 4);
  m.Perform(EM_REPLACESEL, 0, P("x"));
  m.Perform(SM_UPDATING, 1, 1); // keep the changed line
  m.Perform(EM_SETSEL, 4, 4);
  m.Perform(EM_REPLACESEL, 0, P("y"));
  auto *node = reinterpret_cast<TLineNode *>(m.Perform(SM_CHANGEDLINE, 0, 0));
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node, m.Store()->LocateLine(2).Node);
  m.Perform(SM_CHANGEDLINE, 1, P(m.Store()->First()));
  EXPECT_EQ(m.ChangedLine(), 0);
  m.Perform(SM_UPDATING, 1, 0);
  EXPECT_EQ(m.Perform(SM_CHANGEDLINE, 0, 0), 0);
  EXPECT_STRNE(reinterpret_cast<const char *>(m.Perform(SM_VERSION)), "");

  m.Perform(SM_TEXTSTORE, 1, P(&spare));
  EXPECT_EQ(m.Store(), &spare);
  EXPECT_EQ(m.Text(), "");
  m.Perform(SM_TEXTSTORE, 1, 0); // null is refused
  EXPECT_EQ(m.Store(), &spare);
  m.Perform(SM_TEXTSTORE, 1, P(mine));
  EXPECT_EQ(m.Text(), "a\rb\ryxc");
  m.Perform(SM_TEXTSTORE, 1, P(&spare));
  delete mine; // released by the control when another store came in
}

TEST(ProtocolNotify, OnTextChangeReportsEveryEdit) {
  TCustomSyntaxMemo m;
  std::vector<std::pair<int64_t, int64_t>> calls;
  m.OnTextChange = [&](TCustomSyntaxMemo *, int64_t s, int64_t n) { calls.emplace_back(s, n); };
  m.Perform(EM_REPLACESEL, 0, P("hello"));
  m.Perform(EM_SETSEL, 1, 3);
  m.Perform(EM_REPLACESEL, 0, P("EY"));
  m.Perform(EM_SETSEL, 0, -1);
  m.Perform(EM_REPLACESEL, 0, P(""));
  using V = std::vector<std::pair<int64_t, int64_t>>;
  EXPECT_EQ(calls, (V{{0, 5}, {1, -2}, {1, 2}, {0, 0}}));
  // A big insertion arrives in pieces of at most 8192.
  calls.clear();
  const std::string big(20000, 'b');
  m.Perform(EM_REPLACESEL, 0, P(big.c_str()));
  EXPECT_EQ(calls, (V{{0, 8192}, {8192, 8192}, {16384, 3616}}));
}
