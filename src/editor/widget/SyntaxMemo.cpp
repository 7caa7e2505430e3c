// TSyntaxMemo: painting, scrolling, highlighting schedule, scheme settings.
#include "SyntaxMemo.h"

#include "GutterImages.h"
#include "PrintPagination.h"
#include "Prompter.h"
#include "SchemeHighlighter.h"
#include "SyntaxMemoParser.h"
#include "WordWrap.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <cstring>

struct TSyntaxMemo::TResolvedStyle {
  QColor Fore;
  QColor Back;
  uint8_t FontStyle = 0;
  bool Hotspot = false;
};

struct TSyntaxMemo::TAppliedSettings {
  std::string FontName;
  int32_t FontSize = 0;
  int32_t Options = 0;
  std::array<int32_t, nsCount> Numeric{};
  std::array<int32_t, 32> TabColumns{};
  TSM_KeyMapData KeyMap;
  std::vector<TSM_CodeTemplate> Templates;
  std::vector<TSM_AutoReplace> AutoReplace;
  TSM_GutterFont GutterFont;
  bool operator==(const TAppliedSettings &) const = default;
};

// ---------------------------------------------------------------------------
// The view the core asks for geometry and repaints.

class TSyntaxMemo::TView : public TEditorView {
public:
  explicit TView(TSyntaxMemo &w) : w_(w) {}
  int VisibleRows() const override { return w_.VisibleRows(); }
  int VisibleColumns() const override { return w_.VisibleColumns(); }
  int CharWidth() const override { return w_.charWidth_; }
  int LineHeight() const override { return w_.lineHeight_; }
  int TextLeft() const override { return w_.TextLeft(); }
  void Repaint() override {
    w_.CheckWrap();
    w_.viewport()->update();
  }
  void RepaintLines(int64_t first, int64_t last) override { w_.ViewRepaintLines(first, last); }
  void Scrolled() override { w_.ViewScrolled(); }
  void CaretMoved() override { w_.ViewCaretMoved(); }
  void Beep() override { QApplication::beep(); }

private:
  TSyntaxMemo &w_;
};

QColor SMColor(uint32_t value) {
  if (value & 0x80000000u) {
    const QPalette pal = QApplication::palette();
    switch (value & 0xFF) {
    case 5: // window
      return pal.color(QPalette::Base);
    case 8: // window text
      return pal.color(QPalette::Text);
    case 13: // highlight
      return pal.color(QPalette::Highlight);
    case 14: // highlight text
      return pal.color(QPalette::HighlightedText);
    case 15: // button face
    default:
      return pal.color(QPalette::Button);
    }
  }
  return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>((value >> 16) & 0xFF));
}

namespace {
std::vector<TSyntaxMemo *> &LiveControls() {
  static std::vector<TSyntaxMemo *> all;
  return all;
}
} // namespace

std::vector<TSyntaxMemo *> TSyntaxMemo::ControlsOf(const TSyntaxMemoParser *parser) {
  std::vector<TSyntaxMemo *> out;
  for (TSyntaxMemo *m : LiveControls())
    if (m->parser_ == parser)
      out.push_back(m);
  return out;
}

// ---------------------------------------------------------------------------

TSyntaxMemo::TSyntaxMemo(QWidget *parent)
    : QAbstractScrollArea(parent), view_(std::make_unique<TView>(*this)), font_("Courier New", 10),
      gutterFont_("MS Sans Serif", 8) {
  // The very font a scheme with the default font settings asks for (see
  // ApplySettings): the first scheme attached then measures a font the
  // toolkit has already loaded instead of matching and loading a second.
  font_.setStyleHint(QFont::TypeWriter);
  SetView(view_.get());
  Clipboard = &clipboard_;
  setFocusPolicy(Qt::StrongFocus);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setMouseTracking(true);
  setAttribute(Qt::WA_InputMethodEnabled);
  styles_.resize(256);
  TCustomSyntaxMemo::OnTextChange = [this](TCustomSyntaxMemo *m, int64_t start, int64_t extent) {
    TextChangedHook(start, extent);
    if (OnTextChange)
      OnTextChange(m, start, extent);
  };
  OnTemplateList = [this](TCustomSyntaxMemo *, const std::vector<int> &candidates,
                          const std::string &word) { ShowTemplateList(candidates, word); };
  idleTimer_.setSingleShot(true);
  idleTimer_.setInterval(0);
  connect(&idleTimer_, &QTimer::timeout, this, [this] { RunIdleHighlight(); });
  const int flash = QApplication::cursorFlashTime();
  caretTimer_.setInterval(flash > 0 ? flash / 2 : 500);
  connect(&caretTimer_, &QTimer::timeout, this, [this] {
    caretOn_ = !caretOn_;
    const QPoint pt(static_cast<int>(PosFromChar(Caret()).X),
                    static_cast<int>(PosFromChar(Caret()).Y));
    viewport()->update(QRect(0, pt.y(), viewport()->width(), lineHeight_));
  });
  horizontalScrollBar()->setSingleStep(1);
  verticalScrollBar()->setSingleStep(1);
  MeasureFont();
  SyncStore();
  RebuildStyles();
  UpdateScrollBars();
  LiveControls().push_back(this);
}

TSyntaxMemo::~TSyntaxMemo() {
  auto &all = LiveControls();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
  if (parser_)
    parser_->UnregisterEditor(static_cast<TCustomSyntaxMemo *>(this));
  TCustomSyntaxMemo::OnTextChange = nullptr;
  SetView(nullptr);
}

intptr_t TSyntaxMemo::Perform(uint32_t msg, intptr_t wParam, intptr_t lParam) {
  if (msg == WM_VSCROLL || msg == WM_HSCROLL) {
    const bool vertical = msg == WM_VSCROLL;
    const int code = static_cast<int>(wParam & 0xFFFF);
    const int thumb = static_cast<int>((wParam >> 16) & 0xFFFF);
    const int64_t page = vertical ? std::max(1, VisibleRows()) : std::max(1, VisibleColumns());
    const int64_t cur = vertical ? TopLine() : LeftColumn();
    const int64_t last = vertical ? std::max<int64_t>(0, LineCount() - 1) : kMaxNodeChars;
    int64_t to = cur;
    switch (code) {
    case SB_LINEUP:
      to = cur - 1;
      break;
    case SB_LINEDOWN:
      to = cur + 1;
      break;
    case SB_PAGEUP:
      to = cur - page;
      break;
    case SB_PAGEDOWN:
      to = cur + page;
      break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
      to = thumb;
      break;
    case SB_TOP:
      to = 0;
      break;
    case SB_BOTTOM:
      to = last;
      break;
    default:
      return 0;
    }
    to = std::clamp<int64_t>(to, 0, last);
    if (vertical)
      SetTopLine(to);
    else
      SetLeftColumn(static_cast<int>(to));
    return 0;
  }
  const intptr_t r = TCustomSyntaxMemo::Perform(msg, wParam, lParam);
  if (msg == SM_TEXTSTORE || msg == WM_SETTEXT)
    SyncStore();
  return r;
}

// ---------------------------------------------------------------------------
// Scheme and settings.

void TSyntaxMemo::SetParser(TSyntaxMemoParser *parser) {
  if (parser == parser_)
    return;
  if (parser_)
    parser_->UnregisterEditor(static_cast<TCustomSyntaxMemo *>(this));
  parser_ = parser;
  schemeHighlighter_.reset(
      parser ? new TSchemeHighlighter(*parser, static_cast<TCustomSyntaxMemo *>(this)) : nullptr);
  applied_.reset();
  SetHighlighterObject(schemeHighlighter_.get());
  ApplySettings();
}

void TSyntaxMemo::SetHighlighterObject(THighlighter *h) {
  activeHighlighter_ = h;
  Highlighter = h;
  highlighting_.SetHighlighter(h);
  // Style bytes written by another highlighter mean nothing to this one.
  for (TLineNode *n = Store()->First(); n; n = n->Next)
    n->Flags |= nfStale;
  RebuildStyles();
  viewport()->update();
}

TSyntaxHighlighting &TSyntaxMemo::Pass() {
  // The token hook is connected only while someone listens: a call per token
  // costs the pass more than anything else around the tokenizer.
  const bool listen = static_cast<bool>(OnTokenSeen);
  if (listen != static_cast<bool>(highlighting_.OnTokenSeen)) {
    if (listen)
      highlighting_.OnTokenSeen = [this](int value, int64_t s, int64_t e) {
        if (OnTokenSeen)
          OnTokenSeen(this, value, s, e);
      };
    else
      highlighting_.OnTokenSeen = nullptr;
  }
  return highlighting_;
}

bool TSyntaxMemo::HighlightingActive() {
  return activeHighlighter_ && (OptionsMask() & smoSyntaxHighlight) && Highlighter;
}

void TSyntaxMemo::ApplySettings() {
  if (parser_) {
    const TSM_Settings &s = parser_->Settings;
    TAppliedSettings now{s.FontName, s.FontSize,  s.Options,     s.Numeric,   s.TabColumns,
                         s.KeyMap,   s.Templates, s.AutoReplace, s.GutterFont};
    if (!applied_ || !(*applied_ == now)) {
      QFont f(QString::fromStdString(s.FontName.empty() ? std::string("Courier New") : s.FontName));
      f.setStyleHint(QFont::TypeWriter);
      f.setPointSize(s.FontSize > 0 ? s.FontSize : 10);
      font_ = f;
      FontName = s.FontName;
      FontSize = s.FontSize;
      QFont g(QString::fromStdString(s.GutterFont.Name));
      g.setPointSize(s.GutterFont.Size > 0 ? s.GutterFont.Size : 8);
      g.setBold(s.GutterFont.Style & fsBoldBit);
      g.setItalic(s.GutterFont.Style & fsItalicBit);
      gutterFont_ = g;
      SetOptionsMask(static_cast<uint32_t>(s.Options));
      SetIndentStep(s.Numeric[nsIndentStep]);
      RightMargin = s.Numeric[nsRightMargin];
      wrapAtColumn_ = std::max(0, s.Numeric[nsWordWrapColumn]);
      gutter_ = std::max(0, s.Numeric[nsGutterWidth]);
      if (s.Numeric[nsTabDefault] > 0)
        SetTabDefault(s.Numeric[nsTabDefault]);
      SelTextColor = static_cast<uint32_t>(s.Numeric[nsSelTextColor]);
      GutterColor = static_cast<uint32_t>(s.Numeric[nsGutterColor]);
      MarginColor = static_cast<uint32_t>(s.Numeric[nsMarginColor]);
      SelTextBack = static_cast<uint32_t>(s.Numeric[nsSelTextBack]);
      Margin = std::clamp(s.Numeric[nsMarginWidth], 0, 200);
      std::string cols;
      for (int32_t c : s.TabColumns)
        if (c >= 0) {
          if (!cols.empty())
            cols.push_back(' ');
          cols.append(std::to_string(c + 1));
        }
      try {
        SetTabColumns(cols);
      } catch (const EKorvexError &) {
        // A scheme's bad tab list leaves the stops as they were.
      }
      if (s.KeyMap.Bindings.empty()) {
        ownKeyMap_.reset();
        SetKeyMap(nullptr);
      } else {
        auto map = std::make_unique<TKeyboardActionContoller>();
        try {
          map->FromData(s.KeyMap);
          ownKeyMap_ = std::move(map);
          SetKeyMap(ownKeyMap_.get());
        } catch (const EKorvexError &) {
          ownKeyMap_.reset();
          SetKeyMap(nullptr);
        }
      }
      CodeTemplates = s.Templates;
      AutoReplaceList = s.AutoReplace;
      applied_ = std::make_unique<TAppliedSettings>(std::move(now));
      MeasureFont();
    }
  }
  RebuildStyles();
  CheckWrap();
  UpdateScrollBars();
  TCustomSyntaxMemo::ApplySettings();
}

void TSyntaxMemo::SetFont(const QFont &font) {
  font_ = font;
  FontName = font.family().toStdString();
  FontSize = font.pointSize();
  MeasureFont();
  AddChangeReason(crFont);
  UpdateScrollBars();
  viewport()->update();
}

void TSyntaxMemo::SetGutterFont(const QFont &font) {
  gutterFont_ = font;
  viewport()->update();
}

void TSyntaxMemo::SetGutter(int width) {
  gutter_ = std::max(0, width);
  UpdateScrollBars();
  viewport()->update();
}

void TSyntaxMemo::SetWrapAtColumn(int column) {
  wrapAtColumn_ = std::max(0, column);
  CheckWrap();
  viewport()->update();
}

int TSyntaxMemo::WrapWidth() const {
  return wrapAtColumn_ > 0 ? wrapAtColumn_ : std::max(1, VisibleColumns());
}

void TSyntaxMemo::CheckWrap(bool force) {
  const int want = (OptionsMask() & smoWordWrap) ? WrapWidth() : 0;
  if (want == wrapWidthUsed_ && !force)
    return;
  const bool wasWrapped = wrapWidthUsed_ > 0;
  wrapWidthUsed_ = want;
  if (!want && !wasWrapped && !force)
    return;
  const TRewrapResult r = RewrapStore(*Store(), want, Tabs());
  if (r.FirstLine < 0)
    return;
  lnNode_ = nullptr;
  SetTopLine(TopLine(), false);
  if (HighlightingActive())
    Pass().TextChanged(r.FirstLine);
  UpdateScrollBars();
  ScrollCaret();
  viewport()->update();
}

void TSyntaxMemo::MeasureFont() {
  for (int bits = 0; bits < 16; ++bits) {
    QFont f = font_;
    f.setBold(bits & fsBold);
    f.setItalic(bits & fsItalic);
    f.setUnderline(bits & fsUnderline);
    f.setStrikeOut(bits & fsStrikeOut);
    styleFonts_[static_cast<size_t>(bits)] = f;
    glyphs_[static_cast<size_t>(bits)] = TGlyphs();
  }
  const QFontMetrics fm(font_);
  charWidth_ = std::max(1, fm.horizontalAdvance(QLatin1Char('W')));
  lineHeight_ = std::max(1, fm.height());
  ascent_ = fm.ascent();
}

const TSyntaxMemo::TGlyphs &TSyntaxMemo::GlyphsOf(size_t fontBits) {
  TGlyphs &g = glyphs_[fontBits & 0xF];
  if (g.Built)
    return g;
  g.Built = true;
  g.Raw = QRawFont::fromFont(styleFonts_[fontBits & 0xF]);
  g.Index.fill(0);
  if (!g.Raw.isValid())
    return g;
  // Every printable byte's character in one look-up: one glyph per UTF-16
  // unit, and each Windows-1252 character is one unit.
  QString chars;
  for (int b = 32; b < 256; ++b)
    chars += Cp1252Char(static_cast<unsigned char>(b));
  const QList<quint32> idx = g.Raw.glyphIndexesForString(chars);
  if (idx.size() == chars.size())
    for (int b = 32; b < 256; ++b)
      g.Index[static_cast<size_t>(b)] = idx[b - 32];
  return g;
}

void TSyntaxMemo::RebuildStyles() {
  THighlighter *h = activeHighlighter_;
  auto *scheme = dynamic_cast<TSchemeHighlighter *>(h);
  for (int v = 0; v < 256; ++v) {
    TResolvedStyle &r = styles_[static_cast<size_t>(v)];
    TTokenStyle st;
    st.FontStyle = DefFontStyle;
    if (h)
      st = h->Style(v);
    r.Fore = SMColor(st.DefaultForeground ? DefTextColor : st.Foreground);
    r.Back = SMColor(st.DefaultBackground ? DefBackColor : st.Background);
    r.FontStyle = st.FontStyle & 0xF;
    r.Hotspot = scheme && scheme->IsHotspot(v);
  }
}

// ---------------------------------------------------------------------------
// Geometry.

int TSyntaxMemo::VisibleRows() const {
  const int h = viewport()->height();
  if (h <= 0)
    return 40;
  return std::max(1, h / lineHeight_);
}

int TSyntaxMemo::VisibleColumns() const {
  const int w = viewport()->width();
  if (w <= 0)
    return 80;
  return std::max(1, (w - GutterWidth() - Margin) / charWidth_);
}

int TSyntaxMemo::GutterWidth() const {
  return (OptionsMask() & smoShowGutter) ? gutter_ : 0;
}

QColor TSyntaxMemo::ColorOf(uint32_t c) const {
  return SMColor(c);
}

int64_t TSyntaxMemo::LogicalLineNumber(int64_t line) {
  TTextStore &s = *Store();
  const int64_t count = s.LineCount();
  if (count == 0)
    return 1;
  if (line >= count) { // the empty line after a final line break
    TLineNode *last = s.Last();
    return LogicalLineNumber(count - 1) + (last->EndsWithCR() ? 1 : 0);
  }
  line = std::max<int64_t>(0, line);
  if (!lnNode_ || lnLine_ < 0 || lnLine_ >= count) {
    lnNode_ = s.First();
    lnLine_ = 0;
    lnNumber_ = 1;
  }
  // Walk from the cached node; continuation rows do not start a line.
  while (lnLine_ < line) {
    lnNode_ = lnNode_->Next;
    ++lnLine_;
    if (!(lnNode_->Marks & nmContinued))
      ++lnNumber_;
  }
  while (lnLine_ > line) {
    if (!(lnNode_->Marks & nmContinued))
      --lnNumber_;
    lnNode_ = lnNode_->Prev;
    --lnLine_;
  }
  return lnNumber_;
}

// ---------------------------------------------------------------------------
// Notifications from the core.

void TSyntaxMemo::SyncStore() {
  if (Store() == shownStore_)
    return;
  ++textGeneration_;
  shownStore_ = Store();
  highlighting_.SetStore(shownStore_);
  lnNode_ = nullptr;
  lastLineCount_ = -1;
  if (OptionsMask() & smoWordWrap)
    CheckWrap(true);
  UpdateScrollBars();
  viewport()->update();
}

void TSyntaxMemo::TextChangedHook(int64_t start, int64_t extent) {
  ++textGeneration_;
  // Line numbers before the edit stay good; the cache is dropped when it
  // lies at or after the edit.
  if (lnNode_) {
    // Rows before the edited logical line keep their nodes and numbers.
    TLinePos p = Store()->Locate(start);
    int64_t head = p.Line;
    for (TLineNode *n = p.Node; n && (n->Marks & nmContinued) && n->Prev; n = n->Prev)
      --head;
    if (lnLine_ >= head - 1)
      lnNode_ = nullptr;
  }
  if (start == 0 && extent == 0) { // everything deleted
    Store()->TextMarks.Clear();
    lnNode_ = nullptr;
    return;
  }
  if (wrapWidthUsed_ > 0 && extent != 0) {
    const int64_t first = LineFromPos(start);
    const int64_t last = LineFromPos(start + std::max<int64_t>(extent, 0));
    const TRewrapResult r = RewrapStore(*Store(), wrapWidthUsed_, Tabs(), first, last);
    if (r.FirstLine >= 0) {
      MarkChangedLine(r.FirstLine);
      lnNode_ = nullptr;
    }
  }
  Store()->TextMarks.Shift(start, extent);
}

void TSyntaxMemo::UpdateRows(int64_t first, int64_t last) {
  const int64_t top = TopLine();
  const int rows = VisibleRows() + 1;
  if (last >= 0 && last < top)
    return;
  const int64_t r0 = std::max<int64_t>(first - top, 0);
  if (r0 > rows)
    return;
  const int64_t r1 = last < 0 ? rows : std::min<int64_t>(last - top, rows);
  viewport()->update(QRect(0, static_cast<int>(r0) * lineHeight_, viewport()->width(),
                           static_cast<int>(r1 - r0 + 1) * lineHeight_));
}

void TSyntaxMemo::ViewRepaintLines(int64_t first, int64_t last) {
  SyncStore();
  int64_t changedLast = first;
  if (HighlightingActive()) {
    Pass().TextChanged(first);
    if (highlighting_.ChangedLast > changedLast)
      changedLast = highlighting_.ChangedLast;
    if (!highlighting_.Complete())
      idleTimer_.start();
  }
  if (LineCount() != lastLineCount_) {
    lastLineCount_ = LineCount();
    UpdateScrollBars();
    UpdateRows(first, -1);
  } else {
    UpdateRows(first, last < 0 ? changedLast : std::max(last, changedLast));
  }
}

void TSyntaxMemo::ShowErrorMessage(const std::string &text) {
  // The text quotes the document's bytes; the message box takes UTF-8.
  Prompter().Message(FromCp1252(text).toUtf8().toStdString(), TMsgDlgType::mtError, mbOK);
}

void TSyntaxMemo::UndoStepDone() {
  if (!HighlightingActive() || ChangedLine() < 0)
    return;
  Pass().TextChanged(ChangedLine());
  // The repaint after the whole undo only sees what its own pass changes;
  // the lines this step recoloured are repainted now or never.
  if (highlighting_.ChangedFirst >= 0)
    UpdateRows(highlighting_.ChangedFirst, highlighting_.ChangedLast);
}

void TSyntaxMemo::ViewScrolled() {
  UpdateScrollBars();
  viewport()->update();
}

void TSyntaxMemo::ViewCaretMoved() {
  caretOn_ = true;
  if (hasFocus())
    caretTimer_.start();
  // Repaint the rows the old and new selection cover.
  const int64_t a0 = std::min(paintedAnchor_, paintedCaret_);
  const int64_t a1 = std::max(paintedAnchor_, paintedCaret_);
  const int64_t b0 = SelStart(), b1 = SelEnd();
  const int64_t len = TextLength();
  auto lineOf = [&](int64_t p) { return LineFromPos(std::clamp<int64_t>(p, 0, len)); };
  if (a0 == a1 && b0 == b1) {
    UpdateRows(lineOf(a0), lineOf(a0));
    UpdateRows(lineOf(b0), lineOf(b0));
  } else {
    UpdateRows(lineOf(std::min(a0, b0)), lineOf(std::max(a1, b1)));
  }
  paintedAnchor_ = Anchor();
  paintedCaret_ = Caret();
}

void TSyntaxMemo::UpdateScrollBars() {
  syncingScroll_ = true;
  const int rows = VisibleRows();
  QScrollBar *v = verticalScrollBar();
  v->setRange(
      0, static_cast<int>(std::min<int64_t>(std::max<int64_t>(0, LineCount() - 1), INT32_MAX)));
  v->setPageStep(rows);
  v->setValue(static_cast<int>(TopLine()));
  QScrollBar *h = horizontalScrollBar();
  if (OptionsMask() & smoWordWrap) {
    h->setRange(0, 0);
  } else {
    const int widest = std::max(Store()->LongestLine + 1, RightMargin + 1);
    h->setRange(0, std::max({0, widest - VisibleColumns(), LeftColumn()}));
    h->setPageStep(VisibleColumns());
    h->setValue(LeftColumn());
  }
  syncingScroll_ = false;
}

void TSyntaxMemo::scrollContentsBy(int, int) {
  if (syncingScroll_)
    return;
  const int v = verticalScrollBar()->value();
  const int h = horizontalScrollBar()->value();
  if (v != TopLine())
    SetTopLine(v);
  if (h != LeftColumn())
    SetLeftColumn(h);
}

void TSyntaxMemo::resizeEvent(QResizeEvent *e) {
  QAbstractScrollArea::resizeEvent(e);
  if (wrapAtColumn_ == 0)
    CheckWrap();
  UpdateScrollBars();
  AddChangeReason(crSize);
}

void TSyntaxMemo::RunIdleHighlight() {
  if (!HighlightingActive())
    return;
  const QRect before = viewport()->rect();
  // About 5 ms of work per slice keeps typing and scrolling responsive.
  const bool more = Pass().Continue(5000);
  if (highlighting_.ChangedFirst >= 0)
    UpdateRows(highlighting_.ChangedFirst, highlighting_.ChangedLast);
  (void)before;
  if (more)
    idleTimer_.start();
}

void TSyntaxMemo::FinishHighlighting() {
  if (!HighlightingActive())
    return;
  while (Pass().Continue(100000)) {
  }
  viewport()->update();
}

// ---------------------------------------------------------------------------
// Marks.

int TSyntaxMemo::AddMark(int64_t start, int64_t length, int32_t mark) {
  start = std::clamp<int64_t>(start, 0, TextLength());
  const int64_t end =
      std::clamp<int64_t>(start + std::max<int64_t>(length, 0), start, TextLength());
  const size_t index = Store()->TextMarks.Add(TTextMark{start, end, mark});
  // While updating nothing is painted; the end of the update repaints it all.
  if (!Updating() && Redraw())
    UpdateRows(LineFromPos(start), LineFromPos(end));
  return static_cast<int>(index);
}

void TSyntaxMemo::AddMarks(const std::vector<TTextMark> &marks) {
  std::vector<TTextMark> clamped;
  clamped.reserve(marks.size());
  const int64_t len = TextLength();
  for (TTextMark m : marks) {
    m.Start = std::clamp<int64_t>(m.Start, 0, len);
    m.End = std::clamp<int64_t>(m.End, m.Start, len);
    clamped.push_back(m);
  }
  Store()->TextMarks.AddMany(clamped);
  if (!Updating() && Redraw())
    viewport()->update();
}

void TSyntaxMemo::RemoveMark(size_t index) {
  if (index >= Store()->TextMarks.Count())
    return;
  Store()->TextMarks.Remove(index);
  viewport()->update();
}

void TSyntaxMemo::ClearMarks() {
  Store()->TextMarks.Clear();
  viewport()->update();
}

size_t TSyntaxMemo::RemoveMarksTagged(int32_t tag) {
  const size_t n = Store()->TextMarks.RemoveTagged(tag);
  if (n)
    viewport()->update();
  return n;
}

// ---------------------------------------------------------------------------
// Painting.

QImage TSyntaxMemo::RenderToImage() {
  QImage img(size(), QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::white);
  render(&img);
  return img;
}

void TSyntaxMemo::paintEvent(QPaintEvent *e) {
  if (Updating() || !Redraw() || Loading())
    return;
  SyncStore();
  QPainter p(viewport());
  const QRect clip = e->rect();
  const int lh = lineHeight_;
  const int r0 = std::max(0, clip.top() / lh);
  const int r1 = std::min(VisibleRows(), clip.bottom() / lh);
  const int64_t top = TopLine();
  const bool styled = HighlightingActive();
  if (styled) {
    Pass().Ensure(top + r0, top + r1);
    if (!highlighting_.Complete())
      idleTimer_.start();
  }
  TTextStore &s = *Store();
  TLinePos lp = s.LocateLine(top);
  TLineNode *node = (top < s.LineCount()) ? lp.Node : nullptr;
  int64_t rowStart = node ? s.LineStart(top) : TextLength();
  const int w = viewport()->width();
  const int gw = GutterWidth();
  // Line numbers count on from the top row's, so the number cache stays at
  // the top row and edits below it never invalidate it.
  int64_t number = (gw > 0 && (OptionsMask() & smoLineNumbers)) ? LogicalLineNumber(top) : 0;
  auto step = [&]() {
    rowStart += node->Length;
    TLineNode *next = node->Next;
    if (next ? !(next->Marks & nmContinued) : node->EndsWithCR())
      ++number;
    node = next;
  };
  for (int r = 0; r < r0 && node; ++r)
    step();
  for (int r = r0; r <= r1; ++r) {
    const int y = r * lh;
    const int64_t line = top + r;
    if (node) {
      PaintRow(p, node, line, rowStart, y, styled);
    } else {
      p.fillRect(QRect(gw, y, w - gw, lh), SMColor(DefBackColor));
    }
    if (gw > 0)
      PaintGutter(p, node, line, y, number);
    if (OnDrawLine)
      OnDrawLine(this, p, QRect(gw, y, w - gw, lh), line);
    if (node)
      step();
    else
      number = 0; // rows past the text carry no number
  }
  // Left margin strip between gutter and text.
  if (Margin > 0)
    p.fillRect(QRect(gw, clip.top(), Margin, clip.height()), SMColor(MarginColor));
  const int cw = charWidth_;
  const int left = TextLeft();
  auto columnLine = [&](int column, const QPen &pen) {
    if (column < LeftColumn() || column > LeftColumn() + VisibleColumns())
      return;
    const int x = left + (column - LeftColumn()) * cw;
    p.setPen(pen);
    p.drawLine(x, clip.top(), x, clip.bottom());
  };
  if (OptionsMask() & smoShowRMargin)
    columnLine(RightMargin, RightMarginPen);
  if ((OptionsMask() & smoShowWrapColumn) && wrapAtColumn_ > 0 && WrapPen.style() != Qt::NoPen)
    columnLine(wrapAtColumn_, WrapPen);
  if (ShowFocusLine) {
    const int64_t cl = LineFromPos(Caret());
    if (cl >= top && cl <= top + VisibleRows()) {
      p.setPen(QPen(Qt::gray, 1, Qt::DotLine));
      p.setBrush(Qt::NoBrush);
      p.drawRect(QRect(left, static_cast<int>(cl - top) * lh, w - left - 1, lh - 1));
    }
  }
  PaintCaret(p);
  paintedAnchor_ = Anchor();
  paintedCaret_ = Caret();
}

void TSyntaxMemo::PaintRow(QPainter &p, TLineNode *node, int64_t line, int64_t rowStart, int y,
                           bool styled) {
  const int lh = lineHeight_;
  const int cw = charWidth_;
  const int left = TextLeft();
  const int lc = LeftColumn();
  const int vcols = VisibleColumns() + 1;
  const int width = viewport()->width();
  const char *text = node->Text();
  const int len = node->TextLength();
  const uint8_t *attr = styled ? node->Attributes() : nullptr;
  const bool tabs = (node->Flags & nfHasTab) != 0;
  const int64_t selS = SelStart() - rowStart, selE = SelEnd() - rowStart;
  const bool showSel = SelAvail() && (hasFocus() || !HideSelection);
  const QColor selFore = SMColor(SelTextColor), selBack = SMColor(SelTextBack);
  const TResolvedStyle &plain = styles_[0];
  const QColor defBack = SMColor(DefBackColor), defFore = SMColor(DefTextColor);

  p.save();
  p.setClipRect(QRect(left, y, width - left, lh));
  // Walk characters to the first visible column.
  int col = 0;
  int i = 0;
  auto advance = [&](int at, int c) {
    return text[at] == '\t' ? (tabs ? Tabs().NextStop(c) : c + 1) : c + 1;
  };
  if (!tabs) {
    i = std::min(lc, len);
    col = i;
  } else {
    while (i < len) {
      const int next = advance(i, col);
      if (next > lc)
        break;
      col = next;
      ++i;
    }
  }
  // Backgrounds first (one fill per span of equal colour), then glyphs in
  // runs of equal font and colour; blanks and TABs never break a glyph run.
  const int firstCol = std::max(col, lc);
  p.fillRect(QRect(left, y, width - left, lh), defBack);
  QColor spanBack = defBack;
  int spanCol = firstCol;
  QColor runFore;
  size_t runFont = 0;
  bool runOpen = false;
  QList<quint32> runGlyphs;
  QList<QPointF> runPos;
  auto flushSpan = [&](int endCol) {
    if (endCol > spanCol && spanBack != defBack)
      p.fillRect(QRect(left + (spanCol - lc) * cw, y, (endCol - spanCol) * cw, lh), spanBack);
  };
  // Glyphs are drawn after all backgrounds, so they are collected first.
  struct TGlyphBatch {
    size_t Font;
    QColor Fore;
    QList<quint32> Glyphs;
    QList<QPointF> Pos;
  };
  std::vector<TGlyphBatch> batches;
  auto flushRun = [&]() {
    if (runOpen && !runGlyphs.isEmpty())
      batches.push_back({runFont, runFore, std::move(runGlyphs), std::move(runPos)});
    runGlyphs = {};
    runPos = {};
    runOpen = false;
  };
  const int stopCol = lc + vcols;
  while (i < len && col < stopCol) {
    const int next = advance(i, col);
    const bool sel = showSel && i >= selS && i < selE;
    const TResolvedStyle &st = attr ? styles_[attr[i]] : plain;
    const QColor back = sel ? selBack : styled ? st.Back : defBack;
    if (back != spanBack) {
      flushSpan(std::max(col, lc));
      spanBack = back;
      spanCol = std::max(col, lc);
    }
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte != ' ' && byte != '\t') {
      const size_t fontBits = styled ? st.FontStyle : (DefFontStyle & 0xF);
      const QColor &fore = sel ? selFore : styled ? st.Fore : defFore;
      if (!runOpen || fontBits != runFont || fore != runFore) {
        flushRun();
        runOpen = true;
        runFont = fontBits;
        runFore = fore;
      }
      const TGlyphs &glyphs = GlyphsOf(fontBits);
      const quint32 gi = glyphs.Raw.isValid() ? glyphs.Index[byte] : 0;
      if (gi) {
        runGlyphs.append(gi);
        runPos.append(QPointF(left + (col - lc) * cw, 0));
      } else {
        // Not in the font: this one character goes through text layout.
        flushRun();
        batches.push_back({fontBits, fore, {}, {QPointF(left + (col - lc) * cw, byte)}});
      }
    }
    col = next;
    ++i;
  }
  flushSpan(std::max(col, lc));
  flushRun();
  for (TGlyphBatch &g : batches) {
    p.setPen(g.Fore);
    if (g.Glyphs.isEmpty()) {
      p.setFont(styleFonts_[g.Font]);
      p.drawText(QPointF(g.Pos[0].x(), y + ascent_),
                 QString(Cp1252Char(static_cast<unsigned char>(g.Pos[0].y()))));
      continue;
    }
    QGlyphRun run;
    run.setRawFont(GlyphsOf(g.Font).Raw);
    run.setGlyphIndexes(g.Glyphs);
    run.setPositions(g.Pos);
    run.setUnderline(g.Font & fsUnderline);
    run.setStrikeOut(g.Font & fsStrikeOut);
    p.drawGlyphRun(QPointF(0, y + ascent_), run);
  }
  // After the text: the line break shows as one selected cell when selected.
  const int endX = left + std::max(0, col - lc) * cw;
  if (i >= len && showSel && node->EndsWithCR() && selS <= len && selE > len && col >= lc)
    p.fillRect(QRect(endX, y, cw, lh), selBack);

  // Marks over this row.
  if (const TTextMarks &marks = Store()->TextMarks; !marks.Empty()) {
    const int64_t rowEnd = rowStart + node->Length;
    marks.ForEachOverlapping(rowStart, rowEnd, [&](const TTextMark &m) {
      const int o0 = static_cast<int>(std::max<int64_t>(m.Start, rowStart) - rowStart);
      const int o1 = static_cast<int>(std::min<int64_t>(m.End, rowStart + len) - rowStart);
      const int c0 = OffsetToColumn(node, o0, Tabs());
      const int c1 = m.End > rowStart + len
                         ? OffsetToColumn(node, len, Tabs()) +
                               (m.End > rowStart + len && node->EndsWithCR() ? 1 : 0)
                         : OffsetToColumn(node, o1, Tabs());
      const QRect rect(left + (c0 - lc) * cw, y, std::max(1, c1 - c0) * cw, lh);
      if (OnDrawMark)
        OnDrawMark(this, p, rect, m.Mark);
      else
        DrawDefaultMark(p, rect);
    });
  }
  p.restore();
  (void)line;
}

void TSyntaxMemo::DrawDefaultMark(QPainter &p, const QRect &rect) {
  // Red zigzag along the bottom: every 3 pixels 2 up, then back down.
  p.setPen(QPen(Qt::red, 1));
  const int base = rect.bottom();
  int x = rect.left();
  bool up = true;
  while (x < rect.right()) {
    const int nx = std::min(x + 3, rect.right());
    p.drawLine(x, up ? base : base - 2, nx, up ? base - 2 : base);
    x = nx;
    up = !up;
  }
}

void TSyntaxMemo::PaintGutter(QPainter &p, TLineNode *node, int64_t line, int y, int64_t number) {
  const int gw = GutterWidth();
  const int lh = lineHeight_;
  p.fillRect(QRect(0, y, gw, lh), SMColor(GutterColor));
  const int imgY = y + std::max(0, (lh - kGutterImageHeight) / 2);
  bool glyph = false;
  if (node) {
    if (const uint16_t bm = node->Marks & nmBookmarkMask) {
      int n = 0;
      while (!(bm & (1u << n)))
        ++n;
      p.drawImage(1, imgY, BookmarkGlyph(n));
      glyph = true;
    }
    if (node->Gutter) {
      int b = 15;
      while (!(node->Gutter & (1u << b)))
        --b;
      const QImage &own = GutterMarkImages[static_cast<size_t>(b)];
      p.drawImage(std::max(1, gw - kGutterImageWidth - 1), imgY,
                  own.isNull() ? DefaultGutterMarkImage(b) : own);
      glyph = true;
    }
    if ((node->Marks & nmContinued) && (OptionsMask() & smoShowWrapGlyph)) {
      p.drawImage(std::max(1, gw - kGutterImageWidth - 1), imgY, WrappedGlyph());
      return;
    }
  }
  const bool startsLine =
      node ? !(node->Marks & nmContinued)
           : (line == LineCount() && LineCount() > 0 && Store()->Last()->EndsWithCR());
  if (glyph || !startsLine || !(OptionsMask() & smoLineNumbers))
    return;
  if (number <= 0)
    return;
  QString num = QString::number(number);
  if (num.size() > 8)
    num = num.left(8);
  p.setFont(gutterFont_);
  p.setPen(Qt::black);
  const QFontMetrics fm(gutterFont_);
  const int ty = lh >= 9 ? y + (lh - fm.height()) / 2 + fm.ascent() : y + fm.ascent();
  p.drawText(2, ty, num);
}

void TSyntaxMemo::PaintCaret(QPainter &p) {
  if (!hasFocus() || !caretOn_)
    return;
  const int64_t line = LineFromPos(Caret());
  const int64_t row = line - TopLine();
  if (row < 0 || row >= VisibleRows())
    return;
  const int col = CaretColumn();
  const int lc = LeftColumn();
  if (col < lc || col > lc + VisibleColumns())
    return;
  const int x = TextLeft() + (col - lc) * charWidth_;
  const int y = static_cast<int>(row) * lineHeight_;
  int w = 2;
  if (!InsertMode() && (OptionsMask() & smoBlockOverwriteCursor)) {
    w = charWidth_;
    const int64_t pos = Caret();
    if (!CaretIsVirtual() && pos < TextLength() && CharAt(pos) == '\t')
      w = (Tabs().NextStop(col) - col) * charWidth_;
  }
  p.save();
  p.setClipRect(QRect(TextLeft(), 0, viewport()->width() - TextLeft(), viewport()->height()));
  p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  p.fillRect(QRect(x, y, w, lineHeight_), Qt::white);
  p.restore();
}
