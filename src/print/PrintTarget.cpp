// The printer as a target of recorded pages.
#include "PrintTarget.h"

#include "KorvexError.h"

#include <QFile>
#include <QPainter>
#include <QPicture>
#include <QPrinter>
#include <QPrinterInfo>

int PictureDpiX() {
  static const int dpi = QPicture().logicalDpiX();
  return dpi;
}

int PictureDpiY() {
  static const int dpi = QPicture().logicalDpiY();
  return dpi;
}

namespace {

class TPrinterTarget : public TPrintTarget {
public:
  explicit TPrinterTarget(QPrinter &printer) : printer_(printer) {}
  ~TPrinterTarget() override {
    if (painter_.isActive())
      AbortJob();
  }

  bool HasPrinter() const override { return !QPrinterInfo::availablePrinters().isEmpty(); }

  void SetOrientation(TPrinterOrientation o) override {
    printer_.setPageOrientation(o == poPortrait ? QPageLayout::Portrait : QPageLayout::Landscape);
  }

  bool ReadMetrics(TDeviceMetrics &m) override {
    const QRect paper = printer_.paperRect(QPrinter::DevicePixel).toAlignedRect();
    if (paper.width() <= 0 || paper.height() <= 0 || printer_.logicalDpiX() <= 0 ||
        printer_.logicalDpiY() <= 0)
      return false;
    m.PixelsPerInchX = printer_.logicalDpiX();
    m.PixelsPerInchY = printer_.logicalDpiY();
    m.PageWidth = paper.width();
    m.PageHeight = paper.height();
    const QRect printable = printer_.pageLayout().paintRectPixels(printer_.resolution());
    m.OffsetX = printable.left();
    m.OffsetY = printable.top();
    return true;
  }

  void BeginJob(const std::string &title) override {
    fullPage_ = printer_.fullPage();
    copies_ = printer_.copyCount();
    // Pages are drawn from the paper's corner, and every copy is printed as
    // pages of its own.
    printer_.setFullPage(true);
    printer_.setCopyCount(1);
    printer_.setDocName(QFile::decodeName(QByteArray::fromStdString(title)));
    if (!painter_.begin(&printer_)) {
      Restore();
      const QString where =
          printer_.outputFileName().isEmpty() ? printer_.printerName() : printer_.outputFileName();
      throw EKorvexError("Printing could not start on \"" + where.toLocal8Bit().toStdString() +
                         "\"");
    }
  }

  void DrawPage(int, const QPicture &page, const TDeviceMetrics &recorded) override {
    painter_.save();
    // A picture plays scaled by the device's resolution over its own; the
    // page's pixels then land on printer pixels at the printer's resolution.
    painter_.scale(static_cast<double>(PictureDpiX()) / recorded.PixelsPerInchX,
                   static_cast<double>(PictureDpiY()) / recorded.PixelsPerInchY);
    painter_.drawPicture(0, 0, page);
    painter_.restore();
  }

  void NewSheet() override { printer_.newPage(); }

  void EndJob() override {
    painter_.end();
    Restore();
  }

  void AbortJob() override {
    printer_.abort();
    if (painter_.isActive())
      painter_.end();
    Restore();
  }

private:
  void Restore() {
    printer_.setFullPage(fullPage_);
    printer_.setCopyCount(copies_);
  }

  QPrinter &printer_;
  QPainter painter_;
  bool fullPage_ = false;
  int copies_ = 1;
};

} // namespace

std::unique_ptr<TPrintTarget> MakePrinterTarget(QPrinter &printer) {
  return std::make_unique<TPrinterTarget>(printer);
}
