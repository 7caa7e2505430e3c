// The compiler report window: the report text of the last compile, bold,
// read-only, across the bottom of the screen. It has no caption bar: a thin
// sizing border, and a press anywhere on its body moves it as a caption
// would. Only its height is kept ([REPORT_FORM] TOP holds it).
#pragma once

#include "ResultWindow.h"

#include <string>
#include <vector>

class TReportView;
class QMenu;

class TReport : public TResultWindow {
  Q_OBJECT

public:
  static constexpr int DesignedHeight = 120;

  explicit TReport(QWidget *parent = nullptr);

  // Lines 1 to the end of the result file; `cut` adds a last line telling
  // that the file holds more (`fileSize` bytes) than is shown.
  void SetReport(const std::vector<std::string> &lines, bool cut = false, int64_t fileSize = 0);
  void ClearReport();
  TReportView *Memo() const { return memo_; }

  void LoadGeometry() override;
  void StoreGeometry() override;

signals:
  // A report line was double-clicked (its index in the report's lines).
  void LineDoubleClicked(int index);

protected:
  bool eventFilter(QObject *watched, QEvent *e) override;
  void mousePressEvent(QMouseEvent *e) override;
  void mouseMoveEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;

private:
  // Placed along the bottom edge of the screen, across its whole width.
  void PlaceAtBottom(int height);
  Qt::Edges EdgesAt(const QPoint &pos) const;
  bool BeginDrag(const QPoint &globalPos, Qt::Edges edges);

  TReportView *memo_ = nullptr;
  QMenu *popup_ = nullptr;
  // A drag the window system does not take over: moved or sized by hand.
  Qt::Edges dragEdges_;
  bool dragging_ = false;
  QPoint dragStart_;
  QRect dragGeometry_;
  // A press on the text that becomes a move once the mouse travels.
  bool pendingDrag_ = false;
  QPoint pressAt_;
};

extern TReport *Report;
