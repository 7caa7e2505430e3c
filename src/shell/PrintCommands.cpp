// The main window's print commands: Print, Print Setup, Print Preview and
// the editor's "Print selection", with the print engine they share.
#include "EditorMainForm.h"

#include "CommandGuard.h"
#include "PreviewPrinter.h"
#include "Prompter.h"
#include "QtPrompter.h"
#include "SyntaxMemo.h"

#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// Margins are kept in thousandths of an inch.
int Thousandths(double inches) {
  return static_cast<int>(std::lrint(inches * 1000));
}

TPrinterOrientation PrinterOrientation() {
  return ProgramPrinter().pageLayout().orientation() == QPageLayout::Portrait ? poPortrait
                                                                              : poLandscape;
}

// The printer's physical page less the page-setup margins, in its pixels;
// each margin is rounded to the nearest pixel, ties to even.
QRect PrintRectangle(QPrinter &printer, const TPageSetupChoice &setup) {
  const QRect paper = printer.paperRect(QPrinter::DevicePixel).toAlignedRect();
  const double dpiX = printer.logicalDpiX(), dpiY = printer.logicalDpiY();
  const int left = static_cast<int>(std::nearbyint(dpiX * setup.MarginLeft / 1000.0));
  const int top = static_cast<int>(std::nearbyint(dpiY * setup.MarginTop / 1000.0));
  const int right =
      paper.width() - static_cast<int>(std::nearbyint(dpiX * setup.MarginRight / 1000.0));
  const int bottom =
      paper.height() - static_cast<int>(std::nearbyint(dpiY * setup.MarginBottom / 1000.0));
  if (right <= left || bottom <= top)
    throw EKorvexError(NoRoomOnPage);
  return QRect(left, top, right - left, bottom - top);
}

} // namespace

void TEditorMainForm::CreatePrintEngine() {
  PreviewPrinter1 = std::make_unique<TPreviewPrinter>();
  PreviewPrinter1->OnStatus = [this](TPreviewPrinter *, const std::string &text, int, int) {
    ShowInfo(QString::fromStdString(text));
  };
  SyntaxMemo1->OnPrintSelection = [this](TCustomSyntaxMemo *) {
    RunCommand([this] { PrintSelectionClick(SyntaxMemo1); });
  };
}

void TEditorMainForm::QueryPrinterSetup() {
  if (printerQueried_)
    return;
  printerQueried_ = true;
  // Making the printer loads the print system and asks it for the default
  // printer, which takes longer than building the whole window: it is done
  // once the window is on screen, or by the first print command before that.
  PreviewPrinter1->SetPrinter(&ProgramPrinter());
  // The default printer's page setup, without a dialog: one inch all round,
  // or the printer's least margins where they are wider.
  QPageLayout layout = ProgramPrinter().pageLayout();
  layout.setUnits(QPageLayout::Inch);
  const QMarginsF least = layout.minimumMargins();
  PageSetup = TPageSetupChoice{};
  PageSetup.MarginLeft = std::max(1000, Thousandths(least.left()));
  PageSetup.MarginTop = std::max(1000, Thousandths(least.top()));
  PageSetup.MarginRight = std::max(1000, Thousandths(least.right()));
  PageSetup.MarginBottom = std::max(1000, Thousandths(least.bottom()));
  PageSetup.Portrait = PrinterOrientation() == poPortrait;
  PreviewPrinter1->Orientation = PageSetup.Portrait ? poPortrait : poLandscape;
  SyntaxMemo1->Printer = &ProgramPrinter();
}

void TEditorMainForm::PrintEditor(bool selectionOnly) {
  QueryPrinterSetup();
  if (!CurrentFile || (selectionOnly && !SyntaxMemo1->SelAvail()))
    return;
  QPrinter &printer = ProgramPrinter();
  int first = 1, last = INT_MAX, copies = 1;
  // Without a printer the platform's print dialog chooses the file the
  // pages go to; with one they go straight to it.
  if (QPrinterInfo::availablePrinters().isEmpty()) {
    const QRect rect = PrintRectangle(printer, PageSetup);
    TPrintChoice choice;
    choice.MinPage = 1;
    choice.MaxPage = SyntaxMemo1->PageCount(
        rect, QSize(printer.logicalDpiX(), printer.logicalDpiY()), selectionOnly);
    choice.FromPage = 1;
    choice.ToPage = choice.MaxPage;
    if (!Prompter().PrintDialog(choice))
      return;
    if (!choice.AllPages) {
      first = choice.FromPage;
      last = choice.ToPage;
    }
    copies = std::max(1, choice.Copies);
  }
  // The dialog may have changed the paper: the rectangle is taken afresh.
  SyntaxMemo1->PrintArea = PrintRectangle(printer, PageSetup);
  if (selectionOnly)
    SyntaxMemo1->PrintSelection(first, last, copies);
  else
    SyntaxMemo1->Print(first, last, copies);
}

void TEditorMainForm::PrintButtonClick(QObject *) {
  PrintEditor(false);
}

void TEditorMainForm::PrintSelectionClick(QObject *) {
  PrintEditor(true);
}

void TEditorMainForm::PrintSetup1Click(QObject *) {
  QueryPrinterSetup();
  TPageSetupChoice setup = PageSetup;
  if (!Prompter().PageSetupDialog(setup))
    return;
  PageSetup = setup;
}

void TEditorMainForm::PrintPreview1Click(QObject *) {
  QueryPrinterSetup();
  if (!CurrentFile)
    return;
  TPreviewPrinter &engine = *PreviewPrinter1;
  engine.ShowGrid = false;
  engine.ZoomOption = zoFitToPage;
  engine.TextOptions.BodyFont = SyntaxMemo1->Font();
  engine.TextOptions.MarginLeft = PageSetup.MarginLeft / 1000.0;
  engine.TextOptions.MarginTop = PageSetup.MarginTop / 1000.0;
  engine.TextOptions.MarginRight = PageSetup.MarginRight / 1000.0;
  engine.TextOptions.MarginBottom = PageSetup.MarginBottom / 1000.0;
  engine.Orientation = PrinterOrientation();
  engine.Title = SyntaxMemo1->Title;
  engine.PaginateEditor(*SyntaxMemo1);
  engine.Preview(this);
}
