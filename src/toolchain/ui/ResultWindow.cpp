// The result windows' shared behaviour and their geometry in the settings file.
#include "ResultWindow.h"

#include "IniFile.h"
#include "ProcessPaths.h"

#include <QCloseEvent>

TResultWindow::TResultWindow(const char *name, const QString &caption, Qt::WindowFlags flags,
                             QWidget *parent)
    : QWidget(parent, flags | Qt::WindowStaysOnTopHint) {
  setObjectName(QLatin1String(name));
  setWindowTitle(caption);
  // Closing the main window ends the program whatever else is shown.
  setAttribute(Qt::WA_QuitOnClose, false);
  setEnabled(false);
}

bool TResultWindow::event(QEvent *e) {
  if (e->type() == QEvent::WindowDeactivate && isVisible())
    StoreGeometry();
  return QWidget::event(e);
}

void TResultWindow::closeEvent(QCloseEvent *e) {
  StoreGeometry();
  QWidget::closeEvent(e);
  if (e->isAccepted())
    emit Closed();
}

void TResultWindow::showEvent(QShowEvent *e) {
  setEnabled(true);
  QWidget::showEvent(e);
}

void TResultWindow::hideEvent(QHideEvent *e) {
  if (!e->spontaneous()) {
    StoreGeometry();
    setEnabled(false);
  }
  QWidget::hideEvent(e);
}

void TResultWindow::LoadPlace(const TGeometryKeys &k) {
  const int width = ReadSettingInteger(k.Section, k.Width, k.Designed.width());
  const int left = ReadSettingInteger(k.Section, k.Left, k.Designed.left());
  const int top = ReadSettingInteger(k.Section, k.Top, k.Designed.top());
  const int height = ReadSettingInteger(k.Section, k.Height, k.Designed.height());
  move(left, top);
  resize(std::max(width, 1), std::max(height, 1));
}

void TResultWindow::StorePlace(const TGeometryKeys &k) {
  WriteSettingIntegers(k.Section,
                       {{k.Width, width()}, {k.Left, x()}, {k.Top, y()}, {k.Height, height()}});
}

// Before the program's folders are known there is no settings file to use.
int ReadSettingInteger(const char *section, const char *key, int fallback) {
  if (IncFolder.empty())
    return fallback;
  return TIniFile(SettingsFilePath()).ReadInteger(section, key, fallback);
}

void WriteSettingIntegers(const char *section,
                          std::initializer_list<std::pair<const char *, int>> values) {
  if (IncFolder.empty())
    return;
  try {
    TIniFile ini(SettingsFilePath());
    for (const auto &[key, value] : values)
      if (!ini.ValueExists(section, key) || ini.ReadInteger(section, key, value + 1) != value)
        ini.WriteInteger(section, key, value);
  } catch (const EKorvexError &) {
  }
}
