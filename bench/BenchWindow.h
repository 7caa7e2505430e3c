// The main window as the window benchmarks set it up: a program folder of its
// own with the settings file a benchmark gives, the history file beside it,
// the window shown at 1000 x 700 with its first events handled; and keys
// delivered as the window system delivers them.
#pragma once

#include "EdPersistent.h"
#include "EditorMainForm.h"
#include "ProcessPaths.h"
#include "Streams.h"

#include <QApplication>
#include <QKeyEvent>

#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace kxbench {

class TBenchWindow {
public:
  // `stem` names the folder (with this process's id, so two runs never
  // share one); `settings` is the KORVEX.INI the window reads.
  TBenchWindow(const std::string &stem, const std::string &settings) {
    root = std::filesystem::temp_directory_path() /
           ("kx_bench_" + stem + "_" + std::to_string(::getpid()));
    std::filesystem::create_directories(root / "KX_INC");
    WriteFileAtomic((root / "KX_INC" / "KORVEX.INI").string(), settings);
    CommandLineFile.clear();
    form = std::make_unique<TEditorMainForm>();
    InitProcessPaths(root.string());
    form->EdPersistent = std::make_unique<TEdPersistent>((root / "KORVEX.DAT").string());
    form->resize(1000, 700);
    form->show();
    QApplication::processEvents();
    QApplication::processEvents();
  }
  ~TBenchWindow() {
    form.reset();
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  TBenchWindow(const TBenchWindow &) = delete;
  TBenchWindow &operator=(const TBenchWindow &) = delete;

  std::filesystem::path root;
  std::unique_ptr<TEditorMainForm> form;
};

// A key press and release without modifiers.
inline void KeyClick(QWidget *w, Qt::Key key, const QString &text) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(w, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(w, &release);
}

} // namespace kxbench
