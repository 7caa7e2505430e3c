// TPreviewPrinter: the print engine. It paginates a document into recorded
// pages (one vector picture per page, drawn by the editor control), keeps
// them, shows them in the preview window and prints them, reporting its
// progress through OnStatus.
#pragma once

#include "KorvexError.h"
#include "PrintTarget.h"
#include "TextOptions.h"

#include <QByteArray>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QPainter;
class QPicture;
class QPrinter;
class QWidget;
class TSyntaxMemo;

// A programming error: an operation used out of its order.
KX_DECLARE_ERROR(EAssertionFailed, EKorvexError);

enum TUnits { unInches, unCentimeters };
enum TZoomOption { zoFitToPage, zoFitToWidth, zoTwoPages, zoCustom };

// Kinds of OnStatus reports.
constexpr int psPaginating = 0;
constexpr int psPrinting = 1;
constexpr int psPaginationComplete = 2;
constexpr int psPrintComplete = 3;

class TPreviewPrinter;
using TPrintStatusEvent =
    std::function<void(TPreviewPrinter *sender, const std::string &text, int kind, int page)>;

class TPreviewPrinter {
public:
  TPreviewPrinter();
  ~TPreviewPrinter();
  TPreviewPrinter(const TPreviewPrinter &) = delete;
  TPreviewPrinter &operator=(const TPreviewPrinter &) = delete;

  TTextOptions TextOptions;
  TPrinterOrientation Orientation = poPortrait;
  TUnits Units = unInches;
  bool ShowGrid = false;
  TZoomOption ZoomOption = zoFitToPage;
  int ZoomVal = 100;
  std::string Title; // the print job's name
  TPrintStatusEvent OnStatus;
  // Finished pages are kept as recorded while they take no more than this
  // many bytes in all; the pages after them are kept packed (a tenth of the
  // size) and unpacked when asked for, so a preview of a huge text fits in
  // memory.
  size_t PageMemoryBudget = size_t{16} << 20;

  // The printer the pages go to (not owned); null: a printer of the engine's own.
  void SetPrinter(QPrinter *printer);
  QPrinter &Printer();
  // Another target for the pages (tests record what would be printed).
  void SetTarget(std::unique_ptr<TPrintTarget> target);

  // Recording.
  void BeginDoc();
  void NewPage();
  QPainter *Canvas();
  void EndDoc();
  bool InDocument() const { return inDoc_; }

  int PageCount() const { return static_cast<int>(pages_.size()); }
  QPicture Page(int index) const; // 0-based; pictures share their recording
  // Bytes the finished pages take, packed or not.
  size_t PageMemory() const { return pageMemory_; }
  // The metrics the pages were recorded with.
  const TDeviceMetrics &Metrics() const { return metrics_; }
  // Page size in inches.
  double PageWidthInches() const;
  double PageHeightInches() const;

  // A length in Units as device pixels across and down.
  int XDev(double value) const;
  int YDev(double value) const;

  // Paginates the editor's text into pages within the margins.
  void PaginateEditor(TSyntaxMemo &editor);
  // Shows the pages in the preview window, modally.
  void Preview(QWidget *parent = nullptr);
  // The print dialog, then the chosen pages once per copy; false when cancelled.
  bool Print();
  // Prints pages first..last (0-based), the run `copies` times over, as one job.
  void PrintRange(int first, int last, int copies = 1);

private:
  void Status(const std::string &text, int kind, int page);
  void EndPage();

  // A finished page as recorded, or packed once the budget is spent.
  struct TStoredPage {
    std::unique_ptr<QPicture> Picture;
    QByteArray Packed;
  };
  void Settle(TStoredPage &page);
  void Forget(const TStoredPage &page);

  struct TRecording;
  std::vector<TStoredPage> pages_;
  size_t recordedMemory_ = 0; // pages kept as recorded
  size_t pageMemory_ = 0;     // all finished pages
  std::unique_ptr<TRecording> rec_;
  bool inDoc_ = false;
  bool pageDrawn_ = false;
  bool hasPrinter_ = false;
  TDeviceMetrics metrics_;
  std::unique_ptr<QPrinter> ownPrinter_;
  QPrinter *printer_ = nullptr;
  std::unique_ptr<TPrintTarget> target_;
};

// The message of margins that leave no room for text.
inline constexpr const char *NoRoomOnPage = "The margins leave no room for text on the page";

// "Paginating page %d" and the other report texts.
std::string StatusText(const char *format, int page);
