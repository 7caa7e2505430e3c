// The text model against QTextDocument (QPlainTextEdit's document) and, when
// installed, QScintilla: load and plain save of the 10 MB and 50 MB stress
// files and of a typical program; opening each file until its first screen is
// painted, our editor against QScintilla handed the file's bytes (SCI_SETTEXT),
// as editors built on it load files; typing at the middle of a
// 1,000,000-line text and undoing it, QScintilla with and without its Qt
// layer's insert notifications; and the peak memory of a load (each in a
// fresh child process). File > Save with its backup and flushes is timed in
// bench_mainwindow, where the window is.
#include "BenchUtil.h"
#include "CustomSyntaxMemo.h"
#include "SciPeer.h"
#include "Streams.h"
#include "SyntaxMemo.h"
#include "SyntaxMemoParser.h"

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
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using kxbench::Best;
using kxbench::Clock;
using kxbench::Median;
using kxbench::Time;

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

TSyntaxMemoParser &BasicScheme() {
  static TSyntaxMemoParser p;
  if (p.Keywords.WordCount() == 0)
    p.CompileFile(kxbench::SourceFile("resources/schemes/tarnic.scheme"));
  return p;
}

// How often a step is repeated for its best time: small files take far less
// than a millisecond, where one run says little.
int Runs(const std::string &file) {
  std::error_code ec;
  return std::filesystem::file_size(file, ec) < (1u << 20) ? 30 : 3;
}

// --- our control ---

// The first run in a fresh control (what the peers get), and the best of
// more once the allocator has memory at hand.
struct TwoTimes {
  double cold = -1, warm = -1;
};

TwoTimes OurLoad(const std::string &file) {
  TCustomSyntaxMemo m;
  const double cold = Time([&] { m.LoadFromFile(file); });
  return {cold, Best(Runs(file), [&] { m.LoadFromFile(file); })};
}

TwoTimes OurSave(const std::string &file) {
  TCustomSyntaxMemo m;
  m.LoadFromFile(file);
  const std::string out = TempPath("ours.bas");
  // Every save goes to a new file, as the peers' do: replacing a file of the
  // same size adds the system's cost of dropping the old one to both alike.
  const double cold = Time([&] { m.SaveToFile(out); });
  const double warm = Best(
      Runs(file), [&] { std::remove(out.c_str()); }, [&] { m.SaveToFile(out); });
  std::remove(out.c_str());
  return {cold, warm};
}

// From reading the file to the first screen painted, in a fresh editor set
// up as the main window sets up its editor; the best of several.
double OurFirstScreen(const std::string &file) {
  double best = 1e30;
  for (int i = 0; i < Runs(file); ++i) {
    TSyntaxMemo m;
    m.resize(900, 700);
    m.SetParser(&BasicScheme());
    m.SetOptionsMask(m.OptionsMask() | smoSyntaxHighlight | smoShowGutter | smoLineNumbers);
    m.show();
    QApplication::processEvents();
    best = std::min(best, Time([&] {
                      m.LoadFromFile(file);
                      m.viewport()->repaint();
                    }));
  }
  return best;
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
double SciRead(const std::string &file, QsciScintilla &sci) {
  return Time([&] {
    QFile f(QString::fromStdString(file));
    f.open(QIODevice::ReadOnly);
    sci.read(&f);
  });
}

TwoTimes SciSave(QsciScintilla &sci, const std::string &file) {
  const std::string out = TempPath("sci.bas");
  auto save = [&] {
    QFile f(QString::fromStdString(out));
    f.open(QIODevice::WriteOnly);
    sci.write(&f);
  };
  const double cold = Time(save);
  const double warm = Best(
      Runs(file), [&] { std::remove(out.c_str()); }, save);
  std::remove(out.c_str());
  return {cold, warm};
}

// The file's bytes straight to SCI_SETTEXT, as editors built on Scintilla
// load a file, until the first screen is painted; fresh editors, best of
// several, as ours.
double SciFirstScreen(const std::string &file) {
  double best = 1e30;
  for (int i = 0; i < Runs(file); ++i) {
    QsciScintilla s;
    s.resize(900, 700);
    kxbench::SetUpSci(s, BasicScheme(), kxbench::SciBasic());
    s.show();
    QApplication::processEvents();
    bool ok = true;
    const double t = Time([&] {
      QFile f(QString::fromStdString(file));
      if (!f.open(QIODevice::ReadOnly)) {
        ok = false;
        return;
      }
      const QByteArray b = f.readAll();
      s.SendScintilla(QsciScintillaBase::SCI_SETTEXT, 0UL, b.constData());
      s.SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
      s.viewport()->repaint();
    });
    if (!ok)
      return -1;
    best = std::min(best, t);
  }
  return best;
}
#endif

void LoadSave(const std::string &label, const std::string &file) {
  std::printf("-- load and save, %s (%s)\n", label.c_str(), file.c_str());
  const TwoTimes load = OurLoad(file);
  const TwoTimes save = OurSave(file);
  const double ourLoad = load.cold, ourSave = save.cold;
  const std::string best = ", warm best of " + std::to_string(Runs(file));
  kxbench::Figure("load-" + label + " ours", ourLoad * 1000, "ms");
  kxbench::Figure("save-" + label + " ours", ourSave * 1000, "ms");
  kxbench::Figure("load-" + label + " ours" + best, load.warm * 1000, "ms");
  kxbench::Figure("save-" + label + " ours" + best, save.warm * 1000, "ms");
  {
    QPlainTextEdit edit;
    const double l = QtLoad(file, edit);
    const double s = QtSave(edit);
    kxbench::Figure("load-" + label + " QTextDocument", l * 1000, "ms");
    kxbench::Figure("save-" + label + " QTextDocument", s * 1000, "ms");
    kxbench::Ratio("load-" + label, "QTextDocument", ourLoad, l);
    kxbench::Ratio("save-" + label, "QTextDocument", ourSave, s);
  }
  const double first = OurFirstScreen(file);
  kxbench::Figure("load-" + label + "-to-first-screen ours, best of " + std::to_string(Runs(file)),
                  first * 1000, "ms");
#ifdef KX_HAVE_QSCINTILLA
  {
    QsciScintilla sci;
    sci.setUtf8(false);
    const double l = SciRead(file, sci);
    const TwoTimes s = SciSave(sci, file);
    kxbench::Figure("load-" + label + " QScintilla read()", l * 1000, "ms");
    kxbench::Figure("save-" + label + " QScintilla", s.cold * 1000, "ms");
    kxbench::Figure("save-" + label + " QScintilla" + best, s.warm * 1000, "ms");
    kxbench::Ratio("load-" + label, "QScintilla read()", ourLoad, l);
    kxbench::Ratio("save-" + label, "QScintilla", ourSave, s.cold);
    kxbench::Ratio("save-" + label + " best of " + std::to_string(Runs(file)), "QScintilla",
                   save.warm, s.warm);
  }
  const double sciFirst = SciFirstScreen(file);
  kxbench::Figure("load-" + label + "-to-first-screen QScintilla SCI_SETTEXT, best of " +
                      std::to_string(Runs(file)),
                  sciFirst * 1000, "ms");
  kxbench::Ratio("load-" + label + "-to-first-screen", "QScintilla SCI_SETTEXT", first, sciFirst);
#else
  kxbench::Skipped("QScintilla");
#endif
}

// --- typing at the middle of 1,000,000 lines ---

constexpr int kLines = 1000000;
constexpr int kKeys = 10000;
// What is typed: a line of code, Enter, the next one...
const char kTyped[] = "    PAUSE 100\r";

struct TypingResult {
  double median = -1, total = -1, undo = -1;
  int keys = 0;
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
    each.push_back(kxbench::Seconds(a, Clock::now()));
  }
  r.total = kxbench::Seconds(t0, Clock::now());
  r.median = Median(each);
  r.keys = kKeys;
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
    each.push_back(kxbench::Seconds(a, Clock::now()));
  }
  r.total = kxbench::Seconds(t0, Clock::now());
  r.median = Median(each);
  r.keys = kKeys;
  r.undo = Time([&] {
    while (doc->isUndoAvailable())
      doc->undo();
  });
  return r;
}

#ifdef KX_HAVE_QSCINTILLA
// masked: the modification notifications QScintilla's Qt layer handles on
// every insert are switched off (SCI_SETMODEVENTMASK 0), leaving Scintilla's
// engine alone.
TypingResult SciTyping(const std::string &text, bool masked) {
  QsciScintilla sci;
  sci.setUtf8(false);
  sci.SendScintilla(QsciScintilla::SCI_SETTEXT, text.c_str());
  sci.SendScintilla(QsciScintilla::SCI_EMPTYUNDOBUFFER);
  if (masked)
    sci.SendScintilla(QsciScintilla::SCI_SETMODEVENTMASK, 0UL);
  const long line = sci.SendScintilla(QsciScintilla::SCI_GETLINECOUNT) / 2;
  long pos = sci.SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, line) + 4;
  sci.SendScintilla(QsciScintilla::SCI_GOTOPOS, pos);
  std::vector<double> each;
  each.reserve(kKeys);
  TypingResult r;
  const auto t0 = Clock::now();
  for (int i = 0; i < kKeys; ++i) {
    const char ch = kTyped[i % (sizeof kTyped - 1)];
    const char s[3] = {ch, ch == '\r' ? '\n' : '\0', '\0'};
    const auto a = Clock::now();
    sci.SendScintilla(QsciScintilla::SCI_REPLACESEL, s);
    each.push_back(kxbench::Seconds(a, Clock::now()));
    // A key costs the notifying QScintilla over 50 ms at this size: a
    // hundred keys give its median in reasonable time.
    if (i + 1 >= 100 && Median(each) > 1e-3)
      break;
  }
  r.total = kxbench::Seconds(t0, Clock::now());
  r.median = Median(each);
  r.keys = static_cast<int>(each.size());
  r.undo = Time([&] {
    while (sci.SendScintilla(QsciScintilla::SCI_CANUNDO))
      sci.SendScintilla(QsciScintilla::SCI_UNDO);
  });
  return r;
}
#endif

void Typing(const std::string &file) {
  const std::string text = kxbench::FirstLines(ReadWholeFile(file), kLines);
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
  const TypingResult sci = SciTyping(text, false);
  kxbench::Figure("keystroke-mid-1M-lines median QScintilla", sci.median * 1e6, "us");
  kxbench::Ratio("keystroke-mid-1M-lines", "QScintilla", ours.median, sci.median);
  kxbench::Figure("undo-" + std::to_string(sci.keys) + "-keys QScintilla", sci.undo * 1000, "ms");
  const TypingResult bare = SciTyping(text, true);
  kxbench::Figure("keystroke-mid-1M-lines median QScintilla, insert notifications masked",
                  bare.median * 1e6, "us");
  kxbench::Ratio("keystroke-mid-1M-lines", "QScintilla, insert notifications masked", ours.median,
                 bare.median);
  if (bare.keys == kKeys) {
    kxbench::Ratio("type-10000-keys-mid-1M-lines", "QScintilla, insert notifications masked",
                   ours.total, bare.total);
    kxbench::Ratio("undo-10000-keys", "QScintilla, insert notifications masked", ours.undo,
                   bare.undo);
  }
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
  const std::string typical = kxbench::DataFile("typical_2000_lines.bas");
  for (const std::string &f : {f10, f50, typical})
    if (!std::filesystem::exists(f)) {
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
      LoadSave("typical", typical);
      LoadSave("10MB", f10);
      LoadSave("50MB", f50);
    }
    if (run("typing"))
      Typing(f50);
    gText = kxbench::FirstLines(ReadWholeFile(f50), kLines);
  }
  if (run("memory"))
    Memory(argv[0], f50);
  benchmark::RegisterBenchmark("StoreTypeMiddleOf1MLines", BM_StoreTypeMiddle);
  benchmark::RegisterBenchmark("StoreLocateNearCaret", BM_StoreLocateNearCaret);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
