// The print engine: start values, the order its operations must come in,
// progress reports, the dropped empty page, device metrics and unit
// conversion, pagination of the editor's text, printing ranges and copies,
// pages kept packed past the memory budget, and real PDF output read back
// with poppler.
#include "PrintPdfTools.h"
#include "PrintTestUtil.h"
#include "Prompter.h"
#include "SyntaxMemoParser.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace kxprint;

namespace {

struct TStatus {
  std::string Text;
  int Kind;
  int Page;
  bool operator==(const TStatus &) const = default;
};

void Record(TPreviewPrinter &pp, std::vector<TStatus> &out) {
  pp.OnStatus = [&out](TPreviewPrinter *, const std::string &text, int kind, int page) {
    out.push_back({text, kind, page});
  };
}

// Answers the print dialog with a range and a number of copies.
class TPrintAnswer : public TRecordingPrompter {
public:
  TPrintAnswer(bool accept, int from, int to, int copies)
      : accept_(accept), from_(from), to_(to), copies_(copies) {}
  bool PrintDialog(TPrintChoice &choice) override {
    Asked = choice;
    if (!accept_)
      return false;
    choice.AllPages = from_ == 0;
    if (from_ > 0) {
      choice.FromPage = from_;
      choice.ToPage = to_;
    }
    choice.Copies = copies_;
    return true;
  }
  TPrintChoice Asked;

private:
  bool accept_;
  int from_, to_, copies_;
};

struct TUsePrompter {
  std::unique_ptr<TPrompter> previous;
  explicit TUsePrompter(std::unique_ptr<TPrompter> p) : previous(SetPrompter(std::move(p))) {}
  ~TUsePrompter() { SetPrompter(std::move(previous)); }
};

// n pages, each drawn on.
void Pages(TPreviewPrinter &pp, int n) {
  pp.BeginDoc();
  for (int i = 0; i < n; ++i) {
    if (i > 0)
      pp.NewPage();
    pp.Canvas()->drawText(100, 100, QString::number(i + 1));
  }
  pp.EndDoc();
}

TSyntaxMemoParser &Tarnic() {
  static TSyntaxMemoParser parser;
  static bool compiled = false;
  if (!compiled) {
    parser.CompileFile(std::string(KX_SOURCE_DIR) + "/resources/schemes/tarnic.scheme");
    compiled = true;
  }
  return parser;
}

} // namespace

TEST(PreviewPrinter, StartValues) {
  App();
  TPreviewPrinter pp;
  const TTextOptions &o = pp.TextOptions;
  EXPECT_EQ(o.DrawStyle, dsStandard);
  EXPECT_EQ(o.MarginLeft, 1.0);
  EXPECT_EQ(o.MarginTop, 1.0);
  EXPECT_EQ(o.MarginRight, 1.0);
  EXPECT_EQ(o.MarginBottom, 1.0);
  EXPECT_EQ(o.HeaderMargin, 0.5);
  EXPECT_EQ(o.FooterMargin, 0.75);
  EXPECT_EQ(o.HeaderAlign, taCenter);
  EXPECT_EQ(o.FooterAlign, taCenter);
  EXPECT_EQ(o.PrintPageNumber, pnBottom);
  EXPECT_EQ(o.PageNumAlign, taRightJustify);
  EXPECT_EQ(o.PageNumText, "Page %d");
  EXPECT_EQ(o.BodyFont.family(), "Arial");
  EXPECT_EQ(o.BodyFont.pointSize(), 10);
  EXPECT_EQ(o.HeaderFont.family(), "Times New Roman");
  EXPECT_EQ(o.HeaderFont.pointSize(), 18);
  EXPECT_TRUE(o.HeaderFont.bold());
  EXPECT_EQ(o.FooterFont.family(), "Times New Roman");
  EXPECT_EQ(o.FooterFont.pointSize(), 10);
  EXPECT_TRUE(o.FooterFont.italic());
  EXPECT_EQ(o.PageNumFont, o.FooterFont);
  EXPECT_EQ(pp.Orientation, poPortrait);
  EXPECT_EQ(pp.Units, unInches);
  EXPECT_FALSE(pp.ShowGrid);
  EXPECT_EQ(pp.ZoomOption, zoFitToPage);
  EXPECT_EQ(pp.ZoomVal, 100);
  EXPECT_EQ(pp.PageCount(), 0);
  EXPECT_FALSE(pp.InDocument());
}

TEST(PreviewPrinter, OperationsOutOfTheirOrderAreAssertions) {
  App();
  TPreviewPrinter pp;
  auto message = [](auto f) {
    try {
      f();
    } catch (const EAssertionFailed &e) {
      return std::string(e.what());
    }
    return std::string("no assertion");
  };
  EXPECT_EQ(message([&] { pp.NewPage(); }),
            "NewPage is not available before BeginDoc (PrevPrinter)");
  EXPECT_EQ(message([&] { pp.Canvas(); }), "Canvas is not available before BeginDoc (PrevPrinter)");
  pp.BeginDoc();
  EXPECT_EQ(message([&] { pp.Preview(); }), "Preview is not available before EndDoc (PrevPrinter)");
  pp.EndDoc();
  EXPECT_EQ(message([&] { pp.Canvas(); }), "Canvas is not available before BeginDoc (PrevPrinter)");
  EXPECT_THROW(pp.Page(0), EKorvexError); // nothing was drawn: no page
}

TEST(PreviewPrinter, ReportsEachPageAndDropsALastPageNeverDrawnOn) {
  App();
  TPreviewPrinter pp;
  TRecordingTarget::TLog log;
  pp.SetTarget(std::make_unique<TRecordingTarget>(log));
  std::vector<TStatus> s;
  Record(pp, s);
  pp.BeginDoc();
  pp.Canvas();
  pp.NewPage();
  pp.Canvas();
  pp.NewPage(); // opened last, never drawn on
  pp.EndDoc();
  EXPECT_EQ(pp.PageCount(), 2);
  EXPECT_EQ(s, (std::vector<TStatus>{{"Paginating page 1", psPaginating, 1},
                                     {"Paginating page 2", psPaginating, 2},
                                     {"Paginating page 3", psPaginating, 3},
                                     {"Pagination Complete", psPaginationComplete, 2}}));
  // A new document starts from an empty list.
  pp.BeginDoc();
  pp.Canvas();
  pp.EndDoc();
  EXPECT_EQ(pp.PageCount(), 1);
}

TEST(PreviewPrinter, EachPageStartsWithThePreviousPagesTools) {
  App();
  TPreviewPrinter pp;
  pp.BeginDoc();
  QPainter *c = pp.Canvas();
  EXPECT_EQ(c->font().family(), "Arial");
  // 10 points at the page's resolution, counted in the picture's points.
  EXPECT_NEAR(c->font().pointSizeF() * PictureDpiY() / pp.Metrics().PixelsPerInchY, 10.0, 0.01);
  EXPECT_EQ(c->brush().style(), Qt::NoBrush);
  c->setPen(QPen(Qt::red, 3));
  c->setBrush(Qt::blue);
  QFont f("Courier New");
  f.setPointSize(17);
  c->setFont(f);
  pp.NewPage();
  c = pp.Canvas();
  EXPECT_EQ(c->pen().color(), QColor(Qt::red));
  EXPECT_EQ(c->pen().width(), 3);
  EXPECT_EQ(c->brush().color(), QColor(Qt::blue));
  EXPECT_EQ(c->font().pointSize(), 17);
  pp.EndDoc();
}

TEST(PreviewPrinter, MetricsComeFromThePrinterOrAScreenLetterPage) {
  App();
  {
    TPreviewPrinter pp;
    TRecordingTarget::TLog log;
    pp.SetTarget(std::make_unique<TRecordingTarget>(log));
    Pages(pp, 1);
    const TDeviceMetrics &m = pp.Metrics();
    const int dpi = PictureDpiX();
    EXPECT_EQ(m.PixelsPerInchX, dpi);
    EXPECT_EQ(m.PageWidth, std::lrint(8.5 * dpi));
    EXPECT_EQ(m.PageHeight, 11 * m.PixelsPerInchY);
    EXPECT_TRUE(log.Orientations.empty()) << "no printer to set";
    pp.Orientation = poLandscape;
    Pages(pp, 1);
    EXPECT_EQ(pp.Metrics().PageWidth, 11 * dpi);
    EXPECT_DOUBLE_EQ(pp.PageWidthInches(), 11.0);
  }
  {
    TPreviewPrinter pp;
    TRecordingTarget::TLog log;
    TDeviceMetrics printer{300, 600, 2550, 6600, 50, 100};
    pp.SetTarget(std::make_unique<TRecordingTarget>(log, true, printer));
    pp.Orientation = poLandscape;
    Pages(pp, 2);
    EXPECT_EQ(pp.Metrics(), printer);
    EXPECT_DOUBLE_EQ(pp.PageWidthInches(), 8.5);
    EXPECT_DOUBLE_EQ(pp.PageHeightInches(), 11.0);
    EXPECT_EQ(log.Orientations, (std::vector<TPrinterOrientation>{poLandscape, poLandscape}));
  }
}

TEST(PreviewPrinter, UnitsConvertToDevicePixelsRoundingHalvesToEven) {
  App();
  TPreviewPrinter pp;
  TRecordingTarget::TLog log;
  pp.SetTarget(std::make_unique<TRecordingTarget>(log, true, TDeviceMetrics{100, 200, 850, 2200}));
  Pages(pp, 1);
  EXPECT_EQ(pp.XDev(1.0), 100);
  EXPECT_EQ(pp.YDev(1.0), 200);
  EXPECT_EQ(pp.XDev(0.125), 12);  // 12.5
  EXPECT_EQ(pp.XDev(0.135), 14);  // 13.5
  EXPECT_EQ(pp.YDev(0.0625), 12); // 12.5
  pp.Units = unCentimeters;
  EXPECT_EQ(pp.XDev(2.54), 100);
  EXPECT_EQ(pp.YDev(1.27), 100);
  EXPECT_EQ(pp.XDev(5.08), 200);
}

TEST(PreviewPrinter, PaginatesTheEditorWithinTheMargins) {
  auto m = MakeEditor(Lines(400), smoPrintPageNos);
  TPreviewPrinter pp;
  pp.Units = unCentimeters; // pagination works in inches and puts this back
  pp.TextOptions.MarginLeft = 2.0;
  pp.TextOptions.MarginTop = 1.5;
  pp.PaginateEditor(*m);
  EXPECT_EQ(pp.Units, unCentimeters);
  EXPECT_FALSE(pp.InDocument());
  EXPECT_FALSE(m->Updating());
  const TDeviceMetrics &dm = pp.Metrics();
  const QRect rect(2 * dm.PixelsPerInchX, dm.PixelsPerInchY * 3 / 2,
                   dm.PageWidth - 3 * dm.PixelsPerInchX, dm.PageHeight - dm.PixelsPerInchY * 5 / 2);
  EXPECT_EQ(pp.PageCount(), m->PageCount(rect, QSize(dm.PixelsPerInchX, dm.PixelsPerInchY)));
  EXPECT_GT(pp.PageCount(), 3);
  const QImage first = PlayPage(pp, 0);
  const QRect ink = InkBox(first, first.rect());
  EXPECT_LE(std::abs(ink.left() - rect.left()), 2);
  EXPECT_LE(ink.top() - rect.top(), 6);
  EXPECT_GE(ink.top(), rect.top());
  EXPECT_LE(ink.right(), rect.right());
  EXPECT_LE(ink.bottom(), rect.bottom());
  // The last page is the last page of text: its number is the page count.
  const QImage last = PlayPage(pp, pp.PageCount() - 1);
  EXPECT_FALSE(InkBox(last, last.rect()).isNull());

  // An editor that was holding its updates keeps holding them.
  m->SetUpdating(true);
  pp.PaginateEditor(*m);
  EXPECT_TRUE(m->Updating());
}

TEST(PreviewPrinter, ADocumentThatFillsExactlyOnePageGivesOnePage) {
  auto probe = MakeEditor(Lines(500));
  TPreviewPrinter pp;
  pp.PaginateEditor(*probe);
  const TDeviceMetrics &dm = pp.Metrics();
  const QRect rect(dm.PixelsPerInchX, dm.PixelsPerInchY, dm.PageWidth - 2 * dm.PixelsPerInchX,
                   dm.PageHeight - 2 * dm.PixelsPerInchY);
  const std::string dump = probe->PageLayout(rect, QSize(dm.PixelsPerInchX, dm.PixelsPerInchY));
  const std::string page1 = dump.substr(0, dump.find('\n'));
  const int rows = static_cast<int>(std::count(page1.begin(), page1.end(), '+'));
  auto exact = MakeEditor(Lines(rows));
  pp.PaginateEditor(*exact);
  EXPECT_EQ(pp.PageCount(), 1);
  auto more = MakeEditor(Lines(rows + 1));
  pp.PaginateEditor(*more);
  EXPECT_EQ(pp.PageCount(), 2);
}

TEST(PreviewPrinter, AFailedPaginationPutsEverythingBack) {
  auto m = MakeEditor(Lines(10));
  TPreviewPrinter pp;
  pp.Units = unCentimeters;
  pp.TextOptions.MarginLeft = 5;
  pp.TextOptions.MarginRight = 5; // ten inches of margins on a page 8.5 wide
  try {
    pp.PaginateEditor(*m);
    FAIL() << "no error";
  } catch (const EKorvexError &e) {
    EXPECT_STREQ(e.what(), "The margins leave no room for text on the page");
  }
  EXPECT_EQ(pp.Units, unCentimeters);
  EXPECT_FALSE(pp.InDocument());
  EXPECT_FALSE(m->Updating());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(PreviewPrinter, PagesTwoToThreeOfFiveInTwoCopiesPrintTwoThreeTwoThree) {
  App();
  TPreviewPrinter pp;
  TRecordingTarget::TLog log;
  pp.SetTarget(std::make_unique<TRecordingTarget>(log));
  pp.Title = "BLINK.BAS";
  Pages(pp, 5);
  std::vector<TStatus> s;
  Record(pp, s);
  auto answer = std::make_unique<TPrintAnswer>(true, 2, 3, 2);
  TPrintAnswer *a = answer.get();
  TUsePrompter use(std::move(answer));
  EXPECT_TRUE(pp.Print());
  EXPECT_EQ(a->Asked.MinPage, 1);
  EXPECT_EQ(a->Asked.MaxPage, 5);
  EXPECT_EQ(a->Asked.FromPage, 1);
  EXPECT_EQ(a->Asked.ToPage, 5);
  EXPECT_EQ(log.Printed, (std::vector<int>{1, 2, 1, 2}));
  // One job: every copy goes to the same file or printer run.
  EXPECT_EQ(log.Calls, (std::vector<std::string>{"begin BLINK.BAS", "page 1", "sheet", "page 2",
                                                 "sheet", "page 1", "sheet", "page 2", "end"}));
  EXPECT_EQ(s, (std::vector<TStatus>{{"Printing page 2", psPrinting, 2},
                                     {"Printing page 3", psPrinting, 3},
                                     {"Printing page 2", psPrinting, 2},
                                     {"Printing page 3", psPrinting, 3},
                                     {"Print Job Complete", psPrintComplete, 3}}));
}

TEST(PreviewPrinter, PrintingAllPagesOrNoneAndAFailedJobIsAborted) {
  App();
  TPreviewPrinter pp;
  TRecordingTarget::TLog log;
  pp.SetTarget(std::make_unique<TRecordingTarget>(log));
  Pages(pp, 3);
  {
    TUsePrompter use(std::make_unique<TPrintAnswer>(true, 0, 0, 1));
    EXPECT_TRUE(pp.Print());
    EXPECT_EQ(log.Printed, (std::vector<int>{0, 1, 2}));
  }
  log = {};
  {
    TUsePrompter use(std::make_unique<TPrintAnswer>(false, 0, 0, 1));
    EXPECT_FALSE(pp.Print());
    EXPECT_TRUE(log.Calls.empty());
  }
  // Ranges outside the pages are cut to them.
  pp.PrintRange(-4, 99);
  EXPECT_EQ(log.Printed, (std::vector<int>{0, 1, 2}));

  struct TFailing : TRecordingTarget {
    using TRecordingTarget::TRecordingTarget;
    void DrawPage(int index, const QPicture &p, const TDeviceMetrics &m) override {
      TRecordingTarget::DrawPage(index, p, m);
      if (index == 1)
        throw EKorvexError("paper jam");
    }
  };
  log = {};
  pp.SetTarget(std::make_unique<TFailing>(log));
  std::vector<TStatus> s;
  Record(pp, s);
  EXPECT_THROW(pp.PrintRange(0, 2), EKorvexError);
  EXPECT_EQ(log.Calls.back(), "abort");
  EXPECT_NE(s.back().Text, "Print Job Complete");
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(PreviewPrinter, AHighlightedDocumentPrintedToPdfHasItsPagesAndColours) {
  ASSERT_TRUE(kxpdf::HaveTools()) << "poppler-utils (pdfinfo, pdftoppm, pdftotext) are needed";
  std::string text;
  for (int i = 1; i <= 300; ++i)
    text += i % 3 == 0 ? "' comment " + std::to_string(i) + "\r"
                       : "HIGH PORTB." + std::to_string(i % 8) + " : PAUSE 500\r";
  auto m = MakeEditor(text);
  m->SetParser(&Tarnic());
  m->SetOptionsMask(smoSyntaxHighlight | smoPrintFilename | smoPrintPageNos | smoPrintLineNos);
  m->Title = "COLOURS.BAS";
  TPreviewPrinter pp;
  pp.PaginateEditor(*m);
  ASSERT_GT(pp.PageCount(), 3);

  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
  PrintAllToPdf(pp, pdf);
  EXPECT_EQ(kxpdf::PageCount(pdf), pp.PageCount());
  // Pages recorded at the screen's resolution fill the printer's page.
  const QString firstText = kxpdf::PageText(pdf, 1);
  EXPECT_TRUE(firstText.contains(QStringLiteral("COLOURS.BAS"))) << firstText.toStdString();
  EXPECT_TRUE(firstText.contains(QStringLiteral("Page 1")));
  EXPECT_TRUE(kxpdf::PageText(pdf, 2).contains(QStringLiteral("Page 2")));
  const QImage page = kxpdf::PageImage(pdf, 1, 50, dir.path());
  ASSERT_FALSE(page.isNull());
  EXPECT_GT(kxpdf::Tinted(page, 2), 20) << "keywords in blue";
  EXPECT_GT(kxpdf::Tinted(page, 1), 20) << "comments in green";
  EXPECT_GT(kxpdf::Tinted(page, 0), 20) << "numbers in red";
  // An inch of margin at 50 pixels per inch.
  EXPECT_NEAR(kxpdf::InkLeft(page), 50, 3);
}

TEST(PreviewPrinter, PagesPastTheMemoryBudgetAreKeptPackedAndPlayAsRecorded) {
  ASSERT_TRUE(kxpdf::HaveTools()) << "poppler-utils (pdfinfo, pdftoppm, pdftotext) are needed";
  auto m = MakeEditor(Lines(400));
  m->SetParser(&Tarnic());
  m->SetOptionsMask(smoSyntaxHighlight | smoPrintPageNos | smoPrintLineNos);
  TPreviewPrinter whole;
  whole.PaginateEditor(*m);
  ASSERT_GT(whole.PageCount(), 5);
  auto bytes = [](const QPicture &p) { return QByteArray(p.data(), p.size()); };
  size_t firstTwo = 0;
  for (int i = 0; i < 2; ++i)
    firstTwo += whole.Page(i).size();

  TPreviewPrinter packed;
  packed.PageMemoryBudget = firstTwo;
  packed.PaginateEditor(*m);
  ASSERT_EQ(packed.PageCount(), whole.PageCount());
  EXPECT_LT(packed.PageMemory() - firstTwo, (whole.PageMemory() - firstTwo) / 4);
  // Every page unpacks to its recording exactly, and plays the same.
  for (int i = 0; i < whole.PageCount(); ++i) {
    EXPECT_EQ(bytes(packed.Page(i)), bytes(whole.Page(i))) << "page " << i + 1;
    EXPECT_EQ(PlayPage(packed, i), PlayPage(whole, i)) << "page " << i + 1;
  }

  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString pdf = dir.filePath(QStringLiteral("packed.pdf"));
  PrintAllToPdf(packed, pdf);
  EXPECT_EQ(kxpdf::PageCount(pdf), packed.PageCount());
  EXPECT_TRUE(kxpdf::PageText(pdf, 5).contains(QStringLiteral("Page 5")));

  // The memory follows the pages: a dropped empty page gives its bytes back,
  // and a new document starts from nothing.
  TPreviewPrinter none;
  none.PageMemoryBudget = 0;
  none.BeginDoc();
  none.Canvas()->drawText(100, 100, QStringLiteral("one"));
  none.NewPage();
  const size_t one = none.PageMemory();
  EXPECT_GT(one, 0u);
  none.EndDoc();
  EXPECT_EQ(none.PageCount(), 1);
  EXPECT_EQ(none.PageMemory(), one);
  const QImage kept = PlayPage(none, 0);
  EXPECT_FALSE(InkBox(kept, kept.rect()).isNull());
  none.BeginDoc();
  EXPECT_EQ(none.PageMemory(), 0u);
  none.EndDoc();
  EXPECT_EQ(none.PageCount(), 0);
  EXPECT_EQ(none.PageMemory(), 0u);
}
