// The control core: selection, replace-selection, undo logging and replay,
// change notification and store attachment.
#include "CustomSyntaxMemo.h"

#include "RichExport.h"
#include "SafeSave.h"
#include "Streams.h"
#include "SyntaxMemoStrings.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <new>

namespace {

bool FileIsReadable(const std::string &name) {
  std::error_code ec;
  return !name.empty() && std::filesystem::is_regular_file(name, ec);
}

} // namespace

TCustomSyntaxMemo::TCustomSyntaxMemo()
    : ownStore_(std::make_unique<TTextStore>()),
      lines_(std::make_unique<TSyntaxMemoStrings>(this)) {
  store_ = ownStore_.get();
  store_->Controls.push_back(this);
  store_->OnBookmarkChange = [this] { Repaint(); };
  store_->Breakpoints.OnChange = [this] { Repaint(); };
  store_->CodeBreaks.OnChange = [this] { Repaint(); };
  LogTransaction(ltEnable, 0, nullptr);
  ClearUndo();
}

TCustomSyntaxMemo::~TCustomSyntaxMemo() {
  destroying_ = true;
  if (store_) {
    auto &c = store_->Controls;
    c.erase(std::remove(c.begin(), c.end(), this), c.end());
    store_->OnBookmarkChange = nullptr;
    store_->Breakpoints.OnChange = nullptr;
    store_->CodeBreaks.OnChange = nullptr;
  }
}

const char *TCustomSyntaxMemo::VersionText() {
  return "KORVEX SyntaxMemo 1.0";
}

void TCustomSyntaxMemo::AttachStore(TTextStore *store) {
  if (!store || store == store_)
    return;
  TTextStore *old = store_;
  auto &c = old->Controls;
  c.erase(std::remove(c.begin(), c.end(), this), c.end());
  old->OnBookmarkChange = nullptr;
  old->Breakpoints.OnChange = nullptr;
  old->CodeBreaks.OnChange = nullptr;
  // The first store passes to whoever read it before the swap.
  if (ownStore_.get() == old)
    (void)ownStore_.release();
  store_ = store;
  store_->Controls.push_back(this);
  store_->OnBookmarkChange = [this] { Repaint(); };
  store_->Breakpoints.OnChange = [this] { Repaint(); };
  store_->CodeBreaks.OnChange = [this] { Repaint(); };
  txOpen_ = false;
  groupPending_ = false;
  changedLine_ = -1;
  const int64_t len = TextLength();
  anchor_ = std::min(anchor_, len);
  caret_ = std::min(caret_, len);
  topLine_ = std::clamp<int64_t>(topLine_, 0, std::max<int64_t>(0, LineCount() - 1));
  store_->SetAnchorLine(topLine_);
  reasons_ |= crText | crSelection;
  Repaint();
}

// ---------------------------------------------------------------------------
// Selection.

void TCustomSyntaxMemo::SetStoreSelection(int64_t anchor, int64_t caret) {
  const int64_t len = TextLength();
  anchor = std::clamp<int64_t>(anchor, 0, len);
  caret = std::clamp<int64_t>(caret, 0, len);
  if (anchor != anchor_ || caret != caret_)
    reasons_ |= crSelection;
  anchor_ = anchor;
  caret_ = caret;
}

void TCustomSyntaxMemo::SetSelection(int64_t anchor, int64_t caret, bool notify) {
  SetStoreSelection(anchor, caret);
  if (notify) {
    view_->CaretMoved();
    Change();
  }
}

int64_t TCustomSyntaxMemo::SelLength() {
  const int64_t n = SelEnd() - SelStart();
  if (n == 0 || store_->LineStyle != lsCRLF)
    return n;
  int64_t breaks = 0;
  store_->ForEachChunk(SelStart(), SelEnd(),
                       [&](const char *p, size_t len) { breaks += std::count(p, p + len, kCR); });
  return n + breaks;
}

std::string TCustomSyntaxMemo::SelText() {
  return store_->GetText(SelStart(), SelEnd());
}

std::string TCustomSyntaxMemo::Text() {
  return store_->GetText(0, TextLength());
}

std::string TCustomSyntaxMemo::GetTextLS() {
  std::string out;
  out.reserve(static_cast<size_t>(TextLength()) + static_cast<size_t>(LineCount()));
  const bool crlf = store_->LineStyle == lsCRLF;
  for (TLineNode *n = store_->First(); n; n = n->Next) {
    out.append(n->Text(), n->Length);
    if (crlf && n->EndsWithCR())
      out += '\n';
  }
  return out;
}

int TCustomSyntaxMemo::LineLength(int64_t line) {
  if (line < 0 || line >= LineCount())
    return 0;
  return store_->LocateLine(line).Node->TextLength();
}

std::string TCustomSyntaxMemo::LineText(int64_t line) {
  if (line < 0 || line >= LineCount())
    return {};
  TLineNode *n = store_->LocateLine(line).Node;
  return std::string(n->Text(), static_cast<size_t>(n->TextLength()));
}

int TCustomSyntaxMemo::PosToColumn(int64_t pos) {
  TLinePos p = store_->Locate(pos);
  if (!p.Node)
    return 0;
  return OffsetToColumn(
      p.Node, static_cast<int>(std::clamp<int64_t>(pos, 0, TextLength()) - p.Start), tabs_);
}

int64_t TCustomSyntaxMemo::ColumnToPos(int64_t line, int column) {
  if (line < 0)
    line = 0;
  if (line >= LineCount())
    return TextLength();
  TLinePos p = store_->LocateLine(line);
  return p.Start + ColumnToOffset(p.Node, column, tabs_);
}

// ---------------------------------------------------------------------------
// Edits.

void TCustomSyntaxMemo::MarkChangedLine(int64_t line) {
  if (line < 0)
    return;
  if (changedLine_ < 0 || line < changedLine_)
    changedLine_ = line;
}

void TCustomSyntaxMemo::DoInsert(int64_t pos, const char *normalised, size_t len) {
  if (len == 0)
    return;
  const TEditSpan span = store_->InsertNormalised(pos, normalised, len);
  // The lines below an insertion may start in another scanner state.
  if (TLineNode *n = store_->LocateLine(span.LastLine).Node) {
    n = n->Next;
    for (int i = view_->VisibleRows() + 2; n && i > 0; --i, n = n->Next)
      n->Flags |= nfStale;
  }
  MarkChangedLine(span.FirstLine);
  reasons_ |= crText;
  if (OnTextChange)
    OnTextChange(this, pos, static_cast<int64_t>(len));
}

void TCustomSyntaxMemo::DoDelete(int64_t pos, int64_t count) {
  if (count <= 0)
    return;
  const TEditSpan span = store_->Delete(pos, count);
  MarkChangedLine(span.FirstLine);
  reasons_ |= crText;
  if (store_->CharCount() == 0) {
    anchor_ = caret_ = 0;
    topLine_ = 0;
    store_->SetAnchorLine(0);
    changedLine_ = 0;
    if (OnTextChange)
      OnTextChange(this, 0, 0);
    return;
  }
  if (OnTextChange)
    OnTextChange(this, pos, -count);
}

void TCustomSyntaxMemo::ReplaceSelRaw(const char *text, size_t len) {
  const int64_t start = SelStart();
  const int64_t count = SelEnd() - start;
  if (count > 0)
    DoDelete(start, count);
  int64_t pos = start;
  size_t done = 0;
  while (done < len) {
    const size_t n = std::min<size_t>(len - done, kInsertPiece);
    DoInsert(pos, text + done, n);
    pos += static_cast<int64_t>(n);
    done += n;
  }
  anchor_ = caret_ = pos;
  reasons_ |= crSelection;
}

void TCustomSyntaxMemo::ReplaceSel(const char *text, size_t len, bool repaint) {
  const std::string norm = NormaliseText(text ? text : "", text ? len : 0);
  if (norm.empty() && !SelAvail())
    return;
  BeginGroup(ugReplaceSel);
  LogTransaction(ltText, ltBegin, norm.c_str());
  ReplaceSelRaw(norm.data(), norm.size());
  LogTransaction(ltText, ltEnd, nullptr);
  EndGroup(ugReplaceSel);
  if (repaint) {
    view_->CaretMoved();
    Change();
  }
}

void TCustomSyntaxMemo::RawInsert(int64_t pos, const char *text, size_t len) {
  const std::string norm = NormaliseText(text, len);
  const int64_t p = std::clamp<int64_t>(pos, 0, TextLength());
  const auto n = static_cast<int64_t>(norm.size());
  DoInsert(p, norm.data(), norm.size());
  // The selection stays on the same characters.
  if (anchor_ >= p)
    anchor_ += n;
  if (caret_ >= p)
    caret_ += n;
}

void TCustomSyntaxMemo::RawDelete(int64_t pos, int64_t count) {
  const int64_t p = std::clamp<int64_t>(pos, 0, TextLength());
  count = std::clamp<int64_t>(count, 0, TextLength() - p);
  DoDelete(p, count);
  auto shift = [&](int64_t v) { return v >= p + count ? v - count : v > p ? p : v; };
  anchor_ = std::min(shift(anchor_), TextLength());
  caret_ = std::min(shift(caret_), TextLength());
}

void TCustomSyntaxMemo::InsertStream(TStream &stream) {
  LogTransaction(ltStream, ltBegin, &stream);
  std::string raw;
  char buf[8192];
  int64_t n;
  while ((n = stream.Read(buf, sizeof buf)) > 0)
    raw.append(buf, static_cast<size_t>(n));
  const std::string norm = NormaliseText(raw.data(), raw.size());
  ReplaceSelRaw(norm.data(), norm.size());
  LogTransaction(ltStream, ltEnd, nullptr);
  view_->CaretMoved();
  Change();
}

// ---------------------------------------------------------------------------
// Undo logging.

namespace {

[[noreturn]] void BadLog() {
  throw ESyntaxMemo("Bad transaction log entry");
}

std::string StreamRemainder(TStream &s) {
  const int64_t pos = s.Position();
  std::string out;
  char buf[8192];
  int64_t n;
  while ((n = s.Read(buf, sizeof buf)) > 0)
    out.append(buf, static_cast<size_t>(n));
  s.SetPosition(pos);
  return out;
}

} // namespace

void TCustomSyntaxMemo::LogTransaction(int request, int kindOrPhase, const void *data) {
  if (request == ltEnable) {
    logging_ = true;
    return;
  }
  if (!logging_)
    return;
  TUndoStack *u = store_->UndoStack();
  if (request == ltDisable) {
    logging_ = false;
    return;
  }
  if (!u)
    return;
  auto fail = [&]() {
    u->ClearAll();
    txOpen_ = false;
    delete txStream_;
    txStream_ = nullptr;
    Beep();
    BadLog();
  };
  switch (request) {
  case ltClear:
    u->ClearAll();
    txOpen_ = false;
    groupPending_ = false;
    delete txStream_;
    txStream_ = nullptr;
    return;
  case ltText:
  case ltStream:
    if (kindOrPhase == ltBegin) {
      if (txOpen_)
        fail();
      txOpen_ = true;
      txKind_ = request == ltText ? tkText : tkStream;
      txAnchor_ = anchor_;
      txCaret_ = caret_;
      txRemoved_ = SelText();
      if (request == ltText) {
        txInserted_ = data ? static_cast<const char *>(data) : "";
      } else {
        delete txStream_;
        txStream_ = new TMemoryStream(
            data ? StreamRemainder(*static_cast<TStream *>(const_cast<void *>(data)))
                 : std::string());
      }
    } else {
      if (!txOpen_ || txKind_ != (request == ltText ? tkText : tkStream))
        fail();
      txOpen_ = false;
      FlushGroupStart();
      u->PushMarker(txKind_, 0);
      u->PushSelection(txAnchor_, txCaret_);
      u->PushText(txRemoved_.data(), txRemoved_.size());
      if (txKind_ == tkText) {
        u->PushText(txInserted_.data(), txInserted_.size());
      } else {
        u->PushStream(txStream_);
        txStream_ = nullptr;
      }
      u->PushSelection(anchor_, caret_);
      u->PushMarker(txKind_, 0);
      txRemoved_.clear();
      txInserted_.clear();
      u->TrimToLimit();
    }
    return;
  case ltGroupStart:
  case ltGroupEnd: {
    const int32_t extra = request == ltGroupStart ? umGroupStart : umGroupEnd;
    u->PushMarker(kindOrPhase, extra);
    u->PushSelection(anchor_, caret_);
    u->PushMarker(kindOrPhase, extra);
    u->TrimToLimit();
    return;
  }
  case ltRemoveBlanks:
  case ltInsertAt: {
    if (!data)
      return;
    const auto *d = static_cast<const TLogPosText *>(data);
    const auto n = static_cast<int64_t>(d->Length);
    FlushGroupStart();
    u->PushMarker(tkText, 0);
    if (request == ltRemoveBlanks) {
      u->PushSelection(d->Position, d->Position + n);
      u->PushText(d->Text, d->Length);
      u->PushText(nullptr, 0);
      u->PushSelection(d->Position, d->Position);
    } else {
      u->PushSelection(d->Position, d->Position);
      u->PushText(nullptr, 0);
      u->PushText(d->Text, d->Length);
      u->PushSelection(d->Position + n, d->Position + n);
    }
    u->PushMarker(tkText, 0);
    u->TrimToLimit();
    return;
  }
  default:
    return;
  }
}

void TCustomSyntaxMemo::BeginGroup(int kind) {
  TUndoStack *u = store_->UndoStack();
  if (!u || u->GroupOpen || undoing_ || kind < tkFirstGroup)
    return;
  u->GroupOpen = true;
  u->GroupKind = kind;
  // The start bracket is written with the group's first change: a group that
  // changes nothing leaves no undo step and keeps the redo chain.
  groupPending_ = true;
  groupAnchor_ = anchor_;
  groupCaret_ = caret_;
}

void TCustomSyntaxMemo::FlushGroupStart() {
  if (!groupPending_)
    return;
  groupPending_ = false;
  TUndoStack *u = store_->UndoStack();
  if (!u || !u->GroupOpen)
    return;
  const int64_t a = anchor_, c = caret_;
  anchor_ = groupAnchor_;
  caret_ = groupCaret_;
  LogTransaction(ltGroupStart, u->GroupKind, nullptr);
  anchor_ = a;
  caret_ = c;
}

void TCustomSyntaxMemo::EndGroup(int kind) {
  TUndoStack *u = store_->UndoStack();
  if (!u || !u->GroupOpen || u->GroupKind != kind)
    return;
  u->GroupOpen = false;
  if (groupPending_) {
    groupPending_ = false;
    return;
  }
  LogTransaction(ltGroupEnd, kind, nullptr);
}

bool TCustomSyntaxMemo::CanUndo() const {
  const TUndoStack *u = store_->UndoStack();
  return u && u->DoneCount() > 0;
}

bool TCustomSyntaxMemo::CanRedo() const {
  const TUndoStack *u = store_->UndoStack();
  return u && u->CanRedo();
}

bool TCustomSyntaxMemo::Modified() const {
  const TUndoStack *u = store_->UndoStack();
  return u && u->Modified();
}

void TCustomSyntaxMemo::SetModified(bool value) {
  if (!value)
    ClearUndo();
}

void TCustomSyntaxMemo::Undo() {
  UndoStep(false);
}
void TCustomSyntaxMemo::Redo() {
  UndoStep(true);
}

namespace {

[[noreturn]] void BadState() {
  throw ESyntaxMemo("Bad do/undo stack state");
}

TUndoRecord *Expect(TUndoRecord *r, int32_t type) {
  if (!r || r->Type != type)
    BadState();
  return r;
}

std::string RecordText(const TUndoRecord *r) {
  if (r->Type == urText)
    return r->Object ? std::string(reinterpret_cast<const char *>(r->Object)) : std::string();
  auto *s = reinterpret_cast<TStream *>(r->Object);
  if (!s)
    return {};
  s->SetPosition(0);
  std::string raw;
  char buf[8192];
  int64_t n;
  while ((n = s->Read(buf, sizeof buf)) > 0)
    raw.append(buf, static_cast<size_t>(n));
  return NormaliseText(raw.data(), raw.size());
}

} // namespace

void TCustomSyntaxMemo::UndoStep(bool redo) {
  TUndoStack *u = store_->UndoStack();
  if (!u || undoing_)
    return;
  if (txOpen_)
    return;
  undoing_ = true;
  const bool wasLogging = logging_;
  logging_ = false;
  try {
    bool inGroup = false;
    while (redo ? u->CanRedo() : u->DoneCount() > 0) {
      auto pop = [&]() { return redo ? u->PopRedo() : u->Pop(); };
      TUndoRecord *m = Expect(pop(), urMarker);
      const auto kind = static_cast<int32_t>(m->Object);
      if (kind >= tkFirstGroup) {
        const bool opens = m->Extra == (redo ? umGroupStart : umGroupEnd);
        if (m->Extra != umGroupStart && m->Extra != umGroupEnd)
          BadState();
        TUndoRecord *sel = Expect(pop(), urSelection);
        TUndoRecord *m2 = Expect(pop(), urMarker);
        if (m2->Object != kind || m2->Extra != m->Extra)
          BadState();
        if (opens) {
          inGroup = true;
          continue;
        }
        SetStoreSelection(sel->Object, sel->Value);
        break;
      }
      if (kind != tkText && kind != tkStream)
        BadState();
      // Records of a transaction in the order they come off the stack.
      TUndoRecord *r[4];
      for (auto &x : r)
        x = pop();
      TUndoRecord *close = Expect(pop(), urMarker);
      if (close->Object != kind)
        BadState();
      TUndoRecord *before = Expect(redo ? r[0] : r[3], urSelection);
      TUndoRecord *removed = Expect(redo ? r[1] : r[2], urText);
      TUndoRecord *inserted = Expect(redo ? r[2] : r[1], kind == tkText ? urText : urStream);
      TUndoRecord *after = Expect(redo ? r[3] : r[0], urSelection);
      const int64_t start = std::min<int64_t>(before->Object, before->Value);
      if (!redo) {
        const std::string ins = RecordText(inserted);
        SetStoreSelection(start, start + static_cast<int64_t>(ins.size()));
        const std::string rem = RecordText(removed);
        ReplaceSelRaw(rem.data(), rem.size());
        SetStoreSelection(before->Object, before->Value);
      } else {
        SetStoreSelection(before->Object, before->Value);
        const std::string ins = RecordText(inserted);
        ReplaceSelRaw(ins.data(), ins.size());
        SetStoreSelection(after->Object, after->Value);
      }
      if (!inGroup)
        break;
      // Inside a group each step is highlighted before the next.
      UndoStepDone();
    }
  } catch (const std::exception &) {
    u->ClearAll();
    Beep();
  }
  logging_ = wasLogging;
  undoing_ = false;
  reasons_ |= crSelection;
  view_->CaretMoved();
  Change();
}

// ---------------------------------------------------------------------------
// Notification and state.

void TCustomSyntaxMemo::Repaint() {
  if (updating_ || !redraw_ || destroying_)
    return;
  view_->Repaint();
}

void TCustomSyntaxMemo::Change() {
  if (updating_ || loading_ || destroying_ || !redraw_)
    return;
  if (changedLine_ >= 0)
    view_->RepaintLines(changedLine_, -1);
  const uint32_t reasons = reasons_;
  reasons_ = 0;
  changedLine_ = -1;
  if (reasons && OnChange)
    OnChange(this);
}

void TCustomSyntaxMemo::SetUpdating(bool value) {
  if (updating_ == value)
    return;
  updating_ = value;
  if (!value) {
    Repaint();
    Change();
  }
}

void TCustomSyntaxMemo::SetRedraw(bool value) {
  if (redraw_ == value)
    return;
  redraw_ = value;
  if (value) {
    Repaint();
    Change();
  }
}

void TCustomSyntaxMemo::SetReadOnly(bool value) {
  if (readOnly_ == value)
    return;
  readOnly_ = value;
  Repaint();
}

void TCustomSyntaxMemo::SetOptionsMask(uint32_t mask) {
  if (options_ == mask)
    return;
  options_ = mask;
  reasons_ |= crOptions;
  Repaint();
  Change();
}

void TCustomSyntaxMemo::ApplySettings() {
  reasons_ |= crFont;
  Repaint();
}

void TCustomSyntaxMemo::SetTopLine(int64_t line, bool repaint) {
  line = std::clamp<int64_t>(line, 0, std::max<int64_t>(0, LineCount() - 1));
  if (line != topLine_) {
    topLine_ = line;
    store_->SetAnchorLine(line);
    view_->Scrolled();
  }
  if (repaint)
    Repaint();
}

void TCustomSyntaxMemo::SetLeftColumn(int column, bool repaint) {
  column = std::clamp(column, 0, kMaxNodeChars);
  if (column != leftColumn_) {
    leftColumn_ = column;
    view_->Scrolled();
  }
  if (repaint)
    Repaint();
}

TSMPoint TCustomSyntaxMemo::PosFromChar(int64_t pos) {
  const int64_t line = LineFromPos(pos);
  const int col = PosToColumn(pos);
  TSMPoint pt;
  pt.X = static_cast<int32_t>(view_->TextLeft() + (col - leftColumn_) * view_->CharWidth());
  pt.Y = static_cast<int32_t>((line - topLine_) * view_->LineHeight());
  return pt;
}

int64_t TCustomSyntaxMemo::CharFromPos(TSMPoint pt) {
  const int cw = std::max(1, view_->CharWidth());
  const int lh = std::max(1, view_->LineHeight());
  const int x = pt.X - view_->TextLeft();
  if (x < 0 || pt.Y < 0 || x >= view_->VisibleColumns() * cw || pt.Y >= view_->VisibleRows() * lh)
    return -1;
  const int64_t line = topLine_ + pt.Y / lh;
  if (line >= LineCount())
    return TextLength();
  return ColumnToPos(line, leftColumn_ + (x + cw / 2) / cw);
}

// ---------------------------------------------------------------------------
// Load and save.

void TCustomSyntaxMemo::LoadFromStream(TStream &stream) {
  const bool wasLoading = loading_;
  loading_ = true;
  THighlighter *h = Highlighter;
  const bool wasRedraw = redraw_;
  struct Restore {
    TCustomSyntaxMemo *m;
    THighlighter *h;
    bool loading, redraw;
    ~Restore() {
      m->Highlighter = h;
      m->loading_ = loading;
      m->redraw_ = redraw;
    }
  } restore{this, h, wasLoading, wasRedraw};
  ClearUndo();
  redraw_ = false;
  Highlighter = nullptr;
  // The new text is built aside, so a failure leaves the old one intact.
  TTextStore fresh;
  try {
    std::string block(kInsertPiece, '\0');
    std::string norm(kInsertPiece, '\0');
    TNormaliser n;
    int64_t got;
    while ((got = stream.Read(block.data(), kInsertPiece)) > 0) {
      const size_t k = n.Feed(block.data(), static_cast<size_t>(got), norm.data());
      fresh.Append(norm.data(), k);
    }
    LoadedUnixLineBreaks = n.LoneLF > 0 && n.OtherBreaks == 0;
  } catch (const std::bad_alloc &) {
    throw ESyntaxMemo("Not enough memory for operation");
  }
  const int64_t oldCount = TextLength();
  store_->SwapText(fresh);
  // Marks of the old text have nothing left to point at.
  store_->Bookmarks.Shift(0, -(oldCount + 1));
  store_->Bookmarks.Clear();
  store_->Breakpoints.Clear();
  store_->CodeBreaks.Clear();
  if (store_->LineTracks)
    store_->LineTracks->Clear();
  std::fill(std::begin(store_->BookmarkColumns), std::end(store_->BookmarkColumns), 0);
  anchor_ = caret_ = 0;
  topLine_ = 0;
  leftColumn_ = 0;
  store_->SetAnchorLine(0);
  txOpen_ = false;
  reasons_ |= crText | crSelection;
  if (OnTextChange) {
    if (oldCount > 0)
      OnTextChange(this, 0, 0);
    if (TextLength() > 0)
      OnTextChange(this, 0, TextLength());
  }
  Highlighter = h;
  ApplySettings();
  changedLine_ = -1;
  MarkChangedLine(0);
  ScrollCaret();
  ClearUndo();
  redraw_ = wasRedraw;
  loading_ = wasLoading;
  Repaint();
  Change();
}

void TCustomSyntaxMemo::LoadFromFile(const std::string &name) {
  if (!FileIsReadable(name))
    throw EFOpenError("File '" + name + "' cannot be opened for reading");
  const bool wasLoading = loading_;
  loading_ = true;
  try {
    TFileStream f(name, TFileMode::fmOpenRead);
    LoadFromStream(f);
  } catch (...) {
    loading_ = wasLoading;
    throw;
  }
  ClearUndo();
  if (options_ & smoTitleAsFilename)
    Title = name;
  loading_ = wasLoading;
  Change();
}

void TCustomSyntaxMemo::SaveToStream(TStream *stream) {
  if (!stream)
    throw EFileSaveError("Bad TStream instance");
  ClearUndo();
  const bool wasUpdating = updating_;
  updating_ = true;
  const int64_t a = anchor_, c = caret_;
  anchor_ = 0;
  caret_ = TextLength();
  struct Restore {
    TCustomSyntaxMemo *m;
    int64_t a, c;
    bool upd;
    ~Restore() {
      m->anchor_ = a;
      m->caret_ = c;
      m->updating_ = upd;
    }
  } restore{this, a, c, wasUpdating};
  const int64_t startPos = stream->Position();
  for (int attempt = 0;; ++attempt) {
    const int64_t written = WriteSelection(*stream, SaveFormat);
    if (TextLength() == 0 || written >= TextLength())
      break;
    if (attempt == 3)
      throw EFileSaveError("Could not save text to stream");
    // Start the repeat where the first try began, not after its partial output.
    stream->SetPosition(startPos);
  }
  ClearUndo();
}

void TCustomSyntaxMemo::SaveToFile(const std::string &name) {
  const bool wasLoading = loading_;
  loading_ = true;
  try {
    // A temporary file renamed over the target, so a failed save never leaves
    // a half-written file; the main window's document saves also flush it to
    // the disk, this one promises what a plain file write promises.
    SaveFileSafely(
        name, [this](TStream &s) { SaveToStream(&s); }, false);
  } catch (...) {
    loading_ = wasLoading;
    throw;
  }
  ClearUndo();
  if (options_ & smoTitleAsFilename)
    Title = name;
  loading_ = wasLoading;
}

int64_t TCustomSyntaxMemo::WriteSelection(TStream &stream, TSaveFormat format) {
  const int64_t start = SelStart(), end = SelEnd();
  // Large plain texts are gathered while a second thread writes.
  const bool plain = format == sfTEXT || format == sfUNIX;
  TChunkWriter w(stream,
                 plain && end - start > static_cast<int64_t>(2 * TChunkWriter::kBackgroundSize));
  switch (format) {
  case sfRTF:
  case sfHTML: {
    TRichOptions o;
    o.FontName = FontName;
    o.FontSize = FontSize;
    o.DefTextColor = DefTextColor;
    o.DefBackColor = DefBackColor;
    o.DefFontStyle = DefFontStyle;
    o.Title = Title;
    const bool styled = (options_ & smoSyntaxHighlight) != 0;
    if (format == sfRTF)
      WriteRichText(*store_, start, end, styled ? Highlighter : nullptr, o, w);
    else
      WriteHtml(*store_, start, end, styled ? Highlighter : nullptr, o, w);
    break;
  }
  case sfUNIX:
  case sfTEXT: {
    const char *breakSeq = format == sfUNIX ? "\n" : store_->LineStyle == lsCRLF ? "\r\n" : "\r";
    const size_t breakLen = std::strlen(breakSeq);
    if (end <= start)
      break;
    // A CR only ever ends a node: each node is its text, then maybe a break.
    TLinePos p = store_->Locate(start);
    int64_t off = start - p.Start;
    int64_t left = end - start;
    // Whole nodes are copied straight into the writer's buffer, through local
    // pointers the copies cannot be assumed to change.
    const bool crlf = breakLen == 2;
    const char lineEnd = breakSeq[0];
    char *d = w.Begin();
    char *lim = w.End();
    for (TLineNode *n = p.Node; n && left > 0; n = n->Next) {
      const size_t len = n->Length;
      if (off == 0 && left >= static_cast<int64_t>(len)) {
        if (static_cast<size_t>(lim - d) < len + 1) {
          w.Advance(d);
          w.Next();
          d = w.Begin();
          lim = w.End();
        }
        const char *t = n->Text();
        std::memcpy(d, t, len);
        d += len;
        if (t[len - 1] == kCR) { // the CR becomes the break
          if (crlf)
            *d++ = '\n';
          else
            d[-1] = lineEnd;
        }
        left -= static_cast<int64_t>(len);
        continue;
      }
      w.Advance(d);
      const int64_t take = std::min<int64_t>(left, n->Length - off);
      const bool cr = off + take == n->Length && n->EndsWithCR();
      w.Put(n->Text() + off, static_cast<size_t>(take - (cr ? 1 : 0)));
      if (cr)
        w.Put(breakSeq, breakLen);
      left -= take;
      off = 0;
      d = w.Begin();
      lim = w.End();
    }
    w.Advance(d);
    break;
  }
  }
  w.Flush();
  return w.Written();
}
