// Start-up: the font system's first use runs on a second thread while the
// windows are built.
#pragma once

#include <thread>

// The first use of any font reads the font configuration and lists every
// installed font: the largest single cost of a cold start. This starts it on
// a second thread at once, so that the single-instance check and the window
// building overlap it; whatever needs a font before it is done waits for it
// inside the toolkit. Waits for the thread when destroyed.
class TFontWarmUp {
public:
  TFontWarmUp();
  ~TFontWarmUp();
  TFontWarmUp(const TFontWarmUp &) = delete;
  TFontWarmUp &operator=(const TFontWarmUp &) = delete;
  // Waits for the thread (nothing when it has ended or never started).
  void Join();

private:
  std::thread thread_;
};
