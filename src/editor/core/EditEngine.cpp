// Editing engine, part 1: caret and selection movement, the key-down dispatch,
// the command executor, numbered bookmarks and scrolling.
#include "CustomSyntaxMemo.h"

#include <algorithm>

namespace {
constexpr int kMaxVirtualColumn = 2047;
} // namespace

// ---------------------------------------------------------------------------
// Line helpers

int64_t TCustomSyntaxMemo::LastLine() {
  return LineFromPos(TextLength());
}

int64_t TCustomSyntaxMemo::LineEndPos(int64_t line) {
  return LineStart(line) + LineLength(line);
}

bool TCustomSyntaxMemo::AtLineEnd(int64_t pos) {
  return pos >= TextLength() || CharAt(pos) == kCR;
}

// ---------------------------------------------------------------------------
// Caret

void TCustomSyntaxMemo::SetInsertMode(bool value) {
  if (insertMode_ == value)
    return;
  insertMode_ = value;
  View()->Repaint();
}

bool TCustomSyntaxMemo::CaretIsVirtual() {
  return vcColumn_ >= 0 && vcPos_ == Caret() && (OptionsMask() & smoCaretAfterEOL) &&
         AtLineEnd(Caret()) && vcColumn_ > PosToColumn(Caret());
}

int TCustomSyntaxMemo::CaretColumn() {
  return CaretIsVirtual() ? vcColumn_ : PosToColumn(Caret());
}

void TCustomSyntaxMemo::MoveCaret(int64_t pos, bool extend, bool keepColumn) {
  vcColumn_ = -1;
  if (!keepColumn)
    rcColumn_ = -1;
  pos = std::clamp<int64_t>(pos, 0, TextLength());
  SetSelection(extend ? Anchor() : pos, pos);
}

void TCustomSyntaxMemo::MoveToVirtual(int64_t linePos, int column, bool extend) {
  SetSelection(extend ? Anchor() : linePos, linePos);
  vcPos_ = Caret();
  vcColumn_ = std::min(column, kMaxVirtualColumn);
  View()->CaretMoved();
}

void TCustomSyntaxMemo::SetCaretAtColumn(int64_t line, int column, bool extend) {
  line = std::clamp<int64_t>(line, 0, LastLine());
  column = std::clamp(column, 0, kMaxVirtualColumn);
  const int64_t end = LineEndPos(line);
  if ((OptionsMask() & smoCaretAfterEOL) && column > PosToColumn(end) && AtLineEnd(end))
    MoveToVirtual(end, column, extend);
  else
    MoveCaret(ColumnToPos(line, column), extend);
}

void TCustomSyntaxMemo::MoveVertically(int64_t lines, bool extend) {
  const int col = (rcColumn_ >= 0 && rcPos_ == Caret()) ? rcColumn_ : CaretColumn();
  const int64_t line = LineFromPos(Caret());
  const int64_t target = std::clamp<int64_t>(line + lines, 0, LastLine());
  if (target == line) {
    if (!extend && SelAvail())
      MoveCaret(Caret(), false, true);
  } else {
    const int64_t end = LineEndPos(target);
    if ((OptionsMask() & smoCaretAfterEOL) && col > PosToColumn(end) && AtLineEnd(end))
      MoveToVirtual(end, col, extend);
    else
      MoveCaret(ColumnToPos(target, col), extend, true);
  }
  rcColumn_ = col;
  rcPos_ = Caret();
}

// ---------------------------------------------------------------------------
// Words

// A word starts where a word character follows a non-word character; a line
// break is a stop of its own.
bool TCustomSyntaxMemo::IsWordStart(int64_t p) {
  const char c = CharAt(p);
  return (CharStartsWord(c) || CharIsInWord(c)) && (p == 0 || !CharIsInWord(CharAt(p - 1)));
}

int64_t TCustomSyntaxMemo::WordRightOf(int64_t pos) {
  const int64_t len = TextLength();
  if (pos >= len)
    return len;
  if (CharAt(pos) == kCR)
    return pos + 1;
  int64_t p = pos + 1;
  while (p < len && !IsWordStart(p) && CharAt(p) != kCR)
    ++p;
  return p;
}

int64_t TCustomSyntaxMemo::WordLeftOf(int64_t pos) {
  if (pos <= 0)
    return 0;
  if (CharAt(pos - 1) == kCR)
    return pos - 1;
  int64_t p = pos - 1;
  while (p > 0 && !IsWordStart(p) && CharAt(p - 1) != kCR)
    --p;
  return p;
}

void TCustomSyntaxMemo::SelectWordAt(int64_t pos) {
  pos = std::clamp<int64_t>(pos, 0, TextLength());
  if (!CharIsInWord(CharAt(pos)) && pos > 0 && CharIsInWord(CharAt(pos - 1)))
    --pos;
  if (!CharIsInWord(CharAt(pos))) {
    MoveCaret(pos, false);
    return;
  }
  int64_t a = pos, b = pos;
  while (a > 0 && CharIsInWord(CharAt(a - 1)))
    --a;
  while (b < TextLength() && CharIsInWord(CharAt(b)))
    ++b;
  vcColumn_ = rcColumn_ = -1;
  SetSelection(a, b);
}

// ---------------------------------------------------------------------------
// Key-down dispatch

bool TCustomSyntaxMemo::KeyDown(uint16_t key) {
  if (OnKeyDown) {
    OnKeyDown(this, key);
    if (key == 0)
      return true;
  }
  const uint16_t vkey = key & 0xFF;
  // Modifier keys alone neither match nor abandon a pending sequence.
  if (vkey == vk::Shift || vkey == vk::Control || vkey == vk::Menu || vkey == 0)
    return false;
  // Every key is a change: the owner follows a mode toggled or a sequence
  // begun or ended even when the text and the caret stay.
  reasons_ |= crKeyPress;
  TKeyStore &keys = KeyMap().Keys();
  const uint16_t wasPending = pendingKey_;
  pendingKey_ = 0;
  if (TemplateHotKey != 0 && key == TemplateHotKey && !keys.Pending() && !CodeTemplates.empty()) {
    ExpandCodeTemplate();
    return true;
  }
  const bool extend = (key & scShift) != 0;
  if (vkey == vk::Back || (vkey >= vk::Prior && vkey <= vk::Down))
    key = static_cast<uint16_t>(key & ~scShift);
  int32_t code = -1;
  switch (keys.LookUp(key, code)) {
  case TKeyLookup::klPending:
    pendingKey_ = key;
    Change();
    return true;
  case TKeyLookup::klRecognised:
    if (OnCommandRecognised)
      OnCommandRecognised(this, code);
    ExecuteCommand(code, 0, extend);
    return true;
  case TKeyLookup::klNoMatch:
    // An abandoned sequence: the key is typed, and the owner hears of it
    // even when typing it changes nothing.
    if (wasPending)
      Change();
    break;
  }
  return false;
}

void TCustomSyntaxMemo::ResetPendingKey() {
  KeyMap().Keys().ResetLookUp();
  if (!pendingKey_)
    return;
  pendingKey_ = 0;
  reasons_ |= crKeyPress;
  Change();
}

// ---------------------------------------------------------------------------
// Commands

void TCustomSyntaxMemo::DeleteRange(int64_t start, int64_t end) {
  if (end <= start)
    return;
  SetSelection(start, end, false);
  ReplaceSel(std::string());
}

void TCustomSyntaxMemo::ExecuteCommand(int32_t code, int count, bool extend) {
  const int times = std::max(1, count);
  const bool ro = ReadOnly();
  auto editGroup = [&](auto &&edit) {
    if (ro)
      return;
    BeginGroup(ugCommand);
    try {
      edit();
    } catch (...) {
      EndGroup(ugCommand);
      throw;
    }
    EndGroup(ugCommand);
  };

  switch (code) {
  case ecLeft:
    for (int i = 0; i < times; ++i) {
      if (CaretIsVirtual()) {
        const int col = vcColumn_ - 1;
        if (col > PosToColumn(Caret()))
          MoveToVirtual(Caret(), col, extend);
        else
          MoveCaret(Caret(), extend);
      } else {
        MoveCaret(Caret() - 1, extend);
      }
    }
    break;
  case ecRight:
    for (int i = 0; i < times; ++i) {
      if (CaretIsVirtual()) {
        MoveToVirtual(Caret(), vcColumn_ + 1, extend);
      } else if ((OptionsMask() & smoCaretAfterEOL) && AtLineEnd(Caret())) {
        const int col = PosToColumn(Caret());
        if (col < kMaxVirtualColumn)
          MoveToVirtual(Caret(), col + 1, extend);
      } else {
        MoveCaret(Caret() + 1, extend);
      }
    }
    break;
  case ecLineStart:
    MoveCaret(LineStart(LineFromPos(Caret())), extend);
    break;
  case ecLineEnd:
    MoveCaret(LineEndPos(LineFromPos(Caret())), extend);
    break;
  case ecUp:
    MoveVertically(-times, extend);
    break;
  case ecDown:
    MoveVertically(times, extend);
    break;
  case ecPageUp:
  case ecPageDown: {
    const int64_t page = std::max(1, View()->VisibleRows());
    const int64_t delta = (code == ecPageUp ? -page : page) * times;
    // The last page ends with the last line rather than scrolling it to the top.
    SetTopLine(
        std::clamp<int64_t>(TopLine() + delta, 0, std::max<int64_t>(0, LastLine() - page + 1)));
    MoveVertically(delta, extend);
    break;
  }
  case ecWordLeft:
    for (int i = 0; i < times; ++i)
      MoveCaret(WordLeftOf(Caret()), extend);
    break;
  case ecWordRight:
    for (int i = 0; i < times; ++i)
      MoveCaret(WordRightOf(Caret()), extend);
    break;
  case ecDocStart:
    MoveCaret(0, extend);
    break;
  case ecDocEnd:
    MoveCaret(TextLength(), extend);
    break;
  case ecCut:
    CutToClipboard();
    break;
  case ecCopy:
    CopyToClipboard();
    break;
  case ecPaste:
    PasteFromClipboard();
    break;
  case ecDeleteChar:
    editGroup([&] {
      for (int i = 0; i < times; ++i) {
        if (SelAvail()) {
          ReplaceSel(std::string());
        } else if (CaretIsVirtual()) {
          if (Caret() >= TextLength())
            break;
          FillVirtualSpace();
          DeleteRange(Caret(), Caret() + 1);
        } else if (Caret() < TextLength()) {
          DeleteRange(Caret(), Caret() + 1);
        }
      }
    });
    break;
  case ecBackspace:
    if (CaretIsVirtual()) {
      ExecuteCommand(ecLeft, count, false);
      break;
    }
    editGroup([&] {
      for (int i = 0; i < times; ++i) {
        if (SelAvail())
          ReplaceSel(std::string());
        else if (Caret() > 0)
          DeleteRange(Caret() - 1, Caret());
      }
    });
    break;
  case ecIndent:
    if (!ro)
      Perform(SM_INDENT, 0, 0);
    rcColumn_ = -1;
    break;
  case ecUnindent:
    if (!ro)
      Perform(SM_UNINDENT, 0, 0);
    rcColumn_ = -1;
    break;
  case ecToggleInsert:
    SetInsertMode(!insertMode_);
    break;
  case ecDeleteLine:
    if (SelAvail())
      break;
    editGroup([&] {
      // The whole line the user sees as one, all its wrapped rows.
      const int64_t start = LogicalLineStart(Caret());
      const int64_t next = NextLogicalLineStart(start);
      DeleteRange(start, next < 0 ? TextLength() : next);
      vcColumn_ = -1;
    });
    break;
  case ecUndo:
    if (!ro)
      Undo();
    break;
  case ecRedo:
    if (!ro)
      Redo();
    break;
  case ecDeleteWordBack:
    editGroup([&] {
      if (SelAvail()) {
        ReplaceSel(std::string());
        return;
      }
      if (CaretIsVirtual()) {
        MoveCaret(Caret(), false);
        return;
      }
      for (int i = 0; i < times; ++i)
        DeleteRange(WordLeftOf(Caret()), Caret());
    });
    break;
  case ecDeleteWordForward:
    editGroup([&] {
      if (SelAvail()) {
        ReplaceSel(std::string());
        return;
      }
      if (CaretIsVirtual()) {
        if (Caret() >= TextLength())
          return;
        FillVirtualSpace();
      }
      for (int i = 0; i < times; ++i)
        DeleteRange(Caret(), WordRightOf(Caret()));
    });
    break;
  case ecPrintSelection:
    if (OnPrintSelection)
      OnPrintSelection(this);
    break;
  case ecScrollUp:
  case ecScrollDown: {
    const int64_t delta = code == ecScrollUp ? -1 : 1;
    const int64_t top = std::clamp<int64_t>(TopLine() + delta, 0, LastLine());
    if (top == TopLine())
      break;
    SetTopLine(top);
    const int64_t line = LineFromPos(Caret());
    const int64_t rows = std::max(1, View()->VisibleRows());
    if (line < top || line >= top + rows)
      MoveVertically(delta, extend);
    break;
  }
  default:
    if (code >= ecSetBookmark0 && code <= ecSetBookmark0 + 9)
      SetBookmark(code - ecSetBookmark0);
    else if (code >= ecGotoBookmark0 && code <= ecGotoBookmark0 + 9)
      GotoBookmark(code - ecGotoBookmark0);
    else
      return; // unknown codes (-1 from a handler) do nothing
    break;
  }
  if (code != ecScrollUp && code != ecScrollDown)
    ScrollCaret();
  Change();
}

// ---------------------------------------------------------------------------
// Numbered bookmarks

namespace {
// First row of the logical line a node belongs to.
TLineNode *LogicalLineHead(TLineNode *n, int64_t &line) {
  while (n && (n->Marks & nmContinued) && n->Prev) {
    n = n->Prev;
    --line;
  }
  return n;
}
} // namespace

void TCustomSyntaxMemo::SetBookmark(int n, int64_t line, int column) {
  if (n < 0 || n > 9)
    throw ESyntaxMemo("Bookmark index range error");
  const bool wrapped = (OptionsMask() & smoWordWrap) != 0;
  if (line == -1)
    line = LineFromPos(Caret());
  else
    line = std::max<int64_t>(line, 1) - 1;
  // Columns count from the start of the line the user sees: with word wrap,
  // from its first row, where the bookmark goes.
  const int64_t rowStart = LineStart(line);
  const int64_t lineStart = wrapped ? LogicalLineStart(rowStart) : rowStart;
  if (column == -1)
    column = static_cast<int>(std::min<int64_t>(Caret() - lineStart, 0xFFFE)) + 1;
  else if (column >= 1)
    column = static_cast<int>(std::min<int64_t>(column + (rowStart - lineStart), 0xFFFF));
  column = std::max(column, 1);
  TTextStore &s = *Store();
  TLineNode *target = s.LocateLine(line).Node;
  if (!target)
    return;
  int64_t dummy = line;
  if (wrapped)
    target = LogicalLineHead(target, dummy);
  const uint16_t bit = static_cast<uint16_t>(1u << n);
  for (TLineNode *x = s.First(); x; x = x->Next)
    if (x->Marks & bit) {
      x->Marks = static_cast<uint16_t>(x->Marks & ~bit);
      s.BookmarkColumns[n] = 0;
      if (x == target) { // setting it again on its line removes it
        if (OnBookmarkClear)
          OnBookmarkClear(this, n);
        View()->Repaint();
        return;
      }
      break;
    }
  for (int other = 0; other < 10; ++other)
    if (other != n && (target->Marks & (1u << other))) {
      s.BookmarkColumns[other] = 0;
      if (OnBookmarkClear)
        OnBookmarkClear(this, other);
    }
  target->Marks = static_cast<uint16_t>((target->Marks & ~nmBookmarkMask) | bit);
  target->Flags |= nfRepaint;
  s.BookmarkColumns[n] = static_cast<uint16_t>(std::min(column, 0xFFFF));
  if (OnBookmarkSet)
    OnBookmarkSet(this, n);
  View()->Repaint();
}

bool TCustomSyntaxMemo::GetBookmark(int n, int64_t &line, int &column) {
  line = -1;
  column = 0;
  if (n < 0 || n > 9)
    throw ESyntaxMemo("Bookmark index range error");
  int64_t i = 0;
  for (TLineNode *x = Store()->First(); x; x = x->Next, ++i)
    if (x->Marks & (1u << n)) {
      line = i;
      column = std::max<int>(Store()->BookmarkColumns[n], 1);
      return true;
    }
  return false;
}

void TCustomSyntaxMemo::GotoBookmark(int n) {
  int64_t line = 0;
  int column = 0;
  if (!GetBookmark(n, line, column))
    return;
  // The column counts along the whole line, its wrapped rows included.
  const int64_t start = LineStart(line);
  const int64_t next = NextLogicalLineStart(start);
  const int64_t end = next < 0 ? TextLength() : next - 1; // before the line's CR
  const int64_t offset = std::min<int64_t>(column - 1, std::max<int64_t>(end - start, 0));
  MoveCaret(start + offset, false);
  SetTopLine(std::max<int64_t>(0, line - View()->VisibleRows() / 2));
  Change();
}

// ---------------------------------------------------------------------------
// Scrolling

void TCustomSyntaxMemo::LineScroll(int columns, int64_t lines) {
  if (lines)
    SetTopLine(std::clamp<int64_t>(TopLine() + lines, 0, LastLine()));
  if (columns)
    SetLeftColumn(std::clamp(LeftColumn() + columns, 0, kMaxVirtualColumn));
}

void TCustomSyntaxMemo::ScrollCaret() {
  const int64_t line = LineFromPos(Caret());
  const int64_t rows = std::max(1, View()->VisibleRows());
  if (line < TopLine())
    SetTopLine(line);
  else if (line >= TopLine() + rows)
    SetTopLine(line - rows + 1);
  if (OptionsMask() & smoWordWrap)
    return;
  const int col = CaretColumn();
  const int cols = std::max(1, View()->VisibleColumns());
  if (col < LeftColumn())
    SetLeftColumn(col);
  else if (col >= LeftColumn() + cols)
    SetLeftColumn(col - cols + 1);
}
