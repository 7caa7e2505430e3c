// Shared by the print tests: one application, an editor holding text, a
// print target that records what it is given, and page images.
#pragma once

#include "PreviewPrinter.h"
#include "PrintPdfTools.h"
#include "PrintTarget.h"
#include "SyntaxMemo.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPicture>
#include <QPrinter>

#include <memory>
#include <string>
#include <vector>

namespace kxprint {

inline QApplication &App() {
  static int argc = 1;
  static char name[] = "test_print";
  static char *argv[] = {name, nullptr};
  static QApplication *app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

inline std::string Lines(int n, const std::string &body = "HIGH PORTB.0 : PAUSE 500 ' blink") {
  std::string s;
  for (int i = 1; i <= n; ++i)
    s += body + " " + std::to_string(i) + "\r";
  return s;
}

inline std::unique_ptr<TSyntaxMemo> MakeEditor(const std::string &text, uint32_t options = 0) {
  App();
  auto m = std::make_unique<TSyntaxMemo>();
  m->resize(640, 400);
  m->Perform(WM_SETTEXT, 0, reinterpret_cast<intptr_t>(text.c_str()));
  m->SetOptionsMask(options);
  m->PrintDate = QDate(2024, 5, 17);
  return m;
}

// Notes the pages it is asked to print; it can pretend to be a printer.
struct TRecordingTarget : TPrintTarget {
  struct TLog {
    std::vector<int> Printed; // page indexes, in order
    std::vector<std::string> Calls;
    std::vector<TPrinterOrientation> Orientations;
  };
  explicit TRecordingTarget(TLog &log, bool printer = false, TDeviceMetrics metrics = {})
      : Log(log), Printer(printer), Metrics(metrics) {}
  bool HasPrinter() const override { return Printer; }
  void SetOrientation(TPrinterOrientation o) override { Log.Orientations.push_back(o); }
  bool ReadMetrics(TDeviceMetrics &m) override {
    if (!Printer)
      return false;
    m = Metrics;
    return true;
  }
  void BeginJob(const std::string &title) override { Log.Calls.push_back("begin " + title); }
  void DrawPage(int index, const QPicture &, const TDeviceMetrics &) override {
    Log.Printed.push_back(index);
    Log.Calls.push_back("page " + std::to_string(index));
  }
  void NewSheet() override { Log.Calls.push_back("sheet"); }
  void EndJob() override { Log.Calls.push_back("end"); }
  void AbortJob() override { Log.Calls.push_back("abort"); }
  TLog &Log;
  bool Printer;
  TDeviceMetrics Metrics;
};

// A recorded page played at its own size (page pixels onto image pixels).
inline QImage PlayPage(const TPreviewPrinter &pp, int index) {
  const TDeviceMetrics &m = pp.Metrics();
  QImage img(m.PageWidth, m.PageHeight, QImage::Format_RGB32);
  img.setDotsPerMeterX(3780);
  img.setDotsPerMeterY(3780);
  img.fill(Qt::white);
  QPainter p(&img);
  const QPicture &pic = pp.Page(index);
  p.scale(static_cast<double>(PictureDpiX()) / img.logicalDpiX(),
          static_cast<double>(PictureDpiY()) / img.logicalDpiY());
  p.drawPicture(0, 0, pic);
  return img;
}

// Every page of the engine printed to a PDF file at the printer's high resolution.
inline void PrintAllToPdf(TPreviewPrinter &pp, const QString &pdf) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(pdf);
  pp.SetPrinter(&printer);
  pp.PrintRange(0, pp.PageCount() - 1);
  pp.SetPrinter(nullptr);
}

using kxpdf::InkBox;

} // namespace kxprint
