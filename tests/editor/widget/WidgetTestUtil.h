// Shared set-up of the widget tests: one offscreen application, a shown and
// focused editor of a fixed size, and pixel helpers.
#pragma once

#include "SyntaxMemo.h"

#include <QApplication>
#include <QImage>
#include <QTest>

#include <memory>
#include <string>

namespace kxwidget {

inline QApplication &App() {
  static int argc = 1;
  static char name[] = "test_editor_widget";
  static char *argv[] = {name, nullptr};
  static QApplication *app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

// An editor shown at a fixed size with the focus, holding text.
inline std::unique_ptr<TSyntaxMemo> MakeMemo(const std::string &text, int width = 640,
                                             int height = 320) {
  App();
  auto m = std::make_unique<TSyntaxMemo>();
  m->resize(width, height);
  m->SetOptionsMask(smoShowGutter | smoLineNumbers | smoAutoIndent | smoWordSelect);
  m->Perform(WM_SETTEXT, 0, reinterpret_cast<intptr_t>(text.c_str()));
  m->show();
  m->activateWindow();
  m->setFocus();
  QApplication::processEvents();
  return m;
}

inline QImage Shot(TSyntaxMemo &m) {
  QApplication::processEvents();
  return m.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline bool Near(QColor a, QColor b, int tolerance = 8) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

// Pixels of a rectangle that have a colour.
inline int CountColour(const QImage &img, const QRect &r, QColor c, int tolerance = 8) {
  int n = 0;
  for (int y = std::max(0, r.top()); y <= std::min(img.height() - 1, r.bottom()); ++y)
    for (int x = std::max(0, r.left()); x <= std::min(img.width() - 1, r.right()); ++x)
      if (Near(img.pixelColor(x, y), c, tolerance))
        ++n;
  return n;
}

// Pixels of a rectangle darker than mid grey (text, digits).
inline int CountDark(const QImage &img, const QRect &r) {
  int n = 0;
  for (int y = std::max(0, r.top()); y <= std::min(img.height() - 1, r.bottom()); ++y)
    for (int x = std::max(0, r.left()); x <= std::min(img.width() - 1, r.right()); ++x)
      if (qGray(img.pixel(x, y)) < 100)
        ++n;
  return n;
}

// The client rectangle of one character cell.
inline QRect Cell(TSyntaxMemo &m, int row, int column) {
  return QRect(m.TextLeft() + (column - m.LeftColumn()) * m.CharWidth(), row * m.LineHeight(),
               m.CharWidth(), m.LineHeight());
}

} // namespace kxwidget
