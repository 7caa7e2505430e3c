// Editor search over big documents: a full scan for a pattern that is not there
// (plain, caseless, regular expression) and a find-every-match run like "Show
// all", against QScintilla's search (in 8-bit mode) on the same text in the
// same run.
#include "BenchUtil.h"
#include "CustomSyntaxMemo.h"
#include "Streams.h"

#include <benchmark/benchmark.h>

#ifdef KX_HAVE_QSCINTILLA
#include <QApplication>
#include <Qsci/qsciscintilla.h>
#endif

#include <cstring>
#include <map>
#include <memory>
#include <string>

namespace {

using kxbench::Seconds;
using Collector = kxbench::RealTimeCollector;

const std::string &Text(const std::string &file) {
  static std::map<std::string, std::string> cache;
  auto it = cache.find(file);
  if (it == cache.end())
    it = cache.emplace(file, ReadWholeFile(kxbench::DataFile(file))).first;
  return it->second;
}

TCustomSyntaxMemo &Memo(const std::string &file) {
  static std::map<std::string, std::unique_ptr<TCustomSyntaxMemo>> memos;
  auto &m = memos[file];
  if (!m) {
    m = std::make_unique<TCustomSyntaxMemo>();
    m->LoadFromFile(kxbench::DataFile(file));
  }
  return *m;
}

struct Case {
  const char *name;
  const char *pattern;
  uint32_t flags;
};

const Case kCases[] = {
    {"plain", "NOT_IN_THE_TEXT", sfMatchCase},
    {"caseless", "not_in_the_text", 0},
    {"regexp", "GOSUB\\s+nosuch[0-9]+", sfRegExp | sfMatchCase},
};

void OursScan(benchmark::State &state, const Case &c) {
  TCustomSyntaxMemo &m = Memo("basic_50MB.bas");
  for (auto _ : state) {
    m.SetSelection(0, 0, false);
    benchmark::DoNotOptimize(
        m.Perform(SM_FIND, c.flags | sfSilent, reinterpret_cast<intptr_t>(c.pattern)));
  }
  state.SetBytesProcessed(state.iterations() * m.TextLength());
}

// Finds every match from the start, moving past each one.
void OursEveryMatch(benchmark::State &state) {
  TCustomSyntaxMemo &m = Memo("basic_10MB.bas");
  int64_t found = 0;
  for (auto _ : state) {
    found = 0;
    m.SetSelection(0, 0, false);
    int64_t len = 0;
    while (m.SearchAndSelect("TOGGLE", sfMatchCase, len)) {
      ++found;
      m.SetSelection(m.SelEnd(), m.SelEnd(), false);
    }
  }
  state.counters["matches"] = static_cast<double>(found);
}

void FlatMemmem(benchmark::State &state) {
  const std::string &t = Text("basic_50MB.bas");
  for (auto _ : state)
    benchmark::DoNotOptimize(memmem(t.data(), t.size(), "NOT_IN_THE_TEXT", 15));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(t.size()));
}

#ifdef KX_HAVE_QSCINTILLA
// Destroyed before the application at the end of main, as every widget must be.
std::map<std::string, std::unique_ptr<QsciScintilla>> gSciEditors;

QsciScintilla &Sci(const std::string &file) {
  auto &editors = gSciEditors;
  auto &e = editors[file];
  if (!e) {
    e = std::make_unique<QsciScintilla>();
    // 8-bit text, as the files are: in UTF-8 mode its caseless search folds
    // through the multi-byte path.
    e->setUtf8(false);
    const std::string &t = Text(file);
    e->SendScintilla(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 0L);
    e->SendScintilla(QsciScintillaBase::SCI_APPENDTEXT, static_cast<unsigned long>(t.size()),
                     t.data());
  }
  return *e;
}

long SciFind(QsciScintilla &e, const char *pattern, uint32_t flags, long from) {
  long sciFlags = 0;
  if (flags & sfMatchCase)
    sciFlags |= QsciScintillaBase::SCFIND_MATCHCASE;
  if (flags & sfRegExp)
    sciFlags |= QsciScintillaBase::SCFIND_REGEXP | QsciScintillaBase::SCFIND_POSIX;
  e.SendScintilla(QsciScintillaBase::SCI_SETSEARCHFLAGS, sciFlags);
  e.SendScintilla(QsciScintillaBase::SCI_SETTARGETSTART, from);
  e.SendScintilla(QsciScintillaBase::SCI_SETTARGETEND,
                  e.SendScintilla(QsciScintillaBase::SCI_GETLENGTH));
  return e.SendScintilla(QsciScintillaBase::SCI_SEARCHINTARGET,
                         static_cast<unsigned long>(std::strlen(pattern)), pattern);
}

void SciScan(benchmark::State &state, const Case &c) {
  QsciScintilla &e = Sci("basic_50MB.bas");
  // Scintilla's own regular expressions know no \s: the same search in its syntax.
  const char *pattern = (c.flags & sfRegExp) ? "GOSUB[ \t]+nosuch[0-9]+" : c.pattern;
  for (auto _ : state)
    benchmark::DoNotOptimize(SciFind(e, pattern, c.flags, 0));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Text("basic_50MB.bas").size()));
}

void SciEveryMatch(benchmark::State &state) {
  QsciScintilla &e = Sci("basic_10MB.bas");
  int64_t found = 0;
  for (auto _ : state) {
    found = 0;
    long at = 0;
    while ((at = SciFind(e, "TOGGLE", sfMatchCase, at)) >= 0) {
      ++found;
      at = e.SendScintilla(QsciScintillaBase::SCI_GETTARGETEND);
    }
  }
  state.counters["matches"] = static_cast<double>(found);
}
#endif

} // namespace

int main(int argc, char **argv) {
#ifdef KX_HAVE_QSCINTILLA
  QApplication app(argc, argv);
#endif
  for (const Case &c : kCases) {
    benchmark::RegisterBenchmark((std::string("ours/scan-50MB/") + c.name).c_str(),
                                 [&c](benchmark::State &s) { OursScan(s, c); })
        ->Unit(benchmark::kMillisecond);
#ifdef KX_HAVE_QSCINTILLA
    benchmark::RegisterBenchmark((std::string("qscintilla/scan-50MB/") + c.name).c_str(),
                                 [&c](benchmark::State &s) { SciScan(s, c); })
        ->Unit(benchmark::kMillisecond);
#endif
  }
  benchmark::RegisterBenchmark("ours/every-match-10MB", OursEveryMatch)
      ->Unit(benchmark::kMillisecond);
#ifdef KX_HAVE_QSCINTILLA
  benchmark::RegisterBenchmark("qscintilla/every-match-10MB", SciEveryMatch)
      ->Unit(benchmark::kMillisecond);
#endif
  benchmark::RegisterBenchmark("flat-memmem/scan-50MB", FlatMemmem)->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  Collector reporter(true); // CPU time: the machine is shared
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  auto &t = Seconds();
  for (const Case &c : kCases) {
    const std::string ours = std::string("ours/scan-50MB/") + c.name;
    if (t.count(ours))
      kxbench::Figure(std::string("search-50MB-") + c.name, t[ours] * 1000, "ms");
#ifdef KX_HAVE_QSCINTILLA
    const std::string peer = std::string("qscintilla/scan-50MB/") + c.name;
    if (t.count(ours) && t.count(peer))
      kxbench::Ratio(std::string("search-50MB-") + c.name, "QScintilla", t[ours], t[peer]);
#endif
  }
  if (t.count("ours/every-match-10MB"))
    kxbench::Figure("search-every-match-10MB", t["ours/every-match-10MB"] * 1000, "ms");
#ifdef KX_HAVE_QSCINTILLA
  if (t.count("ours/every-match-10MB") && t.count("qscintilla/every-match-10MB"))
    kxbench::Ratio("search-every-match-10MB", "QScintilla", t["ours/every-match-10MB"],
                   t["qscintilla/every-match-10MB"]);
#else
  kxbench::Skipped("QScintilla");
#endif
  if (t.count("flat-memmem/scan-50MB") && t.count("ours/scan-50MB/plain"))
    kxbench::Ratio("search-50MB-plain", "flat memmem", t["ours/scan-50MB/plain"],
                   t["flat-memmem/scan-50MB"]);
#ifdef KX_HAVE_QSCINTILLA
  gSciEditors.clear();
#endif
  return 0;
}
