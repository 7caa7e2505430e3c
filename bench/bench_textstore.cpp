// The text model against QTextDocument (QPlainTextEdit's document) and, when
// installed, QScintilla: load and save of 10 MB and 50 MB PIC BASIC files,
// typing at the middle of a 1,000,000-line text and undoing it, and the peak
// memory of a load (each measured in a fresh child process).
#include "BenchUtil.h"
#include "CustomSyntaxMemo.h"
#include "Streams.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#ifdef KX_HAVE_QSCINTILLA
#include <Qsci/qsciscintilla.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

template <class F> double Time(F f) {
  const auto t0 = Clock::now();
  f();
  return Seconds(t0, Clock::now());
}

// Best of n runs.
template <class F> double Best(int n, F f) {
  double best = 1e30;
  for (int i = 0; i < n; ++i)
    best = std::min(best, Time(f));
  return best;
}

// Best of n runs, each after an untimed preparation.
template <class P, class F> double Best(int n, P prepare, F f) {
  double best = 1e30;
  for (int i = 0; i < n; ++i) {
    prepare();
    best = std::min(best, Time(f));
  }
  return best;
}

long StatusKB(const char *key) {
  FILE *f = std::fopen("/proc/self/status", "r");
  if (!f)
    return -1;
  char line[256];
  long v = -1;
  const size_t n = std::strlen(key);
  while (std::fgets(line, sizeof line, f))
    if (std::strncmp(line, key, n) == 0)
      v = std::atol(line + n + 1);
  std::fclose(f);
  return v;
}

std::string TempPath(const std::string &name) {
  return (std::filesystem::temp_directory_path() /
          ("kxbench-" + std::to_string(getpid()) + "-" + name))
      .string();
}

// --- our control ---

// The first run in a fresh control (what the peers get), and the best of
// three more once the allocator has memory at hand.
struct TwoTimes {
  double cold, warm;
};

TwoTimes OurLoad(const std::string &file) {
  TCustomSyntaxMemo m;
  const double cold = Time([&] { m.LoadFromFile(file); });
  return {cold, Best(3, [&] { m.LoadFromFile(file); })};
}

TwoTimes OurSave(const std::string &file) {
  TCustomSyntaxMemo m;
  m.LoadFromFile(file);
  const std::string out = TempPath("ours.bas");
  // Every save goes to a new file, as the peers' do: replacing a file of the
  // same size adds the system's cost of dropping the old one to both alike.
  const double cold = Time([&] { m.SaveToFile(out); });
  const double warm = Best(
      3, [&] { std::remove(out.c_str()); }, [&] { m.SaveToFile(out); });
  std::remove(out.c_str());
  return {cold, warm};
}

// --- QTextDocument ---

double QtLoad(const std::string &file, QPlainTextEdit &edit) {
  return Time([&] {
    QFile f(QString::fromStdString(file));
    f.open(QIODevice::ReadOnly);
    edit.document()->setPlainText(QString::fromLatin1(f.readAll()));
  });
}

double QtSave(QPlainTextEdit &edit) {
  const std::string out = TempPath("qt.bas");
  const double t = Time([&] {
    QFile f(QString::fromStdString(out));
    f.open(QIODevice::WriteOnly);
    QString text = edit.document()->toPlainText();
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    f.write(text.toLatin1());
  });
  std::remove(out.c_str());
  return t;
}

#ifdef KX_HAVE_QSCINTILLA
double SciLoad(const std::string &file, QsciScintilla &sci) {
  return Time([&] {
    QFile f(QString::fromStdString(file));
    f.open(QIODevice::ReadOnly);
    sci.read(&f);
  });
}

TwoTimes SciSave(QsciScintilla &sci) {
  const std::string out = TempPath("sci.bas");
  auto save = [&] {
    QFile f(QString::fromStdString(out));
    f.open(QIODevice::WriteOnly);
    sci.write(&f);
  };
  const double cold = Time(save);
  const double warm = Best(3, [&] { std::remove(out.c_str()); }, save);
  std::remove(out.c_str());
  return {cold, warm};
}
#endif

void LoadSave(const std::string &label, const std::string &file) {
  std::printf("-- load and save, %s (%s)\n", label.c_str(), file.c_str());
  const TwoTimes load = OurLoad(file);
  const TwoTimes save = OurSave(file);
  const double ourLoad = load.cold, ourSave = save.cold;
  kxbench::Figure("load-" + label + " ours", ourLoad * 1000, "ms");
  kxbench::Figure("save-" + label + " ours", ourSave * 1000, "ms");
  kxbench::Figure("load-" + label + " ours, warm best of 3", load.warm * 1000, "ms");
  kxbench::Figure("save-" + label + " ours, warm best of 3", save.warm * 1000, "ms");
  {
    QPlainTextEdit edit;
    const double l = QtLoad(file, edit);
    const double s = QtSave(edit);
    kxbench::Figure("load-" + label + " QTextDocument", l * 1000, "ms");
    kxbench::Figure("save-" + label + " QTextDocument", s * 1000, "ms");
    kxbench::Ratio("load-" + label, "QTextDocument", ourLoad, l);
    kxbench::Ratio("save-" + label, "QTextDocument", ourSave, s);
  }
#ifdef KX_HAVE_QSCINTILLA
  {
    QsciScintilla sci;
    const double l = SciLoad(file, sci);
    const TwoTimes s = SciSave(sci);
    kxbench::Figure("load-" + label + " QScintilla", l * 1000, "ms");
    kxbench::Figure("save-" + label + " QScintilla", s.cold * 1000, "ms");
    kxbench::Figure("save-" + label + " QScintilla, best of 3", s.warm * 1000, "ms");
    kxbench::Ratio("load-" + label, "QScintilla", ourLoad, l);
    kxbench::Ratio("save-" + label, "QScintilla", ourSave, s.cold);
    kxbench::Ratio("save-" + label + " best of 3", "QScintilla", save.warm, s.warm);
  }
#else
  kxbench::Skipped("QScintilla");
#endif
}

// --- typing at the middle of 1,000,000 lines ---

constexpr int kLines = 1000000;
constexpr int kKeys = 10000;
// What is typed: a line of code, Enter, the next one...
const char kTyped[] = "    PAUSE 100\r";

std::string MillionLines(const std::string &file) {
  std::string all = ReadWholeFile(file);
  size_t pos = 0;
  for (int i = 0; i < kLines && pos != std::string::npos; ++i) {
    pos = all.find('\n', pos);
    if (pos != std::string::npos)
      ++pos;
  }
  all.resize(pos == std::string::npos ? all.size() : pos);
  return all;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct TypingResult {
  double median = 0, total = 0, undo = 0;
};

TypingResult OurTyping(const std::string &text) {
  TCustomSyntaxMemo m;
  TMemoryStream s(text);
  m.LoadFromStream(s);
  const int64_t line = m.LineCount() / 2;
  m.SetTopLine(line - 20);
  const int64_t at = m.LineStart(line) + 4;
  m.SetSelection(at, at);
  std::vector<double> each;
  each.reserve(kKeys);
  TypingResult r;
  const auto t0 = Clock::now();
  for (int i = 0; i < kKeys; ++i) {
    const char c = kTyped[i % (sizeof kTyped - 1)];
    const auto a = Clock::now();
    // What typing one key does: a group around replace-selection, then the
    // change notification.
    m.BeginGroup(ugTyping);
    m.ReplaceSel(&c, 1, false);
    m.EndGroup(ugTyping);
    m.Change();
    each.push_back(Seconds(a, Clock::now()));
  }
  r.total = Seconds(t0, Clock::now());
  r.median = Median(each);
  r.undo = Time([&] {
    while (m.CanUndo())
      m.Undo();
  });
  if (m.TextLength() != static_cast<int64_t>(NormaliseText(text.data(), text.size()).size()))
    std::printf("ERROR: undo did not restore the text\n");
  return r;
}

TypingResult QtTyping(const std::string &text) {
  QPlainTextEdit edit;
  QTextDocument *doc = edit.document();
  doc->setPlainText(QString::fromLatin1(text.data(), static_cast<int>(text.size())));
  QTextCursor c(doc->findBlockByNumber(doc->blockCount() / 2));
  c.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 4);
  std::vector<double> each;
  each.reserve(kKeys);
  TypingResult r;
  const auto t0 = Clock::now();
  for (int i = 0; i < kKeys; ++i) {
    const char ch = kTyped[i % (sizeof kTyped - 1)];
    const auto a = Clock::now();
    if (ch == '\r')
      c.insertBlock();
    else
      c.insertText(QString(QLatin1Char(ch)));
    each.push_back(Seconds(a, Clock::now()));
  }
  r.total = Seconds(t0, Clock::now());
  r.median = Median(each);
  r.undo = Time([&] {
    while (doc->isUndoAvailable())
      doc->undo();
  });
  return r;
}

#ifdef KX_HAVE_QSCINTILLA
TypingResult SciTyping(const std::string &text) {
  QsciScintilla sci;
  sci.setUtf8(false);
  sci.SendScintilla(QsciScintilla::SCI_SETTEXT, text.c_str());
  sci.SendScintilla(QsciScintilla::SCI_EMPTYUNDOBUFFER);
  const long line = sci.SendScintilla(QsciScintilla::SCI_GETLINECOUNT) / 2;
  long pos = sci.SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, line) + 4;
  sci.SendScintilla(QsciScintilla::SCI_GOTOPOS, pos);
  // Each key costs QScintilla over 100 ms at this size: a hundredth of the
  // keys give its median in reasonable time.
  const int keys = kKeys / 100;
  std::vector<double> each;
  each.reserve(keys);
  TypingResult r;
  const auto t0 = Clock::now();
  for (int i = 0; i < keys; ++i) {
    const char ch = kTyped[i % (sizeof kTyped - 1)];
    const char s[3] = {ch, ch == '\r' ? '\n' : '\0', '\0'};
    const auto a = Clock::now();
    sci.SendScintilla(QsciScintilla::SCI_REPLACESEL, s);
    each.push_back(Seconds(a, Clock::now()));
  }
  r.total = Seconds(t0, Clock::now());
  r.median = Median(each);
  r.undo = Time([&] {
    while (sci.SendScintilla(QsciScintilla::SCI_CANUNDO))
      sci.SendScintilla(QsciScintilla::SCI_UNDO);
  });
  return r;
}
#endif

void Typing(const std::string &file) {
  const std::string text = MillionLines(file);
  std::printf("-- %d keys typed at the middle of %d lines, then undone\n", kKeys, kLines);
  const TypingResult ours = OurTyping(text);
  kxbench::Figure("keystroke-mid-1M-lines median", ours.median * 1e6, "us");
  kxbench::Figure("keystroke-mid-1M-lines 10000 keys", ours.total * 1000, "ms");
  kxbench::Figure("undo-10000-keys ours", ours.undo * 1000, "ms");
  if (!std::getenv("KX_BENCH_NO_QTEXT")) {
    const TypingResult qt = QtTyping(text);
    kxbench::Figure("keystroke-mid-1M-lines median QTextDocument", qt.median * 1e6, "us");
    kxbench::Figure("undo-10000-keys QTextDocument", qt.undo * 1000, "ms");
    kxbench::Ratio("keystroke-mid-1M-lines", "QTextDocument", ours.median, qt.median);
    kxbench::Ratio("type-10000-keys-mid-1M-lines", "QTextDocument", ours.total, qt.total);
    kxbench::Ratio("undo-10000-keys", "QTextDocument", ours.undo, qt.undo);
  }
#ifdef KX_HAVE_QSCINTILLA
  const TypingResult sci = SciTyping(text);
  kxbench::Figure("keystroke-mid-1M-lines median QScintilla", sci.median * 1e6, "us");
  kxbench::Ratio("keystroke-mid-1M-lines", "QScintilla", ours.median, sci.median);
  kxbench::Figure("undo-100-keys QScintilla", sci.undo * 1000, "ms");
#endif
}

// --- peak memory: a child process loads the file and reports VmHWM ---

int PeakChild(const std::string &who, const std::string &file) {
  const long before = StatusKB("VmRSS:");
  if (who == "ours") {
    TCustomSyntaxMemo m;
    m.LoadFromFile(file);
    std::printf("%ld %ld\n", before, StatusKB("VmHWM:"));
  } else {
    int argc = 1;
    char name[] = "peak";
    char *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    const long withQt = StatusKB("VmRSS:");
    QPlainTextEdit edit;
    QFile f(QString::fromStdString(file));
    f.open(QIODevice::ReadOnly);
    edit.document()->setPlainText(QString::fromLatin1(f.readAll()));
    std::printf("%ld %ld\n", withQt, StatusKB("VmHWM:"));
  }
  return 0;
}

// Peak resident memory of a load, in MB above the child's baseline.
double Peak(const char *self, const std::string &who, const std::string &file) {
  int fds[2];
  if (pipe(fds) != 0)
    return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    execl(self, self, "--peak", who.c_str(), file.c_str(), static_cast<char *>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  char buf[128] = {};
  const ssize_t n = read(fds[0], buf, sizeof buf - 1);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  long before = 0, peak = 0;
  if (n <= 0 || std::sscanf(buf, "%ld %ld", &before, &peak) != 2)
    return -1;
  return static_cast<double>(peak - before) / 1024.0;
}

void Memory(const char *self, const std::string &file) {
  const double size = static_cast<double>(std::filesystem::file_size(file)) / (1024.0 * 1024.0);
  std::printf("-- peak memory of loading %s (%.0f MB)\n", file.c_str(), size);
  const double ours = Peak(self, "ours", file);
  kxbench::Figure("peak-memory-load-50MB ours", ours, "MB");
  kxbench::Figure("peak-memory-load-50MB ours / file size", ours / size, "x");
  const double qt = Peak(self, "qt", file);
  kxbench::Figure("peak-memory-load-50MB QTextDocument", qt, "MB");
  kxbench::Ratio("peak-memory-load-50MB", "QTextDocument", ours, qt);
}

// Google Benchmark micro-measures of the store itself.
std::string gText;

void BM_StoreTypeMiddle(benchmark::State &state) {
  TCustomSyntaxMemo m;
  TMemoryStream s(gText);
  m.LoadFromStream(s);
  m.LogTransaction(ltDisable, 0, nullptr);
  const int64_t at = m.LineStart(m.LineCount() / 2) + 4;
  m.SetSelection(at, at);
  for (auto _ : state) {
    m.ReplaceSel("x", 1, false);
    if (m.Caret() > at + 1000) {
      state.PauseTiming();
      m.SetSelection(at, m.Caret());
      m.ReplaceSel("", 0, false);
      state.ResumeTiming();
    }
  }
}

void BM_StoreLocateNearCaret(benchmark::State &state) {
  TCustomSyntaxMemo m;
  TMemoryStream s(gText);
  m.LoadFromStream(s);
  const int64_t mid = m.LineStart(m.LineCount() / 2);
  int64_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(m.Store()->Locate(mid + (k++ % 500)));
  }
}

} // namespace

int main(int argc, char **argv) {
  if (argc == 4 && std::strcmp(argv[1], "--peak") == 0)
    return PeakChild(argv[2], argv[3]);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const std::string f10 = kxbench::DataFile("basic_10MB.bas");
  const std::string f50 = kxbench::DataFile("basic_50MB.bas");
  if (!std::filesystem::exists(f10) || !std::filesystem::exists(f50)) {
    std::printf("bench_textstore: generated inputs missing (run kx_bench_gen into %s)\n",
                kxbench::DataFile("").c_str());
    return 1;
  }
  // KX_BENCH_PART=load|typing|memory runs one part only.
  const char *part = std::getenv("KX_BENCH_PART");
  auto run = [&](const char *name) { return !part || std::strcmp(part, name) == 0; };
  {
    QApplication app(argc, argv);
    if (run("load")) {
      LoadSave("10MB", f10);
      LoadSave("50MB", f50);
    }
    if (run("typing"))
      Typing(f50);
    gText = MillionLines(f50);
  }
  if (run("memory"))
    Memory(argv[0], f50);
  benchmark::RegisterBenchmark("StoreTypeMiddleOf1MLines", BM_StoreTypeMiddle);
  benchmark::RegisterBenchmark("StoreLocateNearCaret", BM_StoreLocateNearCaret);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
