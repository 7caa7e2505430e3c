// Start-up: the font system's first use on a second thread.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

// The first use of any font reads the font configuration (some fifty XML
// files and the font caches) and lists every installed font: the largest
// single cost of a cold start. Made at the very top of main, this starts the
// configuration load on a second thread at once, so that the application and
// display set-up overlap it. Once the application object exists,
// TApplicationReady lets the same thread go on to the toolkit's font list,
// which the window building then finds made; whatever needs a font before
// that waits for it inside the toolkit.
//
//   TFontWarmUp fonts;
//   QApplication app(argc, argv);
//   TFontWarmUp::TApplicationReady ready(fonts); // joined before app ends
class TFontWarmUp {
public:
  // then: more start-up work that needs no window, run on the same thread
  // after the fonts once the application exists (an exception it throws is
  // dropped: whoever needs its result first meets it again).
  explicit TFontWarmUp(std::function<void()> then = nullptr);
  // Without TApplicationReady, the thread ends after the configuration load.
  ~TFontWarmUp();
  TFontWarmUp(const TFontWarmUp &) = delete;
  TFontWarmUp &operator=(const TFontWarmUp &) = delete;
  // Made right after the application object: lets the thread use the
  // toolkit, and waits for it when destroyed (before the application is).
  class TApplicationReady {
  public:
    explicit TApplicationReady(TFontWarmUp &fonts);
    ~TApplicationReady();
    TApplicationReady(const TApplicationReady &) = delete;
    TApplicationReady &operator=(const TApplicationReady &) = delete;

  private:
    TFontWarmUp &fonts_;
  };
  // Waits until the configuration is loaded (at once when there is no
  // thread). The toolkit's first font look-up does not wait for it: one
  // made while the thread still loads would load a second configuration
  // beside it, and two loads at once on a busy machine take longer than one.
  void WaitForConfiguration();
  // Waits for the thread (nothing when it has ended or never started); a
  // thread still waiting for ApplicationReady ends without the toolkit part.
  void Join();

private:
  enum : int { Waiting, Go, Stop };
  std::atomic<int> state_{Waiting};
  std::atomic<bool> configured_{false};
  std::thread thread_;
};
