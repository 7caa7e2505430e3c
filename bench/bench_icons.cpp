// Toolbar icons at their first paint: our SVG engine rendering the sixteen
// drawings at 1x and 2x from fresh icons, against Qt's own SVG icon engine
// (its plugin) doing the same for the same files.
#include "BenchUtil.h"
#include "SvgIcon.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QIcon>
#include <QPixmap>

namespace {

const char *const kIcons[] = {"new",     "open",    "save",     "print", "preview",  "cut",
                              "copy",    "paste",   "undo",     "redo",  "indent",   "undent",
                              "compile", "program", "download", "asm"};

QApplication &App() {
  static int argc = 1;
  static char name[] = "bench_icons";
  static char *argv[] = {name, nullptr};
  static QApplication *app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

int64_t Render(const QIcon &icon) {
  int64_t bytes = 0;
  for (const qreal ratio : {1.0, 2.0})
    bytes += icon.pixmap(QSize(16, 16), ratio).toImage().sizeInBytes();
  return bytes;
}

void BM_ToolbarIcons_Ours(benchmark::State &state) {
  App();
  for (auto _ : state) {
    int64_t bytes = 0;
    for (const char *name : kIcons)
      bytes += Render(SvgIcon(QString::fromLatin1(name)));
    benchmark::DoNotOptimize(bytes);
  }
}
BENCHMARK(BM_ToolbarIcons_Ours)->Unit(benchmark::kMicrosecond);

void BM_ToolbarIcons_QtSvgIconEngine(benchmark::State &state) {
  App();
  SvgIcon(QStringLiteral("new")); // registers the resources
  if (QIcon(QStringLiteral(":/icons/new.svg")).pixmap(16).isNull()) {
    kxbench::Skipped("Qt SVG icon engine");
    state.SkipWithError("no SVG icon engine plugin");
    return;
  }
  for (auto _ : state) {
    int64_t bytes = 0;
    for (const char *name : kIcons)
      bytes += Render(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name))));
    benchmark::DoNotOptimize(bytes);
  }
}
BENCHMARK(BM_ToolbarIcons_QtSvgIconEngine)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  kxbench::RealTimeCollector reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  auto &s = kxbench::Seconds();
  const auto ours = s.find("BM_ToolbarIcons_Ours");
  const auto qt = s.find("BM_ToolbarIcons_QtSvgIconEngine");
  if (ours != s.end())
    kxbench::Figure("toolbar-icons-first-render 16 at 1x and 2x", ours->second * 1e6, "us");
  if (ours != s.end() && qt != s.end())
    kxbench::Ratio("toolbar-icons-first-render", "Qt SVG icon engine", ours->second, qt->second);
  return 0;
}
