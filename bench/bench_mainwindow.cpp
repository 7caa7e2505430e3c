// The main window end to end: one keystroke (key event, edit, the change
// handler with its settings reads, the status bar) with a realistic settings
// file, and opening the 50 MB file through OpenFile until the first screen is
// painted.
#include "BenchUtil.h"

#include "EdPersistent.h"
#include "EditorMainForm.h"
#include "IniFile.h"
#include "KorvexApplication.h"
#include "ProcessPaths.h"
#include "Prompter.h"
#include "Streams.h"
#include "SyntaxMemo.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QKeyEvent>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// About 4 KB: every section and key the program keeps, with the geometry
// keys and a few comments as a user's file has them.
std::string RealisticIni() {
  std::string s =
      "; KORVEX compiler settings\r\n"
      "[WORKING_DIRECTORY]\r\nPATHNAME=/home/user/projects/pic/robot arm\r\n"
      "[PROGRAMMER]\r\nTYPE=EPIC\r\n"
      "[BOOTLOADER]\r\nTYPE=STANDARD\r\n"
      "[EXT_PROG]\r\nNAME=PICkit 2\r\nEXT_PATH=/opt/pickit/pk2cmd\r\n"
      "CMD_LINE=-P%PIC -F%FULL -M -R\r\n"
      "[EXT_BOOTLOADER]\r\nNAME=Tiny Bootloader\r\nEXT_PATH=/opt/tiny/tinybld\r\n"
      "CMD_LINE=%FILENAME /dev/ttyUSB0 19200\r\n"
      "[MELOADER]\r\nPATHNAME=/opt/meloader\r\n"
      "[CODE]\r\nHEX_WIDTH=520\r\nHEX_LEFT=120\r\nHEX_TOP=80\r\nHEX_HEIGHT=400\r\n"
      "[EEPROM]\r\nDATA_WIDTH=420\r\nDATA_LEFT=160\r\nDATA_TOP=90\r\nDATA_HEIGHT=300\r\n"
      "[EDITOR]\r\nASM_WIDTH=640\r\nASM_LEFT=40\r\nASM_TOP=30\r\nASM_HEIGHT=560\r\n"
      "[REPORT_FORM]\r\nTOP=200\r\n";
  s += "; recent device notes\r\n";
  int i = 0;
  while (s.size() < 4000)
    s +=
        "; 16F" + std::to_string(600 + i++) + " checked with the standard loader at 19200 baud\r\n";
  return s;
}

struct TWindow {
  fs::path root;
  std::unique_ptr<TEditorMainForm> form;

  TWindow() {
    root = fs::temp_directory_path() / ("kx_bench_mw_" + std::to_string(::getpid()));
    fs::create_directories(root / "KX_INC");
    WriteFileAtomic((root / "KX_INC" / "KORVEX.INI").string(), RealisticIni());
    CommandLineFile.clear();
    form = std::make_unique<TEditorMainForm>();
    InitProcessPaths(root.string());
    form->EdPersistent = std::make_unique<TEdPersistent>((root / "KORVEX.DAT").string());
    form->resize(1000, 700);
    form->show();
    QApplication::processEvents();
    QApplication::processEvents();
  }
  ~TWindow() {
    form.reset();
    fs::remove_all(root);
  }
};

TWindow *Window = nullptr;

// A key press and release as the window system delivers them.
void KeyClick(QWidget *w, Qt::Key key, const QString &text) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(w, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(w, &release);
}

void BM_Keystroke(benchmark::State &state) {
  TSyntaxMemo *memo = Window->form->SyntaxMemo1;
  bool type = true;
  for (auto _ : state) {
    if (type)
      KeyClick(memo, Qt::Key_A, QStringLiteral("a"));
    else
      KeyClick(memo, Qt::Key_Backspace, QString());
    type = !type;
  }
  QApplication::processEvents();
}
BENCHMARK(BM_Keystroke)->Unit(benchmark::kMicrosecond);

void BM_ChangeHandlerOnly(benchmark::State &state) {
  for (auto _ : state)
    Window->form->SyntaxMemo1Change(nullptr);
}
BENCHMARK(BM_ChangeHandlerOnly)->Unit(benchmark::kMicrosecond);

// Median of single keystrokes, each timed on its own, with the window
// repainting every 16 keystrokes as a user's typing lets it.
void KeystrokeMedian() {
  TSyntaxMemo *memo = Window->form->SyntaxMemo1;
  std::vector<double> us;
  for (int i = 0; i < 4000; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    if (i % 2)
      KeyClick(memo, Qt::Key_Backspace, QString());
    else
      KeyClick(memo, Qt::Key_B, QStringLiteral("b"));
    const auto t1 = std::chrono::steady_clock::now();
    us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    if (i % 16 == 15)
      QApplication::processEvents();
  }
  std::sort(us.begin(), us.end());
  kxbench::Figure("keystroke-main-window median", us[us.size() / 2], "us");
  kxbench::Figure("keystroke-main-window p95", us[us.size() * 95 / 100], "us");
}

void OpenLargeFile(const std::string &name, const std::string &label) {
  const std::string path = kxbench::DataFile(name);
  if (!fs::exists(path)) {
    std::printf("SKIPPED %s: %s not generated (run scripts/bench)\n", label.c_str(), path.c_str());
    return;
  }
  TWindow w;
  const auto t0 = std::chrono::steady_clock::now();
  w.form->OpenFile(QFile::decodeName(QByteArray::fromStdString(path)));
  w.form->repaint();
  QApplication::processEvents();
  const auto t1 = std::chrono::steady_clock::now();
  kxbench::Figure(label, std::chrono::duration<double, std::milli>(t1 - t0).count(), "ms");
}

} // namespace

int main(int argc, char **argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  TKorvexApplication app(argc, argv);
  {
    TWindow w;
    Window = &w;
    // A realistic document: a 1 MB BASIC file when generated, else a page.
    const std::string doc = kxbench::DataFile("basic_1MB.bas");
    if (fs::exists(doc))
      w.form->OpenFile(QFile::decodeName(QByteArray::fromStdString(doc)));
    else
      w.form->SyntaxMemo1->ReplaceSel(std::string(4000, 'x'));
    w.form->SyntaxMemo1->SetSelection(2000, 2000);
    QApplication::processEvents();
    KeystrokeMedian();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Window = nullptr;
  }
  OpenLargeFile("basic_50MB.bas", "open-50MB-first-paint");
  return 0;
}
