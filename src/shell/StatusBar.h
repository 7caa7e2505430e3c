// The main window's status bar: six fixed panels, the last one stretching to
// the window's edge, in Tahoma bold 8 points and without a size grip.
#pragma once

#include <QStatusBar>

class QLabel;

class TStatusBar : public QStatusBar {
public:
  static constexpr int PanelCount = 6;

  explicit TStatusBar(QWidget *parent = nullptr);

  QString PanelText(int index) const;
  void SetPanelText(int index, const QString &text);
  QLabel *Panel(int index) const;
  // The designed width of a panel in pixels.
  static int PanelWidth(int index);

private:
  QLabel *panels_[PanelCount] = {};
};
