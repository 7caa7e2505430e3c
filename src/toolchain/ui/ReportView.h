// The report window's text: read-only lines in one font, no word wrap, a
// vertical scroll bar. Only the lines on screen are laid out, and of each only
// what fits the width, so a report of any size shows at once.
#pragma once

#include <QAbstractScrollArea>

#include <string>
#include <vector>

class TReportView : public QAbstractScrollArea {
public:
  explicit TReportView(QWidget *parent = nullptr);

  // The lines as the file holds them (8-bit text, shown as Windows-1252).
  void SetLines(std::vector<std::string> lines);
  void Clear() { SetLines({}); }
  const std::vector<std::string> &Lines() const { return lines_; }
  // The text as shown, lines joined with "\n".
  QString Text() const;
  // The index of the first line on screen.
  int TopLine() const;
  // The index of the line at a viewport height, or -1 below the last line.
  int LineAt(int y) const;

protected:
  void paintEvent(QPaintEvent *e) override;
  void resizeEvent(QResizeEvent *e) override;

private:
  void UpdateScrollBar();
  int LineHeight() const;

  std::vector<std::string> lines_;
};
