// TSyntaxMemo: the editor control as a widget. The toolkit-free core keeps the
// text, selection and commands; this class paints it (highlighted runs,
// selection, marks, margins, gutter, caret), scrolls, wraps, and turns mouse
// and keyboard events into the core's operations.
#pragma once

#include "CustomSyntaxMemo.h"
#include "Highlighting.h"
#include "QtClipboard.h"

#include <QAbstractScrollArea>
#include <QDate>
#include <QFont>
#include <QImage>
#include <QPen>
#include <QRawFont>
#include <QTimer>

#include <array>
#include <climits>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TSyntaxMemoParser;
class TSchemeHighlighter;
class TPrintPagination;
class QPainter;
class QPrinter;

// Windows message numbers the control answers besides the core's.
constexpr uint32_t WM_HSCROLL = 0x0114;
constexpr uint32_t WM_VSCROLL = 0x0115;
// Scroll-bar codes of WM_VSCROLL / WM_HSCROLL (low word of wParam).
constexpr int SB_LINEUP = 0, SB_LINEDOWN = 1, SB_PAGEUP = 2, SB_PAGEDOWN = 3, SB_THUMBPOSITION = 4,
              SB_THUMBTRACK = 5, SB_TOP = 6, SB_BOTTOM = 7, SB_ENDSCROLL = 8;

enum class TFlatScrollBarStyle { fssEncarta, fssFLAT, fssREGULAR };

class TSyntaxMemo;
using TMarkDrawEvent =
    std::function<void(TSyntaxMemo *, QPainter &aDC, const QRect &aRect, int aMark)>;
using TLineDrawEvent = std::function<void(TSyntaxMemo *, QPainter &, const QRect &, int64_t line)>;
using TGutterClick = std::function<void(TSyntaxMemo *, int64_t LineNo)>;
using TFilesDroppedEvent =
    std::function<void(TSyntaxMemo *, const std::vector<std::string> &files)>;
using TSMTokenSeenEvent =
    std::function<void(TSyntaxMemo *, int TokenValue, int64_t ExtentStart, int64_t ExtentEnd)>;
// Returns true when the owner consumed the wheel notch (delta: lines, down positive).
using TWheelEvent = std::function<bool(TSyntaxMemo *, int delta)>;

class TSyntaxMemo : public QAbstractScrollArea, public TCustomSyntaxMemo {
  Q_OBJECT

public:
  explicit TSyntaxMemo(QWidget *parent = nullptr);
  ~TSyntaxMemo() override;

  // The message protocol, with the scroll messages the widget answers itself.
  intptr_t Perform(uint32_t msg, intptr_t wParam = 0, intptr_t lParam = 0);

  // --- language scheme ---
  // Attaches a scheme (null: none); its settings are applied at once.
  void SetParser(TSyntaxMemoParser *parser);
  TSyntaxMemoParser *Parser() const { return parser_; }
  // Any other highlighter (not owned); replaces the scheme's.
  void SetHighlighterObject(THighlighter *h);
  // Takes fonts, colours, options, tabs, key map, templates and auto-replace
  // from the scheme's settings (SM_APPLYSETTINGS).
  void ApplySettings() override;
  // Raises the editor-options dialog for the scheme; OK re-applies the
  // settings to every control the scheme serves.
  bool ModifyProperties();
  // The live controls that show a scheme.
  static std::vector<TSyntaxMemo *> ControlsOf(const TSyntaxMemoParser *parser);

  // --- display properties ---
  void SetFont(const QFont &font);
  QFont Font() const { return font_; }
  uint32_t SelTextColor = 0xFFFFFF;
  uint32_t SelTextBack = 0x808000; // teal
  int Gutter() const { return gutter_; }
  void SetGutter(int width);
  uint32_t GutterColor = 0x8000000F; // the system's button face
  void SetGutterFont(const QFont &font);
  QFont GutterFont() const { return gutterFont_; }
  int Margin = 2;
  uint32_t MarginColor = 0xFFFFFF;
  int RightMargin = 80;
  int WrapAtColumn() const { return wrapAtColumn_; }
  void SetWrapAtColumn(int column);
  bool ShowFocusLine = false;
  bool HideSelection = true;
  Qt::CursorShape HyperCursor = Qt::CrossCursor;
  TFlatScrollBarStyle FlatScrollBarStyle = TFlatScrollBarStyle::fssFLAT;
  // The pen of the wrap-column line; NoPen draws none.
  QPen WrapPen = QPen(QColor(192, 192, 192), 1, Qt::DashLine);
  QPen RightMarginPen = QPen(QColor(192, 192, 192), 1);
  // Gutter-mark images by bit number (0..15); a null one shows the default
  // image of its bit.
  std::array<QImage, 16> GutterMarkImages;

  // --- geometry ---
  int CharWidth() const { return charWidth_; }
  int LineHeight() const { return lineHeight_; }
  int VisibleRows() const;
  int VisibleColumns() const;
  int GutterWidth() const; // 0 without smoShowGutter
  int TextLeft() const { return GutterWidth() + Margin; }

  // --- text marks (kept by the shown store, so they stay with its document) ---
  int AddMark(int64_t start, int64_t length, int32_t mark);
  void RemoveMark(size_t index);
  void ClearMarks();
  // Adds marks in one go (a find-all run); one repaint afterwards.
  void AddMarks(const std::vector<TTextMark> &marks);
  // Removes every mark with this tag; returns how many there were.
  size_t RemoveMarksTagged(int32_t tag);
  const std::vector<TTextMark> &Marks() const { return Store()->TextMarks.Items(); }

  // --- events ---
  // Draws one text mark; unset, every mark gets the red zigzag of
  // DrawDefaultMark, which a handler can also call for the marks it leaves.
  TMarkDrawEvent OnDrawMark;
  void DrawDefaultMark(QPainter &p, const QRect &rect);
  TLineDrawEvent OnDrawLine;
  TGutterClick OnGutterClick;
  TFilesDroppedEvent OnFilesDropped;
  TSMTokenSeenEvent OnTokenSeen;
  TWheelEvent OnMouseWheel;
  // Shadows the core's event: the widget follows every edit itself first.
  TTextEvent OnTextChange;

  // --- highlighting ---
  TSyntaxHighlighting &Highlighting() { return Pass(); }
  bool HighlightingActive();
  // Runs the idle scan to the end at once.
  void FinishHighlighting();

  // Renders the whole control as it shows now.
  QImage RenderToImage();
  // The logical (1-based) line number of node `line`.
  int64_t LogicalLineNumber(int64_t line);

  // --- printing (SyntaxMemoPrint.cpp) ---
  // Draws page pageNumber (from 1) of the text, or of the selection, into a
  // rectangle of a device with dpi pixels per inch, in the styles the screen
  // shows and by the print options; true when more pages follow.
  bool DrawPage(QPainter &canvas, int pageNumber, const QRect &rect, const QSize &dpi,
                bool selectionOnly = false);
  int PageCount(const QRect &rect, const QSize &dpi, bool selectionOnly = false);
  // The rows of every page as text (see TPrintPagination::Dump).
  std::string PageLayout(const QRect &rect, const QSize &dpi, bool selectionOnly = false);
  // The printer of the print operation (not owned), and the rectangle of its
  // physical page, in its pixels, that the pages fill (empty: the whole page).
  QPrinter *Printer = nullptr;
  QRect PrintArea;
  // The date the heading shows (null: the day it is printed).
  QDate PrintDate;
  // Prints pages first..last (from 1, limited to those there are) of the text
  // or of the selection, copies times over, as one print job.
  void Print(int first = 1, int last = INT_MAX, int copies = 1) {
    PrintText(false, first, last, copies);
  }
  void PrintSelection(int first = 1, int last = INT_MAX, int copies = 1) {
    PrintText(true, first, last, copies);
  }

  // Chooses a template from the list offered when no template name stands
  // before the caret; returns an index into candidates or -1. Unset: a popup list.
  std::function<int(TSyntaxMemo *, const std::vector<int> &candidates)> ChooseTemplate;

protected:
  void paintEvent(QPaintEvent *e) override;
  void resizeEvent(QResizeEvent *e) override;
  void scrollContentsBy(int dx, int dy) override;
  void keyPressEvent(QKeyEvent *e) override;
  void inputMethodEvent(QInputMethodEvent *e) override;
  void mousePressEvent(QMouseEvent *e) override;
  void mouseMoveEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;
  void mouseDoubleClickEvent(QMouseEvent *e) override;
  void wheelEvent(QWheelEvent *e) override;
  void focusInEvent(QFocusEvent *e) override;
  void focusOutEvent(QFocusEvent *e) override;
  void dragEnterEvent(QDragEnterEvent *e) override;
  void dragMoveEvent(QDragMoveEvent *e) override;
  void dropEvent(QDropEvent *e) override;
  bool focusNextPrevChild(bool next) override;
  bool event(QEvent *e) override;
  void UndoStepDone() override;
  void ShowErrorMessage(const std::string &text) override;

private:
  class TView;
  friend class TView;
  struct TResolvedStyle;
  struct TPageFrame;
  TPageFrame PageFrame(const QRect &rect, const QSize &dpi, bool selectionOnly, int deviceDpi);
  TPrintPagination &Pagination(const TPageFrame &frame);
  void PrintText(bool selectionOnly, int first, int last, int copies);

  void MeasureFont();
  void RebuildStyles();
  void UpdateScrollBars();
  void ViewRepaintLines(int64_t first, int64_t last);
  void ViewScrolled();
  void ViewCaretMoved();
  void RunIdleHighlight();
  // The highlighting pass, its token hook connected while OnTokenSeen is set.
  TSyntaxHighlighting &Pass();
  void TextChangedHook(int64_t start, int64_t extent);

  void PaintRow(QPainter &p, TLineNode *node, int64_t line, int64_t rowStart, int y, bool styled);
  void PaintGutter(QPainter &p, TLineNode *node, int64_t line, int y, int64_t number);
  void PaintCaret(QPainter &p);
  QColor ColorOf(uint32_t c) const;
  // Position and virtual column under a client point (clamped into the text).
  int64_t PosAtPoint(const QPoint &pt, int *column = nullptr, int64_t *line = nullptr);
  int ColumnAtX(int x) const;
  void MoveDropCaret(const QPoint &pt);
  bool InsideSelection(int64_t pos) const;
  void MoveText(int64_t to, bool copy);
  void InsertDropped(int64_t pos, const std::string &text);
  bool IsHotspotAt(const QPoint &pt);
  void ShowTemplateList(const std::vector<int> &candidates, const std::string &word);
  uint16_t TranslateKey(const QKeyEvent *e) const;
  bool KeyIsBound(uint16_t key) const;
  void SyncStore();
  // Re-wraps the whole text when wrapping was switched or its column moved.
  void CheckWrap(bool force = false);
  int WrapWidth() const;
  void UpdateRows(int64_t first, int64_t last);

  std::unique_ptr<TView> view_;
  TQtClipboard clipboard_;
  TSyntaxHighlighting highlighting_;
  TSyntaxMemoParser *parser_ = nullptr;
  std::unique_ptr<TSchemeHighlighter> schemeHighlighter_;
  THighlighter *activeHighlighter_ = nullptr;
  TTextStore *shownStore_ = nullptr;
  std::unique_ptr<TKeyboardActionContoller> ownKeyMap_;
  std::unique_ptr<TPrintPagination> pagination_;
  uint64_t textGeneration_ = 0; // counts edits and store changes, for the pagination

  QFont font_;
  QFont gutterFont_;
  std::array<QFont, 16> styleFonts_; // by font style bits
  // Glyph of each byte in each style's font (0: not in the font), so runs are
  // drawn as glyph runs on the character grid without text shaping.
  struct TGlyphs {
    bool Built = false;
    QRawFont Raw;
    std::array<quint32, 256> Index{};
  };
  // The glyphs of one font style, looked up when a row first paints in it: a
  // font change (and start-up) then costs one font match, not sixteen.
  const TGlyphs &GlyphsOf(size_t fontBits);
  std::array<TGlyphs, 16> glyphs_;
  int charWidth_ = 8;
  int lineHeight_ = 16;
  int ascent_ = 12;
  int gutter_ = 34;
  int wrapAtColumn_ = 0;
  int wrapWidthUsed_ = 0; // the column the text is wrapped at (0: not wrapped)
  std::vector<TResolvedStyle> styles_;

  // Logical line number cache: node index -> 1-based logical number.
  int64_t lnLine_ = -1;
  int64_t lnNumber_ = 0;
  TLineNode *lnNode_ = nullptr;

  QTimer idleTimer_;
  QTimer caretTimer_;
  bool caretOn_ = true;
  bool syncingScroll_ = false;
  int64_t lastLineCount_ = -1;
  int64_t paintedAnchor_ = 0, paintedCaret_ = 0;
  int wheelRemainder_ = 0;
  // Last settings taken from the scheme, so a reload does not undo the
  // owner's direct changes unless the scheme's settings changed.
  struct TAppliedSettings;
  std::unique_ptr<TAppliedSettings> applied_;

  // Mouse state.
  enum class TDrag { None, Selecting, MaybeMove, Moving };
  TDrag drag_ = TDrag::None;
  QPoint pressPoint_;
  int64_t dropPos_ = -1;
  bool wordSelecting_ = false;
  int64_t wordAnchorStart_ = 0, wordAnchorEnd_ = 0;
};

// The control's colour value (0x00BBGGRR, or 0x80000000 + a system colour
// index) as a colour.
QColor SMColor(uint32_t value);
