// Start-up: the font system's first use on a second thread.
#include "FontWarmUp.h"

#include <QFontDatabase>
#include <QStringList>

#include <fontconfig/fontconfig.h>

#include <system_error>

TFontWarmUp::TFontWarmUp(std::function<void()> then) {
  try {
    thread_ = std::thread([this, then = std::move(then)] {
      // The configuration the toolkit's font database asks for first, made
      // while the main thread sets up the application and the display.
      (void)FcConfigGetCurrent();
      configured_.store(true);
      configured_.notify_all();
      state_.wait(Waiting);
      if (state_.load() != Go)
        return;
      // The toolkit's list of every installed font, which all threads
      // share. No font is loaded here: each thread keeps its own loaded
      // fonts, so one loaded here would be loaded again by the window.
      (void)QFontDatabase::families();
      if (then) {
        try {
          then();
        } catch (...) {
        }
      }
    });
  } catch (const std::system_error &) {
    // No thread to be had: the first window to need a font pays for it.
  }
}

TFontWarmUp::~TFontWarmUp() {
  Join();
}

TFontWarmUp::TApplicationReady::TApplicationReady(TFontWarmUp &fonts) : fonts_(fonts) {
  int expected = Waiting;
  if (fonts_.state_.compare_exchange_strong(expected, Go))
    fonts_.state_.notify_one();
}

TFontWarmUp::TApplicationReady::~TApplicationReady() {
  fonts_.Join();
}

void TFontWarmUp::WaitForConfiguration() {
  if (thread_.joinable())
    configured_.wait(false);
}

void TFontWarmUp::Join() {
  int expected = Waiting;
  if (state_.compare_exchange_strong(expected, Stop))
    state_.notify_one();
  if (thread_.joinable())
    thread_.join();
}
