// TPreviewPrinter: recording, pagination of the editor's text, printing.
#include "PreviewPrinter.h"

#include "PreviewForm.h"
#include "Prompter.h"
#include "SyntaxMemo.h"

#include <QApplication>
#include <QPainter>
#include <QPicture>
#include <QPrinter>

#include <algorithm>
#include <cmath>
#include <cstdio>

struct TPreviewPrinter::TRecording {
  QPainter Painter;
};

namespace {

// An hourglass for as long as the engine works, however it ends.
struct TWaitCursor {
  TWaitCursor() {
    if (qApp)
      QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~TWaitCursor() {
    if (qApp)
      QApplication::restoreOverrideCursor();
  }
};

// Without a printer: 8.5 by 11 inches at the recording surface's resolution.
TDeviceMetrics SurfaceMetrics(TPrinterOrientation orientation) {
  TDeviceMetrics m;
  m.PixelsPerInchX = PictureDpiX();
  m.PixelsPerInchY = PictureDpiY();
  m.PageWidth = static_cast<int>(std::lrint(8.5 * m.PixelsPerInchX));
  m.PageHeight = static_cast<int>(std::lrint(11.0 * m.PixelsPerInchY));
  if (orientation == poLandscape) {
    m.PageWidth = static_cast<int>(std::lrint(11.0 * m.PixelsPerInchX));
    m.PageHeight = static_cast<int>(std::lrint(8.5 * m.PixelsPerInchY));
  }
  return m;
}

double UnitFactor(TUnits u) {
  return u == unCentimeters ? 2.54 : 1.0;
}

} // namespace

std::string StatusText(const char *format, int page) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, page);
  return buf;
}

TPreviewPrinter::TPreviewPrinter() : rec_(std::make_unique<TRecording>()) {}

TPreviewPrinter::~TPreviewPrinter() {
  if (rec_->Painter.isActive())
    rec_->Painter.end();
}

void TPreviewPrinter::SetPrinter(QPrinter *printer) {
  printer_ = printer;
  target_.reset();
}

QPrinter &TPreviewPrinter::Printer() {
  if (printer_)
    return *printer_;
  if (!ownPrinter_)
    ownPrinter_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  return *ownPrinter_;
}

void TPreviewPrinter::SetTarget(std::unique_ptr<TPrintTarget> target) {
  target_ = std::move(target);
}

void TPreviewPrinter::Status(const std::string &text, int kind, int page) {
  if (OnStatus)
    OnStatus(this, text, kind, page);
}

void TPreviewPrinter::BeginDoc() {
  inDoc_ = true;
  EndPage();
  pages_.clear();
  recordedMemory_ = pageMemory_ = 0;
  NewPage();
}

void TPreviewPrinter::EndPage() {
  if (!rec_->Painter.isActive())
    return;
  rec_->Painter.end();
  Settle(pages_.back());
}

void TPreviewPrinter::Settle(TStoredPage &page) {
  const size_t size = page.Picture->size();
  if (recordedMemory_ + size <= PageMemoryBudget) {
    recordedMemory_ += size;
    pageMemory_ += size;
    return;
  }
  // The fastest level: packing must not cost what recording the page did.
  page.Packed =
      qCompress(QByteArray::fromRawData(page.Picture->data(), static_cast<qsizetype>(size)), 1);
  page.Picture.reset();
  pageMemory_ += static_cast<size_t>(page.Packed.size());
}

void TPreviewPrinter::Forget(const TStoredPage &page) {
  if (page.Picture) {
    recordedMemory_ -= page.Picture->size();
    pageMemory_ -= page.Picture->size();
  } else {
    pageMemory_ -= static_cast<size_t>(page.Packed.size());
  }
}

void TPreviewPrinter::NewPage() {
  if (!inDoc_)
    throw EAssertionFailed("NewPage is not available before BeginDoc (PrevPrinter)");
  // The new surface carries on with the previous one's tools.
  QPainter &p = rec_->Painter;
  const bool carry = p.isActive();
  QFont font;
  QBrush brush(Qt::NoBrush);
  QPen pen;
  if (carry) {
    font = p.font();
    brush = p.brush();
    pen = p.pen();
  }
  EndPage();
  pages_.push_back({std::make_unique<QPicture>(), {}});
  QPicture &page = *pages_.back().Picture;
  TDeviceMetrics m;
  bool fromPrinter = false;
  if (!target_)
    target_ = MakePrinterTarget(Printer());
  // Whether there is a printer is asked once a document: the answer takes
  // a round trip to the print system.
  if (PageCount() == 1)
    hasPrinter_ = target_->HasPrinter();
  if (hasPrinter_) {
    target_->SetOrientation(Orientation);
    fromPrinter = target_->ReadMetrics(m);
  }
  metrics_ = fromPrinter ? m : SurfaceMetrics(Orientation);
  p.begin(&page);
  if (carry) {
    p.setFont(font);
  } else {
    // "Arial" 10 point at the page's resolution (the picture counts points
    // at its own).
    font = QFont(QStringLiteral("Arial"));
    font.setPointSizeF(10.0 * metrics_.PixelsPerInchY / PictureDpiY());
    p.setFont(font);
  }
  p.setBrush(brush);
  p.setPen(pen);
  pageDrawn_ = false;
  Status(StatusText("Paginating page %d", PageCount()), psPaginating, PageCount());
}

QPainter *TPreviewPrinter::Canvas() {
  if (!inDoc_)
    throw EAssertionFailed("Canvas is not available before BeginDoc (PrevPrinter)");
  pageDrawn_ = true;
  return &rec_->Painter;
}

void TPreviewPrinter::EndDoc() {
  if (!inDoc_)
    return;
  inDoc_ = false;
  EndPage();
  if (!pageDrawn_ && !pages_.empty()) {
    Forget(pages_.back());
    pages_.pop_back();
  }
  Status("Pagination Complete", psPaginationComplete, PageCount());
}

QPicture TPreviewPrinter::Page(int index) const {
  if (index < 0 || index >= PageCount())
    throw EKorvexError("List index out of bounds (" + std::to_string(index) + ")");
  const TStoredPage &page = pages_[static_cast<size_t>(index)];
  if (page.Picture)
    return *page.Picture;
  const QByteArray recorded = qUncompress(page.Packed);
  QPicture picture;
  picture.setData(recorded.constData(), static_cast<uint>(recorded.size()));
  return picture;
}

double TPreviewPrinter::PageWidthInches() const {
  return static_cast<double>(metrics_.PageWidth) / std::max(1, metrics_.PixelsPerInchX);
}

double TPreviewPrinter::PageHeightInches() const {
  return static_cast<double>(metrics_.PageHeight) / std::max(1, metrics_.PixelsPerInchY);
}

int TPreviewPrinter::XDev(double value) const {
  return static_cast<int>(std::lrint(metrics_.PixelsPerInchX * value / UnitFactor(Units)));
}

int TPreviewPrinter::YDev(double value) const {
  return static_cast<int>(std::lrint(metrics_.PixelsPerInchY * value / UnitFactor(Units)));
}

void TPreviewPrinter::PaginateEditor(TSyntaxMemo &editor) {
  // Units, the cursor and the editor's updates come back however this ends,
  // and a failed pagination leaves no document open.
  struct TRestore {
    TPreviewPrinter &P;
    TSyntaxMemo &E;
    TUnits Units;
    bool Updating;
    TWaitCursor Wait;
    ~TRestore() {
      if (P.inDoc_) {
        P.inDoc_ = false;
        P.EndPage();
      }
      P.Units = Units;
      E.SetUpdating(Updating);
    }
  } restore{*this, editor, Units, editor.Updating(), {}};
  Units = unInches;
  editor.SetUpdating(true);
  for (int page = 1;; ++page) {
    if (page == 1)
      BeginDoc();
    else
      NewPage();
    const int left = XDev(TextOptions.MarginLeft);
    const int top = YDev(TextOptions.MarginTop);
    const int right = metrics_.PageWidth - XDev(TextOptions.MarginRight);
    const int bottom = metrics_.PageHeight - YDev(TextOptions.MarginBottom);
    if (right <= left || bottom <= top)
      throw EKorvexError(NoRoomOnPage);
    const QRect rect(left, top, right - left, bottom - top);
    const bool more = editor.DrawPage(*Canvas(), page, rect,
                                      QSize(metrics_.PixelsPerInchX, metrics_.PixelsPerInchY));
    if (!more)
      break;
  }
  EndDoc();
}

void TPreviewPrinter::Preview(QWidget *parent) {
  if (inDoc_)
    throw EAssertionFailed("Preview is not available before EndDoc (PrevPrinter)");
  TPreviewForm form(*this, parent);
  form.setWindowState(form.windowState() | Qt::WindowMaximized);
  form.exec();
}

bool TPreviewPrinter::Print() {
  const int count = PageCount();
  if (count == 0)
    return false;
  TPrintChoice choice;
  choice.MinPage = 1;
  choice.MaxPage = count;
  choice.FromPage = 1;
  choice.ToPage = count;
  choice.AllPages = true;
  choice.Copies = 1;
  if (!Prompter().PrintDialog(choice))
    return false;
  const int first = choice.AllPages ? 0 : choice.FromPage - 1;
  const int last = choice.AllPages ? count - 1 : choice.ToPage - 1;
  PrintRange(first, last, std::max(1, choice.Copies));
  return true;
}

void TPreviewPrinter::PrintRange(int first, int last, int copies) {
  const int count = PageCount();
  first = std::max(0, first);
  last = std::min(last, count - 1);
  if (first > last || copies < 1)
    return;
  TWaitCursor wait;
  if (!target_)
    target_ = MakePrinterTarget(Printer());
  TPrintTarget &t = *target_;
  t.SetOrientation(Orientation);
  t.BeginJob(Title.empty() ? std::string(ApplicationTitle) : Title);
  try {
    TDeviceMetrics printer;
    t.ReadMetrics(printer);
    bool sheet = false;
    for (int c = 0; c < copies; ++c)
      for (int i = first; i <= last; ++i) {
        Status(StatusText("Printing page %d", i + 1), psPrinting, i + 1);
        if (sheet)
          t.NewSheet();
        sheet = true;
        t.DrawPage(i, Page(i), metrics_);
      }
    t.EndJob();
  } catch (...) {
    t.AbortJob();
    throw;
  }
  Status("Print Job Complete", psPrintComplete, last + 1);
}
