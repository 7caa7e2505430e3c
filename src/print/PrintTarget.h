// Where the print engine's recorded pages go: the printer, or (in tests) a
// target that only notes what it was given. A target also answers whether
// the system has a printer and what the printer's page is like.
#pragma once

#include <memory>
#include <string>

class QPicture;
class QPrinter;

enum TPrinterOrientation { poPortrait, poLandscape };

// A device's resolution and page, in its pixels.
struct TDeviceMetrics {
  int PixelsPerInchX = 96;
  int PixelsPerInchY = 96;
  int PageWidth = 816; // the physical page
  int PageHeight = 1056;
  int OffsetX = 0; // where the printable area starts on it
  int OffsetY = 0;
  bool operator==(const TDeviceMetrics &) const = default;
};

class TPrintTarget {
public:
  virtual ~TPrintTarget() = default;
  // Whether the system has at least one printer.
  virtual bool HasPrinter() const = 0;
  virtual void SetOrientation(TPrinterOrientation orientation) = 0;
  // The current printer's metrics; false when it gives no page size.
  virtual bool ReadMetrics(TDeviceMetrics &metrics) = 0;
  // Starts a job (EKorvexError when the printer refuses).
  virtual void BeginJob(const std::string &title) = 0;
  // Draws page `index` (recorded at `recorded`) on the current sheet, its
  // origin at the corner of the paper.
  virtual void DrawPage(int index, const QPicture &page, const TDeviceMetrics &recorded) = 0;
  virtual void NewSheet() = 0;
  virtual void EndJob() = 0;
  // Ends a job that failed on its way.
  virtual void AbortJob() = 0;
};

// The resolution recorded pages count in. Asking a filled picture for it
// checks the whole recording each time, so it is asked of an empty one.
int PictureDpiX();
int PictureDpiY();

// The target of a QPrinter (not owned).
std::unique_ptr<TPrintTarget> MakePrinterTarget(QPrinter &printer);
