// What the four result windows share: stay on top, enabled only while
// shown, their place kept in the settings file (read when created, written
// when closed, hidden or deactivated), and a signal when the user closes one
// so its View menu item can follow. None of them keeps the program running.
#pragma once

#include <QRect>
#include <QWidget>

// The settings section and keys of a window's geometry, and the geometry it
// has when a key is missing.
struct TGeometryKeys {
  const char *Section;
  const char *Width, *Left, *Top, *Height;
  QRect Designed; // left, top, width, height
};

class TResultWindow : public QWidget {
  Q_OBJECT

public:
  TResultWindow(const char *name, const QString &caption, Qt::WindowFlags flags,
                QWidget *parent = nullptr);

  // Reads the geometry from the settings file and places the window.
  virtual void LoadGeometry() = 0;
  // Writes the window's geometry where it differs from the stored values;
  // a settings file that cannot be written keeps the old place.
  virtual void StoreGeometry() = 0;

signals:
  // The user closed the window (not a hide by the program).
  void Closed();

protected:
  bool event(QEvent *e) override;
  void closeEvent(QCloseEvent *e) override;
  void showEvent(QShowEvent *e) override;
  void hideEvent(QHideEvent *e) override;

  // Geometry of the listing and data windows: WIDTH, LEFT, TOP, HEIGHT.
  void LoadPlace(const TGeometryKeys &keys);
  void StorePlace(const TGeometryKeys &keys);
};

// Reads one integer of the settings file (the fallback when it is missing).
int ReadSettingInteger(const char *section, const char *key, int fallback);
// Writes the values of keys whose stored value differs, in the order given;
// errors writing the settings file are swallowed (a window's place is not
// worth a message on every deactivation).
void WriteSettingIntegers(const char *section,
                          std::initializer_list<std::pair<const char *, int>> values);
