// TSyntaxMemo: drawing printed pages (heading, line numbers, highlighted
// rows, page number) and the print operation.
#include "SyntaxMemo.h"

#include "PrintPagination.h"
#include "QtClipboard.h"

#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <climits>
#include <cmath>

// Everything a page's drawing needs, in the device's pixels.
struct TSyntaxMemo::TPageFrame {
  std::array<QFont, 16> Fonts; // by font style bits
  double CharWidth = 8;
  double LineHeight = 16;
  double Ascent = 12;
  double Pixels = 13;  // the font's size in the device's pixels
  double StretchX = 1; // device pixels across per pixel down
  bool FixedPitch = true;
  QRectF Area;            // the whole rectangle given
  double HeadingRows = 0; // rows taken above the text
  double FooterRows = 0;  // rows taken below it
  double NumberWidth = 0; // the line-number column, its gap included
  int NumberDigits = 0;
  bool Heading = false;
  bool PageNumbers = false;
  TPrintShape Shape;
};

namespace {

// Fonts are measured on one reference surface whatever the device, so the
// pages a text takes never depend on where they are drawn.
const QImage &ReferenceSurface() {
  static const QImage img = [] {
    QImage i(1, 1, QImage::Format_RGB32);
    i.setDotsPerMeterX(3780); // 96 per inch
    i.setDotsPerMeterY(3780);
    return i;
  }();
  return img;
}

// Blanks a text may carry between two characters of its style before the row
// starts another text of that style: recording, playing and printing a text
// costs about as much as a dozen blank glyphs.
constexpr int kMaxStandIns = 12;

constexpr QRgb kLineNumberColor = 0xFF808080;

int Digits(int64_t n) {
  int d = 1;
  while (n >= 10) {
    n /= 10;
    ++d;
  }
  return d;
}

// A font of the given size in the device's pixels, for a painter on a device
// of logicalDpi (point sizes are turned into pixels at that resolution).
QFont ScaledFont(QFont f, double pixels, int logicalDpi) {
  f.setPointSizeF(std::max(0.5, pixels * 72.0 / std::max(1, logicalDpi)));
  f.setHintingPreference(QFont::PreferNoHinting);
  // Single bytes on a character grid need no shaping; the font says so to
  // every device the page is played on.
  f.setStyleStrategy(QFont::StyleStrategy(f.styleStrategy() | QFont::PreferNoShaping));
  return f;
}

} // namespace

TSyntaxMemo::TPageFrame TSyntaxMemo::PageFrame(const QRect &rect, const QSize &dpi,
                                               bool selectionOnly, int deviceDpi) {
  TPageFrame f;
  const int dpiX = std::max(1, dpi.width()), dpiY = std::max(1, dpi.height());
  const double points = QFontInfo(font_).pointSizeF() > 0 ? QFontInfo(font_).pointSizeF() : 10.0;
  const double pixels = points * dpiY / 72.0;
  f.Pixels = pixels;
  f.StretchX = static_cast<double>(dpiX) / dpiY;
  const int refDpi = ReferenceSurface().logicalDpiY();
  QFont measured = ScaledFont(styleFonts_[0], pixels, refDpi);
  const QFontMetricsF fm(measured, &ReferenceSurface());
  // The grid follows the device's horizontal resolution when it differs.
  f.CharWidth = std::max(0.01, fm.horizontalAdvance(QLatin1Char('W')) * dpiX / dpiY);
  f.LineHeight = std::max(0.01, fm.height());
  f.Ascent = fm.ascent();
  f.FixedPitch = std::abs(fm.horizontalAdvance(QLatin1Char('i')) -
                          fm.horizontalAdvance(QLatin1Char('W'))) < 0.01;
  for (size_t bits = 0; bits < f.Fonts.size(); ++bits) {
    f.Fonts[bits] = ScaledFont(styleFonts_[bits], pixels, deviceDpi);
    if (dpiX != dpiY)
      f.Fonts[bits].setStretch(
          std::clamp(static_cast<int>(std::lround(100.0 * dpiX / dpiY)), 1, 4000));
  }
  const uint32_t o = OptionsMask();
  f.Area = QRectF(rect);
  f.Heading = (o & (smoPrintFilename | smoPrintDate)) != 0;
  f.PageNumbers = (o & smoPrintPageNos) != 0;
  f.HeadingRows = f.Heading ? 2 : 0;
  f.FooterRows = f.PageNumbers ? 2 : 0;

  TPrintShape &s = f.Shape;
  s.Start = selectionOnly ? SelStart() : 0;
  s.End = selectionOnly ? SelEnd() : TextLength();
  s.Wrap = (o & smoPrintWrap) != 0;
  s.FirstNumber = LogicalLineNumber(LineFromPos(s.Start));
  if (o & smoPrintLineNos) {
    // Wide enough for the last number the text can reach.
    f.NumberDigits = std::max(3, Digits(s.FirstNumber + std::max<int64_t>(LineCount(), 1)));
    f.NumberWidth = (f.NumberDigits + 1) * f.CharWidth;
  }
  s.Columns = std::max(1, static_cast<int>((rect.width() - f.NumberWidth) / f.CharWidth));
  s.Rows =
      std::max(1, static_cast<int>(rect.height() / f.LineHeight - f.HeadingRows - f.FooterRows));
  return f;
}

TPrintPagination &TSyntaxMemo::Pagination(const TPageFrame &frame) {
  if (!pagination_)
    pagination_ = std::make_unique<TPrintPagination>();
  pagination_->Prepare(*Store(), Tabs(), textGeneration_, frame.Shape);
  return *pagination_;
}

int TSyntaxMemo::PageCount(const QRect &rect, const QSize &dpi, bool selectionOnly) {
  const TPageFrame frame = PageFrame(rect, dpi, selectionOnly, ReferenceSurface().logicalDpiY());
  return Pagination(frame).PageCount();
}

std::string TSyntaxMemo::PageLayout(const QRect &rect, const QSize &dpi, bool selectionOnly) {
  const TPageFrame frame = PageFrame(rect, dpi, selectionOnly, ReferenceSurface().logicalDpiY());
  return Pagination(frame).Dump();
}

bool TSyntaxMemo::DrawPage(QPainter &canvas, int pageNumber, const QRect &rect, const QSize &dpi,
                           bool selectionOnly) {
  QPaintDevice *device = canvas.device();
  const int deviceDpi = device ? device->logicalDpiY() : ReferenceSurface().logicalDpiY();
  const TPageFrame f = PageFrame(rect, dpi, selectionOnly, deviceDpi);
  TPrintPagination &pages = Pagination(f);
  if (!pages.HasPage(pageNumber))
    return false;
  const std::vector<TPrintRow> rows = pages.PageRows(pageNumber);
  const bool more = pages.HasPage(pageNumber + 1);

  // The styles exactly as the screen resolves them.
  const bool styled = HighlightingActive();
  if (styled && !rows.empty()) {
    const int64_t lastLine = LineFromPos(rows.back().Pos + rows.back().Length);
    while (!highlighting_.Complete() && highlighting_.Frontier() <= lastLine)
      highlighting_.Continue(1 << 16);
  }
  struct TStyle {
    QRgb Fore = 0, Back = 0;
    uint8_t Font = 0;
  };
  std::array<TStyle, 256> style;
  const QRgb defFore = SMColor(DefTextColor).rgba(), defBack = SMColor(DefBackColor).rgba();
  for (int v = 0; v < 256; ++v) {
    TTokenStyle st;
    st.FontStyle = DefFontStyle;
    if (styled)
      st = Highlighter->Style(v);
    style[static_cast<size_t>(v)] = {
        SMColor(st.DefaultForeground ? DefTextColor : st.Foreground).rgba(),
        SMColor(st.DefaultBackground ? DefBackColor : st.Background).rgba(),
        static_cast<uint8_t>((styled ? st.FontStyle : DefFontStyle) & 0xF)};
  }

  // Texts are placed by the reference measures, as the rows are, so a page
  // looks the same on every device.
  const QFontMetricsF plainMetrics(
      ScaledFont(styleFonts_[0], f.Pixels, ReferenceSurface().logicalDpiY()), &ReferenceSurface());
  auto advance = [&](const QString &t) { return plainMetrics.horizontalAdvance(t) * f.StretchX; };

  canvas.save();
  canvas.setClipRect(f.Area);
  canvas.setBackgroundMode(Qt::TransparentMode);
  const double cw = f.CharWidth, lh = f.LineHeight;
  const double left = f.Area.left(), top = f.Area.top();
  const int lineWidth = std::max(1, dpi.height() / 144);

  // Every text of the page, drawn style by style at the end: the page then
  // records each font and colour once rather than once a row.
  struct TPiece {
    uint8_t Font;
    QRgb Fore;
    double X, Y;
    QString Text;
  };
  std::vector<TPiece> pieces;
  pieces.reserve(rows.size() * 4 + 3);

  if (f.Heading) {
    QString date;
    double dateWidth = 0;
    if (OptionsMask() & smoPrintDate) {
      date = QLocale::system().toString(PrintDate.isNull() ? QDate::currentDate() : PrintDate,
                                        QLocale::ShortFormat);
      dateWidth = advance(date);
      pieces.push_back({0, defFore, f.Area.right() - dateWidth, top + f.Ascent, date});
    }
    if (OptionsMask() & smoPrintFilename) {
      // A long path gives up its middle rather than run into the date.
      const QFontMetricsF bold(
          ScaledFont(styleFonts_[fsBold], f.Pixels, ReferenceSurface().logicalDpiY()),
          &ReferenceSurface());
      const double room = (f.Area.width() - dateWidth - (date.isEmpty() ? 0 : 2 * cw)) / f.StretchX;
      const QString title = bold.elidedText(QFile::decodeName(QByteArray::fromStdString(Title)),
                                            Qt::ElideMiddle, std::max(0.0, room));
      pieces.push_back({fsBold, defFore, left, top + f.Ascent, title});
    }
    canvas.fillRect(QRectF(left, top + lh * 1.4, f.Area.width(), lineWidth),
                    QColor::fromRgba(defFore));
  }

  std::string text;
  std::vector<uint8_t> attrs;
  std::vector<int> cols;
  struct TSlot {
    uint8_t Font;
    QRgb Fore;
    int First, Last; // columns of its first and last character
    QString Text;
  };
  std::vector<TSlot> rowTexts;
  const double textLeft = left + f.NumberWidth;
  const int columns = f.Shape.Columns;
  for (size_t r = 0; r < rows.size(); ++r) {
    const TPrintRow &row = rows[r];
    const double y = top + (f.HeadingRows + static_cast<double>(r)) * lh;
    if (row.Number > 0 && f.NumberWidth > 0) {
      QString number = QString::number(row.Number);
      // Digits of a monospaced font fill one cell each, like the text.
      const double width = f.FixedPitch ? number.size() * cw : advance(number);
      pieces.push_back({0, kLineNumberColor, left + f.NumberDigits * cw - width, y + f.Ascent,
                        std::move(number)});
    }
    TPrintPagination::GatherLine(*Store(), row.Pos, row.Pos + row.Length, text,
                                 styled ? &attrs : nullptr);
    // Columns of the characters (TABs to their stops), cut at the row's width.
    const int len = static_cast<int>(text.size());
    cols.resize(static_cast<size_t>(len) + 1);
    int n = 0;
    for (int col = 0; n < len && col < columns; ++n) {
      cols[static_cast<size_t>(n)] = col;
      col = text[static_cast<size_t>(n)] == '\t' ? Tabs().NextStop(col) : col + 1;
      cols[static_cast<size_t>(n) + 1] = col;
    }
    auto styleAt = [&](int k) -> const TStyle & {
      return style[styled ? attrs[static_cast<size_t>(k)] : 0];
    };
    // Backgrounds other than the paper's, one fill per span of one colour.
    for (int k = 0; k < n;) {
      const QRgb back = styleAt(k).Back;
      int e = k + 1;
      while (e < n && styleAt(e).Back == back)
        ++e;
      if (back != defBack) {
        const int c1 = std::min(cols[static_cast<size_t>(e)], columns);
        canvas.fillRect(QRectF(textLeft + cols[static_cast<size_t>(k)] * cw, y,
                               (c1 - cols[static_cast<size_t>(k)]) * cw, lh),
                        QColor::fromRgba(back));
      }
      k = e;
    }
    // Glyphs. A monospaced row gives one text per font and colour, blanks
    // standing in for the characters of other styles, so a page records few
    // texts; blanks and TABs carry no ink and only place the rest. A long
    // run of blanks costs more than a text of its own.
    rowTexts.clear();
    for (int k = 0; k < n; ++k) {
      const char c = text[static_cast<size_t>(k)];
      if (c == ' ' || c == '\t')
        continue;
      const TStyle &st = styleAt(k);
      const int col = cols[static_cast<size_t>(k)];
      const QChar ch = Cp1252Char(static_cast<unsigned char>(c));
      if (!f.FixedPitch) {
        pieces.push_back({st.Font, st.Fore, textLeft + col * cw, y + f.Ascent, QString(ch)});
        continue;
      }
      TSlot *into = nullptr;
      for (TSlot &o : rowTexts)
        if (o.Font == st.Font && o.Fore == st.Fore)
          into = &o;
      if (into && col - into->Last - 1 <= kMaxStandIns) {
        into->Text.append(QString(col - into->Last - 1, QLatin1Char(' ')));
        into->Text.append(ch);
        into->Last = col;
      } else {
        rowTexts.push_back({st.Font, st.Fore, col, col, QString(ch)});
      }
    }
    for (TSlot &o : rowTexts)
      pieces.push_back({o.Font, o.Fore, textLeft + o.First * cw, y + f.Ascent, std::move(o.Text)});
  }
  if (f.PageNumbers) {
    QString number = QString::asprintf("Page %d", pageNumber);
    const double x = f.Area.right() - advance(number);
    pieces.push_back({0, defFore, x, f.Area.bottom() - lh + f.Ascent, std::move(number)});
  }
  std::stable_sort(pieces.begin(), pieces.end(), [](const TPiece &a, const TPiece &b) {
    return a.Font != b.Font ? a.Font < b.Font : a.Fore < b.Fore;
  });
  for (size_t k = 0; k < pieces.size(); ++k) {
    const TPiece &pc = pieces[k];
    if (k == 0 || pc.Font != pieces[k - 1].Font)
      canvas.setFont(f.Fonts[pc.Font]);
    if (k == 0 || pc.Fore != pieces[k - 1].Fore || pc.Font != pieces[k - 1].Font)
      canvas.setPen(QColor::fromRgba(pc.Fore));
    canvas.drawText(QPointF(pc.X, pc.Y), pc.Text);
  }
  canvas.restore();
  return more;
}

namespace {

// Puts the printer's state back however the job ends.
struct TPrinterState {
  QPrinter &Printer;
  bool FullPage;
  int Copies;
  explicit TPrinterState(QPrinter &p) : Printer(p), FullPage(p.fullPage()), Copies(p.copyCount()) {}
  ~TPrinterState() {
    Printer.setFullPage(FullPage);
    Printer.setCopyCount(Copies);
  }
};

} // namespace

void TSyntaxMemo::PrintText(bool selectionOnly, int first, int last, int copies) {
  if (!Printer)
    throw ESyntaxMemo("There is no printer to print on");
  QPrinter &pr = *Printer;
  TPrinterState keep(pr);
  // The print area is given on the physical page, so the origin is the
  // paper's corner; we print the copies ourselves.
  pr.setFullPage(true);
  pr.setCopyCount(1);
  const QRect area =
      PrintArea.isEmpty() ? pr.paperRect(QPrinter::DevicePixel).toAlignedRect() : PrintArea;
  const QSize dpi(pr.logicalDpiX(), pr.logicalDpiY());
  const int count = PageCount(area, dpi, selectionOnly);
  first = std::max(1, first);
  last = std::min(last, count);
  if (first > last || copies < 1)
    return;
  pr.setDocName(Title.empty() ? QStringLiteral("KORVEX Editor")
                              : QFile::decodeName(QByteArray::fromStdString(Title)));
  QPainter p;
  if (!p.begin(&pr)) {
    const QString where = pr.outputFileName().isEmpty() ? pr.printerName() : pr.outputFileName();
    throw ESyntaxMemo("Printing could not start on \"" + where.toLocal8Bit().toStdString() + "\"");
  }
  bool sheet = false;
  for (int c = 0; c < copies; ++c)
    for (int page = first; page <= last; ++page) {
      if (sheet)
        pr.newPage();
      sheet = true;
      DrawPage(p, page, area, dpi, selectionOnly);
    }
  p.end();
}
