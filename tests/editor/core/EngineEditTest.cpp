// Typing, auto-indent, TAB and blank fill, deletion commands, block indent and
// un-indent with their undo, read-only, and the clipboard commands.
#include "EngineTestUtil.h"

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

std::string TypeInto(const std::string &doc, const std::string &typed, uint32_t set = 0,
                     uint32_t clear = 0, int tabDefault = 8) {
  TCustomSyntaxMemo m;
  m.SetOptionsMask((m.OptionsMask() | set) & ~clear);
  m.SetTabDefault(tabDefault);
  SetDoc(m, doc);
  Type(m, typed);
  return Doc(m);
}

std::string Command(const std::string &doc, int32_t cmd) {
  TCustomSyntaxMemo m;
  SetDoc(m, doc);
  m.ExecuteCommand(cmd);
  return Doc(m);
}

} // namespace

TEST(EngineTyping, CharactersReplaceTheSelectionAndControlBytesAreIgnored) {
  EXPECT_EQ(TypeInto("a|b", "xy"), "axy|b");
  EXPECT_EQ(TypeInto("a<bc>d", "X"), "aX|d");
  EXPECT_EQ(TypeInto("a|", std::string("\x01\x1b\x7f", 3)), "a|");
  EXPECT_EQ(TypeInto("a|", "\xE9\xFF"), "a\xE9\xFF|");
}

TEST(EngineTyping, EnterWithAutoIndent) {
  EXPECT_EQ(TypeInto("    abc|", "\n"), "    abc\n    |");
  EXPECT_EQ(TypeInto("    abc|", "\n", smoUseTAB | smoSmartFill, 0, 4), "    abc\n\t|");
  EXPECT_EQ(TypeInto("    abc|", "\n", 0, smoAutoIndent), "    abc\n|");
  // No further than the caret.
  EXPECT_EQ(TypeInto("  |  abc", "\n"), "  \n  |  abc");
  // A blank line takes the indentation of the nearest earlier line with text.
  EXPECT_EQ(TypeInto("   x\n\n     |", "\n"), "   x\n\n     \n   |");
  EXPECT_EQ(TypeInto("|", "\n"), "\n|");
  // TABs count by their width.
  EXPECT_EQ(TypeInto("\tx|", "\n", 0, 0, 4), "\tx\n    |");
  // Undo removes the break and the indentation in one step.
  TCustomSyntaxMemo m;
  SetDoc(m, "  ab|");
  Type(m, "\n");
  m.Undo();
  EXPECT_EQ(Doc(m), "  ab|");
  // WantReturns off: Enter types nothing, Ctrl+Enter's LF types a break.
  m.WantReturns = false;
  m.KeyPress('\r');
  EXPECT_EQ(Doc(m), "  ab|");
  m.KeyPress('\n');
  EXPECT_EQ(Doc(m), "  ab\n  |");
}

TEST(EngineTyping, TabFillRules) {
  // Without smoUseTAB: blanks to the next tab stop.
  EXPECT_EQ(TypeInto("ab|", "\t", 0, smoUseTAB, 4), "ab  |");
  // With smoUseTAB and without smoTabToColumn: a TAB character.
  EXPECT_EQ(TypeInto("ab|", "\t", smoUseTAB, smoTabToColumn, 4), "ab\t|");
  // smoTabToColumn: up to the next word of the line above.
  EXPECT_EQ(TypeInto("MOVLW  0x10   ; c\n|", "\t", smoTabToColumn), "MOVLW  0x10   ; c\n       |");
  EXPECT_EQ(TypeInto("MOVLW  0x10   ; c\nA|", "\t", smoTabToColumn), "MOVLW  0x10   ; c\nA      |");
  EXPECT_EQ(TypeInto("MOVLW  0x10   ; c\nABCDEFGH|", "\t", smoTabToColumn),
            "MOVLW  0x10   ; c\nABCDEFGH      |");
  // The nearest earlier line long enough; none offers a word: the next tab stop.
  EXPECT_EQ(TypeInto("a   b\nx\nab|", "\t", smoTabToColumn), "a   b\nx\nab  |");
  EXPECT_EQ(TypeInto("abc\nabc|", "\t", smoTabToColumn, 0, 4), "abc\nabc |");
  // With word wrap on and smoUseTAB, TAB to column gives way to a TAB character.
  EXPECT_EQ(TypeInto("a b\n|", "\t", smoTabToColumn | smoUseTAB | smoWordWrap), "a b\n\t|");
  // Smart fill mixes TABs and blanks.
  EXPECT_EQ(
      TypeInto("        x\n|", "\t", smoTabToColumn | smoUseTAB | smoSmartFill, smoWordWrap, 4),
      "        x\n\t\t|");
  // WantTab off: nothing.
  TCustomSyntaxMemo m;
  SetDoc(m, "a|");
  m.WantTab = false;
  m.KeyPress('\t');
  EXPECT_EQ(Doc(m), "a|");
}

TEST(EngineDeletion, DelBkSpLineAndWordCommands) {
  EXPECT_EQ(Command("a|bc", ecDeleteChar), "a|c");
  EXPECT_EQ(Command("abc|", ecDeleteChar), "abc|");
  EXPECT_EQ(Command("ab|\ncd", ecDeleteChar), "ab|cd");
  EXPECT_EQ(Command("a|bc", ecBackspace), "|bc");
  EXPECT_EQ(Command("|abc", ecBackspace), "|abc");
  EXPECT_EQ(Command("ab\n|cd", ecBackspace), "ab|cd");
  EXPECT_EQ(Command("a<bc>d", ecBackspace), "a|d");
  EXPECT_EQ(Command("one\nt|wo\nthree", ecDeleteLine), "one\n|three");
  EXPECT_EQ(Command("one\nthr|ee", ecDeleteLine), "one\n|");
  EXPECT_EQ(Command("o<n>e\ntwo", ecDeleteLine), "o<n>e\ntwo");
  EXPECT_EQ(Command("one two|", ecDeleteWordBack), "one |");
  EXPECT_EQ(Command("one |two", ecDeleteWordBack), "|two");
  EXPECT_EQ(Command("one| two", ecDeleteWordForward), "one|two");
  EXPECT_EQ(Command("|one two", ecDeleteWordForward), "|two");
  // Del over two lines joins them; undo restores both lines and the selection.
  TCustomSyntaxMemo m;
  SetDoc(m, "ab<c\nde>f");
  m.ExecuteCommand(ecDeleteChar);
  EXPECT_EQ(Doc(m), "ab|f");
  m.Undo();
  EXPECT_EQ(Doc(m), "ab<c\nde>f");
}

TEST(EngineDeletion, ReadOnlyChangesNothing) {
  TCustomSyntaxMemo m;
  SetDoc(m, "ab<c\nd>e");
  m.SetReadOnly(true);
  TTestClipboard clip;
  clip.formats[TClipFormat::cfText] = "zz";
  m.Clipboard = &clip;
  for (int32_t cmd : {ecDeleteChar, ecBackspace, ecIndent, ecUnindent, ecDeleteLine, ecUndo,
                      ecDeleteWordBack, ecDeleteWordForward, ecCut, ecPaste})
    m.ExecuteCommand(cmd);
  Type(m, "xyz\n\t");
  m.Perform(SM_INDENT);
  EXPECT_EQ(m.Text(), "abc\rde");
  EXPECT_FALSE(m.CanUndo());
  EXPECT_EQ(clip.formats[TClipFormat::cfText], "zz");
  m.ExecuteCommand(ecRight, 0, true); // movement still works
  EXPECT_EQ(Doc(m), "ab<c\nde>");
}

TEST(EngineBlockIndent, IndentAndUnindentLinesOfTheSelection) {
  TCustomSyntaxMemo m;
  SetDoc(m, "<a\nb\n>c");
  m.Perform(SM_INDENT);
  EXPECT_EQ(Doc(m), "<  a\n  b\n>c"); // the line where the selection ends at column 0 is left out
  m.Perform(SM_UNINDENT, 1);
  EXPECT_EQ(Doc(m), "< a\n b\n>c");
  m.Undo();
  EXPECT_EQ(Doc(m), "<  a\n  b\n>c");
  m.Undo();
  EXPECT_EQ(Doc(m), "<a\nb\n>c");
  m.Redo();
  EXPECT_EQ(Doc(m), "<  a\n  b\n>c");

  // A selection starting inside its line keeps to its characters.
  SetDoc(m, "x<y\nz>w");
  m.SetIndentStep(3);
  m.SetIndentStep(25); // ignored
  EXPECT_EQ(m.IndentStep(), 3);
  m.ExecuteCommand(ecIndent);
  EXPECT_EQ(Doc(m), "   x<y\n   z>w");
  // With TABs allowed and smoUseTAB the fill is TABs.
  m.SetOptionsMask(m.OptionsMask() | smoUseTAB);
  SetDoc(m, "<a>");
  m.Perform(SM_INDENT, 2, 1);
  EXPECT_EQ(Doc(m), "<\t\ta>");
  // No selection: nothing.
  SetDoc(m, "a|b");
  m.Perform(SM_INDENT);
  EXPECT_EQ(Doc(m), "a|b");
}

TEST(EngineBlockIndent, UnindentRemovesOnlyLeadingBlanks) {
  TCustomSyntaxMemo m;
  m.SetIndentStep(2);
  SetDoc(m, "<\tx\n    y\n \xA0z\nw\n\n>");
  m.ExecuteCommand(ecUnindent);
  EXPECT_EQ(Doc(m), "<x\n  y\nz\nw\n\n>");
  m.Undo();
  EXPECT_EQ(Doc(m), "<\tx\n    y\n \xA0z\nw\n\n>");
}

TEST(EngineBlockIndent, TenLinesUndoInOneStep) {
  TCustomSyntaxMemo m;
  std::string doc = "<";
  for (int i = 0; i < 10; ++i) {
    doc += "line";
    doc += std::to_string(i);
    doc += "\n";
  }
  doc += ">";
  SetDoc(m, doc);
  const std::string before = Doc(m);
  m.ExecuteCommand(ecIndent);
  EXPECT_EQ(m.LineText(9), "  line9");
  m.Undo();
  EXPECT_EQ(Doc(m), before);
  EXPECT_FALSE(m.CanUndo());
}

TEST(EngineClipboard, CopyCutPasteAndDataDropBits) {
  TCustomSyntaxMemo m;
  TTestClipboard clip;
  m.Clipboard = &clip;
  SetDoc(m, "ab<c\nd>e");
  m.ExecuteCommand(ecCopy);
  EXPECT_EQ(clip.formats[TClipFormat::cfText], "c\nd");
  EXPECT_TRUE(clip.HasFormat(TClipFormat::cfRTF));
  EXPECT_EQ(clip.formats[TClipFormat::cfRTF].rfind("{\\rtf", 0), 0u);
  m.ClipCopyFormats = smTEXT;
  m.Perform(WM_COPY);
  EXPECT_FALSE(clip.HasFormat(TClipFormat::cfRTF));
  // Nothing selected: the clipboard is left alone.
  m.SetSelection(1, 1);
  const int sets = clip.sets;
  m.ExecuteCommand(ecCopy);
  EXPECT_EQ(clip.sets, sets);

  SetDoc(m, "ab<c\nd>e");
  m.ExecuteCommand(ecCut);
  EXPECT_EQ(Doc(m), "ab|e");
  m.ExecuteCommand(ecPaste);
  EXPECT_EQ(Doc(m), "abc\nd|e");
  m.Undo();
  EXPECT_EQ(Doc(m), "ab|e");
  m.Undo();
  EXPECT_EQ(Doc(m), "ab<c\nd>e");

  // OnDataDrop sees what is there plus the paste bit, and chooses.
  clip.formats.clear();
  clip.formats[TClipFormat::cfText] = "plain\r\ntext";
  clip.formats[TClipFormat::cfHTML] =
      "Version:0.9\r\nStartHTML:0\r\nEndHTML:0\r\nStartFragment:71\r\nEndFragment:82\r\n"
      "<b>BOLD</b>";
  int seen = 0;
  m.OnDataDrop = [&](TCustomSyntaxMemo *, int &types) {
    seen = types;
    types = kDropHTML;
  };
  SetDoc(m, "|");
  m.Perform(WM_PASTE);
  EXPECT_EQ(seen, kDropText | kDropHTML | kDropFromPaste);
  EXPECT_EQ(Doc(m), "<b>BOLD</b>|");
  m.OnDataDrop = [&](TCustomSyntaxMemo *, int &types) { types = 0; };
  SetDoc(m, "|");
  m.Perform(WM_PASTE);
  EXPECT_EQ(Doc(m), "|");
  m.OnDataDrop = nullptr;
  m.Perform(WM_PASTE);
  EXPECT_EQ(Doc(m), "plain\ntext|");
  EXPECT_EQ(m.Perform(EM_CANPASTE, 0), 1);
  EXPECT_EQ(m.Perform(EM_CANPASTE, 1), 1);
  EXPECT_EQ(m.Perform(EM_CANPASTE, 2), 0);
  clip.formats.erase(TClipFormat::cfText);
  EXPECT_EQ(m.Perform(EM_CANPASTE, 0), 0);
}

TEST(EngineBlockIndent, LongLinesAreIndentedOnceAtTheirStart) {
  // A 5000-character line is held in three nodes; only its start gets the fill.
  TCustomSyntaxMemo m;
  const std::string longLine(5000, 'x');
  SetDoc(m, "<" + longLine + "\nshort\n>");
  ASSERT_EQ(m.LineCount(), 4);
  m.ExecuteCommand(ecIndent);
  EXPECT_EQ(m.Text(), "  " + longLine + "\r  short\r");
  EXPECT_EQ(m.Store()->CheckInvariants(), "");
  m.ExecuteCommand(ecUnindent);
  EXPECT_EQ(m.Text(), longLine + "\rshort\r");
  m.Undo();
  m.Undo();
  EXPECT_EQ(m.Text(), longLine + "\rshort\r");
  EXPECT_FALSE(m.CanUndo());
}
