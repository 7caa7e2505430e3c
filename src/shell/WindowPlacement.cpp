// Window placement kept in the settings file.
#include "WindowPlacement.h"

#include "IniFile.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

QRect FitOnScreen(const QRect &wanted, const QRect &screen) {
  if (screen.isEmpty())
    return wanted;
  QRect r(wanted.topLeft(), wanted.size().boundedTo(screen.size()));
  if (r.width() <= 0 || r.height() <= 0)
    r.setSize(screen.size() / 2);
  if (r.right() > screen.right())
    r.moveRight(screen.right());
  if (r.bottom() > screen.bottom())
    r.moveBottom(screen.bottom());
  if (r.left() < screen.left())
    r.moveLeft(screen.left());
  if (r.top() < screen.top())
    r.moveTop(screen.top());
  return r;
}

TWindowPlacement ReadWindowPlacement(const std::string &settingsFile, const std::string &section) {
  const TIniFile ini(settingsFile);
  TWindowPlacement p;
  constexpr int32_t kNone = INT32_MIN;
  const int32_t left = ini.ReadInteger(section, "LEFT", kNone);
  const int32_t top = ini.ReadInteger(section, "TOP", kNone);
  const int32_t width = ini.ReadInteger(section, "WIDTH", kNone);
  const int32_t height = ini.ReadInteger(section, "HEIGHT", kNone);
  // Hand-edited values are bounded before any arithmetic on them.
  auto sane = [](int32_t v, int32_t lo, int32_t hi) { return v != kNone && v >= lo && v <= hi; };
  if (!sane(left, -100000, 100000) || !sane(top, -100000, 100000) || !sane(width, 1, 100000) ||
      !sane(height, 1, 100000))
    return p;
  p.Frame = QRect(left, top, width, height);
  p.Maximised = ini.ReadInteger(section, "MAXIMISED", 0) != 0;
  p.Known = true;
  return p;
}

void WriteWindowPlacement(const std::string &settingsFile, const std::string &section,
                          const TWindowPlacement &placement) {
  TIniFile ini(settingsFile);
  ini.WriteInteger(section, "LEFT", placement.Frame.left());
  ini.WriteInteger(section, "TOP", placement.Frame.top());
  ini.WriteInteger(section, "WIDTH", placement.Frame.width());
  ini.WriteInteger(section, "HEIGHT", placement.Frame.height());
  ini.WriteInteger(section, "MAXIMISED", placement.Maximised ? 1 : 0);
}

void RestoreWindowPlacement(QWidget *window, const std::string &settingsFile,
                            const std::string &section, const QSize &defaultSize) {
  const TWindowPlacement p = ReadWindowPlacement(settingsFile, section);
  QScreen *screen = p.Known ? QGuiApplication::screenAt(p.Frame.center()) : nullptr;
  if (!screen)
    screen = QGuiApplication::primaryScreen();
  const QRect available = screen ? screen->availableGeometry() : QRect();
  QRect frame;
  if (p.Known) {
    frame = FitOnScreen(p.Frame, available);
  } else {
    frame = QRect(QPoint(0, 0),
                  available.isEmpty() ? defaultSize : defaultSize.boundedTo(available.size()));
    if (!available.isEmpty())
      frame.moveCenter(available.center());
  }
  window->setGeometry(frame);
  if (p.Known && p.Maximised)
    window->setWindowState(window->windowState() | Qt::WindowMaximized);
}

void StoreWindowPlacement(const QWidget *window, const std::string &settingsFile,
                          const std::string &section) {
  TWindowPlacement p;
  p.Maximised = window->isMaximized();
  // The client area, as setGeometry() takes it back: the window manager's
  // frame around it is the manager's to place.
  p.Frame = p.Maximised ? window->normalGeometry() : window->geometry();
  if (p.Frame.isEmpty())
    return;
  // Unchanged: the settings file is left alone.
  const TWindowPlacement stored = ReadWindowPlacement(settingsFile, section);
  if (stored.Known && stored.Frame == p.Frame && stored.Maximised == p.Maximised)
    return;
  try {
    WriteWindowPlacement(settingsFile, section, p);
  } catch (const EKorvexError &) {
    // A read-only settings file keeps its old place; the program still closes.
  }
}
