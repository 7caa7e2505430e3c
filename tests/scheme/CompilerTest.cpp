// The scheme compiler: lexer, preprocessor, sections and every error text
// with its position.
#include "SchemeTestUtil.h"
#include "SymCompiler.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace kxtest;

namespace {

std::string Example(const std::string &literal) {
  return Compile("%%language exampletext = " + literal)->Settings.ExampleText;
}

TEST(SchemeLexer, StringEscapes) {
  EXPECT_EQ(Example("'a\\nb'"), std::string("a\x0d"
                                            "b")); // \n is 13
  EXPECT_EQ(Example("'\\r'"), "\x0a");             // \r is 10
  EXPECT_EQ(Example("'\\101\\7\\0101'"), std::string("A\x07\x08"
                                                     "1"));
  EXPECT_EQ(Example("'\\b\\e\\s\\t'"), "\x08\x1b \t");
  EXPECT_EQ(Example("'\\x41\\x4a\\xZ'"), "AJxZ");
  EXPECT_EQ(Example("'\\q\\\\\\''"), "q\\'");
}

TEST(SchemeLexer, BackslashAtLineEndContinuesTheString) {
  EXPECT_EQ(Example("'ab\\\n     cd'"), "abcd");
  EXPECT_EQ(Example("'ab\\\r\n\t  \\ cd'"), "ab cd");
  // One backslash opening the next line is dropped too; "\\x" then reads as x.
  EXPECT_EQ(Example("'ab\\\r\\\\x'"), "abx");
}

TEST(SchemeLexer, CommentsBlanksAndLineCounting) {
  auto p = Compile("/* a\n ** comment */ // line\n%%language\xa0name = /**/ 'x' // end");
  EXPECT_EQ(p->Settings.LanguageName, "x");
  // LF, CR and CR LF each end one line.
  for (const char *brk : {"\n", "\r", "\r\n"}) {
    const std::string s = std::string("%%map") + brk + brk + "  $";
    const CompileResult r = TryCompile(s);
    EXPECT_EQ(r.Line, 3) << r.Message;
    EXPECT_EQ(r.Column, 3);
  }
}

TEST(SchemeLexer, KeywordsComeBeforeNumbersAndMatchWholeWords) {
  // '-' is a keyword, so "-1" is a minus and a number; "orx" is no "or".
  EXPECT_EQ(Compile("%%language options = 10 -1 or 4")->Settings.Options, 13);
  EXPECT_NE(TryCompile("%%language options = 1 orx").Message.find("Unknown Identifier \"orx\""),
            std::string::npos);
}

TEST(SchemePreprocessor, MacrosExpandAndCanBeRedefined) {
  auto p = Compile("#define A 3\n#define B A + 4\n%%map 1 B\n#define A 5\n%%map 2 A\n");
  EXPECT_EQ(p->Settings.TokenStyle[1], 7);
  EXPECT_EQ(p->Settings.TokenStyle[2], 5);
  // Predefined colours and handler numbers.
  auto q = Compile("%%map 1 __STD_C_STRING_SQ 2 _ORIGINAL_CHAR\n%%language seltextcolor = clAqua");
  EXPECT_EQ(q->Settings.TokenStyle[1], 20);
  EXPECT_EQ(q->Settings.TokenStyle[2], 2);
  EXPECT_EQ(q->Settings.Numeric[nsSelTextColor], 16776960);
}

TEST(SchemePreprocessor, ConditionalsSkipEverythingIncludingSections) {
  const std::string s =
      "#ifdef NOPE\n%%bogus x $\n%%language name = 'no'\n#else\n%%language name = 'yes'\n#endif\n"
      "#ifndef NOPE\n#define NOPE 1\n#endif\n#ifdef NOPE\n%%language case = NOPE\n#endif\n"
      "#ifdef A\n#ifdef B\n#else\n%%language name = 'nested'\n#endif\n#endif\n";
  auto p = Compile(s);
  EXPECT_EQ(p->Settings.LanguageName, "yes");
  EXPECT_TRUE(p->Keywords.IsCaseSensitive());
}

TEST(SchemePreprocessor, RecursiveAndRunawayMacrosFail) {
  EXPECT_EQ(TryCompile("#define A A\n%%map 1 A").Message,
            "** ERROR near line 2, Column 9: Recursive expansion of macro 'A'");
  EXPECT_NE(TryCompile("#define A B\n#define B (A)\n%%map 1 A")
                .Message.find("Recursive expansion of macro 'A'"),
            std::string::npos);
  // Each macro names the one before it twice: 2^40 expansions unless capped.
  std::string s = "#define M0 1\n";
  for (int i = 1; i <= 40; ++i)
    s += "#define M" + std::to_string(i) + " M" + std::to_string(i - 1) + " + M" +
         std::to_string(i - 1) + "\n";
  s += "%%language options = M40\n";
  // Uncapped, this would not end: the suite's time-out is the guard.
  EXPECT_NE(TryCompile(s).Message.find("Recursive expansion of macro"), std::string::npos);
}

class SchemeInclude : public ::testing::Test {
protected:
  void SetUp() override {
    dir = kxtest::FreshDir("scheme-include");
    std::filesystem::create_directories(dir / "sub");
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  void Write(const std::string &name, const std::string &text) {
    std::ofstream(dir / name) << text;
  }
  std::filesystem::path dir;
};

TEST_F(SchemeInclude, FilesAreReadRelativeToTheScriptFolder) {
  Write("sub/words.inc", "#define V 9\n'if' '' V\n");
  Write("main.scheme", "%%words\n#include \"sub/words.inc\"\n#include <sub/words.inc>\n");
  const CompileResult dup = TryCompile(ReadFile((dir / "main.scheme").string()), dir.string());
  EXPECT_NE(dup.Message.find("Duplicate entry in %%word table"), std::string::npos);
  Write("main.scheme", "%%words\n#include \"sub/words.inc\"\n'else' '' V\n");
  TSyntaxMemoParser p;
  p.CompileFile((dir / "main.scheme").string());
  EXPECT_EQ(p.Keywords.WordCount(), 2u);
  EXPECT_EQ(Tokens(p, "if")[0].first, 9);
}

TEST_F(SchemeInclude, MissingSelfIncludingAndMalformedIncludesFail) {
  EXPECT_EQ(TryCompile("#include \"nope.inc\"", dir.string()).Message,
            "** ERROR near line 1, Column 1: Unable to open #include file \"nope.inc\"");
  Write("self.inc", "#include \"self.inc\"\n");
  EXPECT_NE(TryCompile("\n  #include \"self.inc\"", dir.string()).Message.find("nested too deeply"),
            std::string::npos);
  EXPECT_EQ(TryCompile("#include nope.inc", dir.string()).Message,
            "** ERROR near line 1, Column 1: #include filename not enclosed in \"...\" or <...>");
  EXPECT_EQ(TryCompile("#include \"nope.inc\n", dir.string()).Message,
            "** ERROR near line 1, Column 1: #include filename missing terminating \"");
  EXPECT_EQ(TryCompile("#include <nope.inc\n", dir.string()).Message,
            "** ERROR near line 1, Column 1: #include filename missing terminating >");
}

// Every error text, at the position of the token it is about: the token
// that follows the "@" marker, which is taken out of the script.
struct ErrorCase {
  const char *Script;
  const char *Text;
};

const ErrorCase kErrors[] = {
    {"%%language name @'x'", "'=' expected"},
    {"%%language editablestyles @'x'", "'(' expected"},
    {"%%language editablestyles ('x', 1 @2)", "')' expected"},
    {"%%language editablestyles ('x' @1)", "',' expected"},
    {"%%effects 1 @5 6", "'[' expected"},
    {"%%kwTables [1 @2] endswith 'x' ()", "']' expected"},
    {"%%language name = @5", "String value expected"},
    {"@5", "Script syntax error"},
    {"%%tokens 1 @5", "Script syntax error"},
    {"%%map 1 @'x'", "Expression expected"},
    {"%%language editablestyles ('x', @256)", "Value must be 0..255"},
    {"%%words 'a' @'[z-a]' 1", "Character range error"},
    {"%%tokens 1 @'[a' '' * '' 0", "Character range error"},
    {"%%words 'a' '' 1 @'a' '' 2", "Duplicate entry in %%word table"},
    {"%%words 'a' @'bc' 1", "Single character specifier expected"},
    {"%%tokens 1 @'' 'a' 'b' 0", "Single character specifier expected"},
    {"%%tokens 1 @'' match (2) 'b' 0", "Single character specifier expected"},
    {"%%tokens 1 '' @2 ''", "Ambigious start set in %%token table"},
    {"%%tokens InState 3 (1 '' @2 '' (4))", "Ambigious start set in %%token table"},
    {"%%handlers 1 'a' @'abcde' 0", "Maximum of 4 character specifier allowed"},
    {"%%map @99999999999 1", "Numeric value out of range"},
    {"%%handlers 1 'a' 'b' 0 @1 'a' 'b' 0", "Duplicate entry in %%handler table"},
    {"%%tokens 1 '[a-c]' '' * '' 0 @2 'c' '' * '' 0", "Ambigious start set in %%token table"},
    {"%%tokens InState 1 (1 'a' '' * '' 0 @2 '[a-c]' '' * '' 0)",
     "Ambigious start set in %%token table"},
    {"%%tokens 1 'a' '' * '' 0 @2 __STD_IDENTIFIER", "Ambigious start set in %%token table"},
    {"%%effects 1 [] 0 0 @1 [] 0 0", "Duplicate %%effect entry"},
    {"%%effects 1 [@'b'] 0 0", "Bad font style specifier"},
    {"%%language name = @'abc", "Unexpected EOF"},
    {"%%map 1 2 @/* open", "Unexpected EOF"},
    {"%%keys 1 (ctrl + 'a') @'' 'description'", "Key function name cannot be blank"},
    {"%%keys 1 (@) 'x'", "Key specification required"},
    {"%%keys 1 (ctrl + @'nokey') 'x'", "Key specification required"},
    {"#define A B\n#define B A\n%%map 1 @A", "Recursive expansion of macro 'A'"},
    {"%%map @$", "Unknown character in input stream: #$24"},
    {"%%map @256 1", "Range error, value outwith 0 .. 255"},
    {"%%tokens 1 @9 (0)", "Script syntax error"},
    {"%%tokens 1 'a' @14 '' 0", "Range error, value outwith 0 .. 13"},
    {"%%states 1 (+@300)", "Range error, value outwith 0 .. 255"},
    {"%%language contextstates = (1 (0)), (@1 (2))", "Token value 1 re-specified in ContextState"},
    {"@#ifdef\n", "Macro name expected after #ifdef"},
    {"@#define\n", "Macro name expected"},
    {"@#endif\n", "Script syntax error"},
    {"%%language @xyz", "Unknown Identifier \"xyz\""},
    // Editor settings the editor would refuse or drop, caught at compile time.
    {"%%keys 1 (ctrl + 'a') 'One' 2 @(ctrl + 'a') 'Two'",
     "Duplicate key sequence definition for\r\n\"One\" and \"Two\""},
    {"%%keys 17 (ctrl + 'k', 'i') 'Indent' 20 @(ctrl + 'k') 'Alone'",
     "Duplicate key sequence definition for\r\n\"Indent\" and \"Alone\""},
    {"%%keys 20 (ctrl + 'k') 'Alone' 17 @(ctrl + 'k', 'i') 'Indent'",
     "Duplicate key sequence definition for\r\n\"Alone\" and \"Indent\""},
    {"%%keys 17 (ctrl + 'k', 'i') 'Indent' 18 @(ctrl + 'k', ctrl + 'i') 'Again'",
     "Duplicate key sequence definition for\r\n\"Indent\" and \"Again\""},
    {"%%language tabcolumns = (4, @4)", "Tab columns must be in order and unique"},
    {"%%language tabcolumns = (9, @5)", "Tab columns must be in order and unique"},
    {"%%language tabcolumns = (@1, 5)", "Tab column must be > 1"},
    {"%%language tabcolumns = @0", "Tab column must be > 1"},
    {"%%language tabcolumns = (2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, "
     "21, "
     "22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, @34)",
     "Too many tab stops - maximum of 32"},
    {"%%language tabdefault = @0", "Illegal default tab stop value, must be > 0"},
    {"%%language tabdefault = @(2 - 5)", "Illegal default tab stop value, must be > 0"},
    {"%%language indentstep = @0", "Range error, value outwith 1 .. 19"},
    {"%%language indentstep = @20", "Range error, value outwith 1 .. 19"},
};

TEST(SchemeCompilerErrors, EveryErrorTextAtItsPosition) {
  for (const ErrorCase &e : kErrors) {
    std::string script = e.Script;
    const size_t at = script.find('@');
    int line = 1, col = 1;
    for (size_t i = 0; i < at; ++i) {
      if (script[i] == '\n') {
        ++line;
        col = 1;
      } else
        ++col;
    }
    script.erase(at, 1);
    const CompileResult r = TryCompile(script);
    char expected[256];
    std::snprintf(expected, sizeof expected, "** ERROR near line %d, Column %d: %s", line, col,
                  e.Text);
    EXPECT_EQ(r.Message, expected) << "script: " << e.Script;
    EXPECT_EQ(r.Line, line);
    EXPECT_EQ(r.Column, col);
  }
}

TEST(SchemeCompilerErrors, FirstCharacterIsLineOneColumnOne) {
  const CompileResult r = TryCompile("xyz");
  EXPECT_EQ(r.Message, "** ERROR near line 1, Column 1: Unknown Identifier \"xyz\"");
}

TEST(SchemeCompilerErrors, TooManyEditableStyles) {
  std::string s = "%%language editablestyles ";
  for (int i = 0; i < 50; ++i)
    s += "('s" + std::to_string(i) + "', " + std::to_string(i) + "), ";
  const size_t col = s.size() + 1;
  s += "('extra', 1)";
  const CompileResult r = TryCompile(s);
  EXPECT_EQ(r.Message,
            "** ERROR near line 1, Column " + std::to_string(col) + ": Too many editable styles");
  // Exactly fifty is fine; names are cut to 25 characters.
  std::string ok = "%%language editablestyles ";
  for (int i = 0; i < 49; ++i)
    ok += "('s" + std::to_string(i) + "', " + std::to_string(i) + "), ";
  auto p = Compile(ok + "('a very long style name indeed', 3)");
  EXPECT_EQ(p->Settings.EditableStyles.size(), 50u);
  EXPECT_EQ(p->Settings.EditableStyles.back().Name, "a very long style name in");
}

TEST(SchemeCompilerErrors, HalfFilledTablesAreClearedByTheNextCompile) {
  TSyntaxMemoParser p;
  EXPECT_THROW(p.CompileText("%%words 'if' '' 5\n%%map 1 2 @"), ESyntaxMemoParserError);
  EXPECT_EQ(p.Keywords.WordCount(), 1u);
  EXPECT_EQ(p.LastLine(), 2);
  EXPECT_EQ(p.LastEntry(), "%%Map - 1");
  p.CompileText("%%words 'else' '' 6");
  EXPECT_EQ(p.Keywords.WordCount(), 1u);
  EXPECT_EQ(Tokens(p, "if")[0].first, 0);
  EXPECT_EQ(Tokens(p, "else")[0].first, 6);
  EXPECT_EQ(p.Settings.TokenStyle[1], -1);
}

TEST(SchemeSectionsFill, LanguageKeysAndSettings) {
  auto p = Compile(R"(%%language
    name = 'L' case = __sensitive options = __OPT_WORDWRAP or __OPT_AUTOINDENT
    exampletext = 'x = 1' wordwrapcolumn = 72 gutter = 40 guttercolor = clSilver
    margincolor = clYellow marginwidth = 3 indentstep = 2 wrapoverride = 1
    seltextcolor = clWhite seltextback = clNavy rightmargin = 100 fontname = 'Liberation Mono'
    fontsize = 12 fontcharset = ANSI_CHARSET tabcolumns = (4, 8, 12) tabdefault = 4
    anchor = (1, 2) startstate = 3 boundstates = (4) contextstates = (5 6 (7)), (8 (9, 10))
    GutterFontName = 'Arial' GutterFontSize = 9 GutterFontColor = clRed GutterFontStyle = [fsBold, fsItalic]
    editablestyles ('Plain', 0), ('Key', 1)
  )");
  const TSM_Settings &s = p->Settings;
  EXPECT_EQ(s.LanguageName, "L");
  EXPECT_TRUE(p->Keywords.IsCaseSensitive());
  EXPECT_EQ(s.Options, 1024 | 2048);
  EXPECT_EQ(s.Numeric[nsWordWrapColumn], 72);
  EXPECT_EQ(s.Numeric[nsGutterWidth], 40);
  EXPECT_EQ(s.Numeric[nsGutterColor], 12632256);
  EXPECT_EQ(s.Numeric[nsMarginColor], 65535);
  EXPECT_EQ(s.Numeric[nsMarginWidth], 3);
  EXPECT_EQ(s.Numeric[nsIndentStep], 2);
  EXPECT_EQ(s.Numeric[nsSelTextBack], 8388608);
  EXPECT_EQ(s.Numeric[nsRightMargin], 100);
  EXPECT_EQ(s.Numeric[nsTabDefault], 4);
  EXPECT_EQ(s.Flags[flWrapOverride], 1);
  EXPECT_EQ(s.Flags[flFontCharset], 0);
  EXPECT_EQ(s.FontName, "Liberation Mono");
  EXPECT_EQ(s.FontSize, 12);
  // The script's columns count from 1, as the editor's TabColumns does; the
  // table holds them from 0.
  EXPECT_EQ(s.TabColumns[0], 3);
  EXPECT_EQ(s.TabColumns[2], 11);
  EXPECT_EQ(s.TabColumns[3], -1);
  EXPECT_EQ(p->AnchorSet, TStateSet::Of(1) | TStateSet::Of(2));
  EXPECT_EQ(p->StartSet, TStateSet::Of(3));
  EXPECT_EQ(p->BoundSet, TStateSet::Of(4));
  EXPECT_EQ(p->ContextStates[6], TStateSet::Of(7));
  EXPECT_EQ(p->ContextStates[8], TStateSet::Of(9) | TStateSet::Of(10));
  EXPECT_EQ(p->ContextStates[0], TStateSet::Of(3)); // not given: the start set
  EXPECT_EQ(s.GutterFont.Name, "Arial");
  EXPECT_EQ(s.GutterFont.Size, 9);
  EXPECT_EQ(s.GutterFont.Color, 255);
  EXPECT_EQ(s.GutterFont.Style, fsBoldBit | fsItalicBit);
  ASSERT_EQ(s.EditableStyles.size(), 2u);
  EXPECT_EQ(s.EditableStyles[1].Name, "Key");
}

TEST(SchemeSectionsFill, EffectsMapStatesKeysTemplatesAutoReplaceKwTables) {
  auto p = Compile(R"(
    %%effects 0 [] 0 16777215  0 [fsBold] 1 2  3 [fsItalic, fsUnderline, 9] clRed * clWhite * 'HotSpot'
    %%map 5 3
    %%states 5 push (+1 -(2, 3)) pop  6 pop (+4) push  7 (-0)
    %%containers 8 (+9)
    %%keys caUNDO (ctrl + 'z') 'Undo it' 'Takes back'  caSETBOOKMARK1 (ctrl + 'K', ctrl + '1') 'Mark 1'
           caDOCEND (ctrl + shift + 'end') 'Bottom'  caUP (UP) 'Up'
    %%autoreplace 'teh' = 'the'
    %%templates 'for' ('loop') = 'FOR |' 'x' = 'y'
    %%kwTables [] endswith '[^a-z]' (20 is 'foo', 'bar' 21 is 'baz') [2, 3] endswith '' ()
  )");
  const TSM_Settings &s = p->Settings;
  EXPECT_EQ(s.Styles[0].FontStyle, fsBoldBit);
  EXPECT_EQ(s.Styles[0].Foreground, 1);
  const TSM_StyleRecord &r = s.Styles[3];
  EXPECT_EQ(r.FontStyle, fsItalicBit | fsUnderlineBit);
  EXPECT_TRUE(r.ForegroundDefault && r.BackgroundDefault && r.Hotspot);
  EXPECT_EQ(r.InUse, 1);
  EXPECT_EQ(s.StyleCount(), 2u);
  EXPECT_EQ(s.StyleOf(5), 3);
  EXPECT_EQ(s.StyleOf(6), 0);
  const TSM_Transition &t5 = *p->Transitions[5];
  EXPECT_EQ(t5.StackOps, soPushBefore | soPopAfter);
  EXPECT_TRUE(t5.Enter.Empty() && t5.Leave.Empty() && t5.NoChange); // pop after clears both sets
  const TSM_Transition &t6 = *p->Transitions[6];
  EXPECT_EQ(t6.StackOps, soPopBefore | soPushAfter);
  EXPECT_EQ(t6.Enter, TStateSet::Of(4));
  EXPECT_FALSE(t6.NoChange);
  EXPECT_EQ(p->Transitions[7]->Leave, TStateSet::Of(0));
  EXPECT_TRUE(p->Transitions[8]->Container);
  const TSM_KeyMapData &km = s.KeyMap;
  ASSERT_EQ(km.Bindings.size(), 4u);
  EXPECT_EQ(km.Bindings[0], (TSM_KeyBinding{scCtrl | 'Z', 0, 41}));
  EXPECT_EQ(km.Bindings[1],
            (TSM_KeyBinding{scCtrl | 'K', '1', 21})); // second key without modifiers
  EXPECT_EQ(km.Bindings[2], (TSM_KeyBinding{scCtrl | scShift | 35, 0, 11}));
  EXPECT_EQ(km.Bindings[3], (TSM_KeyBinding{38, 0, 4}));
  EXPECT_EQ(km.Commands[0], (TSM_KeyCommandName{41, "Undo it"}));
  ASSERT_EQ(s.AutoReplace.size(), 1u);
  EXPECT_EQ(s.AutoReplace[0], (TSM_AutoReplace{"teh", "the"}));
  ASSERT_EQ(s.Templates.size(), 2u);
  EXPECT_EQ(s.Templates[0], (TSM_CodeTemplate{"for", "loop", "FOR |"}));
  EXPECT_EQ(s.Templates[1].Description, "");
  ASSERT_EQ(s.KwTables.size(), 2u);
  EXPECT_EQ(s.KwTables[0].States, TStateSet::Of(0));
  EXPECT_EQ(s.KwTables[0].Terminator, "[^a-z]");
  ASSERT_EQ(s.KwTables[0].Words.size(), 3u);
  EXPECT_EQ(s.KwTables[0].Words[1], (std::pair<std::string, int32_t>{"bar", 20}));
  EXPECT_EQ(s.KwTables[0].Words[2], (std::pair<std::string, int32_t>{"baz", 21}));
  EXPECT_EQ(s.KwTables[1].States, TStateSet::Of(2) | TStateSet::Of(3));
}

TEST(SchemeSectionsFill, WordsAndTokensSetTheValidStatesOfTheirValues) {
  auto p = Compile(
      "%%words 'a' '' 5 (1, 2) 'b' '' 5\n%%tokens 6 'x' '' * '' 0 InState 3 (6 'y' '' * '' 0 (4))");
  EXPECT_EQ(p->Transitions[5]->Valid, TStateSet::Of(0) | TStateSet::Of(1) | TStateSet::Of(2));
  EXPECT_EQ(p->Transitions[6]->Valid, TStateSet::Of(0) | TStateSet::Of(3) | TStateSet::Of(4));
  EXPECT_TRUE(p->StatesWithTables.Has(3));
  EXPECT_EQ(p->StateTables[3]->Defs[0].Valid, TStateSet::Of(3) | TStateSet::Of(4));
}

TEST(SchemeCompilerRobustness, HostileScriptsEndInAnError) {
  const std::string cases[] = {
      std::string(100000, '('),
      "%%map 1 " + std::string(100000, '('),
      "%%language exampletext = '" + std::string(100000, 'x'),
      "/*" + std::string(1000, '*'),
      std::string("\0\xff\x80", 3),
      "#ifdef X\n'unterminated",
      "%%tokens InState 1 ( InState 2 ( ) )",
  };
  for (const std::string &s : cases)
    EXPECT_FALSE(TryCompile(s).Message.empty()) << s.substr(0, 40);
}

} // namespace
