// The editor's printed pages: how rows and pages are cut from the text
// (properties over random texts and shapes), the pages following edits, what
// a drawn page shows (styles, line numbers, heading, page number, wrap), and
// the texts a page is drawn with, directly and played back from a picture.
#include "PrintPagination.h"
#include "PrintPdfTools.h"
#include "SyntaxMemoParser.h"
#include "WidgetTestUtil.h"
#include "WordWrap.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QPaintEngine>
#include <QPainter>
#include <QPicture>

#include <climits>
#include <map>
#include <random>
#include <set>
#include <sstream>

using namespace kxwidget;
using kxpdf::InkBox;

namespace {

std::string RandomText(std::mt19937 &rng) {
  std::uniform_int_distribution<int> lines(0, 60), pick(0, 99);
  const std::string alphabet = "abcdefgh  \t.";
  std::string text;
  const int n = lines(rng);
  for (int i = 0; i < n; ++i) {
    const int kind = pick(rng);
    int len = kind < 20 ? 0 : kind < 90 ? pick(rng) : 2000 + pick(rng) * 30;
    for (int k = 0; k < len; ++k)
      text.push_back(alphabet[static_cast<size_t>(pick(rng)) % alphabet.size()]);
    if (i + 1 < n || pick(rng) < 50)
      text.push_back('\r');
  }
  return text;
}

struct TLine {
  int64_t Start;
  int Length; // without the CR
};

// The logical lines of a stored text, as the pages must show them.
std::vector<TLine> LinesOf(const std::string &text) {
  std::vector<TLine> out;
  size_t start = 0;
  while (start < text.size()) {
    const size_t cr = text.find('\r', start);
    const size_t end = cr == std::string::npos ? text.size() : cr;
    out.push_back({static_cast<int64_t>(start), static_cast<int>(end - start)});
    start = cr == std::string::npos ? text.size() : cr + 1;
  }
  return out;
}

int VisualWidth(const std::string &s, const TTabStops &tabs) {
  int col = 0;
  for (char c : s)
    col = c == '\t' ? tabs.NextStop(col) : col + 1;
  return col;
}

} // namespace

TEST(PrintPagination, RowsCoverEveryLineInOrderAndFillEveryPageButTheLast) {
  App();
  std::mt19937 rng(1234);
  std::uniform_int_distribution<int> cols(1, 40), rows(1, 30), coin(0, 1);
  for (int round = 0; round < 150; ++round) {
    const std::string text = RandomText(rng);
    TCustomSyntaxMemo memo;
    memo.Perform(WM_SETTEXT, 0, reinterpret_cast<intptr_t>(text.c_str()));
    const std::string stored = memo.Text();
    TPrintShape shape;
    shape.End = memo.TextLength();
    shape.Columns = cols(rng);
    shape.Rows = rows(rng);
    shape.Wrap = coin(rng) != 0;
    SCOPED_TRACE("round " + std::to_string(round) + " columns " + std::to_string(shape.Columns) +
                 " rows " + std::to_string(shape.Rows) + (shape.Wrap ? " wrap" : " cut"));
    TPrintPagination pages;
    pages.Prepare(*memo.Store(), memo.Tabs(), 1, shape);
    const int count = pages.PageCount();
    std::vector<TPrintRow> all;
    for (int p = 1; p <= count; ++p) {
      const std::vector<TPrintRow> r = pages.PageRows(p);
      if (p < count) {
        ASSERT_EQ(static_cast<int>(r.size()), shape.Rows) << "page " << p;
      } else if (!stored.empty()) {
        ASSERT_GE(r.size(), 1u);
      }
      all.insert(all.end(), r.begin(), r.end());
    }
    EXPECT_FALSE(pages.HasPage(count + 1));
    EXPECT_TRUE(pages.PageRows(count + 1).empty());
    const int64_t total = static_cast<int64_t>(all.size());
    EXPECT_EQ(count, std::max<int64_t>(1, (total + shape.Rows - 1) / shape.Rows));

    // Every logical line, whole and in order: one row when cut, contiguous
    // rows no wider than the page when wrapped.
    size_t at = 0;
    const std::vector<TLine> lines = LinesOf(stored);
    for (size_t i = 0; i < lines.size(); ++i) {
      ASSERT_LT(at, all.size());
      ASSERT_EQ(all[at].Pos, lines[i].Start) << "line " << i;
      EXPECT_EQ(all[at].Number, static_cast<int64_t>(i) + 1);
      if (!shape.Wrap) {
        EXPECT_EQ(all[at].Length, lines[i].Length);
        ++at;
        continue;
      }
      int64_t pos = lines[i].Start;
      const int64_t end = lines[i].Start + lines[i].Length;
      bool first = true;
      while (first || (at < all.size() && all[at].Number == 0 && all[at].Pos == pos && pos < end)) {
        const TPrintRow &r = all[at];
        EXPECT_EQ(r.Pos, pos);
        if (!first) {
          EXPECT_EQ(r.Number, 0);
        }
        std::string row = stored.substr(static_cast<size_t>(r.Pos), static_cast<size_t>(r.Length));
        while (row.size() > 1 && row.back() == ' ')
          row.pop_back();
        if (row.size() > 1) {
          EXPECT_LE(VisualWidth(row, memo.Tabs()), shape.Columns);
        }
        pos += r.Length;
        ++at;
        first = false;
      }
      EXPECT_EQ(pos, end) << "line " << i;
    }
    EXPECT_EQ(at, all.size());

    // Pages asked for out of order are the same pages.
    TPrintPagination shuffled;
    shuffled.Prepare(*memo.Store(), memo.Tabs(), 1, shape);
    EXPECT_EQ(shuffled.PageRows(count).size(), pages.PageRows(count).size());
    EXPECT_EQ(shuffled.Dump(), pages.Dump());

    // The screen's word wrap cuts nodes, not lines: the pages stay the same.
    RewrapStore(*memo.Store(), 7, memo.Tabs());
    TPrintPagination rewrapped;
    rewrapped.Prepare(*memo.Store(), memo.Tabs(), 1, shape);
    EXPECT_EQ(rewrapped.Dump(), pages.Dump());
  }
}

TEST(PrintPagination, PrintsOnlyTheChosenPartAndNumbersFromItsLine) {
  TTextStore store;
  const std::string text = "one\rtwo\rthree\rfour\r";
  store.InsertNormalised(0, text.data(), text.size());
  TTabStops tabs;
  TPrintShape shape;
  shape.Start = 5; // inside "two"
  shape.End = 11;  // inside "three"
  shape.Columns = 80;
  shape.Rows = 10;
  shape.FirstNumber = 2;
  TPrintPagination pages;
  pages.Prepare(store, tabs, 1, shape);
  EXPECT_EQ(pages.Dump(), "page 1: #2 5+2 #3 8+3\n");
}

// ---------------------------------------------------------------------------

namespace {

const QSize kDpi(96, 96);
const QRect kArea(96, 96, 624, 864); // 8.5 by 11 inches less an inch all round

std::string Lines(int n, const std::string &body = "line") {
  std::string s;
  for (int i = 1; i <= n; ++i)
    s += body + " " + std::to_string(i) + "\r";
  return s;
}

std::unique_ptr<TSyntaxMemo> PrintMemo(const std::string &text, uint32_t options) {
  auto m = MakeMemo(text);
  m->SetOptionsMask(options);
  m->PrintDate = QDate(2024, 5, 17);
  return m;
}

QImage PageImage(TSyntaxMemo &m, int page, bool *more = nullptr, QRect area = kArea) {
  QImage img(816, 1056, QImage::Format_RGB32);
  img.setDotsPerMeterX(3780);
  img.setDotsPerMeterY(3780);
  img.fill(Qt::white);
  QPainter p(&img);
  const bool r = m.DrawPage(p, page, area, kDpi);
  p.end();
  if (more)
    *more = r;
  return img;
}

// Rows on the first page when the text is long enough.
int RowsPerPage(uint32_t options) {
  auto m = PrintMemo(Lines(500), options);
  const std::string dump = m->PageLayout(kArea, kDpi);
  const std::string first = dump.substr(0, dump.find('\n'));
  return static_cast<int>(std::count(first.begin(), first.end(), '+'));
}

} // namespace

TEST(PrintPage, ATextThatFillsExactlyOnePageHasOnePage) {
  for (uint32_t options :
       {0u, smoPrintFilename | smoPrintDate | smoPrintPageNos | smoPrintLineNos}) {
    const int rows = RowsPerPage(options);
    ASSERT_GT(rows, 10);
    auto exact = PrintMemo(Lines(rows), options);
    EXPECT_EQ(exact->PageCount(kArea, kDpi), 1);
    bool more = true;
    PageImage(*exact, 1, &more);
    EXPECT_FALSE(more);
    // The same without the final line break.
    std::string text = Lines(rows);
    text.pop_back();
    auto unterminated = PrintMemo(text, options);
    EXPECT_EQ(unterminated->PageCount(kArea, kDpi), 1);

    auto over = PrintMemo(Lines(rows + 1), options);
    EXPECT_EQ(over->PageCount(kArea, kDpi), 2);
    PageImage(*over, 1, &more);
    EXPECT_TRUE(more);
    PageImage(*over, 2, &more);
    EXPECT_FALSE(more);
    // Past the last page nothing is drawn.
    const QImage past = PageImage(*over, 3, &more);
    EXPECT_FALSE(more);
    EXPECT_TRUE(InkBox(past, past.rect()).isNull());
  }
  auto empty = PrintMemo("", 0);
  EXPECT_EQ(empty->PageCount(kArea, kDpi), 1);
}

TEST(PrintPage, ThePagesFollowEveryEditAndUndo) {
  const int rows = RowsPerPage(0);
  auto m = PrintMemo(Lines(rows * 4), 0);
  EXPECT_EQ(m->PageCount(kArea, kDpi), 4);
  // Delete three pages' worth of lines: the cached page starts must go.
  m->SetSelection(0, m->LineStart(rows * 3));
  m->ReplaceSel("");
  EXPECT_EQ(m->PageCount(kArea, kDpi), 1);
  m->Undo();
  EXPECT_EQ(m->PageCount(kArea, kDpi), 4);
  // A change that keeps the length still moves the rows: "line" becomes
  // "a", a line break and "bc".
  const std::string before = m->PageLayout(kArea, kDpi);
  m->SetSelection(0, 4);
  m->ReplaceSel("a\rbc");
  ASSERT_EQ(m->TextLength(), static_cast<int64_t>(Lines(rows * 4).size()));
  const std::string after = m->PageLayout(kArea, kDpi);
  EXPECT_NE(after, before);
  EXPECT_EQ(after.rfind("page 1: #1 0+1 #2 2+4 ", 0), 0u) << after.substr(0, 40);
  EXPECT_EQ(m->PageCount(kArea, kDpi), 5) << "one line more than four pages hold";
  m->Undo();
  EXPECT_EQ(m->PageLayout(kArea, kDpi), before);
  // Another store shown in the control has its own pages.
  auto other = std::make_unique<TTextStore>();
  TTextStore *mine = reinterpret_cast<TTextStore *>(m->Perform(SM_TEXTSTORE, 0, 0));
  m->Perform(SM_TEXTSTORE, 1, reinterpret_cast<intptr_t>(other.get()));
  EXPECT_EQ(m->PageCount(kArea, kDpi), 1);
  m->Perform(SM_TEXTSTORE, 1, reinterpret_cast<intptr_t>(mine));
  EXPECT_EQ(m->PageCount(kArea, kDpi), 4);
  // The control's first store passed to this test when it was swapped out;
  // shown again, it is still the test's to free once the control has gone.
  m.reset();
  delete mine;
}

TEST(PrintPage, ShowsTheSchemesColoursAndBoldAsTheScreenDoes) {
  TSyntaxMemoParser parser;
  parser.CompileFile(std::string(KX_SOURCE_DIR) + "/resources/schemes/tarnic.scheme");
  auto m = PrintMemo("' a comment\rHIGH PORTB.0\rPAUSE 500\r", smoSyntaxHighlight);
  m->SetParser(&parser);
  m->SetOptionsMask(smoSyntaxHighlight);
  const QImage img = PageImage(*m, 1);
  const QRect text(kArea.left(), kArea.top(), 300, 60);
  // Comments green, keywords navy, numbers red: all three colours on paper.
  EXPECT_GT(CountColour(img, text, QColor(0, 128, 0), 60), 10);
  EXPECT_GT(CountColour(img, text, QColor(0, 0, 128), 60), 10);
  EXPECT_GT(CountColour(img, text, QColor(255, 0, 0), 60), 5);
  // Without highlighting the same text is all default colour.
  m->SetOptionsMask(0);
  const QImage plain = PageImage(*m, 1);
  EXPECT_EQ(CountColour(plain, text, QColor(0, 128, 0), 60), 0);
  EXPECT_EQ(CountColour(plain, text, QColor(255, 0, 0), 60), 0);
}

TEST(PrintPage, LineNumbersHeadingAndPageNumberAppearOnlyWithTheirOptions) {
  const std::string text = Lines(200);
  auto bare = PrintMemo(text, 0);
  const QImage b = PageImage(*bare, 2);
  const QRect ink = InkBox(b, b.rect());
  // Without options the text starts at the rectangle's corner.
  EXPECT_LE(std::abs(ink.left() - kArea.left()), 2);
  EXPECT_LE(ink.top() - kArea.top(), 8);

  auto numbered = PrintMemo(text, smoPrintLineNos);
  const QImage n = PageImage(*numbered, 2);
  // The text moves right to make room for the numbers, which stand left of it.
  EXPECT_GT(InkBox(n, QRect(kArea.left() + 60, kArea.top(), 40, 20)).width(), 0);
  EXPECT_GT(InkBox(n, QRect(kArea.left(), kArea.top(), 40, 20)).width(), 0);
  EXPECT_TRUE(InkBox(b, QRect(kArea.left() + 40, kArea.top(), 16, kArea.height())).isNull() ||
              InkBox(n, QRect(kArea.left(), kArea.top(), 60, 20)) !=
                  InkBox(b, QRect(kArea.left(), kArea.top(), 60, 20)));

  auto headed = PrintMemo(text, smoPrintFilename | smoPrintDate);
  headed->Title = "HEADING.BAS";
  const QImage h = PageImage(*headed, 2);
  const QRect headingRow(kArea.left(), kArea.top(), kArea.width(), 18);
  const QRect left = InkBox(h, QRect(headingRow.left(), headingRow.top(), 200, 18));
  const QRect right = InkBox(h, QRect(headingRow.right() - 200, headingRow.top(), 200, 18));
  EXPECT_GT(left.width(), 40) << "the title at the left";
  EXPECT_GT(right.width(), 30) << "the date at the right";
  // Only the title, then only the date.
  headed->SetOptionsMask(smoPrintFilename);
  EXPECT_TRUE(
      InkBox(PageImage(*headed, 2), QRect(headingRow.right() - 150, headingRow.top(), 150, 18))
          .isNull());
  headed->SetOptionsMask(smoPrintDate);
  EXPECT_TRUE(
      InkBox(PageImage(*headed, 2), QRect(headingRow.left(), headingRow.top(), 150, 18)).isNull());

  // A title too long for the line gives up its middle before it reaches the
  // date: the date's corner looks the same with and without it.
  headed->Title = "/home/user/" + std::string(300, 'p') + "/BLINK.BAS";
  headed->SetOptionsMask(smoPrintFilename | smoPrintDate);
  const QImage both = PageImage(*headed, 2);
  headed->SetOptionsMask(smoPrintDate);
  const QImage dateOnly = PageImage(*headed, 2);
  const int dateLeft = InkBox(dateOnly, headingRow).left();
  const QRect corner(QPoint(dateLeft - 8, headingRow.top()), headingRow.bottomRight());
  EXPECT_EQ(both.copy(corner), dateOnly.copy(corner));
  EXPECT_LT(
      InkBox(both, QRect(headingRow.left(), headingRow.top(), dateLeft - 8 - kArea.left(), 18))
          .right(),
      dateLeft - 8);
  EXPECT_GT(InkBox(both, QRect(headingRow.left(), headingRow.top(), 400, 18)).width(), 300);

  auto paged = PrintMemo(text, smoPrintPageNos);
  const QImage pg = PageImage(*paged, 2);
  const QRect foot(kArea.right() - 120, kArea.bottom() - 18, 120, 18);
  const QRect number = InkBox(pg, foot);
  EXPECT_GT(number.width(), 30);
  EXPECT_LE(kArea.right() - number.right(), 3) << "right-aligned";
  EXPECT_TRUE(InkBox(b, foot).isNull());
}

TEST(PrintPage, LongLinesWrapInsideThePageOrAreCutAtItsEdge) {
  const std::string text = std::string(300, 'X') + "\rnext\r";
  auto wrapped = PrintMemo(text, smoPrintWrap);
  auto cut = PrintMemo(text, 0);
  const QImage w = PageImage(*wrapped, 1);
  const QImage c = PageImage(*cut, 1);
  const int lh = 16; // rows are about this high at 10 points
  // Wrapped: the X's fill several rows before "next"; cut: "next" is row 2.
  const QRect row3(kArea.left(), kArea.top() + 2 * lh + 2, kArea.width(), lh - 4);
  EXPECT_GT(InkBox(w, row3).width(), kArea.width() / 2);
  EXPECT_LT(InkBox(c, row3).width(), 10);
  // Nothing is drawn right of the rectangle either way.
  for (const QImage *img : {&w, &c})
    EXPECT_TRUE(InkBox(*img, QRect(kArea.right() + 1, 0, 816 - kArea.right() - 1, 1056)).isNull());
  EXPECT_GT(wrapped->PageCount(kArea, kDpi), 0);
  EXPECT_NE(wrapped->PageLayout(kArea, kDpi), cut->PageLayout(kArea, kDpi));
}

TEST(PrintPage, TheSelectionPrintsOnItsOwn) {
  auto m = PrintMemo(Lines(300), smoPrintLineNos);
  m->SetSelection(m->LineStart(100), m->LineStart(110));
  const std::string dump = m->PageLayout(kArea, kDpi, true);
  EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), 1);
  EXPECT_EQ(std::count(dump.begin(), dump.end(), '+'), 10);
  EXPECT_EQ(dump.rfind("page 1: #101 " + std::to_string(m->LineStart(100)) + "+", 0), 0u);
  EXPECT_GT(m->PageCount(kArea, kDpi), 3);
}

// ---------------------------------------------------------------------------

namespace {

// A page-sized device at 96 pixels per inch that keeps every text drawn on
// it: where (baseline start), what, in which font and colour, and how often
// the font had to be set anew.
class TTextCapture : public QPaintDevice {
public:
  struct TText {
    QPointF At;
    QString Text;
    QFont Font;
    QRgb Color;
  };
  std::vector<TText> Texts;
  int FontChanges = 0;

  QPaintEngine *paintEngine() const override { return &engine_; }

protected:
  int metric(PaintDeviceMetric m) const override {
    switch (m) {
    case PdmWidth:
      return 816;
    case PdmHeight:
      return 1056;
    case PdmWidthMM:
      return 216;
    case PdmHeightMM:
      return 279;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
      return 96;
    case PdmDepth:
      return 32;
    case PdmNumColors:
      return INT_MAX;
    case PdmDevicePixelRatio:
      return 1;
    case PdmDevicePixelRatioScaled:
      return static_cast<int>(devicePixelRatioFScale());
    }
    return 0;
  }

private:
  class TEngine : public QPaintEngine {
  public:
    explicit TEngine(TTextCapture &c) : QPaintEngine(AllFeatures), c_(c) {}
    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState &s) override {
      if (s.state() & DirtyPen)
        pen_ = s.pen();
      if (s.state() & DirtyTransform)
        transform_ = s.transform();
      if (s.state() & DirtyFont)
        ++c_.FontChanges;
    }
    void drawTextItem(const QPointF &p, const QTextItem &ti) override {
      c_.Texts.push_back({transform_.map(p), ti.text(), ti.font(), pen_.color().rgba()});
    }
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
    void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
    void drawPath(const QPainterPath &) override {}
    void drawRects(const QRectF *, int) override {}
    Type type() const override { return User; }

  private:
    TTextCapture &c_;
    QPen pen_;
    QTransform transform_;
  };
  mutable TEngine engine_{*this};
};

// A random piece of PIC BASIC: keywords, numbers, strings, comments and names
// apart by runs of blanks and TABs of any length.
std::string RandomBasic(std::mt19937 &rng) {
  static const char *words[] = {
      "HIGH", "PORTB.0",  "PAUSE",       "500",    "IF",          "x",     "=",
      "$FE",  "THEN",     "GOTO",        "main",   "\"Value: \"", "%1010", ":",
      "DEC",  "counter0", "' a comment", "; wait", "FOR",         "TO",    "NEXT"};
  std::uniform_int_distribution<int> pick(0, 99), word(0, std::size(words) - 1);
  std::string text;
  const int lines = 20 + pick(rng) % 35; // one page
  for (int i = 0; i < lines; ++i) {
    std::string line;
    const int tokens = pick(rng) % 9;
    for (int t = 0; t < tokens && line.size() < 50; ++t) {
      const int gap = pick(rng);
      line += gap < 70 ? std::string(1, ' ') : gap < 85 ? std::string(pick(rng) % 30, ' ') : "\t";
      line += words[word(rng)];
    }
    text += line.substr(0, 58) + "\r";
  }
  return text;
}

struct TCell {
  double X;
  QChar Char;
  QRgb Color;
  bool Bold, Italic;
  bool operator==(const TCell &) const = default;
};

// The inked characters a capture holds, row by row (by baseline), each with
// its place; blanks carry no ink.
std::map<double, std::vector<TCell>> InkedCells(const TTextCapture &cap, double cellWidth) {
  std::map<double, std::vector<TCell>> rows;
  for (const TTextCapture::TText &t : cap.Texts)
    for (int i = 0; i < t.Text.size(); ++i)
      if (t.Text[i] != u' ')
        rows[t.At.y()].push_back(
            {t.At.x() + i * cellWidth, t.Text[i], t.Color, t.Font.bold(), t.Font.italic()});
  for (auto &r : rows)
    std::sort(r.second.begin(), r.second.end(),
              [](const TCell &a, const TCell &b) { return a.X < b.X; });
  return rows;
}

} // namespace

TEST(PrintPage, EveryCharacterLandsInItsCellInItsStyleAndEachFontIsSetOnce) {
  TSyntaxMemoParser parser;
  parser.CompileFile(std::string(KX_SOURCE_DIR) + "/resources/schemes/tarnic.scheme");
  std::mt19937 rng(515);
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    auto m = PrintMemo(RandomBasic(rng), 0);
    m->SetParser(&parser);
    m->SetOptionsMask(smoSyntaxHighlight);
    m->FinishHighlighting();
    QFont plain = m->Font();
    plain.setPointSizeF(10);
    QImage surface(1, 1, QImage::Format_RGB32);
    surface.setDotsPerMeterX(3780);
    surface.setDotsPerMeterY(3780);
    const double cw = QFontMetricsF(m->Font(), &surface).horizontalAdvance(QLatin1Char('W'));

    // What each printed row must show: its inked characters at their
    // columns (TABs to their stops), in the screen's colours and fonts.
    std::vector<std::vector<TCell>> expected;
    const std::string layout = m->PageLayout(kArea, kDpi);
    ASSERT_EQ(std::count(layout.begin(), layout.end(), '\n'), 1) << "one page";
    std::istringstream rowsIn(layout.substr(layout.find(':') + 1));
    for (std::string item; rowsIn >> item;) {
      if (item[0] == '#')
        continue;
      const int64_t pos = std::stoll(item.substr(0, item.find('+')));
      const int len = std::stoi(item.substr(item.find('+') + 1));
      std::string text;
      std::vector<uint8_t> attrs;
      TPrintPagination::GatherLine(*m->Store(), pos, pos + len, text, &attrs);
      std::vector<TCell> row;
      int col = 0;
      for (size_t k = 0; k < text.size(); ++k) {
        const char c = text[k];
        if (c != ' ' && c != '\t') {
          const TTokenStyle st = m->Highlighter->Style(attrs[k]);
          row.push_back({kArea.left() + col * cw, QChar::fromLatin1(c),
                         SMColor(st.DefaultForeground ? m->DefTextColor : st.Foreground).rgba(),
                         (st.FontStyle & fsBold) != 0, (st.FontStyle & fsItalic) != 0});
        }
        col = c == '\t' ? m->Tabs().NextStop(col) : col + 1;
      }
      expected.push_back(row);
    }

    auto check = [&](const TTextCapture &cap) {
      const auto rows = InkedCells(cap, cw);
      auto at = rows.begin();
      // Baselines a constant height apart, counted from the first inked row.
      double firstBaseline = 0, lineHeight = 0;
      int firstRow = -1;
      for (size_t r = 0; r < expected.size(); ++r) {
        if (expected[r].empty())
          continue;
        ASSERT_NE(at, rows.end()) << "row " << r << " missing";
        const int rowsDown = static_cast<int>(r) - firstRow;
        if (firstRow < 0) {
          firstRow = static_cast<int>(r);
          firstBaseline = at->first;
        } else if (lineHeight == 0) {
          lineHeight = (at->first - firstBaseline) / rowsDown;
        } else {
          EXPECT_NEAR(at->first, firstBaseline + rowsDown * lineHeight, 0.01) << "row " << r;
        }
        ASSERT_EQ(at->second.size(), expected[r].size()) << "row " << r;
        for (size_t k = 0; k < expected[r].size(); ++k) {
          const TCell &want = expected[r][k], &got = at->second[k];
          EXPECT_NEAR(got.X, want.X, 0.01) << "row " << r << " char " << k;
          EXPECT_EQ(got.Char, want.Char) << "row " << r << " char " << k;
          EXPECT_EQ(got.Color, want.Color) << "row " << r << " char " << k;
          EXPECT_EQ(got.Bold, want.Bold) << "row " << r << " char " << k;
          EXPECT_EQ(got.Italic, want.Italic) << "row " << r << " char " << k;
        }
        ++at;
      }
      EXPECT_EQ(at, rows.end()) << "ink beyond the text";
      // No text carries a long run of blanks in place of other styles.
      for (const TTextCapture::TText &t : cap.Texts)
        EXPECT_FALSE(t.Text.contains(QString(13, u' '))) << t.Text.toStdString();
    };

    TTextCapture direct;
    {
      QPainter p(&direct);
      m->DrawPage(p, 1, kArea, kDpi);
    }
    check(direct);
    std::set<std::pair<bool, bool>> fonts;
    for (const TTextCapture::TText &t : direct.Texts)
      fonts.insert({t.Font.bold(), t.Font.italic()});
    EXPECT_LE(direct.FontChanges, static_cast<int>(fonts.size()) + 1);

    // The same page recorded and played back.
    QPicture page;
    {
      QPainter p(&page);
      m->DrawPage(p, 1, kArea, kDpi);
    }
    TTextCapture played;
    {
      QPainter p(&played);
      p.drawPicture(0, 0, page);
    }
    check(played);
  }
}

TEST(PrintPage, LineNumbersHeadingAndPageNumberSetTheirFontOncePerPage) {
  auto m =
      PrintMemo(Lines(200), smoPrintFilename | smoPrintDate | smoPrintPageNos | smoPrintLineNos);
  m->Title = "FONTS.BAS";
  TTextCapture cap;
  {
    QPainter p(&cap);
    m->DrawPage(p, 2, kArea, kDpi);
  }
  std::set<std::pair<bool, bool>> fonts;
  int numbers = 0;
  for (const TTextCapture::TText &t : cap.Texts) {
    fonts.insert({t.Font.bold(), t.Font.italic()});
    bool digits = false;
    t.Text.toInt(&digits);
    numbers += digits && t.Color == qRgb(128, 128, 128);
  }
  EXPECT_GT(numbers, 40) << "a grey number on every row";
  EXPECT_EQ(fonts.size(), 2u) << "the plain font and the title's bold";
  EXPECT_LE(cap.FontChanges, 3);
}
