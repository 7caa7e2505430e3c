// The fourteen built-in handler routines. Each consumes characters from the
// current position, adds them to the length and says whether it accepted.
// Quoted forms stop at the end of the line so that an unclosed quote colours
// one line, never the rest of the text.
#include "SyntaxMemoParser.h"

namespace {

inline bool IsDigit(unsigned c) {
  return c >= '0' && c <= '9';
}
inline bool IsAlpha(unsigned c) {
  return (c | 32) >= 'a' && (c | 32) <= 'z';
}
inline bool IsIdent(unsigned c) {
  return IsAlpha(c) || IsDigit(c) || c == '_';
}
inline bool IsHex(unsigned c) {
  return IsDigit(c) || ((c | 32) >= 'a' && (c | 32) <= 'f');
}
inline bool IsEol(unsigned c) {
  return c == 13 || c == 10;
}

struct Scan {
  TEdStream &s;
  int &len;
  bool More() const { return !s.AtEnd(); }
  unsigned Cur() const { return s.Current(); }
  void Take() {
    s.Advance();
    ++len;
  }
  bool TakeIf(bool (*pred)(unsigned)) {
    if (More() && pred(Cur())) {
      Take();
      return true;
    }
    return false;
  }
  int TakeWhile(bool (*pred)(unsigned)) {
    int n = 0;
    while (More() && pred(Cur())) {
      Take();
      ++n;
    }
    return n;
  }
};

// #13, #$0D
bool PascalChar(TSyntaxMemoParser &, TEdStream &s, int &len) {
  Scan sc{s, len};
  if (!sc.More() || sc.Cur() != '#')
    return false;
  sc.Take();
  if (sc.More() && sc.Cur() == '$') {
    sc.Take();
    return sc.TakeWhile(IsHex) > 0;
  }
  return sc.TakeWhile(IsDigit) > 0;
}

// &amp; &#169; &#xA9;
bool WebChar(TSyntaxMemoParser &, TEdStream &s, int &len) {
  Scan sc{s, len};
  if (!sc.More() || sc.Cur() != '&')
    return false;
  sc.Take();
  int n;
  if (sc.More() && sc.Cur() == '#') {
    sc.Take();
    if (sc.More() && (sc.Cur() | 32) == 'x') {
      sc.Take();
      n = sc.TakeWhile(IsHex);
    } else
      n = sc.TakeWhile(IsDigit);
  } else
    n = sc.TakeWhile(IsIdent);
  if (n == 0 || n > 32 || !sc.More() || sc.Cur() != ';')
    return false;
  sc.Take();
  return true;
}

// Any one character.
bool OriginalChar(TSyntaxMemoParser &, TEdStream &s, int &len) {
  Scan sc{s, len};
  if (!sc.More())
    return false;
  sc.Take();
  return true;
}

bool Identifier(TSyntaxMemoParser &, TEdStream &s, int &len) {
  Scan sc{s, len};
  if (!sc.More() || !(IsAlpha(sc.Cur()) || sc.Cur() == '_'))
    return false;
  sc.TakeWhile(IsIdent);
  return true;
}

// digits [. digits] [e [+-] digits]; the fraction and exponent are taken only
// when complete, so "1.x" is the number 1.
void Fraction(Scan &sc) {
  if (sc.More() && sc.Cur() == '.') {
    const int64_t at = sc.s.Position();
    const int keep = sc.len;
    sc.Take();
    if (sc.TakeWhile(IsDigit) == 0) {
      sc.s.SetPosition(at);
      sc.len = keep;
    }
  }
  if (sc.More() && (sc.Cur() | 32) == 'e') {
    const int64_t at = sc.s.Position();
    const int keep = sc.len;
    sc.Take();
    if (sc.More() && (sc.Cur() == '+' || sc.Cur() == '-'))
      sc.Take();
    if (sc.TakeWhile(IsDigit) == 0) {
      sc.s.SetPosition(at);
      sc.len = keep;
    }
  }
}

bool NumberOrFp(TSyntaxMemoParser &, TEdStream &s, int &len) {
  Scan sc{s, len};
  if (sc.TakeWhile(IsDigit) == 0)
    return false;
  Fraction(sc);
  return true;
}

// 'text' with '' for a quote.
bool PascalString(TSyntaxMemoParser &, TEdStream &s, int &len) {
  Scan sc{s, len};
  if (!sc.More() || sc.Cur() != '\'')
    return false;
  sc.Take();
  while (sc.More() && !IsEol(sc.Cur())) {
    const bool quote = sc.Cur() == '\'';
    sc.Take();
    if (quote) {
      if (sc.More() && sc.Cur() == '\'')
        sc.Take();
      else
        return true;
    }
  }
  return true;
}

bool QuotedWithEscapes(TEdStream &s, int &len, unsigned quote) {
  Scan sc{s, len};
  if (!sc.More() || sc.Cur() != quote)
    return false;
  sc.Take();
  while (sc.More() && !IsEol(sc.Cur())) {
    const unsigned c = sc.Cur();
    sc.Take();
    if (c == quote)
      return true;
    if (c == '\\' && sc.More()) {
      // A backslash before the line break continues the string.
      if (sc.Cur() == 13) {
        sc.Take();
        if (sc.More() && sc.Cur() == 10)
          sc.Take();
      } else
        sc.Take();
    }
  }
  return true;
}

bool CString(TSyntaxMemoParser &, TEdStream &s, int &len) {
  return QuotedWithEscapes(s, len, '"');
}
bool CStringSq(TSyntaxMemoParser &, TEdStream &s, int &len) {
  return QuotedWithEscapes(s, len, '\'');
}

// 'a' or '\n' or '\x41'; must be closed.
bool CChar(TSyntaxMemoParser &, TEdStream &s, int &len) {
  Scan sc{s, len};
  if (!sc.More() || sc.Cur() != '\'')
    return false;
  sc.Take();
  if (!sc.More() || IsEol(sc.Cur()) || sc.Cur() == '\'')
    return false;
  if (sc.Cur() == '\\') {
    sc.Take();
    if (!sc.More() || IsEol(sc.Cur()))
      return false;
    sc.Take();
    for (int i = 0; i < 8 && sc.More() && sc.Cur() != '\'' && !IsEol(sc.Cur()); ++i)
      sc.Take();
  } else
    sc.Take();
  if (!sc.More() || sc.Cur() != '\'')
    return false;
  sc.Take();
  return true;
}

// [+-] 0x1F | 017 | 1.5e3, with u/l/f suffixes.
bool CNumberSigned(TSyntaxMemoParser &, TEdStream &s, int &len) {
  Scan sc{s, len};
  if (sc.More() && (sc.Cur() == '+' || sc.Cur() == '-'))
    sc.Take();
  if (!sc.More() || !IsDigit(sc.Cur()))
    return false;
  if (sc.Cur() == '0') {
    sc.Take();
    if (sc.More() && (sc.Cur() | 32) == 'x') {
      sc.Take();
      if (sc.TakeWhile(IsHex) == 0)
        return false;
      sc.TakeWhile([](unsigned c) { return (c | 32) == 'u' || (c | 32) == 'l'; });
      return true;
    }
  }
  sc.TakeWhile(IsDigit);
  Fraction(sc);
  sc.TakeWhile([](unsigned c) { return (c | 32) == 'u' || (c | 32) == 'l' || (c | 32) == 'f'; });
  return true;
}

bool Number(TSyntaxMemoParser &, TEdStream &s, int &len) {
  Scan sc{s, len};
  return sc.TakeWhile(IsDigit) > 0;
}

// scheme://rest, www.host..., or name@host.domain
bool MailUrl(TSyntaxMemoParser &, TEdStream &s, int &len) {
  Scan sc{s, len};
  const int64_t start = s.Position();
  const int keep = len;
  auto fail = [&] {
    s.SetPosition(start);
    len = keep;
    return false;
  };
  auto urlChar = [](unsigned c) {
    return c > 32 && c < 127 && c != '"' && c != '\'' && c != '<' && c != '>';
  };
  auto mailChar = [](unsigned c) {
    return IsIdent(c) || c == '.' || c == '-' || c == '+' || c == '%';
  };
  if (!sc.More() || !(IsAlpha(sc.Cur()) || IsDigit(sc.Cur())))
    return false;
  int n = 0;
  while (sc.More() && mailChar(sc.Cur()) && n < 256) {
    sc.Take();
    ++n;
  }
  if (sc.More() && sc.Cur() == ':') {
    sc.Take();
    for (int k = 0; k < 2; ++k) {
      if (!sc.More() || sc.Cur() != '/')
        return fail();
      sc.Take();
    }
    while (sc.More() && urlChar(sc.Cur()))
      sc.Take();
    return true;
  }
  if (sc.More() && sc.Cur() == '@') {
    sc.Take();
    int dots = 0, host = 0;
    while (sc.More() && (IsIdent(sc.Cur()) || sc.Cur() == '.' || sc.Cur() == '-')) {
      dots += sc.Cur() == '.';
      ++host;
      sc.Take();
    }
    if (dots == 0 || host < 3)
      return fail();
    return true;
  }
  return fail();
}

// "text" or 'text' without escapes.
bool HtmlString(TSyntaxMemoParser &, TEdStream &s, int &len) {
  Scan sc{s, len};
  if (!sc.More() || (sc.Cur() != '"' && sc.Cur() != '\''))
    return false;
  const unsigned q = sc.Cur();
  sc.Take();
  while (sc.More() && !IsEol(sc.Cur())) {
    const unsigned c = sc.Cur();
    sc.Take();
    if (c == q)
      return true;
  }
  return true;
}

// // to the end of the line.
bool JsLineComment(TSyntaxMemoParser &, TEdStream &s, int &len) {
  Scan sc{s, len};
  const int64_t start = s.Position();
  if (!sc.More() || sc.Cur() != '/')
    return false;
  sc.Take();
  if (!sc.More() || sc.Cur() != '/') {
    s.SetPosition(start);
    --len;
    return false;
  }
  while (sc.More() && !IsEol(sc.Cur()))
    sc.Take();
  return true;
}

} // namespace

const std::array<TSyntaxMemoParser::THandlerProc, kBuiltinHandlerCount>
    TSyntaxMemoParser::BuiltinHandlers = {
        PascalChar, WebChar,       OriginalChar, Identifier, NumberOrFp, PascalString,  CString,
        CChar,      CNumberSigned, Number,       MailUrl,    HtmlString, JsLineComment, CStringSq};

TSM_CharGroup TSyntaxMemoParser::HandlerStartGroup(int number) {
  TSM_CharGroup g;
  auto letters = [&] {
    g.AddRange('a', 'z');
    g.AddRange('A', 'Z');
  };
  switch (number) {
  case hnStdIdentifier:
    letters();
    g.Add('_');
    break;
  case hnStdNumberOrFp:
  case hnStdNumber:
    g.AddRange('0', '9');
    break;
  case hnStdPascalString:
  case hnStdCChar:
  case hnStdCStringSq:
    g.Add('\'');
    break;
  case hnStdCString:
    g.Add('"');
    break;
  case hnStdCNumberOrFpSigned:
    g.AddRange('0', '9');
    g.Add('+');
    g.Add('-');
    break;
  case hnStdMailUrl:
    letters();
    g.AddRange('0', '9');
    break;
  case hnStdHtmlString:
    g.Add('"');
    g.Add('\'');
    break;
  case hnStdJsLineComment:
    g.Add('/');
    break;
  default:
    break;
  }
  return g;
}
