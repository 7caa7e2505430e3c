// Painting, proven by pixels: selection colours and hide-selection, the mark
// zigzag and an OnDrawMark inversion, marks over two rows, gutter numbers only
// where a logical line starts, bookmark glyphs, the right-margin line, the
// block caret, and the scheme's colours; the default gutter-mark images.
#include "WidgetTestUtil.h"

#include "GutterImages.h"
#include "SyntaxMemoParser.h"

#include <QPainter>
#include <QScrollBar>

#include <gtest/gtest.h>

using namespace kxwidget;

namespace {
const QColor kTeal(0, 128, 128);
const QColor kWhite(255, 255, 255);
} // namespace

TEST(SyntaxMemoPaint, SelectionUsesSelColoursAndHidesWithoutFocus) {
  auto m = MakeMemo("hello world\rsecond line");
  m->SetSelection(0, 5);
  m->HideSelection = false;
  QImage img = Shot(*m);
  // Every cell of "hello" has the teal background; " world" does not.
  EXPECT_GT(CountColour(img, Cell(*m, 0, 0), kTeal), m->CharWidth() * m->LineHeight() / 3);
  EXPECT_GT(CountColour(img, Cell(*m, 0, 4), kTeal), 0);
  EXPECT_EQ(CountColour(img, Cell(*m, 0, 6), kTeal), 0);
  // Selected text is drawn in the selection's text colour (white on teal).
  EXPECT_GT(CountColour(img, Cell(*m, 0, 1), kWhite, 40), 0);
  EXPECT_EQ(CountColour(img, Cell(*m, 0, 1), Qt::black, 60), 0);

  // Without the focus and with HideSelection the selection is not shown.
  m->HideSelection = true;
  m->clearFocus();
  auto other = std::make_unique<QWidget>();
  other->show();
  other->activateWindow();
  other->setFocus();
  QApplication::processEvents();
  if (!m->hasFocus()) {
    img = Shot(*m);
    EXPECT_EQ(CountColour(img, Cell(*m, 0, 0), kTeal), 0);
  }
}

TEST(SyntaxMemoPaint, MarkWithoutHandlerDrawsRedZigzagAlongTheBottom) {
  auto m = MakeMemo("abcdefgh\rnext");
  const QImage before = Shot(*m);
  m->AddMark(2, 4, 7);
  const QImage img = Shot(*m);
  const QRect markRect(m->TextLeft() + 2 * m->CharWidth(), 0, 4 * m->CharWidth(), m->LineHeight());
  const QRect bottom(markRect.left(), markRect.bottom() - 2, markRect.width(), 3);
  const int red = CountColour(img, bottom, Qt::red, 60);
  EXPECT_GE(red, markRect.width()); // a connected line across the mark
  // Up and down: the top of the zigzag band and its bottom both have red.
  EXPECT_GT(CountColour(img, QRect(bottom.left(), bottom.top(), bottom.width(), 1), Qt::red, 60),
            2);
  EXPECT_GT(CountColour(img, QRect(bottom.left(), bottom.bottom(), bottom.width(), 1), Qt::red, 60),
            2);
  // Nothing red outside the mark's columns.
  EXPECT_EQ(CountColour(img, QRect(m->TextLeft(), 0, 2 * m->CharWidth() - 1, m->LineHeight()),
                        Qt::red, 60),
            0);
  EXPECT_EQ(CountColour(before, bottom, Qt::red, 60), 0);
}

TEST(SyntaxMemoPaint, DrawMarkHandlerInvertsTheMarkRectangle) {
  auto m = MakeMemo("abcdefgh\rnext");
  const QImage before = Shot(*m);
  std::vector<int> seen;
  m->OnDrawMark = [&](TSyntaxMemo *, QPainter &p, const QRect &r, int mark) {
    seen.push_back(mark);
    p.save();
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.fillRect(r, Qt::white);
    p.restore();
  };
  m->AddMark(1, 3, 0x123456);
  const QImage img = Shot(*m);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.front(), 0x123456);
  const QRect r(m->TextLeft() + m->CharWidth(), 0, 3 * m->CharWidth(), m->LineHeight());
  int inverted = 0, total = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      const QColor a = before.pixelColor(x, y), b = img.pixelColor(x, y);
      ++total;
      if (Near(b, QColor(255 - a.red(), 255 - a.green(), 255 - a.blue()), 2))
        ++inverted;
    }
  EXPECT_EQ(inverted, total);
  // Outside the rectangle nothing changed.
  EXPECT_EQ(before.pixel(r.right() + 2, r.center().y()), img.pixel(r.right() + 2, r.center().y()));
}

TEST(SyntaxMemoPaint, MarkOverTwoRowsIsTwoRectanglesTheFirstToTheRowEnd) {
  auto m = MakeMemo("abcdef\rghijkl\r");
  std::vector<QRect> rects;
  m->OnDrawMark = [&](TSyntaxMemo *, QPainter &, const QRect &r, int) { rects.push_back(r); };
  m->AddMark(3, 7, 1); // "def", the break, "ghi"
  Shot(*m);
  rects.clear();
  Shot(*m);
  ASSERT_EQ(rects.size(), 2u);
  const int cw = m->CharWidth(), left = m->TextLeft();
  EXPECT_EQ(rects[0].left(), left + 3 * cw);
  EXPECT_GE(rects[0].right(), left + 6 * cw - 1); // reaches the end of "abcdef"
  EXPECT_EQ(rects[0].top(), 0);
  EXPECT_EQ(rects[1].left(), left);
  EXPECT_EQ(rects[1].width(), 3 * cw);
  EXPECT_EQ(rects[1].top(), m->LineHeight());
}

TEST(SyntaxMemoPaint, MarksFollowEditsAndVanishWithTheirText) {
  auto m = MakeMemo("one two three");
  m->AddMark(4, 3, 1);
  m->SetSelection(0, 0);
  m->ReplaceSel(std::string("xx"));
  ASSERT_EQ(m->Marks().size(), 1u);
  EXPECT_EQ(m->Marks()[0].Start, 6);
  EXPECT_EQ(m->Marks()[0].End, 9);
  m->SetSelection(5, 10);
  m->ReplaceSel(std::string());
  EXPECT_TRUE(m->Marks().empty());
}

TEST(SyntaxMemoPaint, GutterNumbersOnlyOnRowsThatStartALogicalLine) {
  // A 5000-character line is held in three nodes; the second line follows.
  auto m = MakeMemo(std::string(5000, 'x') + "\rsecond\rthird", 640, 200);
  ASSERT_EQ(m->LineCount(), 5);
  const QImage img = Shot(*m);
  const int lh = m->LineHeight();
  auto gutterRow = [&](int row) { return QRect(0, row * lh, m->Gutter() - 1, lh); };
  EXPECT_GT(CountDark(img, gutterRow(0)), 0);
  EXPECT_EQ(CountDark(img, gutterRow(1)), 0);
  EXPECT_EQ(CountDark(img, gutterRow(2)), 0);
  EXPECT_GT(CountDark(img, gutterRow(3)), 0);
  EXPECT_GT(CountDark(img, gutterRow(4)), 0);
  EXPECT_EQ(m->LogicalLineNumber(3), 2);
  EXPECT_EQ(m->LogicalLineNumber(4), 3);
  // Row 3 shows "2", row 4 "3".
  EXPECT_NE(img.copy(gutterRow(3)), img.copy(gutterRow(4)));
  // Without smoLineNumbers no numbers at all.
  m->SetOptionsMask(m->OptionsMask() & ~smoLineNumbers);
  EXPECT_EQ(CountDark(Shot(*m), QRect(0, 0, m->Gutter() - 1, 5 * lh)), 0);
}

TEST(SyntaxMemoPaint, BookmarkGlyphReplacesTheLineNumber) {
  auto m = MakeMemo("a\rb\rc\rd");
  m->SetBookmark(4, 3, 1); // line 3 (1-based), row 2
  const QImage img = Shot(*m);
  const int lh = m->LineHeight();
  const QColor glyph = BookmarkGlyphColor();
  EXPECT_GT(CountColour(img, QRect(0, 2 * lh, m->Gutter(), lh), glyph, 10), 40);
  EXPECT_EQ(CountColour(img, QRect(0, 1 * lh, m->Gutter(), lh), glyph, 10), 0);
  EXPECT_EQ(CountColour(img, QRect(0, 3 * lh, m->Gutter(), lh), glyph, 10), 0);
  // Each bookmark number has its own image.
  EXPECT_NE(BookmarkGlyph(4), BookmarkGlyph(5));
  EXPECT_EQ(BookmarkGlyph(0).size(), QSize(15, 16));
}

TEST(SyntaxMemoPaint, GutterMarkShowsImageOfTheHighestBit) {
  auto m = MakeMemo("a\rb\rc");
  QImage red(15, 16, QImage::Format_ARGB32_Premultiplied);
  red.fill(QColor(250, 0, 0));
  QImage green(15, 16, QImage::Format_ARGB32_Premultiplied);
  green.fill(QColor(0, 250, 0));
  m->GutterMarkImages[2] = red;
  m->GutterMarkImages[5] = green;
  m->Store()->LocateLine(1).Node->Gutter = (1u << 2) | (1u << 5);
  m->viewport()->update();
  const QImage img = Shot(*m);
  const int lh = m->LineHeight();
  EXPECT_GT(CountColour(img, QRect(0, lh, m->Gutter(), lh), QColor(0, 250, 0), 10), 100);
  EXPECT_EQ(CountColour(img, QRect(0, lh, m->Gutter(), lh), QColor(250, 0, 0), 10), 0);
  EXPECT_EQ(CountDark(img, QRect(0, lh, m->Gutter() - 1, lh)), 0); // no number beside it
}

// A bit without an image of its own shows its default one, the same in every
// editor; one given to a single editor changes no other.
TEST(SyntaxMemoPaint, GutterMarkWithoutItsOwnImageShowsTheDefault) {
  auto a = MakeMemo("a\rb");
  auto b = MakeMemo("a\rb");
  const QColor arrow(255, 200, 0); // the default image of bit 1
  QImage blue(15, 16, QImage::Format_ARGB32_Premultiplied);
  blue.fill(QColor(0, 0, 250));
  b->GutterMarkImages[1] = blue;
  for (TSyntaxMemo *m : {a.get(), b.get()}) {
    m->Store()->LocateLine(1).Node->Gutter = 1u << 1;
    m->viewport()->update();
  }
  const QImage ia = Shot(*a), ib = Shot(*b);
  const int lh = a->LineHeight();
  EXPECT_GT(CountColour(ia, QRect(0, lh, a->Gutter(), lh), arrow, 10), 20);
  EXPECT_EQ(CountColour(ia, QRect(0, 0, a->Gutter(), lh), arrow, 10), 0); // line 0 has no mark
  EXPECT_EQ(CountColour(ib, QRect(0, lh, b->Gutter(), lh), arrow, 10), 0);
  EXPECT_GT(CountColour(ib, QRect(0, lh, b->Gutter(), lh), QColor(0, 0, 250), 10), 100);
  EXPECT_FALSE(DefaultGutterMarkImage(1).isNull());
  EXPECT_EQ(DefaultGutterMarkImage(1).size(), QSize(kGutterImageWidth, kGutterImageHeight));
}

TEST(SyntaxMemoPaint, RightMarginLineDisappearsWhenScrolledPastColumn80) {
  auto m = MakeMemo("short", 1000, 200);
  m->SetOptionsMask(m->OptionsMask() | smoShowRMargin);
  m->RightMargin = 80;
  ASSERT_GT(m->VisibleColumns(), 81);
  const QColor pen = m->RightMarginPen.color();
  const int lh = m->LineHeight();
  const QRect row(m->TextLeft(), 5 * lh, m->viewport()->width() - m->TextLeft(), 1);
  QImage img = Shot(*m);
  const int x = m->TextLeft() + 80 * m->CharWidth();
  EXPECT_TRUE(Near(img.pixelColor(x, 5 * lh), pen, 2));
  EXPECT_EQ(CountColour(img, row, pen, 2), 1);
  m->SetLeftColumn(40);
  img = Shot(*m);
  EXPECT_TRUE(Near(img.pixelColor(m->TextLeft() + 40 * m->CharWidth(), 5 * lh), pen, 2));
  m->SetLeftColumn(81);
  img = Shot(*m);
  EXPECT_EQ(CountColour(img, row, pen, 2), 0);
  // The wrap-column line when asked for.
  m->SetOptionsMask(m->OptionsMask() | smoShowWrapColumn);
  m->SetWrapAtColumn(100);
  img = Shot(*m);
  EXPECT_TRUE(
      Near(img.pixelColor(m->TextLeft() + 19 * m->CharWidth(), 5 * lh + 1), m->WrapPen.color(),
           2) ||
      Near(img.pixelColor(m->TextLeft() + 19 * m->CharWidth(), 5 * lh), m->WrapPen.color(), 2));
}

TEST(SyntaxMemoPaint, CaretIsABarOrABlockInOverwriteMode) {
  auto m = MakeMemo("abcdef");
  if (!m->hasFocus())
    GTEST_SKIP() << "no focus on this platform";
  m->SetSelection(2, 2);
  auto caretWidth = [&]() {
    const QImage img = Shot(*m);
    const int y = m->LineHeight() - 2; // below the glyphs
    int w = 0;
    for (int x = m->TextLeft(); x < m->TextLeft() + 6 * m->CharWidth(); ++x)
      if (qGray(img.pixel(x, y)) < 60)
        ++w;
    return w;
  };
  EXPECT_EQ(caretWidth(), 2);
  m->SetOptionsMask(m->OptionsMask() | smoBlockOverwriteCursor);
  m->SetInsertMode(false);
  m->SetSelection(2, 2);
  EXPECT_EQ(caretWidth(), m->CharWidth());
}

TEST(SyntaxMemoPaint, SchemeColoursTheTextAndTheFirstScreenPaintsWithoutAFullScan) {
  TSyntaxMemoParser parser;
  parser.CompileFile(std::string(KX_SOURCE_DIR) + "/resources/schemes/tarnic.scheme");
  std::string text;
  for (int i = 0; i < 50000; ++i)
    text += "' a comment line\r    HIGH PORTB.0\r";
  auto m = MakeMemo(text);
  m->SetParser(&parser);
  m->SetOptionsMask(m->OptionsMask() | smoSyntaxHighlight);
  m->SetSelection(0, 0);
  const QImage img = Shot(*m);
  // The first screen is styled; the sequential scan is still far from the end.
  EXPECT_LT(m->Highlighting().Frontier(), 10000);
  TLineNode *first = m->Store()->First();
  ASSERT_NE(first->Attributes(), nullptr);
  EXPECT_EQ(first->Attributes()[0], 1); // comment token
  // Comments are green italics: green pixels in the first row's text.
  EXPECT_GT(CountColour(img, QRect(m->TextLeft(), 0, 10 * m->CharWidth(), m->LineHeight()),
                        QColor(0, 128, 0), 40),
            5);
  // Jumping far ahead paints styled rows at once.
  m->SetTopLine(80000);
  Shot(*m);
  TLineNode *far = m->Store()->LocateLine(80000).Node;
  ASSERT_NE(far->Attributes(), nullptr);
  m->FinishHighlighting();
  EXPECT_TRUE(m->Highlighting().Complete());
  EXPECT_EQ(far->Attributes()[0], 1);
  // Typing a quote at the start of a statement line makes it a comment.
  m->SetSelection(m->LineStart(1), m->LineStart(1));
  m->KeyPress('\'');
  EXPECT_EQ(m->Store()->LocateLine(1).Node->Attributes()[0], 1);
  EXPECT_EQ(m->Store()->LocateLine(1).Node->Attributes()[6], 1);
}

TEST(SyntaxMemoWrap, WrapsAtTheColumnNumbersFirstRowsAndUnwraps) {
  auto m = MakeMemo("alpha beta gamma delta epsilon\rshort\r", 640, 300);
  const std::string text = m->Text();
  m->SetWrapAtColumn(12);
  m->SetOptionsMask(m->OptionsMask() | smoWordWrap | smoShowWrapGlyph);
  EXPECT_EQ(m->LineText(0), "alpha beta ");
  EXPECT_EQ(m->LineText(1), "gamma delta ");
  EXPECT_EQ(m->LineText(2), "epsilon");
  EXPECT_EQ(m->LineText(3), "short");
  EXPECT_EQ(m->Text(), text);
  EXPECT_EQ(m->LogicalLineNumber(3), 2);
  const QImage img = Shot(*m);
  const int lh = m->LineHeight();
  // Row 1 continues line 1: no number, the wrap glyph instead.
  EXPECT_GT(CountDark(img, QRect(0, 0, m->Gutter() - 1, lh)), 0);
  EXPECT_EQ(CountDark(img, QRect(0, lh, 12, lh)), 0);
  EXPECT_GT(CountColour(img, QRect(0, lh, m->Gutter(), lh), QColor(0, 128, 0), 30), 5);
  // A bookmark set on a continuation row goes to the first row.
  m->SetBookmark(1, 2, 1);
  int64_t line = -1;
  int col = 0;
  ASSERT_TRUE(m->GetBookmark(1, line, col));
  EXPECT_EQ(line, 0);
  // Typing re-wraps the edited line; undoing the keys restores it.
  m->SetSelection(0, 0);
  QTest::keyClicks(m.get(), "XXXXXX ");
  EXPECT_EQ(m->LineText(0), "XXXXXX ");
  EXPECT_EQ(m->Store()->CheckInvariants(), "");
  for (int i = 0; i < 7; ++i)
    m->Undo();
  EXPECT_EQ(m->Text(), text);
  EXPECT_EQ(m->LineText(0), "alpha beta ");
  // Wrapping at the window edge follows a resize.
  m->SetWrapAtColumn(0);
  const int64_t rowsWide = m->LineCount();
  m->resize(m->TextLeft() + 15 + 8 * m->CharWidth() + m->verticalScrollBar()->width(), 300);
  QApplication::processEvents();
  EXPECT_GT(m->LineCount(), rowsWide);
  // Off again: the original rows.
  m->SetOptionsMask(m->OptionsMask() & ~smoWordWrap);
  EXPECT_EQ(m->LineCount(), 2);
  EXPECT_EQ(m->LineText(0), "alpha beta gamma delta epsilon");
}

// Glyphs are looked up per font style when a row first paints in it: a new
// font must paint with its own glyphs, not those looked up for the old one.
TEST(SyntaxMemoPaint, TextPaintsInTheCurrentFontAfterAFontChange) {
  auto m = MakeMemo("WWWWWWWW\r");
  m->SetSelection(9, 9); // the caret on the second row, away from the ink
  // How many pixel rows of the first text row hold ink: the glyphs' height.
  auto inkHeight = [&]() {
    const QImage img = Shot(*m);
    int rows = 0;
    for (int y = 0; y < m->LineHeight(); ++y) {
      bool ink = false;
      for (int x = m->TextLeft(); x < m->TextLeft() + 8 * m->CharWidth() && !ink; ++x)
        ink = qGray(img.pixel(x, y)) < 128;
      rows += ink;
    }
    return rows;
  };
  const int small = inkHeight();
  ASSERT_GT(small, 3);
  m->SetFont(QFont("Courier New", 20));
  EXPECT_GT(inkHeight(), small * 3 / 2);
}
