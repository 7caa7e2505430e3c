// Painting the report lines on screen only.
#include "ReportView.h"

#include "QtClipboard.h"

#include <QPainter>
#include <QScrollBar>

#include <algorithm>

TReportView::TReportView(QWidget *parent) : QAbstractScrollArea(parent) {
  setObjectName(QStringLiteral("ReportMemo"));
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  verticalScrollBar()->setSingleStep(1);
}

void TReportView::SetLines(std::vector<std::string> lines) {
  lines_ = std::move(lines);
  verticalScrollBar()->setValue(0);
  UpdateScrollBar();
  viewport()->update();
}

QString TReportView::Text() const {
  QString s;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (i)
      s += QLatin1Char('\n');
    s += FromCp1252(lines_[i]);
  }
  return s;
}

int TReportView::TopLine() const {
  return verticalScrollBar()->value();
}

int TReportView::LineHeight() const {
  return std::max(1, fontMetrics().lineSpacing());
}

void TReportView::UpdateScrollBar() {
  const int rows = std::max(1, viewport()->height() / LineHeight());
  const int count = static_cast<int>(std::min<size_t>(lines_.size(), INT32_MAX));
  verticalScrollBar()->setRange(0, std::max(0, count - rows));
  verticalScrollBar()->setPageStep(rows);
}

void TReportView::resizeEvent(QResizeEvent *e) {
  QAbstractScrollArea::resizeEvent(e);
  UpdateScrollBar();
}

void TReportView::paintEvent(QPaintEvent *) {
  QPainter p(viewport());
  p.setFont(font());
  p.setPen(palette().color(QPalette::Text));
  const int lh = LineHeight();
  const int width = viewport()->width();
  // No glyph is narrower than a pixel: a line never shows more characters
  // than the view is wide.
  const size_t visibleChars = static_cast<size_t>(std::max(1, width)) + 1;
  size_t line = static_cast<size_t>(TopLine());
  for (int y = 0; y < viewport()->height() && line < lines_.size(); y += lh, ++line) {
    const std::string &text = lines_[line];
    const QString shown = FromCp1252(text.data(), std::min(text.size(), visibleChars));
    p.drawText(QRect(2, y, width - 2, lh),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextExpandTabs | Qt::TextSingleLine, shown);
  }
}

int TReportView::LineAt(int y) const {
  if (y < 0)
    return -1;
  const int line = TopLine() + y / LineHeight();
  return line < static_cast<int>(lines_.size()) ? line : -1;
}
