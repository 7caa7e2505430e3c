// Where a window was left: its place, size and maximised state, kept in a
// section of its own in "KORVEX.INI" and brought back within the screens
// that are there now.
#pragma once

#include <QRect>

#include <string>

class QWidget;

struct TWindowPlacement {
  // The normal (not maximised) client area, in screen coordinates.
  QRect Frame;
  bool Maximised = false;
  bool Known = false; // false: nothing stored yet
};

// The largest part of `wanted` that fits `screen`: a size at most the
// screen's, moved (not shrunk) back onto it when it lies partly or wholly off.
QRect FitOnScreen(const QRect &wanted, const QRect &screen);

TWindowPlacement ReadWindowPlacement(const std::string &settingsFile, const std::string &section);
// Raises EIniFileError when the settings file cannot be written.
void WriteWindowPlacement(const std::string &settingsFile, const std::string &section,
                          const TWindowPlacement &placement);

// Puts a window that is not shown yet where it was left, within the screen it
// was on (the primary screen when that one is gone); without a stored place,
// a size that suits the screen, centred.
void RestoreWindowPlacement(QWidget *window, const std::string &settingsFile,
                            const std::string &section, const QSize &defaultSize);
// Stores the window's normal frame and whether it is maximised; a settings
// file that cannot be written loses only the place.
void StoreWindowPlacement(const QWidget *window, const std::string &settingsFile,
                          const std::string &section);
