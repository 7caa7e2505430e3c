// The tokenizer over the generated 10 MB BASIC and assembler files with our
// schemes, writing a style byte per character as the editor's highlighting
// pass does; in the same run Scintilla's own lexers ("freebasic", "asm")
// through QScintilla on the same files, and KSyntaxHighlighting ("FreeBASIC",
// "PicAsm") through the Qt 5 program bench_kf5_highlight.
#include "BenchUtil.h"
#include "SyntaxMemoParser.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>

#ifdef KX_HAVE_QSCINTILLA
#include <QApplication>
#include <Qsci/qsciscintilla.h>
#endif

#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::map<std::string, double> &Seconds() {
  static std::map<std::string, double> s;
  return s;
}
std::map<std::string, double> &Tokens() {
  static std::map<std::string, double> s;
  return s;
}

class Collector : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const auto &r : runs)
      if (r.run_type == Run::RT_Iteration && r.iterations > 0) {
        // CPU time: the machine may be shared, and every contender is
        // single-threaded; the best repetition is the least disturbed one.
        std::string name = r.benchmark_name();
        name = name.substr(0, name.find("/min_time"));
        name = name.substr(0, name.find("/repeats"));
        const double t = r.cpu_accumulated_time / static_cast<double>(r.iterations);
        auto it = Seconds().find(name);
        if (it == Seconds().end() || t < it->second)
          Seconds()[name] = t;
      }
    ConsoleReporter::ReportRuns(runs);
  }
};

const std::string &Text(const std::string &file) {
  static std::map<std::string, std::string> cache;
  auto it = cache.find(file);
  if (it == cache.end()) {
    std::ifstream in(kxbench::DataFile(file), std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    it = cache.emplace(file, ss.str()).first;
  }
  return it->second;
}

// The checkout this file lives in, for the scheme scripts.
std::string SourceDir() {
  std::string f = __FILE__;
  return f.substr(0, f.rfind("/bench/"));
}

TSyntaxMemoParser &Scheme(const std::string &name) {
  static std::map<std::string, std::unique_ptr<TSyntaxMemoParser>> parsers;
  auto &p = parsers[name];
  if (!p) {
    p = std::make_unique<TSyntaxMemoParser>();
    p->CompileFile(SourceDir() + "/resources/schemes/" + name);
  }
  return *p;
}

struct Job {
  const char *file;
  const char *scheme; // ours
  const char *lexer;  // Scintilla's
  const char *kf5;    // KSyntaxHighlighting's
};
const Job kJobs[] = {{"basic_10MB.bas", "tarnic.scheme", "freebasic", "FreeBASIC"},
                     {"asm_10MB.asm", "picasm.scheme", "asm", "PicAsm"}};

void Ours(benchmark::State &state, const Job &j) {
  const std::string &t = Text(j.file);
  TSyntaxMemoParser &p = Scheme(j.scheme);
  std::vector<unsigned char> styles(t.size());
  double count = 0;
  for (auto _ : state) {
    TBufferEdStream src(t.data(), t.size());
    p.Reset(0);
    int64_t pos = 0;
    count = 0;
    while (!src.AtEnd()) {
      int len = 0;
      const int v = p.GetToken(nullptr, src, len);
      std::memset(styles.data() + pos, v, static_cast<size_t>(len));
      pos += len;
      ++count;
    }
    benchmark::DoNotOptimize(styles.data());
  }
  Tokens()[j.file] = count;
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(t.size()));
}

#ifdef KX_HAVE_QSCINTILLA
QsciScintilla &Sci(const Job &j) {
  static std::map<std::string, std::unique_ptr<QsciScintilla>> editors;
  auto &e = editors[j.file];
  if (!e) {
    e = std::make_unique<QsciScintilla>();
    const std::string &t = Text(j.file);
    e->SendScintilla(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 0L);
    e->SendScintilla(QsciScintillaBase::SCI_APPENDTEXT, static_cast<unsigned long>(t.size()),
                     t.data());
    e->SendScintilla(QsciScintillaBase::SCI_SETLEXERLANGUAGE, 0UL, j.lexer);
  }
  return *e;
}

void Scintilla(benchmark::State &state, const Job &j) {
  QsciScintilla &e = Sci(j);
  for (auto _ : state) {
    state.PauseTiming();
    e.SendScintilla(QsciScintillaBase::SCI_CLEARDOCUMENTSTYLE);
    state.ResumeTiming();
    e.SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0UL, -1L);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Text(j.file).size()));
}
#endif

// KSyntaxHighlighting's MB/s per file, from the Qt 5 program.
std::map<std::string, double> Kf5Figures() {
  std::map<std::string, double> out;
  const QString prog = QCoreApplication::applicationDirPath() + "/bench_kf5_highlight";
  QProcess p;
  p.start(prog, {QString::fromStdString(kxbench::DataFile(""))});
  if (!p.waitForStarted(10000)) {
    kxbench::Skipped("KSyntaxHighlighting (bench_kf5_highlight not built)");
    return out;
  }
  p.waitForFinished(600000);
  const QString text = QString::fromLocal8Bit(p.readAllStandardOutput());
  std::printf("%s", text.toLocal8Bit().constData());
  static const QRegularExpression re(
      "^FIGURE tokenizer-(\\S+) KSyntaxHighlighting \\S+: ([0-9.eE+]+) MB/s$",
      QRegularExpression::MultilineOption);
  for (auto it = re.globalMatch(text); it.hasNext();) {
    const auto m = it.next();
    out[m.captured(1).toStdString()] = m.captured(2).toDouble();
  }
  return out;
}

} // namespace

int main(int argc, char **argv) {
#ifdef KX_HAVE_QSCINTILLA
  QApplication app(argc, argv);
#else
  QCoreApplication app(argc, argv);
#endif
  for (const Job &j : kJobs) {
    benchmark::RegisterBenchmark((std::string("ours/tokenize/") + j.file).c_str(),
                                 [&j](benchmark::State &s) { Ours(s, j); })
        ->Unit(benchmark::kMillisecond)
        ->MinTime(0.5)
        ->Repetitions(3);
#ifdef KX_HAVE_QSCINTILLA
    benchmark::RegisterBenchmark((std::string("scintilla/colourise/") + j.file).c_str(),
                                 [&j](benchmark::State &s) { Scintilla(s, j); })
        ->Unit(benchmark::kMillisecond)
        ->MinTime(0.5)
        ->Repetitions(3);
#endif
  }
  benchmark::Initialize(&argc, argv);
  Collector reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const std::map<std::string, double> kf5 = Kf5Figures();
  for (const Job &j : kJobs) {
    const double mb = Text(j.file).size() / (1024.0 * 1024.0);
    const double ours = Seconds()[std::string("ours/tokenize/") + j.file];
    if (ours <= 0)
      continue;
    kxbench::Figure(std::string("tokenizer-") + j.file + " ours", mb / ours, "MB/s");
    kxbench::Figure(std::string("tokenizer-") + j.file + " ours", Tokens()[j.file] / ours / 1e6,
                    "Mtokens/s");
#ifdef KX_HAVE_QSCINTILLA
    const double sci = Seconds()[std::string("scintilla/colourise/") + j.file];
    kxbench::Figure(std::string("tokenizer-") + j.file + " Scintilla " + j.lexer, mb / sci, "MB/s");
    kxbench::Ratio(std::string("tokenizer-") + j.file, std::string("Scintilla ") + j.lexer, ours,
                   sci);
#else
    kxbench::Skipped("QScintilla");
#endif
    auto it = kf5.find(j.file);
    if (it != kf5.end() && it->second > 0)
      kxbench::Ratio(std::string("tokenizer-") + j.file,
                     std::string("KSyntaxHighlighting ") + j.kf5, ours, mb / it->second);
  }
  return 0;
}
