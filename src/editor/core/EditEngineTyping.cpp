// Editing engine, part 2: typed characters with overwrite and auto-indent, TAB
// and blank fill, block indent and un-indent, code templates and auto-replace.
#include "CustomSyntaxMemo.h"

#include <algorithm>
#include <cctype>

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// Opens an undo group for the life of the object; closes it also on an exception.
class TGroupGuard {
public:
  TGroupGuard(TCustomSyntaxMemo &m, int kind) : m_(m), kind_(kind) { m_.BeginGroup(kind_); }
  ~TGroupGuard() { m_.EndGroup(kind_); }
  TGroupGuard(const TGroupGuard &) = delete;
  TGroupGuard &operator=(const TGroupGuard &) = delete;

private:
  TCustomSyntaxMemo &m_;
  int kind_;
};

// Turns redraw off for a block of edits and back on (with one repaint) after it.
class TRedrawOff {
public:
  explicit TRedrawOff(TCustomSyntaxMemo &m) : m_(m), was_(m.Redraw()) {
    if (was_)
      m_.SetRedraw(false);
  }
  ~TRedrawOff() {
    if (was_)
      m_.SetRedraw(true);
  }
  TRedrawOff(const TRedrawOff &) = delete;
  TRedrawOff &operator=(const TRedrawOff &) = delete;

private:
  TCustomSyntaxMemo &m_;
  bool was_;
};

} // namespace

// ---------------------------------------------------------------------------
// Fill rules

std::string TCustomSyntaxMemo::BlankFill(int from, int to) {
  std::string fill;
  if (to <= from)
    return fill;
  int col = from;
  if ((OptionsMask() & smoUseTAB) && (OptionsMask() & smoSmartFill)) {
    for (int next = Tabs().NextStop(col); next <= to && next > col; next = Tabs().NextStop(col)) {
      fill += '\t';
      col = next;
    }
  }
  fill.append(static_cast<size_t>(to - col), ' ');
  return fill;
}

int TCustomSyntaxMemo::TabTarget(int64_t line, int column) {
  if ((OptionsMask() & smoTabToColumn) && line > 0) {
    // (The empty line after a final break has the last node above it.)
    TLineNode *n = Store()->LocateLine(std::min(line, LineCount()) - 1).Node;
    // The nearest earlier line that reaches past the column.
    while (n && OffsetToColumn(n, n->TextLength(), Tabs()) <= column)
      n = n->Prev;
    if (n) {
      const char *t = n->Text();
      const int len = n->TextLength();
      int off = ColumnToOffset(n, column, Tabs());
      while (off < len && !IsBlank(t[off]))
        ++off;
      while (off < len && IsBlank(t[off]))
        ++off;
      if (off < len)
        return OffsetToColumn(n, off, Tabs());
    }
  }
  return Tabs().NextStop(column);
}

int TCustomSyntaxMemo::AutoIndentColumn(int64_t line, int caretColumn) {
  auto firstText = [&](TLineNode *n) {
    const char *t = n->Text();
    const int len = n->TextLength();
    for (int i = 0; i < len; ++i)
      if (!IsBlank(t[i]))
        return OffsetToColumn(n, i, Tabs());
    return -1;
  };
  TLineNode *n = nullptr;
  if (line < LineCount()) {
    n = Store()->LocateLine(line).Node;
    if (n) {
      const int col = firstText(n);
      if (col >= 0)
        return std::min(col, caretColumn);
      n = n->Prev;
    }
  } else {
    n = Store()->Last();
  }
  for (; n; n = n->Prev) {
    const int col = firstText(n);
    if (col >= 0)
      return col;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Typing

void TCustomSyntaxMemo::FillVirtualSpace() {
  if (!CaretIsVirtual())
    return;
  const int target = vcColumn_;
  const std::string fill = BlankFill(PosToColumn(Caret()), target);
  vcColumn_ = -1;
  SetSelection(Caret(), Caret(), false);
  ReplaceSel(fill);
}

void TCustomSyntaxMemo::TypeText(const std::string &text) {
  ReplaceSel(text);
}

void TCustomSyntaxMemo::TypeChar(char c) {
  if (ReadOnly())
    return;
  const bool enter = c == kCR;
  if (!SelAvail() && CaretIsVirtual()) {
    if (enter)
      MoveCaret(Caret(), false);
    else
      FillVirtualSpace();
  }
  vcColumn_ = -1;
  rcColumn_ = -1;
  if (!insertMode_ && !SelAvail() && !enter && Caret() < TextLength() && CharAt(Caret()) != kCR)
    SetSelection(Caret(), Caret() + 1, false);
  const int64_t line = LineFromPos(SelStart());
  const int caretColumn = PosToColumn(SelStart());
  // Measured before the break splits the line.
  const int indent =
      enter && (OptionsMask() & smoAutoIndent) ? AutoIndentColumn(line, caretColumn) : 0;
  TypeText(std::string(1, c));
  if (indent > 0)
    TypeText(BlankFill(0, indent));
}

void TCustomSyntaxMemo::KeyPress(char c) {
  const unsigned char uc = static_cast<unsigned char>(c);
  if (c == '\t') {
    if (!WantTab)
      return;
  } else if (c == '\r') {
    if (!WantReturns)
      return;
  } else if (c == '\n') {
    if (WantReturns)
      return; // Ctrl+Enter types a break only where Enter itself does not
    c = '\r';
  } else if (uc < 32 || uc == 127) {
    return;
  }
  if (ReadOnly())
    return;
  {
    TGroupGuard group(*this, ugTyping);
    if (!CharIsInWord(c) && !AutoReplaceList.empty())
      TryAutoReplace();
    const uint32_t o = OptionsMask();
    if (c == '\t' && (((o & smoTabToColumn) && !(o & smoWordWrap)) || !(o & smoUseTAB))) {
      if (SelAvail())
        ReplaceSel(std::string());
      const int from = PosToColumn(Caret());
      const int at = CaretColumn();
      const int target = TabTarget(LineFromPos(Caret()), at);
      vcColumn_ = rcColumn_ = -1;
      TypeText(BlankFill(from, target));
    } else {
      TypeChar(c);
    }
  }
  ScrollCaret();
  Change();
}

// ---------------------------------------------------------------------------
// Block indent and un-indent

// Block commands work on logical lines: the rest of a line that is longer than
// a node, or wrapped, is never indented on its own.
int64_t TCustomSyntaxMemo::LogicalLineStart(int64_t pos) {
  return Store()->LogicalLineStart(pos);
}

int64_t TCustomSyntaxMemo::NextLogicalLineStart(int64_t lineStart) {
  const TLinePos p = Store()->Locate(lineStart);
  TLineNode *n = p.Node;
  int64_t start = p.Start;
  while (n && !n->EndsWithCR()) {
    start += n->Length;
    n = n->Next;
  }
  if (!n)
    return -1;
  start += n->Length;
  return start < TextLength() ? start : -1; // the empty line after a final break is left alone
}

void TCustomSyntaxMemo::IndentBlock(int count, bool allowTab) {
  if (ReadOnly() || !SelAvail())
    return;
  if (count <= 0)
    count = indentStep_;
  count = std::min(count, 255);
  const std::string fill(static_cast<size_t>(count),
                         allowTab && (OptionsMask() & smoUseTAB) ? '\t' : ' ');
  int64_t a = Anchor(), c = Caret(), end = SelEnd();
  {
    TRedrawOff redraw(*this);
    TGroupGuard group(*this, ugIndent);
    // Every line from the selection's start up to the one its end is in; a line
    // the selection only touches at its start is left out.
    bool first = true;
    for (int64_t pos = LogicalLineStart(SelStart()); pos >= 0 && (first || pos < end);
         pos = NextLogicalLineStart(pos), first = false) {
      TLogPosText d{pos, fill.data(), fill.size()};
      LogTransaction(ltInsertAt, 0, &d);
      RawInsert(pos, fill.data(), fill.size());
      MarkChangedLine(LineFromPos(pos));
      for (int64_t *x : {&a, &c, &end})
        if (*x > pos)
          *x += count;
    }
    vcColumn_ = rcColumn_ = -1;
    SetSelection(a, c, false);
  }
  Change();
}

void TCustomSyntaxMemo::UnindentBlock(int count) {
  if (ReadOnly() || !SelAvail())
    return;
  if (count <= 0)
    count = indentStep_;
  int64_t a = Anchor(), c = Caret(), end = SelEnd();
  {
    TRedrawOff redraw(*this);
    TGroupGuard group(*this, ugUnindent);
    bool first = true;
    for (int64_t pos = LogicalLineStart(SelStart()); pos >= 0 && (first || pos < end);
         pos = NextLogicalLineStart(pos), first = false) {
      std::string removed;
      for (int64_t p = pos; static_cast<int>(removed.size()) < count && p < TextLength(); ++p) {
        const char ch = CharAt(p);
        if (ch != ' ' && ch != '\t' && static_cast<unsigned char>(ch) != 160)
          break;
        removed += ch;
      }
      if (removed.empty())
        continue;
      const auto k = static_cast<int64_t>(removed.size());
      TLogPosText d{pos, removed.data(), removed.size()};
      LogTransaction(ltRemoveBlanks, 0, &d);
      RawDelete(pos, k);
      MarkChangedLine(LineFromPos(pos));
      for (int64_t *x : {&a, &c, &end})
        if (*x > pos)
          *x -= std::min<int64_t>(k, *x - pos);
    }
    vcColumn_ = rcColumn_ = -1;
    SetSelection(a, c, false);
  }
  Change();
}

// ---------------------------------------------------------------------------
// Code templates and auto-replace

bool TCustomSyntaxMemo::TryAutoReplace() {
  if (SelAvail() || CaretIsVirtual())
    return false;
  const int64_t start = LineStart(LineFromPos(Caret()));
  const std::string before = GetTextRange(start, Caret());
  const int i = FindAutoReplaceBeforeCaret(AutoReplaceList, before,
                                           [this](char ch) { return CharIsInWord(ch); });
  if (i < 0)
    return false;
  const TSM_AutoReplace &r = AutoReplaceList[static_cast<size_t>(i)];
  SetSelection(Caret() - static_cast<int64_t>(r.Word.size()), Caret(), false);
  ReplaceSel(r.Replacement);
  return true;
}

void TCustomSyntaxMemo::ApplyTemplate(const TSM_CodeTemplate &t, int64_t replaceCount) {
  if (ReadOnly())
    return;
  vcColumn_ = rcColumn_ = -1;
  const int64_t caret = Caret();
  const int64_t lineStart = LineStart(LineFromPos(caret));
  const std::string before = GetTextRange(lineStart, caret);
  size_t indentLen = 0;
  while (indentLen < before.size() && IsBlank(before[indentLen]))
    ++indentLen;
  const TTemplateExpansion e = ExpandTemplateText(t.Text, before.substr(0, indentLen));
  const int64_t start = caret - std::clamp<int64_t>(replaceCount, 0, caret - lineStart);
  {
    TGroupGuard group(*this, ugTemplate);
    SetSelection(start, caret, false);
    ReplaceSel(e.Text);
    const int64_t at = start + static_cast<int64_t>(e.CaretOffset);
    SetSelection(at, at, false);
  }
  ScrollCaret();
  Change();
}

bool TCustomSyntaxMemo::ExpandCodeTemplate() {
  if (ReadOnly() || CodeTemplates.empty())
    return false;
  if (SelAvail() || CaretIsVirtual())
    MoveCaret(Caret(), false);
  const std::string before = GetTextRange(LineStart(LineFromPos(Caret())), Caret());
  const TCharTest inWord = [this](char ch) { return CharIsInWord(ch); };
  const int i = FindTemplateBeforeCaret(CodeTemplates, before, inWord);
  if (i >= 0) {
    const TSM_CodeTemplate &t = CodeTemplates[static_cast<size_t>(i)];
    ApplyTemplate(t, static_cast<int64_t>(t.Name.size()));
    return true;
  }
  const std::string word = WordBeforeCaret(before, inWord);
  if (OnTemplateList)
    OnTemplateList(this, TemplateCandidates(CodeTemplates, word), word);
  return false;
}

void TCustomSyntaxMemo::InsertCodeTemplate(int index) {
  if (index < 0 || static_cast<size_t>(index) >= CodeTemplates.size())
    return;
  const TSM_CodeTemplate &t = CodeTemplates[static_cast<size_t>(index)];
  const std::string before = GetTextRange(LineStart(LineFromPos(Caret())), Caret());
  const std::string word = WordBeforeCaret(before, [this](char ch) { return CharIsInWord(ch); });
  // Replace the partial word only when it is the start of the chosen name.
  bool prefix = !word.empty() && t.Name.size() >= word.size();
  for (size_t k = 0; prefix && k < word.size(); ++k)
    prefix = std::tolower(static_cast<unsigned char>(word[k])) ==
             std::tolower(static_cast<unsigned char>(t.Name[k]));
  ApplyTemplate(t, prefix ? static_cast<int64_t>(word.size()) : 0);
}
