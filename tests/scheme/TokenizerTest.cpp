// GetToken, Reset and InBoundState on small schemes written for each rule.
#include "SchemeTestUtil.h"

#include <gtest/gtest.h>

using namespace kxtest;

namespace {

// Identifiers (1), blanks (2), and the given extra script.
std::unique_ptr<TSyntaxMemoParser> Scheme(const std::string &extra) {
  return Compile("%%tokens 1 '[a-z]' '[a-z]' * '[^a-z]' 0\n 2 ' ' ' ' * '[^ ]' 0\n" + extra);
}

TokenList L(std::initializer_list<std::pair<int, std::string>> v) {
  return TokenList(v);
}

TEST(GetToken, LongestAcceptableWordWins) {
  auto p = Scheme("%%words 'ab' '[^a-z]' 5 'abc' '[^a-z]' 6 'abcd' 'x' 7");
  EXPECT_EQ(Tokens(*p, "ab abc abcd"), L({{5, "ab"}, {2, " "}, {6, "abc"}, {2, " "}, {1, "abcd"}}));
  // 'abcd' needs an x after it; then the longest acceptable word is 'abc'? No:
  // its terminator refuses the 'd', so the start table takes the whole word.
  EXPECT_EQ(Tokens(*p, "abcdx"), L({{7, "abcd"}, {1, "x"}}));
}

TEST(GetToken, WordWhoseTerminatorRefusesTheNextCharacterFallsBackToTheStartTable) {
  auto p = Scheme("%%words 'if' '[^a-z]' 5");
  EXPECT_EQ(Tokens(*p, "if iffy"), L({{5, "if"}, {2, " "}, {1, "iffy"}}));
  // At the end of the text the terminator sees the 0 the source yields.
  EXPECT_EQ(Tokens(*p, "if"), L({{5, "if"}}));
}

TEST(GetToken, WordsOfOtherStatesAreInvisible) {
  auto p = Scheme("%%words 'on' '' 5 (1) 'go' '' 6\n%%states 6 (+1 -0)");
  EXPECT_EQ(Tokens(*p, "on go on"), L({{1, "on"}, {2, " "}, {6, "go"}, {0, " "}, {5, "on"}}));
}

TEST(GetToken, TokenWhoseTransitionIsNotValidIsOneDefaultCharacter) {
  auto p = Scheme("%%tokens 3 '#' '[0-9]' * '[^0-9]' 0");
  EXPECT_EQ(Tokens(*p, "#12"), L({{3, "#12"}}));
  p->Transitions[3]->Valid = TStateSet::Of(9);
  EXPECT_EQ(Tokens(*p, "#12"), L({{0, "#"}, {0, "1"}, {0, "2"}}));
}

TEST(GetToken, BodyEndLoopEarlyEndAndIncludeEnd) {
  auto p = Scheme("%%tokens 3 '\"' '[^\"]' * '\"' 1\n 4 '<' '[a-z]' '>' 0\n 5 '(' '[^)]' * '*)' 1");
  EXPECT_EQ(Tokens(*p, "\"\""), L({{3, "\"\""}})); // early end: empty body
  EXPECT_EQ(Tokens(*p, "\"ab\"c"), L({{3, "\"ab\""}, {1, "c"}}));
  EXPECT_EQ(Tokens(*p, "<ab>"), L({{4, "<ab"}, {0, ">"}})); // end not included
  EXPECT_EQ(Tokens(*p, "<>"), L({{0, "<"}, {0, ">"}}));     // no early end: one body step needed
  EXPECT_EQ(Tokens(*p, "<a1"), L({{0, "<"}, {1, "a"}, {0, "1"}})); // neither end nor body
  EXPECT_EQ(Tokens(*p, "(a*b*)c"), L({{5, "(a*b*)"}, {1, "c"}}));  // two-character end sequence
}

TEST(GetToken, TheEndOfTheTextEndsATokenOnlyWhereItsEndMayBeMissing) {
  auto p = Scheme("%%words 'lbl' '' 8\n%%handlers 8 '[0-9]' ':' 1\n"
                  "%%tokens 3 '\"' '[^\"]' * '\"' 1\n 4 '<' '[a-z]' '>' 0\n"
                  " 5 '(' '[^)]' * '*)' 1\n 6 '#' '[0-9]' '[^0-9]' 1");
  // An end that belongs to the token is needed: without it, no token.
  EXPECT_EQ(Tokens(*p, "\"abc"), L({{0, "\""}, {1, "abc"}}));
  EXPECT_EQ(Tokens(*p, "(ab*"), L({{0, "("}, {1, "ab"}, {0, "*"}}));
  EXPECT_EQ(Tokens(*p, "lbl12"), L({{0, "l"}, {1, "bl"}, {0, "1"}, {0, "2"}}));
  EXPECT_EQ(Tokens(*p, "lbl12:"), L({{8, "lbl12:"}}));
  // An end that only marks where the token stops is met by the text's end.
  EXPECT_EQ(Tokens(*p, "<ab"), L({{4, "<ab"}}));
  // The end of the text counts as character 0, which a negated class holds.
  EXPECT_EQ(Tokens(*p, "#12"), L({{6, "#12"}}));
  EXPECT_EQ(Tokens(*p, "#12;"), L({{6, "#12;"}}));
}

TEST(GetToken, HandlerExtensionAfterAKeyword) {
  auto p = Scheme(
      "%%words 'rem' '[^a-z]' 7 'lbl' '' 8\n%%handlers 7 '[^\\n]' * '\\n' 0\n 8 '[0-9]' ':' 1");
  EXPECT_EQ(Tokens(*p, "rem x y\rab"), L({{7, "rem x y"}, {0, "\r"}, {1, "ab"}}));
  EXPECT_EQ(Tokens(*p, "lbl12:x"), L({{8, "lbl12:"}, {1, "x"}}));
  // A failing extension leaves one default character.
  EXPECT_EQ(Tokens(*p, "lbl12 x"),
            L({{0, "l"}, {1, "bl"}, {0, "1"}, {0, "2"}, {2, " "}, {1, "x"}}));
}

TEST(GetToken, HandlerEntryWithAWholeTokenHandlerEndsWhenItAccepts) {
  auto p = Scheme("%%words 'at' '' 7\n%%handlers 7 __STD_NUMBER '' 0");
  EXPECT_EQ(Tokens(*p, "at123 x"), L({{7, "at123"}, {2, " "}, {1, "x"}}));
}

TEST(GetToken, PushAndPopRestoreTheExactEarlierSet) {
  auto p = Scheme(
      "%%tokens 3 '{' '' * '' 0 (0, 1, 2)\n 4 '}' '' * '' 0 (0, 1, 2)\n 5 '+' '' * '' 0 (0, 1, 2)\n"
      "%%states 3 push (+1 +2) 4 pop () 5 (-0)");
  Tokens(*p, "{+}");
  EXPECT_EQ(p->CurrentStates(), TStateSet::Of(0));
  Tokens(*p, "{+");
  EXPECT_EQ(p->CurrentStates(), TStateSet::Of(1) | TStateSet::Of(2));
  // More pops than pushes are harmless.
  Tokens(*p, "}}}");
  EXPECT_EQ(p->CurrentStates(), TStateSet::Of(0));
  // Pushes far beyond the stack limit cost nothing and break nothing.
  const std::string many(kMaxStateStack * 3, '{');
  EXPECT_EQ(Tokens(*p, many).size(), many.size());
}

TEST(GetToken, StackBitsAfterTheChange) {
  auto p = Scheme("%%tokens 3 '[[]' '' * '' 0 (0, 1)\n 4 ']' '' * '' 0 (0, 1)\n"
                  "%%states 3 (+1) push 4 (-1) pop");
  Tokens(*p, "[");
  EXPECT_EQ(p->CurrentStates(), TStateSet::Of(0) | TStateSet::Of(1));
  Tokens(*p, "[]");
  // The pop after the change returns the set pushed after "[": {0, 1}.
  EXPECT_EQ(p->CurrentStates(), TStateSet::Of(0) | TStateSet::Of(1));
}

TEST(GetToken, LowestStateTableWinsAndReplacesTheDefaultTable) {
  auto p = Scheme("%%tokens 3 '+' '' * '' 0 (0, 1, 2, 5)\n"
                  "InState 5 (10 'x' '' * '' 0) InState 2 (11 'x' '' * '' 0  4 '-' '' * '' 0)\n"
                  "%%states 3 (+2 +5) 4 (-2)");
  // Default table: x is an identifier.
  EXPECT_EQ(Tokens(*p, "x+x-x"), L({{1, "x"}, {3, "+"}, {11, "x"}, {4, "-"}, {10, "x"}}));
  // In state 5's table there is no identifier rule and no fall-back.
  EXPECT_EQ(Tokens(*p, "+-ab"), L({{3, "+"}, {4, "-"}, {0, "a"}, {0, "b"}}));
}

TEST(GetToken, ATransitionTakesEffectExactlyWhenItChangesTheSet) {
  // "+" enters 2, "-" leaves it, "=" enters 0 and leaves 2; in state 2 a
  // letter is token 10. Taken again where its states already hold (or lack)
  // what it enters (or leaves), a transition must keep the table it chose.
  const std::string ops = "3 '+' '' * '' 0  4 '-' '' * '' 0  5 '=' '' * '' 0";
  auto p = Scheme("%%tokens " + ops + "\nInState 2 (10 '[a-z]' '' * '' 0  " + ops + ")\n" +
                  "%%states 3 (+2) 4 (-2) 5 (+0 -2)");
  EXPECT_EQ(Tokens(*p, "x+x+x-x-x=x+x=x"), L({{1, "x"},
                                              {3, "+"},
                                              {10, "x"},
                                              {3, "+"},
                                              {10, "x"},
                                              {4, "-"},
                                              {1, "x"},
                                              {4, "-"},
                                              {1, "x"},
                                              {5, "="},
                                              {1, "x"},
                                              {3, "+"},
                                              {10, "x"},
                                              {5, "="},
                                              {1, "x"}}));
  EXPECT_EQ(p->CurrentStates(), TStateSet::Of(0));
}

TEST(GetToken, ResetUsesTheContextStateOfTheTokenOrTheStartSet) {
  auto p = Scheme("%%language startstate = 1 contextstates = (7 (3))\n"
                  "%%tokens 3 '+' '' * '' 0 (1) InState 3 (4 '+' '' * '' 0)");
  p->Reset(7);
  EXPECT_EQ(p->CurrentStates(), TStateSet::Of(3));
  EXPECT_EQ(Tokens(*p, "+", 7), L({{4, "+"}}));
  for (int v : {0, 8, 255, -1, 1000}) {
    p->Reset(v);
    EXPECT_EQ(p->CurrentStates(), TStateSet::Of(1)) << v;
  }
  EXPECT_EQ(Tokens(*p, "+", 0), L({{3, "+"}}));
}

TEST(GetToken, ContainersBoundTheirChangeToTheNextToken) {
  auto p = Scheme("%%language boundstates = 4\n"
                  "%%tokens 3 '<' '' * '' 0\n 5 '[0-9]' '[0-9]' * '[^0-9]' 0 (4)\n"
                  "%%containers 3 (+4 -0)");
  TBufferEdStream src("<12 3", 5);
  p->Reset(0);
  int len = 0;
  EXPECT_EQ(p->GetToken(nullptr, src, len), 3);
  EXPECT_TRUE(p->InBoundState());
  EXPECT_EQ(p->GetToken(nullptr, src, len), 5);
  EXPECT_EQ(len, 2);
  // The bound ended with that token: the set before "<" is back.
  EXPECT_FALSE(p->InBoundState());
  EXPECT_EQ(p->CurrentStates(), TStateSet::Of(0));
  EXPECT_EQ(p->GetToken(nullptr, src, len), 2);
  EXPECT_EQ(p->GetToken(nullptr, src, len), 0);
}

TEST(GetToken, UserKeywordTablesFromKwTables) {
  auto p =
      Scheme("%%kwTables [] endswith '[^a-z]' (20 is 'foo', 'bar') [1] endswith '' (21 is 'baz')\n"
             "%%words 'bar' '[^a-z]' 6\n%%tokens 3 '!' '' * '' 0\n%%states 3 (+1)\n");
  ASSERT_TRUE(p->Settings.UserKeywords);
  EXPECT_EQ(Tokens(*p, "foo bar baz foox"),
            L({{20, "foo"}, {2, " "}, {6, "bar"}, {2, " "}, {1, "baz"}, {2, " "}, {1, "foox"}}));
  EXPECT_EQ(Tokens(*p, "!baz"), L({{3, "!"}, {21, "baz"}}));
}

TEST(GetToken, CustomHandlersGoThroughOnCustomParse) {
  auto p = Scheme("%%tokens 3 '$' match (4) '' 0");
  EXPECT_TRUE(p->UsesCustomHandlers);
  // Not assigned: the handler does not accept.
  EXPECT_EQ(Tokens(*p, "$ab"), L({{0, "$"}, {1, "ab"}}));
  int calls = 0;
  p->OnCustomParse = [&](TSyntaxMemoParser &, int n, TEdStream &s, int &len) {
    ++calls;
    EXPECT_EQ(n, 4);
    int k = 0;
    while (!s.AtEnd() && s.Current() != ' ' && k < 2) {
      s.Advance();
      ++len;
      ++k;
    }
    return k > 0;
  };
  // A body step accepted by a custom handler ends the token.
  EXPECT_EQ(Tokens(*p, "$abc d"), L({{3, "$ab"}, {1, "c"}, {2, " "}, {1, "d"}}));
  EXPECT_GT(calls, 0);
  p->DesignMode = true;
  EXPECT_EQ(Tokens(*p, "$ab"), L({{0, "$"}, {1, "ab"}}));
  // A handler that accepts without consuming cannot hang the scanner.
  p->DesignMode = false;
  p->OnCustomParse = [](TSyntaxMemoParser &, int, TEdStream &, int &) { return true; };
  EXPECT_EQ(Tokens(*p, "$a"), L({{3, "$"}, {1, "a"}}));
}

TEST(GetToken, BuiltinWholeTokenHandlers) {
  struct Case {
    int Handler;
    const char *Text;
    const char *Token; // the first token, "" when the handler refuses
  };
  const Case cases[] = {
      {10, "_ab1 x", "_ab1"},
      {11, "12.5e-3x", "12.5e-3"},
      {11, "1.x", "1"},
      {12, "'it''s' x", "'it''s'"},
      {12, "'open\rx", "'open"},
      {13, "\"a\\\"b\" x", "\"a\\\"b\""},
      {14, "'\\n' x", "'\\n'"},
      {14, "'ab' x", ""},
      {15, "-0x1Fu x", "-0x1Fu"},
      {15, "+2.5f x", "+2.5f"},
      {15, "- x", ""},
      {16, "123abc", "123"},
      {17, "http://a.b/c?d x", "http://a.b/c?d"},
      {17, "me@host.org x", "me@host.org"},
      {17, "plain x", ""},
      {18, "'a\"b' x", "'a\"b'"},
      {19, "// note\rx", "// note"},
      {19, "/x", ""},
      {20, "'a\\'b' x", "'a\\'b'"},
  };
  for (const Case &c : cases) {
    auto p = Compile("%%tokens 9 " + std::to_string(c.Handler));
    const TokenList t = Tokens(*p, c.Text);
    const std::string want = c.Token;
    if (want.empty())
      EXPECT_EQ(t[0].first, 0) << c.Handler << " " << c.Text;
    else {
      EXPECT_EQ(t[0].first, 9) << c.Handler << " " << c.Text;
      EXPECT_EQ(t[0].second, want) << c.Handler << " " << c.Text;
    }
  }
}

TEST(GetToken, BuiltinCharacterRoutinesAsBodySteps) {
  auto p = Compile("%%tokens 3 '\\'' 0 * '\\'' 1\n 4 '\"' 1 * '\"' 1\n 5 '`' 2 '`' 1");
  EXPECT_EQ(Tokens(*p, "'#13#$0A'")[0], (std::pair<int, std::string>{3, "'#13#$0A'"}));
  EXPECT_EQ(Tokens(*p, "\"&amp;&#169;\"")[0], (std::pair<int, std::string>{4, "\"&amp;&#169;\""}));
  EXPECT_EQ(Tokens(*p, "\"x\"")[0].first, 0);
  EXPECT_EQ(Tokens(*p, "`a`")[0], (std::pair<int, std::string>{5, "`a`"}));
}

TEST(GetToken, RegistersEachEditorOnce) {
  auto p = Scheme("");
  std::vector<void *> seen;
  p->OnRegisterEditor = [&](TSyntaxMemoParser &, void *e) { seen.push_back(e); };
  int a, b;
  TBufferEdStream src("abc", 3);
  int len;
  p->GetToken(&a, src, len);
  src.SetPosition(0);
  p->GetToken(&b, src, len);
  src.SetPosition(0);
  p->GetToken(&a, src, len);
  EXPECT_EQ(seen, (std::vector<void *>{&a, &b}));
  p->UnregisterEditor(&a);
  EXPECT_EQ(p->Editors(), (std::vector<void *>{&b}));
}

// A line start (state 1, the start set): blanks keep it, a name with its
// colon is a label (7), and anything else is read again in state 0 through
// the otherwise token (8), which never shows as a token of its own.
std::unique_ptr<TSyntaxMemoParser> LineStart(const std::string &extra = "") {
  return Scheme("%%language startstate = 1\n%%words 'if' '[^a-z]' 5\n"
                "%%tokens InState 1 (7 '[a-z]' '[a-z]' * ':' 1  2 ' ' ' ' * '[^ ]' 0  8 '')\n"
                "%%states 7 (-1 +0) 8 (-1 +0)\n" +
                extra);
}

TEST(GetToken, OtherwiseTokenReadsThePositionAgainInItsNewStates) {
  auto p = LineStart();
  ASSERT_TRUE(p->StateTables[1] && p->StateTables[1]->OtherwiseDef());
  EXPECT_EQ(p->StateTables[1]->OtherwiseDef()->Token, 8);
  EXPECT_EQ(p->StateTables[1]->OtherwiseDef()->Valid, TStateSet::Of(0) | TStateSet::Of(1));
  // A name that is no label is one name, however it ends.
  EXPECT_EQ(Tokens(*p, "iffy if", -1), L({{1, "iffy"}, {2, " "}, {5, "if"}}));
  EXPECT_EQ(p->CurrentStates(), TStateSet::Of(0));
  EXPECT_EQ(Tokens(*p, "xif", -1), L({{1, "xif"}}));
  // A label may be spelt like a keyword: at a line start no keyword is valid.
  EXPECT_EQ(Tokens(*p, "if: x", -1), L({{7, "if:"}, {2, " "}, {1, "x"}}));
  EXPECT_EQ(Tokens(*p, "  abc:", -1), L({{2, "  "}, {7, "abc:"}}));
  // Without its colon, also at the end of the text, a name is no label.
  EXPECT_EQ(Tokens(*p, "abc", -1), L({{1, "abc"}}));
  EXPECT_EQ(Tokens(*p, "  if", -1), L({{2, "  "}, {5, "if"}}));
  // Neither table knows the character: one default character, in state 0.
  EXPECT_EQ(Tokens(*p, "9x:", -1), L({{0, "9"}, {1, "x"}, {0, ":"}}));
}

TEST(GetToken, OtherwiseTokenOnlyWhereValidAndWhereItChangesTheStates) {
  auto p = LineStart();
  p->Transitions[8]->Valid = TStateSet::Of(9); // its transition is not valid here
  EXPECT_EQ(Tokens(*p, "ab", -1), L({{0, "a"}, {0, "b"}}));
  EXPECT_EQ(p->CurrentStates(), TStateSet::Of(1));
  auto same = LineStart(); // a transition that changes nothing: still default characters
  same->Transitions[8]->Enter = TStateSet::Of(1);
  same->Transitions[8]->Leave = TStateSet();
  EXPECT_EQ(Tokens(*same, "ab", -1), L({{0, "a"}, {0, "b"}}));
  // Two tables whose otherwise tokens lead to each other: the scan still
  // ends with one default character.
  auto cycle = Scheme("%%language startstate = 1\n"
                      "%%tokens InState 1 (8 '') InState 2 (9 '')\n%%states 8 (-1 +2) 9 (-2 +1)");
  EXPECT_EQ(Tokens(*cycle, "ab", -1), L({{0, "a"}, {0, "b"}}));
}

TEST(GetToken, OtherwiseTokenOfTheDefaultTableAndItsStackOperations) {
  // In the default table: where state 0 has no token, state 3's table reads.
  auto p = Scheme("%%tokens 8 '' InState 3 (4 '#' '' * '' 0)\n%%states 8 (-0 +3) 4 (-3 +0)");
  ASSERT_TRUE(p->DefaultTable.OtherwiseDef());
  EXPECT_EQ(Tokens(*p, "a#b"), L({{1, "a"}, {4, "#"}, {1, "b"}}));
  // An otherwise token that pushes: a later pop returns to the line start.
  auto q = LineStart("%%tokens 6 '}' '' * '' 0\n%%states 8 push (-1 +0) 6 pop ()");
  EXPECT_EQ(Tokens(*q, "x}y:", -1), L({{1, "x"}, {6, "}"}, {7, "y:"}}));
}

TEST(GetToken, EmptySchemeGivesOneCharacterDefaultTokens) {
  TSyntaxMemoParser p;
  EXPECT_EQ(Tokens(p, "ab"), L({{0, "a"}, {0, "b"}}));
  TBufferEdStream src("", 0);
  int len = 7;
  EXPECT_EQ(p.GetToken(nullptr, src, len), 0);
  EXPECT_EQ(len, 0);
}

} // namespace

TEST(GetToken, ResetAtTheStartOfTheTextGivesTheStartSetWhateverToken0Says) {
  auto p = Scheme("%%language startstate = (0, 1) contextstates = (0 (0))\n"
                  "%%tokens 5 '#' '' * '' 0 (1)");
  EXPECT_EQ(Tokens(*p, "#", -1), L({{5, "#"}}));
  EXPECT_EQ(Tokens(*p, "#", 0), L({{0, "#"}})); // after a token 0: state 0, no '#' token
}
