// The section parsers: they read the compiler's tokens section by section
// and fill the parser's tables and settings.
#include "SymCompiler.h"
#include "SyntaxMemoParser.h"

#include <cstdio>
#include <fstream>
#include <sstream>

static std::string EntryName(const char *prefix, long long v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s%lld", prefix, v);
  return buf;
}

class TSchemeSections {
public:
  TSchemeSections(TSyntaxMemoParser &p, TSYM_Compiler &c) : P(p), C(c) {}
  void Run();

private:
  TSyntaxMemoParser &P;
  TSYM_Compiler &C;
  std::array<bool, 256> ContextGiven{};
  bool CaseGiven = false;

  int Tok() const { return C.Token; }
  void Next() { C.NextToken(); }
  void Expect(int code, int msg) {
    if (Tok() != code)
      C.Error(msg);
    Next();
  }
  [[noreturn]] void RangeError(TSYM_Compiler::TPos at, int lo, int hi) {
    char buf[96];
    std::snprintf(buf, sizeof buf, SchemeMessage(4130), lo, hi);
    C.ErrorAt(at, buf);
  }
  int64_t Term(int depth);
  int64_t Expression(int depth = 0);
  int Value(int lo, int hi) {
    const TSYM_Compiler::TPos at = C.Pos();
    const int64_t v = Expression();
    if (v < lo || v > hi)
      RangeError(at, lo, hi);
    return static_cast<int>(v);
  }
  int32_t Int32() { return static_cast<int32_t>(static_cast<uint32_t>(Expression())); }
  std::string String() {
    if (Tok() != tkString)
      C.Error(4102);
    std::string s = C.LastString;
    Next();
    return s;
  }
  bool StartsExpression() const { return Tok() == tkNumber || Tok() == tkLParen; }
  TStateSet StateList(int open, int close, int closeMsg);
  TStateSet StateOrList() {
    return Tok() == tkLParen ? StateList(tkLParen, tkRParen, 4098) : TStateSet::Of(Value(0, 255));
  }
  std::vector<TSM_CharGroup> Groups(size_t max, int tooMany);
  uint16_t OneGroup(bool allowEmpty);
  TSM_Transition &Transition(int value) {
    if (!P.Transitions[value])
      P.Transitions[value] = TSM_Transition{};
    return *P.Transitions[value];
  }
  void Body(TSM_Part &part, bool handlerEntry);
  void End(TSM_EndPart &end);
  uint8_t FontStyles();

  void Language();
  void Words();
  void HandlerSection();
  void Tokens();
  void TokenEntry(int inState);
  void Map();
  void Effects();
  void StatesSection(bool containers);
  void Keys();
  void AutoReplace();
  void Templates();
  void KwTables();
};

int64_t TSchemeSections::Term(int depth) {
  if (Tok() == tkNumber) {
    const int64_t v = C.LastNumber;
    Next();
    return v;
  }
  if (Tok() == tkLParen && depth < 64) {
    Next();
    const int64_t v = Expression(depth + 1);
    Expect(tkRParen, 4098);
    return v;
  }
  C.Error(4104);
}

int64_t TSchemeSections::Expression(int depth) {
  int64_t v = Term(depth);
  for (;;) {
    const int op = Tok();
    if (op != tkPlus && op != tkMinus && op != tkOr)
      return v;
    Next();
    const int64_t t = Term(depth);
    v = op == tkPlus ? v + t : op == tkMinus ? v - t : (v | t);
    // Keep every intermediate within 32 bits so nothing can overflow.
    if (v > 0xFFFFFFFFll || v < -0xFFFFFFFFll)
      C.Error(4111);
  }
}

TStateSet TSchemeSections::StateList(int open, int close, int closeMsg) {
  Expect(open, open == tkLParen ? 4097 : 4100);
  TStateSet s;
  if (Tok() != close) {
    for (;;) {
      s.Include(static_cast<unsigned>(Value(0, 255)));
      if (Tok() != tkComma)
        break;
      Next();
    }
  }
  Expect(close, closeMsg);
  return s;
}

std::vector<TSM_CharGroup> TSchemeSections::Groups(size_t max, int tooMany) {
  if (Tok() != tkString)
    C.Error(4102);
  std::vector<TSM_CharGroup> g;
  if (!ParseCharSpec(C.LastString, g))
    C.Error(4107);
  if (g.size() > max)
    C.Error(tooMany);
  Next();
  return g;
}

uint16_t TSchemeSections::OneGroup(bool allowEmpty) {
  const TSYM_Compiler::TPos at = C.Pos();
  std::vector<TSM_CharGroup> g = Groups(1, 4109);
  if (g.empty()) {
    if (!allowEmpty)
      C.ErrorAt(at, 4109);
    return 0;
  }
  return P.Groups.Intern(g[0]);
}

void TSchemeSections::Body(TSM_Part &part, bool handlerEntry) {
  if (Tok() == tkMatch) {
    Next();
    Expect(tkLParen, 4097);
    part.IsHandler = true;
    part.Handler = {true, Value(0, 255)};
    Expect(tkRParen, 4098);
    P.UsesCustomHandlers = true;
  } else if (Tok() == tkString) {
    part.Group = OneGroup(true);
  } else if (StartsExpression()) {
    part.IsHandler = true;
    part.Handler = {false, handlerEntry ? Value(0, 20) : Value(0, kBuiltinHandlerCount - 1)};
  } else
    C.Error(4103);
  if (Tok() == tkStar) {
    part.Flag = 1;
    Next();
  }
}

void TSchemeSections::End(TSM_EndPart &end) {
  if (Tok() == tkMatch) {
    Next();
    Expect(tkLParen, 4097);
    end.IsHandler = true;
    end.Handler = {true, Value(0, 255)};
    Expect(tkRParen, 4098);
    P.UsesCustomHandlers = true;
  } else if (Tok() == tkString) {
    std::vector<TSM_CharGroup> g = Groups(4, 4110);
    end.Count = static_cast<uint8_t>(g.size());
    for (size_t i = 0; i < g.size(); ++i)
      end.Groups[i] = P.Groups.Intern(g[i]);
  } else if (StartsExpression()) {
    end.IsHandler = true;
    end.Handler = {false, Value(0, kBuiltinHandlerCount - 1)};
  } else
    C.Error(4103);
  end.IncludeEnd = Expression() != 0;
}

void TSchemeSections::Run() {
  Next();
  while (Tok() != tkEOF) {
    switch (Tok()) {
    case tkLanguage:
      Language();
      break;
    case tkWords:
      Words();
      break;
    case tkHandlers:
      HandlerSection();
      break;
    case tkTokens:
      Tokens();
      break;
    case tkMap:
      Map();
      break;
    case tkEffects:
      Effects();
      break;
    case tkStates:
      StatesSection(false);
      break;
    case tkContainers:
      StatesSection(true);
      break;
    case tkKeys:
      Keys();
      break;
    case tkAutoReplace:
      AutoReplace();
      break;
    case tkTemplates:
      Templates();
      break;
    case tkKwTables:
      KwTables();
      break;
    default:
      C.Error(4103);
    }
  }
  for (int v = 0; v < 256; ++v)
    if (!ContextGiven[v])
      P.ContextStates[v] = P.StartSet;
}

void TSchemeSections::Language() {
  Next();
  TSM_Settings &s = P.Settings;
  auto equals = [&](const char *entry) {
    C.Entry = std::string("%%Language - ") + entry;
    Next();
    Expect(tkEquals, 4096);
  };
  for (;;) {
    switch (Tok()) {
    case tkName:
      equals("Name");
      s.LanguageName = String();
      break;
    case tkCase: {
      equals("Case");
      const bool sensitive = Expression() != 0;
      if (!P.Keywords.SetCaseSensitive(sensitive))
        C.Error(4108);
      CaseGiven = true;
      break;
    }
    case tkOptions:
      equals("Options");
      s.Options = Int32();
      break;
    case tkExampleText:
      equals("ExampleText");
      s.ExampleText = String();
      break;
    case tkEditableStyles:
      C.Entry = "%%Language - EditableStyles";
      Next();
      for (;;) {
        if (s.EditableStyles.size() >= kMaxEditableStyles)
          C.Error(4105);
        Expect(tkLParen, 4097);
        std::string name = String();
        if (name.size() > 25)
          name.resize(25);
        Expect(tkComma, 4099);
        const TSYM_Compiler::TPos at = C.Pos();
        const int64_t style = Expression();
        if (style < 0 || style > 255)
          C.ErrorAt(at, 4106);
        Expect(tkRParen, 4098);
        s.EditableStyles.push_back({name, static_cast<uint8_t>(style)});
        if (Tok() != tkComma)
          break;
        Next();
      }
      break;
    case tkWordWrapColumn:
      equals("WordWrapColumn");
      s.Numeric[nsWordWrapColumn] = Int32();
      break;
    case tkGutter:
      equals("Gutter");
      s.Numeric[nsGutterWidth] = Int32();
      break;
    case tkGutterColor:
      equals("GutterColor");
      s.Numeric[nsGutterColor] = Int32();
      break;
    case tkMarginColor:
      equals("MarginColor");
      s.Numeric[nsMarginColor] = Int32();
      break;
    case tkMarginWidth:
      equals("MarginWidth");
      s.Numeric[nsMarginWidth] = Int32();
      break;
    case tkIndentStep:
      equals("IndentStep");
      // The editor takes 1 to 19 blanks and would drop anything else unseen.
      s.Numeric[nsIndentStep] = Value(1, 19);
      break;
    case tkSelTextColor:
      equals("SelTextColor");
      s.Numeric[nsSelTextColor] = Int32();
      break;
    case tkSelTextBack:
      equals("SelTextBack");
      s.Numeric[nsSelTextBack] = Int32();
      break;
    case tkRightMargin:
      equals("RightMargin");
      s.Numeric[nsRightMargin] = Int32();
      break;
    case tkTabDefault: {
      equals("TabDefault");
      const TSYM_Compiler::TPos at = C.Pos();
      s.Numeric[nsTabDefault] = Int32();
      if (s.Numeric[nsTabDefault] <= 0)
        C.ErrorAt(at, "Illegal default tab stop value, must be > 0");
      break;
    }
    case tkWrapOverride:
      equals("WrapOverride");
      s.Flags[flWrapOverride] = static_cast<uint8_t>(Value(0, 255));
      break;
    case tkFontCharset:
      equals("FontCharset");
      s.Flags[flFontCharset] = static_cast<uint8_t>(Value(0, 255));
      break;
    case tkFontName:
      equals("FontName");
      s.FontName = String();
      break;
    case tkFontSize:
      equals("FontSize");
      s.FontSize = Int32();
      break;
    case tkGutterFontName:
      equals("GutterFontName");
      s.GutterFont.Name = String();
      break;
    case tkGutterFontSize:
      equals("GutterFontSize");
      s.GutterFont.Size = Int32();
      break;
    case tkGutterFontColor:
      equals("GutterFontColor");
      s.GutterFont.Color = Int32();
      break;
    case tkGutterFontStyle:
      equals("GutterFontStyle");
      s.GutterFont.Style = Tok() == tkLBracket ? FontStyles() : static_cast<uint8_t>(Value(0, 255));
      break;
    case tkAnchor:
      equals("Anchor");
      P.AnchorSet = StateOrList();
      break;
    case tkStartState:
      equals("StartState");
      P.StartSet = StateOrList();
      break;
    case tkBoundStates:
      equals("BoundStates");
      P.BoundSet = StateOrList();
      break;
    case tkTabColumns: {
      equals("TabColumns");
      // 1-based columns as the editor's TabColumns takes them, kept 0-based;
      // each list is checked as the editor would check it.
      s.TabColumns.fill(-1);
      size_t n = 0;
      auto column = [&] {
        const TSYM_Compiler::TPos at = C.Pos();
        const int64_t v = Expression();
        if (n >= s.TabColumns.size())
          C.ErrorAt(at, "Too many tab stops - maximum of " + std::to_string(s.TabColumns.size()));
        if (v <= 1)
          C.ErrorAt(at, "Tab column must be > 1");
        if (v > 0x7FFFFFFF || (n > 0 && v - 1 <= s.TabColumns[n - 1]))
          C.ErrorAt(at, "Tab columns must be in order and unique");
        s.TabColumns[n++] = static_cast<int32_t>(v - 1);
      };
      if (Tok() == tkLParen) {
        Next();
        while (Tok() != tkRParen) {
          column();
          if (Tok() != tkComma)
            break;
          Next();
        }
        Expect(tkRParen, 4098);
      } else
        column();
      break;
    }
    case tkContextStates:
      equals("ContextStates");
      for (;;) {
        Expect(tkLParen, 4097);
        std::vector<int> tokens;
        while (Tok() == tkNumber) {
          const TSYM_Compiler::TPos at = C.Pos();
          const int t = Value(0, 255);
          if (ContextGiven[t]) {
            char buf[96];
            std::snprintf(buf, sizeof buf, SchemeMessage(4131), t);
            C.ErrorAt(at, buf);
          }
          ContextGiven[t] = true;
          tokens.push_back(t);
        }
        const TStateSet states = StateList(tkLParen, tkRParen, 4098);
        Expect(tkRParen, 4098);
        for (int t : tokens)
          P.ContextStates[t] = states;
        if (Tok() != tkComma)
          break;
        Next();
      }
      break;
    default:
      return;
    }
  }
}

void TSchemeSections::Words() {
  Next();
  while (Tok() == tkString) {
    const TSYM_Compiler::TPos at = C.Pos();
    const std::string word = C.LastString;
    C.Entry = "%%Words - " + word;
    if (word.empty())
      C.Error(4102);
    Next();
    const uint16_t term = OneGroup(true);
    const int value = Value(0, 255);
    const TStateSet states =
        Tok() == tkLParen ? StateList(tkLParen, tkRParen, 4098) : TStateSet::Of(0);
    if (!P.Keywords.AddWord(word, term, states, static_cast<uint8_t>(value)))
      C.ErrorAt(at, 4108);
    Transition(value).Valid |= states;
  }
}

void TSchemeSections::HandlerSection() {
  Next();
  while (StartsExpression()) {
    const TSYM_Compiler::TPos at = C.Pos();
    const int value = Value(0, 255);
    C.Entry = EntryName("%%Handlers - ", value);
    if (P.Handlers[value])
      C.ErrorAt(at, 4112);
    TSM_HandlerEntry h;
    Body(h.Body, true);
    End(h.End);
    P.Handlers[value] = h;
  }
}

void TSchemeSections::TokenEntry(int inState) {
  const TSYM_Compiler::TPos at = C.Pos();
  const int value = Value(0, 255);
  C.Entry = EntryName("%%Tokens - ", value);
  TSM_TokenDef d;
  d.Token = static_cast<uint8_t>(value);
  TSM_CharGroup start;
  const TSYM_Compiler::TPos startAt = C.Pos();
  bool otherwise = false;
  if (Tok() == tkString) {
    std::vector<TSM_CharGroup> g = Groups(1, 4109);
    // An empty start is the table's otherwise token: no characters, so no
    // body and no end (a body written after it means a start was forgotten).
    otherwise = g.empty();
    if (otherwise && (Tok() == tkString || Tok() == tkMatch))
      C.ErrorAt(startAt, 4109);
    if (!otherwise) {
      start = g[0];
      d.Start.Group = P.Groups.Intern(start);
      Body(d.Body, false);
      End(d.End);
    }
  } else if (StartsExpression()) {
    const int64_t n = Expression();
    if (n < hnStdIdentifier || n > hnStdCStringSq)
      C.ErrorAt(startAt, 4103);
    d.Start.IsHandler = true;
    d.Start.Handler = {false, static_cast<int32_t>(n)};
    start = TSyntaxMemoParser::HandlerStartGroup(static_cast<int>(n));
  } else
    C.Error(4103);
  d.Valid = Tok() == tkLParen ? StateList(tkLParen, tkRParen, 4098) : TStateSet::Of(0);
  TSM_StartTable *table = &P.DefaultTable;
  if (inState >= 0) {
    d.Valid.Include(static_cast<unsigned>(inState));
    if (!P.StateTables[inState])
      P.StateTables[inState] = std::make_unique<TSM_StartTable>();
    table = P.StateTables[inState].get();
    P.StatesWithTables.Include(static_cast<unsigned>(inState));
  }
  if (otherwise && table->Otherwise >= 0)
    C.ErrorAt(at, 4113);
  for (unsigned c = 0; c < 256; ++c)
    if (start.Contains(c) && table->Entry[c] >= 0)
      C.ErrorAt(at, 4113);
  for (const TSM_CharRange &r : start.Ranges)
    for (const TSM_RangeEntry &e : table->Ranges)
      if (r.Low <= e.High && e.Low <= r.High)
        C.ErrorAt(at, 4113);
  table->Defs.push_back(d);
  const int32_t idx = static_cast<int32_t>(table->Defs.size() - 1);
  if (otherwise)
    table->Otherwise = idx;
  for (unsigned c = 0; c < 256; ++c)
    if (start.Contains(c))
      table->Entry[c] = idx;
  for (const TSM_CharRange &r : start.Ranges)
    table->Ranges.push_back({r.Low, r.High, idx});
  Transition(value).Valid |= d.Valid;
}

void TSchemeSections::Tokens() {
  Next();
  for (;;) {
    if (Tok() == tkInState) {
      Next();
      const int state = Value(0, 255);
      Expect(tkLParen, 4097);
      while (StartsExpression())
        TokenEntry(state);
      Expect(tkRParen, 4098);
    } else if (StartsExpression())
      TokenEntry(-1);
    else
      return;
  }
}

void TSchemeSections::Map() {
  Next();
  while (StartsExpression()) {
    const int value = Value(0, 255);
    C.Entry = EntryName("%%Map - ", value);
    P.Settings.TokenStyle[value] = static_cast<int16_t>(Value(0, 255));
  }
}

uint8_t TSchemeSections::FontStyles() {
  Expect(tkLBracket, 4100);
  uint8_t set = 0;
  while (Tok() != tkRBracket) {
    if (!StartsExpression())
      C.Error(4115);
    const int64_t fs = Expression();
    if (fs < 0)
      C.Error(4115);
    if (fs <= 7)
      set |= static_cast<uint8_t>(1u << fs);
    if (Tok() == tkComma)
      Next();
    else if (Tok() != tkRBracket)
      C.Error(4115);
  }
  Next();
  return set;
}

void TSchemeSections::Effects() {
  Next();
  while (StartsExpression()) {
    const TSYM_Compiler::TPos at = C.Pos();
    const int style = Value(0, 255);
    C.Entry = EntryName("%%Effects - ", style);
    TSM_StyleRecord &r = P.Settings.Styles[style];
    if (r.InUse && style != 0)
      C.ErrorAt(at, 4114);
    TSM_StyleRecord n;
    n.FontStyle = FontStyles();
    n.Foreground = Int32();
    if (Tok() == tkStar) {
      n.ForegroundDefault = true;
      Next();
    }
    n.Background = Int32();
    if (Tok() == tkStar) {
      n.BackgroundDefault = true;
      Next();
    }
    if (Tok() == tkString) {
      std::string h = C.LastString;
      for (char &ch : h)
        ch = static_cast<char>(TSyntaxKeywords::Lower(static_cast<unsigned char>(ch)));
      if (h != "hotspot")
        C.Error(4103);
      n.Hotspot = true;
      Next();
    }
    n.InUse = 1;
    r = n;
  }
}

void TSchemeSections::StatesSection(bool containers) {
  Next();
  while (StartsExpression()) {
    const int value = Value(0, 255);
    C.Entry = EntryName((containers ? "%%Containers - " : "%%States - "), value);
    TSM_Transition &t = Transition(value);
    if (!containers && (Tok() == tkPush || Tok() == tkPop)) {
      t.StackOps |= Tok() == tkPush ? soPushBefore : soPopBefore;
      Next();
    }
    Expect(tkLParen, 4097);
    while (Tok() != tkRParen) {
      bool leave = false;
      if (Tok() == tkPlus || Tok() == tkMinus) {
        leave = Tok() == tkMinus;
        Next();
      }
      // Signs separate the items here, so a state is a single term.
      TStateSet s;
      if (Tok() == tkLParen)
        s = StateList(tkLParen, tkRParen, 4098);
      else {
        const TSYM_Compiler::TPos at = C.Pos();
        const int64_t v = Term(0);
        if (v < 0 || v > 255)
          RangeError(at, 0, 255);
        s = TStateSet::Of(static_cast<unsigned>(v));
      }
      (leave ? t.Leave : t.Enter) |= s;
      if (Tok() == tkComma)
        Next();
    }
    Next();
    if (!containers && (Tok() == tkPush || Tok() == tkPop)) {
      if (Tok() == tkPush)
        t.StackOps |= soPushAfter;
      else {
        t.StackOps |= soPopAfter;
        t.Enter = TStateSet();
        t.Leave = TStateSet();
      }
      Next();
    }
    t.NoChange = t.Enter.Empty() && t.Leave.Empty();
    if (containers)
      t.Container = true;
  }
}

namespace {
int KeyNameCode(const std::string &name) {
  static const std::pair<const char *, int> names[] = {
      {"backspace", 8}, {"delete", 46}, {"down", 40},     {"end", 35},    {"home", 36},
      {"insert", 45},   {"left", 37},   {"pagedown", 34}, {"pageup", 33}, {"return", 13},
      {"right", 39},    {"space", 32},  {"up", 38},       {"tab", 9}};
  std::string n;
  for (char ch : name)
    n += static_cast<char>(TSyntaxKeywords::Lower(static_cast<unsigned char>(ch)));
  for (const auto &[k, v] : names)
    if (n == k)
      return v;
  if (n.size() >= 2 && n[0] == 'f') {
    const int f = std::atoi(n.c_str() + 1);
    char buf[8];
    std::snprintf(buf, sizeof buf, "f%d", f);
    if (f >= 1 && f <= 12 && n == buf)
      return 111 + f;
  }
  if (name.size() == 1) {
    const unsigned char c = static_cast<unsigned char>(name[0]);
    return (c >= 'a' && c <= 'z') ? c - 32 : c;
  }
  return -1;
}
} // namespace

void TSchemeSections::Keys() {
  Next();
  while (StartsExpression()) {
    const int32_t code = Int32();
    C.Entry = EntryName("%%Keys - ", code);
    const TSYM_Compiler::TPos keysAt = C.Pos(); // the key list of the entry
    Expect(tkLParen, 4097);
    uint16_t strokes[2] = {0, 0};
    int count = 0;
    for (;;) {
      uint16_t mods = 0;
      int key = -1;
      for (;;) {
        if (Tok() == tkShift || Tok() == tkCtrl || Tok() == tkAlt) {
          mods |= Tok() == tkShift ? scShift : Tok() == tkCtrl ? scCtrl : scAlt;
          Next();
        } else if (Tok() == tkString) {
          key = KeyNameCode(C.LastString);
          if (key < 0 || key > 255)
            C.Error(4119);
          Next();
        } else if (StartsExpression()) {
          // A term only: '+' joins the parts of a keystroke here.
          if (Tok() == tkNumber) {
            key = static_cast<int>(C.LastNumber & 0xFFFF);
            if (C.LastNumber > 255)
              C.Error(4119);
            Next();
          } else {
            Next();
            const int64_t v = Expression();
            Expect(tkRParen, 4098);
            if (v < 0 || v > 255)
              C.Error(4119);
            key = static_cast<int>(v);
          }
        } else
          break;
        if (Tok() != tkPlus)
          break;
        Next();
      }
      if (key <= 0)
        C.Error(4119);
      if (count < 2)
        strokes[count] = static_cast<uint16_t>(key | mods);
      ++count;
      if (Tok() != tkComma)
        break;
      Next();
    }
    if (count > 2)
      C.Error(4103);
    Expect(tkRParen, 4098);
    const TSYM_Compiler::TPos at = C.Pos();
    const std::string name = String();
    if (name.find_first_not_of(" \t") == std::string::npos)
      C.ErrorAt(at, 4118);
    if (Tok() == tkString)
      Next(); // the description is for documentation only
    TSM_KeyMapData &km = P.Settings.KeyMap;
    bool named = false;
    for (TSM_KeyCommandName &c : km.Commands)
      if (c.Code == code) {
        c.Name = name;
        named = true;
      }
    const uint16_t second = static_cast<uint16_t>(strokes[1] & ~scModifiers);
    // A sequence bound twice, or a key that is both a binding of its own and
    // the start of a two-key one, would make the editor refuse the whole map.
    for (const TSM_KeyBinding &b : km.Bindings) {
      if (b.First != strokes[0])
        continue;
      if (b.Second != 0 && second != 0 && b.Second != second)
        continue;
      std::string other;
      for (const TSM_KeyCommandName &c : km.Commands)
        if (c.Code == b.Command)
          other = c.Name;
      C.ErrorAt(keysAt,
                "Duplicate key sequence definition for\r\n\"" + other + "\" and \"" + name + "\"");
    }
    if (!named)
      km.Commands.push_back({code, name});
    km.Bindings.push_back({strokes[0], second, code});
  }
}

void TSchemeSections::AutoReplace() {
  Next();
  while (Tok() == tkString) {
    TSM_AutoReplace a;
    a.Word = String();
    C.Entry = "%%AutoReplace - " + a.Word;
    Expect(tkEquals, 4096);
    a.Replacement = String();
    P.Settings.AutoReplace.push_back(a);
  }
}

void TSchemeSections::Templates() {
  Next();
  while (Tok() == tkString) {
    TSM_CodeTemplate t;
    t.Name = String();
    C.Entry = "%%Templates - " + t.Name;
    if (Tok() == tkLParen) {
      Next();
      t.Description = String();
      Expect(tkRParen, 4098);
    }
    Expect(tkEquals, 4096);
    t.Text = String();
    P.Settings.Templates.push_back(t);
  }
}

void TSchemeSections::KwTables() {
  Next();
  while (Tok() == tkLBracket) {
    C.Entry = "%%KwTables";
    TSM_KwTableDef t;
    t.States = StateList(tkLBracket, tkRBracket, 4101);
    if (t.States.Empty())
      t.States = TStateSet::Of(0);
    Expect(tkEndsWith, 4103);
    if (Tok() != tkString)
      C.Error(4102);
    std::vector<TSM_CharGroup> g;
    if (!ParseCharSpec(C.LastString, g))
      C.Error(4107);
    if (g.size() > 1)
      C.Error(4109);
    t.Terminator = C.LastString;
    Next();
    Expect(tkLParen, 4097);
    while (StartsExpression()) {
      const int value = Value(0, 255);
      Expect(tkIs, 4103);
      for (;;) {
        t.Words.emplace_back(String(), value);
        if (Tok() != tkComma)
          break;
        Next();
      }
    }
    Expect(tkRParen, 4098);
    if (P.Settings.KwTables.size() >= kMaxKwTables)
      C.Error(4111);
    P.Settings.KwTables.push_back(std::move(t));
  }
}

void TSyntaxMemoParser::CompileText(const std::string &text, const std::string &folder) {
  ClearTables();
  TSYM_Compiler c(text, folder);
  TSchemeSections s(*this, c);
  try {
    s.Run();
  } catch (ESyntaxMemoParserError &e) {
    LastLine_ = c.Line();
    LastColumn_ = c.Column();
    LastEntry_ = c.Entry;
    throw;
  }
  LastLine_ = c.Line();
  LastColumn_ = c.Column();
  LastEntry_.clear();
  TablesLoaded();
}

void TSyntaxMemoParser::CompileFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw ESyntaxMemoParserError("Cannot open file \"" + path + "\"");
  std::ostringstream ss;
  ss << in.rdbuf();
  const size_t slash = path.find_last_of('/');
  Script = path;
  CompileText(ss.str(), slash == std::string::npos ? "." : path.substr(0, slash));
}
