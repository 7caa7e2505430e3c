// The main window's print commands: the print engine and page-setup record
// made at start-up, the print items, Print Preview with the page-setup
// margins and its progress in the status bar, printing to a PDF file chosen
// through the print dialog (the margins move the text), and the editor's
// "Print selection" (Ctrl+K, P).
#include "FileCommandsTestFixture.h"
#include "PreviewForm.h"
#include "PreviewPrinter.h"
#include "PrintPdfTools.h"
#include "QtPrompter.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSignalSpy>
#include <QTimer>

using namespace kxdocs;

namespace {

std::string Program(int lines) {
  std::string s;
  for (int i = 1; i <= lines; ++i)
    s += i % 4 == 0 ? "' step " + std::to_string(i) + "\r\n"
                    : "HIGH PORTB.0 : PAUSE " + std::to_string(i) + "\r\n";
  return s;
}

class PrintCommands : public DocsTest {
protected:
  void SetUp() override {
    DocsTest::SetUp();
    pdf = QString::fromStdString(dir + "out.pdf");
    QPrinter &p = ProgramPrinter();
    p.setOutputFormat(QPrinter::PdfFormat);
    p.setOutputFileName(pdf);
    p.setPageOrientation(QPageLayout::Portrait);
  }
  void TearDown() override {
    ProgramPrinter().setOutputFileName(QString());
    DocsTest::TearDown();
  }
  // The preview as the command opens it: looked at, then closed.
  void Preview(const std::function<void(TPreviewForm &)> &look) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
      auto *f = qobject_cast<TPreviewForm *>(QApplication::activeModalWidget());
      ASSERT_NE(f, nullptr);
      seen = true;
      look(*f);
      f->CloseButton->trigger();
    });
    form->PreviewButton->trigger();
    EXPECT_TRUE(seen);
  }
  std::vector<TPromptRecord> Prints() {
    std::vector<TPromptRecord> out;
    for (const TPromptRecord &r : rec->Records)
      if (r.Kind == "PRINT")
        out.push_back(r);
    return out;
  }
  QString pdf;
};

} // namespace

TEST_F(PrintCommands, StartUpMakesThePrintEngineAndThePageSetupRecord) {
  ASSERT_NE(form->PreviewPrinter1, nullptr);
  EXPECT_EQ(form->PreviewPrinter1->Orientation, poPortrait);
  EXPECT_EQ(form->PageSetup.MarginLeft, 1000);
  EXPECT_EQ(form->PageSetup.MarginTop, 1000);
  EXPECT_EQ(form->PageSetup.MarginRight, 1000);
  EXPECT_EQ(form->PageSetup.MarginBottom, 1000);
  EXPECT_TRUE(form->PageSetup.Portrait);
  EXPECT_EQ(Memo()->Printer, &ProgramPrinter());
  // A printer set to landscape makes a landscape engine.
  ProgramPrinter().setPageOrientation(QPageLayout::Landscape);
  Start(std::string());
  EXPECT_EQ(form->PreviewPrinter1->Orientation, poLandscape);
  EXPECT_FALSE(form->PageSetup.Portrait);
}

// A print command that comes before the printer was asked (the window not
// yet on screen) asks it first: the page setup holds the default printer's
// margins, not zeros, and the editor prints on the program's printer.
TEST_F(PrintCommands, APrintCommandBeforeThePrinterQueryMakesTheQueryFirst) {
  form.reset();
  form = std::make_unique<TEditorMainForm>();
  ASSERT_FALSE(form->StartUpFinished());
  EXPECT_EQ(Memo()->Printer, nullptr);
  Answer({"Cancel"});
  form->PrintSetup1Click(form->PrintSetup1);
  EXPECT_EQ(form->PageSetup.MarginLeft, 1000);
  EXPECT_EQ(form->PageSetup.MarginBottom, 1000);
  EXPECT_EQ(Memo()->Printer, &ProgramPrinter());
  EXPECT_EQ(form->PreviewPrinter1->Orientation, poPortrait);
}

TEST_F(PrintCommands, ThePrintItemsWorkWhileADocumentIsOpen) {
  for (QAction *a : {form->PrintButton, form->PreviewButton, form->PrintSetup1, form->PrintPreview1,
                     form->Print1}) {
    EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_TRUE(a->isVisible()) << a->objectName().toStdString();
  }
  form->CloseAll1->trigger();
  for (QAction *a : {form->PrintButton, form->PreviewButton, form->PrintSetup1, form->PrintPreview1,
                     form->Print1})
    EXPECT_FALSE(a->isVisible()) << a->objectName().toStdString();
}

TEST_F(PrintCommands, PreviewTakesThePageSetupMarginsAndReportsInTheStatusBar) {
  Open(Put("BLINK.BAS", Program(300)));
  form->PageSetup.MarginLeft = 1500;
  form->PageSetup.MarginTop = 500;
  form->PageSetup.MarginRight = 750;
  form->PageSetup.MarginBottom = 2000;
  QString label, zoom;
  int pages = 0;
  bool maximised = false;
  Preview([&](TPreviewForm &f) {
    label = f.PageLabel->text();
    zoom = f.ZoomList->currentText();
    pages = f.Printer().PageCount();
    maximised = f.windowState() & Qt::WindowMaximized;
  });
  const TPreviewPrinter &pp = *form->PreviewPrinter1;
  EXPECT_EQ(pp.TextOptions.MarginLeft, 1.5);
  EXPECT_EQ(pp.TextOptions.MarginTop, 0.5);
  EXPECT_EQ(pp.TextOptions.MarginRight, 0.75);
  EXPECT_EQ(pp.TextOptions.MarginBottom, 2.0);
  EXPECT_EQ(pp.TextOptions.BodyFont, Memo()->Font());
  EXPECT_EQ(pp.Title, Memo()->Title);
  EXPECT_TRUE(maximised);
  EXPECT_EQ(zoom, "Fit To Page");
  EXPECT_GT(pages, 3);
  EXPECT_EQ(label, QStringLiteral("Page 1 of %1").arg(pages));
  // The pages are those of the editor within those margins.
  const TDeviceMetrics &m = pp.Metrics();
  const QRect rect(std::lrint(1.5 * m.PixelsPerInchX), std::lrint(0.5 * m.PixelsPerInchY),
                   m.PageWidth - std::lrint(2.25 * m.PixelsPerInchX),
                   m.PageHeight - std::lrint(2.5 * m.PixelsPerInchY));
  EXPECT_EQ(pages, Memo()->PageCount(rect, QSize(m.PixelsPerInchX, m.PixelsPerInchY)));
  // The engine's last report stays two seconds in the last panel.
  EXPECT_EQ(Panel(5), "  Pagination Complete");
  QSignalSpy ended(form->FInfoTimer, &QTimer::timeout);
  ASSERT_TRUE(ended.wait(5000));
  EXPECT_EQ(Panel(5), " Insert");
  // The editor is back to normal: typing still works and is shown.
  EXPECT_FALSE(Memo()->Updating());
}

TEST_F(PrintCommands, PrintGoesToThePdfFileOfThePrintDialogWithinTheMargins) {
  ASSERT_TRUE(kxpdf::HaveTools());
  if (!QPrinterInfo::availablePrinters().isEmpty())
    GTEST_SKIP() << "with a printer installed, Print goes to it without the dialog";
  Open(Put("BLINK.BAS", Program(300)));
  QPrinter &printer = ProgramPrinter();
  const QRect paper = printer.paperRect(QPrinter::DevicePixel).toAlignedRect();
  const int dpi = printer.logicalDpiX();
  const QRect rect(dpi, dpi, paper.width() - 2 * dpi, paper.height() - 2 * dpi);
  const int count = Memo()->PageCount(rect, QSize(dpi, printer.logicalDpiY()));
  ASSERT_GT(count, 3);
  Answer({"OK"});
  form->PrintButton->trigger();
  ASSERT_EQ(Prints().size(), 1u);
  EXPECT_EQ(Prints()[0].Text, "1-" + std::to_string(count)) << "the dialog offers every page";
  EXPECT_EQ(kxpdf::PageCount(pdf), count);
  EXPECT_TRUE(Messages().empty());
  const QImage one = kxpdf::PageImage(pdf, 1, 50, QString::fromStdString(dir));
  EXPECT_NEAR(kxpdf::InkLeft(one), 50, 3);
  EXPECT_GT(kxpdf::Tinted(one, 2), 20) << "keywords in colour";

  // Wider margins from Print Setup's record move the text right.
  form->PageSetup.MarginLeft = 2000;
  QFile::remove(pdf);
  Answer({"OK"});
  form->Print1->trigger(); // the File menu's item prints as the button does
  const QImage two = kxpdf::PageImage(pdf, 1, 50, QString::fromStdString(dir));
  EXPECT_NEAR(kxpdf::InkLeft(two), 100, 3);

  // Pages 2 to 3 only.
  QFile::remove(pdf);
  Answer({"2-3"});
  form->PrintButton->trigger();
  EXPECT_EQ(kxpdf::PageCount(pdf), 2);
  EXPECT_TRUE(kxpdf::PageText(pdf, 1).contains(QStringLiteral("Page 2")));

  // Cancel prints nothing.
  QFile::remove(pdf);
  Answer({"Cancel"});
  form->PrintButton->trigger();
  EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(PrintCommands, MarginsThatLeaveNoRoomAreReported) {
  Open(Put("BLINK.BAS", Program(10)));
  form->PageSetup.MarginLeft = 5000;
  form->PageSetup.MarginRight = 5000;
  form->PrintButton->trigger();
  EXPECT_EQ(Messages(), std::vector<std::string>{"The margins leave no room for text on the page"});
  EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(PrintCommands, CtrlKPPrintsTheSelectionOnly) {
  ASSERT_TRUE(kxpdf::HaveTools());
  if (!QPrinterInfo::availablePrinters().isEmpty())
    GTEST_SKIP() << "with a printer installed, Print goes to it without the dialog";
  Open(Put("BLINK.BAS", Program(300)));
  const std::string before = Text();
  Memo()->SetSelection(Memo()->LineStart(100), Memo()->LineStart(105));
  Memo()->setFocus();
  Answer({"OK"});
  Key(Qt::Key_K, Qt::ControlModifier);
  Key(Qt::Key_P);
  ASSERT_EQ(Prints().size(), 1u);
  EXPECT_EQ(Prints()[0].Text, "1-1");
  EXPECT_EQ(kxpdf::PageCount(pdf), 1);
  const QString text = kxpdf::PageText(pdf, 1);
  EXPECT_TRUE(text.contains(QStringLiteral("PAUSE 101"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("PAUSE 102")));
  EXPECT_FALSE(text.contains(QStringLiteral("PAUSE 99 ")));
  EXPECT_FALSE(text.contains(QStringLiteral("PAUSE 106")));
  EXPECT_EQ(Text(), before);
  EXPECT_EQ(Memo()->SelStart(), Memo()->LineStart(100)) << "the selection stays";
  // Without a selection there is nothing to print.
  QFile::remove(pdf);
  Memo()->SetSelection(0, 0);
  Key(Qt::Key_K, Qt::ControlModifier);
  Key(Qt::Key_P);
  EXPECT_EQ(Prints().size(), 1u);
  EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(PrintCommands, PrintSetupKeepsTheRecordUnlessConfirmed) {
  form->PageSetup.MarginTop = 1234;
  Answer({"Cancel"});
  form->PrintSetup1->trigger();
  EXPECT_EQ(form->PageSetup.MarginTop, 1234);
  Answer({"OK"});
  form->PrintSetup1->trigger();
  EXPECT_EQ(form->PageSetup.MarginTop, 1234) << "the dialog answered with the record it was given";
  int setups = 0;
  for (const TPromptRecord &r : rec->Records)
    setups += r.Kind == "PAGESETUP";
  EXPECT_EQ(setups, 2);
}
