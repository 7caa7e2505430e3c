// The scheme script lexer and preprocessor.
#include "SymCompiler.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

const char *SchemeMessage(int id) {
  switch (id) {
  case 4096:
    return "'=' expected";
  case 4097:
    return "'(' expected";
  case 4098:
    return "')' expected";
  case 4099:
    return "',' expected";
  case 4100:
    return "'[' expected";
  case 4101:
    return "']' expected";
  case 4102:
    return "String value expected";
  case 4103:
    return "Script syntax error";
  case 4104:
    return "Expression expected";
  case 4105:
    return "Too many editable styles";
  case 4106:
    return "Value must be 0..255";
  case 4107:
    return "Character range error";
  case 4108:
    return "Duplicate entry in %%word table";
  case 4109:
    return "Single character specifier expected";
  case 4110:
    return "Maximum of 4 character specifier allowed";
  case 4111:
    return "Numeric value out of range";
  case 4112:
    return "Duplicate entry in %%handler table";
  case 4113:
    return "Ambigious start set in %%token table";
  case 4114:
    return "Duplicate %%effect entry";
  case 4115:
    return "Bad font style specifier";
  case 4116:
    return "Unexpected EOF";
  case 4117:
    return "Unknown script identifier";
  case 4118:
    return "Key function name cannot be blank";
  case 4119:
    return "Key specification required";
  case 4120:
    return "Not implemented yet";
  case 4121:
    return "Recursive expansion of macro '%s'";
  case 4122:
    return "** ERROR near line %d, Column %d: %s";
  case 4123:
    return "#include filename missing terminating %s";
  case 4124:
    return "Unable to open #include file %s%s%s";
  case 4125:
    return "Identifier";
  case 4126:
    return "Unknown";
  case 4127:
    return "Unknown character in input stream: #$%.2x";
  case 4128:
    return "<Custom language>";
  case 4130:
    return "Range error, value outwith %d .. %d";
  case 4131:
    return "Token value %d re-specified in ContextState";
  case 4134:
    return "Macro name expected after #ifdef";
  case 4135:
    return "#include filename not enclosed in \"...\" or <...>";
  case 4136:
    return "Macro name expected";
  default:
    return "";
  }
}

namespace {

struct TKeywordDef {
  const char *Word;
  int Code;
};

const TKeywordDef kKeywords[] = {
    {"%%language", 20},
    {"name", 21},
    {"case", 22},
    {"%%words", 24},
    {"options", 23},
    {"=", 25},
    {"%%handler", 26},
    {"%%handlers", 26},
    {"%%tokens", 27},
    {"%%map", 28},
    {"%%effects", 29},
    {"exampletext", 33},
    {"editablestyles", 34},
    {"(", 35},
    {")", 36},
    {",", 37},
    {"+", 38},
    {"-", 39},
    {"[", 40},
    {"]", 41},
    {"?", 42},
    {"wordwrapcolumn", 43},
    {"gutter", 44},
    {"anchor", 45},
    {"%%states", 46},
    {"indentstep", 47},
    {"wrapoverride", 48},
    {"%%containers", 49},
    {"%%keys", 50},
    {"shift", 51},
    {"ctrl", 52},
    {"alt", 53},
    {"startstate", 54},
    {"seltextcolor", 55},
    {"seltextback", 56},
    {"rightmargin", 57},
    {"fontname", 58},
    {"fontsize", 59},
    {"tabcolumns", 60},
    {"tabdefault", 61},
    {"contextstates", 62},
    {"InState", 63},
    {"boundstates", 64},
    {"guttercolor", 65},
    {"match", 66},
    {"|", 67},
    {"%%autoreplace", 68},
    {"%%templates", 69},
    {"margincolor", 70},
    {"marginwidth", 71},
    {"*", 72},
    {"actionkeys", 73},
    {"hotkey", 74},
    {"%%kwTables", 75},
    {"forstate", 76},
    {"endswith", 77},
    {"is", 78},
    {"push", 79},
    {"pop", 80},
    {"or", 81},
    {"fontcharset", 82},
    {"GutterFontName", 95},
    {"GutterFontSize", 96},
    {"GutterFontColor", 97},
    {"GutterFontStyle", 98},
};

void Predefine(TWordStore &m) {
  const std::pair<const char *, const char *> fixed[] = {
      {"ver200", "'ver200'"},
      {"pt_DEFAULT", "0"},
      {"_use_", "1"},
      {"_discard_", "0"},
      {"__insensitive", "0"},
      {"__sensitive", "1"},
      {"_edge", "0"},
      {"_default_gutter", "34"},
      {"_DEFAULT_START_ANCHOR", "0"},
      {"__DEFAULT_OPTIONS", "67099632"},
      {"__OPT_SHOW_RIGHT_MARGIN", "32768"},
      {"__OPT_PRINT_WRAP", "32"},
      {"__OPT_PRINT_LINENOS", "64"},
      {"__OPT_PRINT_FILENAME", "128"},
      {"__OPT_PRINT_DATE", "256"},
      {"__OPT_PRINT_PAGENOS", "512"},
      {"__OPT_WORDWRAP", "1024"},
      {"__OPT_AUTOINDENT", "2048"},
      {"__OPT_TABCOLUMN", "4096"},
      {"__OPT_WRAP_OVERRIDE", "8192"},
      {"__WORD_SELECT", "16384"},
      {"__OPT_SHOW_RMARGIN", "32768"},
      {"__OPT_SHOW_GUTTER", "65536"},
      {"__OPT_SHOW_WRAPCOLUMN", "131072"},
      {"__OPT_TITLE_AS_FILENAME", "262144"},
      {"__OPT_PROCESS_DROP_FILES", "524288"},
      {"__OPT_BLOCK_CURSOR", "1048576"},
      {"__OPT_WRAP_GLYPH", "2097152"},
      {"__OPT_COLUMN_TRACK", "4194304"},
      {"__OPT_USE_TAB", "8388608"},
      {"__OPT_SMART_FILL", "16777216"},
      {"__OPT_OLE_DRAG_SOURCE", "33554432"},
      {"__OPT_SYNTAX_HIGHLIGHT", "16"},
      {"__OPT_LINE_NUMBERS", "1"},
      {"__OPT_CARET_AFTER_EOL", "134217728"},
      {"__OPT_SHOW_CONTROL_CHARS", "67108864"},
      {"_PASCAL_CHAR", "0"},
      {"_WEB_CHAR", "1"},
      {"_ORIGINAL_CHAR", "2"},
      {"__STD_IDENTIFIER", "10"},
      {"__STD_NUMBER_OR_FP", "11"},
      {"__STD_PASCALSTRING", "12"},
      {"__STD_C_STRING", "13"},
      {"__STD_C_CHAR", "14"},
      {"__STD_C_NUMBER_OR_FP_SIGNED", "15"},
      {"__STD_NUMBER", "16"},
      {"__STD_MAIL_URL", "17"},
      {"__STD_HTML_STRING", "18"},
      {"__STD_JS_LINE_COMMENT", "19"},
      {"__STD_C_STRING_SQ", "20"},
      {"fsBold", "0"},
      {"fsItalic", "1"},
      {"fsUnderline", "2"},
      {"fsStrikeout", "3"},
      {"clBlack", "0"},
      {"clMaroon", "128"},
      {"clGreen", "32768"},
      {"clOlive", "32896"},
      {"clNavy", "8388608"},
      {"clPurple", "8388736"},
      {"clTeal", "8421376"},
      {"clGray", "8421504"},
      {"clDkGray", "8421504"},
      {"clSilver", "12632256"},
      {"clLtGray", "12632256"},
      {"clRed", "255"},
      {"clLime", "65280"},
      {"clYellow", "65535"},
      {"clBlue", "16711680"},
      {"clFuchsia", "16711935"},
      {"clAqua", "16776960"},
      {"clWhite", "16777215"},
      {"caLEFT", "0"},
      {"caRIGHT", "1"},
      {"caLINEHOME", "2"},
      {"caLINEEND", "3"},
      {"caUP", "4"},
      {"caDOWN", "5"},
      {"caPAGEUP", "6"},
      {"caPAGEDOWN", "7"},
      {"caWORDLEFT", "8"},
      {"caWORDRIGHT", "9"},
      {"caDOCSTART", "10"},
      {"caDOCEND", "11"},
      {"caCUT", "12"},
      {"caCOPY", "13"},
      {"caPASTE", "14"},
      {"caDELETE", "15"},
      {"caBACKSPACE", "16"},
      {"caBLOCKIND", "17"},
      {"caBLOCKUND", "18"},
      {"caINSTOGGLE", "19"},
      {"caDELETELINE", "40"},
      {"caUNDO", "41"},
      {"caREDO", "42"},
      {"caDELPREVWORD", "43"},
      {"caPRINTSEL", "44"},
      {"caDELNEXTWORD", "45"},
      {"LEFT", "37"},
      {"RIGHT", "39"},
      {"UP", "38"},
      {"DOWN", "40"},
      {"PGUP", "33"},
      {"PGDN", "34"},
      {"HOME", "36"},
      {"END", "35"},
      {"DELETE", "46"},
      {"BACKSPACE", "8"},
      {"INSERT", "45"},
      {"None", "0"},
      {"ANSI_CHARSET", "0"},
      {"DEFAULT_CHARSET", "1"},
      {"SYMBOL_CHARSET", "2"},
      {"SHIFTJIS_CHARSET", "128"},
      {"HANGEUL_CHARSET", "129"},
      {"JOHAB_CHARSET", "130"},
      {"GB2312_CHARSET", "134"},
      {"CHINESEBIG5_CHARSET", "136"},
      {"GREEK_CHARSET", "161"},
      {"TURKISH_CHARSET", "162"},
      {"HEBREW_CHARSET", "177"},
      {"ARABIC_CHARSET", "178"},
      {"BALTIC_CHARSET", "186"},
      {"RUSSIAN_CHARSET", "204"},
      {"THAI_CHARSET", "222"},
      {"EASTEUROPE_CHARSET", "238"},
      {"MAC_CHARSET", "77"},
      {"OEM_CHARSET", "255"},
  };
  for (const auto &[k, v] : fixed)
    m.Set(k, v);
  char name[32], value[16];
  for (int i = 0; i <= 9; ++i) {
    std::snprintf(name, sizeof name, "caSETBOOKMARK%d", i);
    std::snprintf(value, sizeof value, "%d", 20 + i);
    m.Set(name, value);
    std::snprintf(name, sizeof name, "caGOTOBOOKMARK%d", i);
    std::snprintf(value, sizeof value, "%d", 30 + i);
    m.Set(name, value);
  }
  for (int i = 1; i <= 12; ++i) {
    std::snprintf(name, sizeof name, "F%d", i);
    std::snprintf(value, sizeof value, "%d", 111 + i);
    m.Set(name, value);
  }
}

bool IsIdentStart(int c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool IsIdentChar(int c) {
  return IsIdentStart(c) || (c >= '0' && c <= '9');
}
int LowerAscii(int c) {
  return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

std::string Format1(const char *fmt, const std::string &a) {
  std::string out;
  for (const char *p = fmt; *p; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      out += a;
      ++p;
    } else
      out += *p;
  }
  return out;
}

} // namespace

TSYM_Compiler::TSYM_Compiler(std::string text, std::string folder) : Folder_(std::move(folder)) {
  Predefine(Macros_);
  TSource s;
  s.Name = "script";
  s.Text = std::move(text);
  Input_.push_back(std::move(s));
}

const TSYM_Compiler::TSource *TSYM_Compiler::FileSource() const {
  for (auto it = Input_.rbegin(); it != Input_.rend(); ++it)
    if (!it->Macro)
      return &*it;
  return &Input_.front();
}

int TSYM_Compiler::Line() const {
  return FileSource()->Line;
}
int TSYM_Compiler::Column() const {
  return FileSource()->Col;
}

void TSYM_Compiler::MarkToken() {
  // Inside a macro's text, a token is reported where the macro was named.
  size_t i = Input_.size() - 1;
  if (Input_[i].Macro) {
    while (i > 0 && Input_[i - 1].Macro)
      --i;
    TokenLine = Input_[i].InvLine;
    TokenColumn = Input_[i].InvCol;
    return;
  }
  TokenLine = Input_[i].Line;
  TokenColumn = Input_[i].Col;
}

void TSYM_Compiler::Error(const std::string &text) const {
  ErrorAt(Pos(), text);
}

void TSYM_Compiler::ErrorAt(TPos at, const std::string &text) const {
  char head[96];
  std::snprintf(head, sizeof head, "** ERROR near line %d, Column %d: ", at.Line, at.Column);
  std::string msg(head);
  msg.append(text);
  ESyntaxMemoParserError e(msg, at.Line, at.Column);
  e.Source = FileSource()->Name;
  throw e;
}

int TSYM_Compiler::Peek(size_t ahead) const {
  const TSource &s = Input_.back();
  const size_t p = s.Pos + ahead;
  return p < s.Text.size() ? static_cast<unsigned char>(s.Text[p]) : -1;
}

void TSYM_Compiler::Step() {
  TSource &s = Top();
  if (s.Pos >= s.Text.size())
    return;
  const unsigned char c = static_cast<unsigned char>(s.Text[s.Pos++]);
  // CR, LF and CR LF each end one line.
  if (c == 13 || (c == 10 && (s.Pos < 2 || s.Text[s.Pos - 2] != 13))) {
    ++s.Line;
    s.Col = 1;
  } else if (c != 10)
    ++s.Col;
}

void TSYM_Compiler::PushSource(TSource s) {
  if (Input_.size() >= static_cast<size_t>(kMaxIncludeDepth + kMaxMacroDepth))
    Error(Format1(SchemeMessage(4121), s.Name));
  Input_.push_back(std::move(s));
}

// Blanks, comments, and the ends of pushed sources.
void TSYM_Compiler::SkipBlanksAndComments() {
  for (;;) {
    const int c = Peek();
    if (c < 0) {
      if (Input_.size() == 1)
        return;
      Input_.pop_back();
      continue;
    }
    if (c == ' ' || c == '\t' || c == 0xA0 || c == 13 || c == 10) {
      Step();
      continue;
    }
    if (c == '/' && Peek(1) == '*') {
      MarkToken();
      Step();
      Step();
      for (;;) {
        const int d = Peek();
        if (d < 0)
          Error(4116);
        if (d == '*' && Peek(1) == '/') {
          Step();
          Step();
          break;
        }
        Step();
      }
      continue;
    }
    if (c == '/' && Peek(1) == '/') {
      while (Peek() >= 0 && Peek() != 13 && Peek() != 10)
        Step();
      continue;
    }
    return;
  }
}

std::string TSYM_Compiler::DirectiveName() {
  std::string name;
  for (size_t i = 1; IsIdentChar(Peek(i)); ++i)
    name += static_cast<char>(Peek(i));
  return name;
}

std::string TSYM_Compiler::RestOfLine() {
  std::string s;
  while (Peek() >= 0 && Peek() != 13 && Peek() != 10) {
    s += static_cast<char>(Peek());
    Step();
  }
  while (!s.empty() &&
         (s.back() == ' ' || s.back() == '\t' || static_cast<unsigned char>(s.back()) == 0xA0))
    s.pop_back();
  return s;
}

void TSYM_Compiler::Directive(const std::string &name) {
  Mode_ |= 1;
  for (size_t i = 0; i <= name.size(); ++i)
    Step(); // '#' and the name
  auto skipSpaces = [&] {
    while (Peek() == ' ' || Peek() == '\t' || Peek() == 0xA0)
      Step();
  };
  auto readName = [&] {
    std::string n;
    skipSpaces();
    while (IsIdentChar(Peek())) {
      n += static_cast<char>(Peek());
      Step();
    }
    return n;
  };
  const bool skipping = Skipping();
  if (name == "define") {
    const std::string n = readName();
    if (n.empty() || !IsIdentStart(static_cast<unsigned char>(n[0]))) {
      if (!skipping)
        Error(4136);
      RestOfLine();
    } else {
      skipSpaces();
      std::string text = RestOfLine();
      if (!skipping) {
        const std::string *old = Macros_.Find(n);
        auto lower = [](std::string v) {
          std::transform(v.begin(), v.end(), v.begin(), [](char ch) {
            return static_cast<char>(LowerAscii(static_cast<unsigned char>(ch)));
          });
          return v;
        };
        if (!old || lower(*old) != lower(text))
          Macros_.Set(n, std::move(text));
      }
    }
  } else if (name == "ifdef" || name == "ifndef") {
    const std::string n = readName();
    if (n.empty() && !skipping)
      Error(4134);
    RestOfLine();
    const bool defined = Macros_.Find(n) != nullptr;
    const bool take = name == "ifdef" ? defined : !defined;
    Conds_.push_back({skipping || !take, skipping});
  } else if (name == "else") {
    RestOfLine();
    if (Conds_.empty() || Conds_.back().SeenElse)
      Error(4103);
    TCond &c = Conds_.back();
    c.SeenElse = true;
    c.Skipping = c.ParentSkipping || !c.Skipping;
  } else if (name == "endif") {
    RestOfLine();
    if (Conds_.empty())
      Error(4103);
    Conds_.pop_back();
  } else if (name == "include") {
    skipSpaces();
    const int open = Peek();
    if (skipping) {
      RestOfLine();
    } else {
      if (open != '"' && open != '<')
        Error(4135);
      const char close = open == '"' ? '"' : '>';
      Step();
      std::string file;
      while (Peek() >= 0 && Peek() != close && Peek() != 13 && Peek() != 10) {
        file += static_cast<char>(Peek());
        Step();
      }
      if (Peek() != close)
        Error(Format1(SchemeMessage(4123), std::string(1, close)));
      Step();
      RestOfLine();
      int depth = 0;
      for (const TSource &s : Input_)
        depth += !s.Macro;
      auto cannot = [&](const std::string &why) {
        std::string msg = SchemeMessage(4124);
        std::string out;
        std::string closing = "\"";
        closing.append(why);
        const std::string parts[3] = {"\"", file, closing};
        int k = 0;
        for (size_t i = 0; i < msg.size(); ++i) {
          if (msg[i] == '%' && i + 1 < msg.size() && msg[i + 1] == 's' && k < 3) {
            out += parts[k++];
            ++i;
          } else
            out += msg[i];
        }
        Error(out);
      };
      if (depth > kMaxIncludeDepth)
        cannot(" (nested too deeply)");
      const std::string path = (file.size() && file[0] == '/') ? file : Folder_ + "/" + file;
      // Only regular files: a FIFO or device would block or never end.
      std::error_code ec;
      if (!std::filesystem::is_regular_file(path, ec))
        cannot("");
      std::ifstream in(path, std::ios::binary);
      if (!in)
        cannot("");
      in.seekg(0, std::ios::end);
      const std::streamoff size = in.tellg();
      in.seekg(0);
      if (size < 0 || Included_ + size > kMaxIncludedBytes)
        cannot(size < 0 ? "" : " (too large)");
      Included_ += size;
      TSource s;
      s.Name = "-file-: " + file;
      s.Text.resize(static_cast<size_t>(size));
      in.read(s.Text.data(), size);
      if (!in && size > 0)
        cannot("");
      Mode_ &= ~1u;
      PushSource(std::move(s));
      return;
    }
  }
  Mode_ &= ~1u;
}

int TSYM_Compiler::MatchKeyword() {
  int best = -1;
  size_t bestLen = 0;
  const int first = LowerAscii(Peek());
  for (const TKeywordDef &k : kKeywords) {
    if (LowerAscii(static_cast<unsigned char>(k.Word[0])) != first)
      continue;
    const size_t n = std::char_traits<char>::length(k.Word);
    if (n <= bestLen)
      continue;
    size_t i = 0;
    while (i < n && LowerAscii(Peek(i)) == LowerAscii(static_cast<unsigned char>(k.Word[i])))
      ++i;
    if (i < n)
      continue;
    // A word keyword must end where the identifier ends.
    if (IsIdentChar(static_cast<unsigned char>(k.Word[n - 1])) && IsIdentChar(Peek(n)))
      continue;
    best = k.Code;
    bestLen = n;
  }
  if (best >= 0)
    for (size_t i = 0; i < bestLen; ++i)
      Step();
  return best;
}

void TSYM_Compiler::ReadString() {
  Step(); // opening quote
  LastString.clear();
  for (;;) {
    const int c = Peek();
    if (c < 0)
      Error(4116);
    Step();
    if (c == '\'')
      return;
    if (c != '\\') {
      LastString += static_cast<char>(c);
      continue;
    }
    const int e = Peek();
    if (e < 0)
      Error(4116);
    if (e == 13 || e == 10) {
      // Continuation: drop the line break, the next line's leading blanks
      // and one backslash that starts it.
      Step();
      if (e == 13 && Peek() == 10)
        Step();
      while (Peek() == ' ' || Peek() == '\t' || Peek() == 0xA0)
        Step();
      if (Peek() == '\\')
        Step();
      continue;
    }
    if (e >= '0' && e <= '7') {
      int v = 0;
      for (int k = 0; k < 3 && Peek() >= '0' && Peek() <= '7'; ++k) {
        v = v * 8 + (Peek() - '0');
        Step();
      }
      if (v > 255)
        Error(4107);
      LastString += static_cast<char>(v);
      continue;
    }
    Step();
    switch (e) {
    case 'b':
      LastString += '\b';
      break;
    case 'e':
      LastString += '\x1b';
      break;
    case 'n':
      LastString += '\r';
      break; // 13
    case 'r':
      LastString += '\n';
      break; // 10
    case 's':
      LastString += ' ';
      break;
    case 't':
      LastString += '\t';
      break;
    case 'x': {
      int v = 0, k = 0;
      auto hex = [](int h) {
        return (h >= '0' && h <= '9')   ? h - '0'
               : (h >= 'a' && h <= 'f') ? h - 'a' + 10
               : (h >= 'A' && h <= 'F') ? h - 'A' + 10
                                        : -1;
      };
      while (k < 2 && Peek() >= 0 && hex(Peek()) >= 0) {
        v = v * 16 + hex(Peek());
        Step();
        ++k;
      }
      if (k == 0)
        LastString += 'x';
      else
        LastString += static_cast<char>(v);
      break;
    }
    default:
      LastString += static_cast<char>(e);
      break;
    }
  }
}

void TSYM_Compiler::ReadNumber() {
  uint64_t v = 0;
  bool big = false;
  while (Peek() >= '0' && Peek() <= '9') {
    v = v * 10 + static_cast<uint64_t>(Peek() - '0');
    if (v > 0xFFFFFFFFull) {
      big = true;
      v = 0xFFFFFFFFull;
    }
    Step();
  }
  if (big && !Skipping())
    Error(4111);
  LastNumber = static_cast<int64_t>(v);
}

int TSYM_Compiler::NextToken() {
  for (;;) {
    SkipBlanksAndComments();
    MarkToken();
    const int c = Peek();
    if (c < 0) {
      Token = tkEOF;
      return Token;
    }
    if (c == '#') {
      const std::string name = DirectiveName();
      if (name == "define" || name == "ifdef" || name == "ifndef" || name == "else" ||
          name == "endif" || name == "include") {
        Directive(name);
        continue;
      }
    }
    int tok = MatchKeyword();
    if (tok < 0) {
      if (IsIdentStart(c)) {
        std::string id;
        while (IsIdentChar(Peek())) {
          id += static_cast<char>(Peek());
          Step();
        }
        if (Skipping())
          continue;
        if (const std::string *text = Macros_.Find(id)) {
          for (const TSource &s : Input_)
            if (s.Macro && s.Name == id)
              Error(Format1(SchemeMessage(4121), id));
          Expanded_ += static_cast<int64_t>(text->size()) + 1;
          if (Expanded_ > kMaxExpandedBytes || ++Expansions_ > kMaxExpansions)
            Error(Format1(SchemeMessage(4121), id));
          TSource s;
          s.Name = id;
          s.Text = *text;
          s.Macro = true;
          s.InvLine = TokenLine;
          s.InvCol = TokenColumn;
          PushSource(std::move(s));
          continue;
        }
        LastIdentifier = id;
        std::string msg(SchemeMessage(4126));
        msg.append(" ").append(SchemeMessage(4125)).append(" \"").append(id).append("\"");
        Error(msg);
      } else if (c == '\'') {
        ReadString();
        tok = tkString;
      } else if (c >= '0' && c <= '9') {
        ReadNumber();
        tok = tkNumber;
      } else {
        Step();
        if (Skipping())
          continue;
        LastBadChar = static_cast<unsigned char>(c);
        char buf[80];
        std::snprintf(buf, sizeof buf, SchemeMessage(4127), c);
        Error(buf);
      }
    }
    if (Skipping())
      continue;
    Token = tok;
    return Token;
  }
}
