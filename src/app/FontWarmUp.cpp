// Start-up: the font system's first use on a second thread.
#include "FontWarmUp.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>

#include <system_error>

TFontWarmUp::TFontWarmUp() {
  try {
    thread_ = std::thread([] {
      // The editor's font, as its widget asks for it; the font database and
      // the font configuration it fills are shared by every thread.
      QFont font(QStringLiteral("Courier New"), 10);
      font.setStyleHint(QFont::TypeWriter);
      font.setFixedPitch(true);
      (void)QFontMetrics(font).height();
    });
  } catch (const std::system_error &) {
    // No thread to be had: the first window to need a font pays for it.
  }
}

TFontWarmUp::~TFontWarmUp() {
  Join();
}

void TFontWarmUp::Join() {
  if (thread_.joinable())
    thread_.join();
}
