// The highlighting pass as the editor runs it, against Scintilla's lexers and
// KSyntaxHighlighting on the same files in the same run. Ours: the widget's
// own pass over the store's line nodes (each line's style bytes written, and
// compared with the old ones where it had some), in the idle timer's slices,
// with the BASIC and assembler schemes. Two passes are timed: the first one
// over a freshly loaded text, and a re-scan of the whole styled text after an
// edit at the top (as a change of scheme or display settings makes it).
// Scintilla's "freebasic" and "asm" lexers run through QScintilla in 8-bit
// mode with our schemes' keyword lists; KSyntaxHighlighting's "FreeBASIC" and
// "PicAsm" run in the Qt 5 program bench_kf5_highlight, which keeps every
// line's formats as an editor does. The tokenizer alone over a flat buffer
// is printed for reference. All figures are CPU time, best repetition.
#include "BenchUtil.h"
#include "SciPeer.h"
#include "SyntaxMemo.h"
#include "Streams.h"
#include "SyntaxMemoParser.h"
#include "TextStore.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QProcess>
#include <QRegularExpression>

#ifdef KX_HAVE_QSCINTILLA
#include <Qsci/qsciscintilla.h>
#endif

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using kxbench::SecondsOf;

struct Job {
  const char *file;
  const char *scheme; // ours
  const kxbench::TSciLanguage &sci;
  const char *kf5; // KSyntaxHighlighting's
};

const std::vector<Job> &Jobs() {
  static const std::vector<Job> jobs = {
      {"basic_10MB.bas", "tarnic.scheme", kxbench::SciBasic(), "FreeBASIC"},
      {"asm_10MB.asm", "picasm.scheme", kxbench::SciAsm(), "PicAsm"},
      {"typical_2000_lines.bas", "tarnic.scheme", kxbench::SciBasic(), "FreeBASIC"},
  };
  return jobs;
}

const std::string &FileText(const std::string &file) {
  static std::map<std::string, std::string> cache;
  auto it = cache.find(file);
  if (it == cache.end())
    it = cache.emplace(file, ReadWholeFile(kxbench::DataFile(file))).first;
  return it->second;
}

TSyntaxMemoParser &Scheme(const std::string &name) {
  static std::map<std::string, std::unique_ptr<TSyntaxMemoParser>> parsers;
  auto &p = parsers[name];
  if (!p) {
    p = std::make_unique<TSyntaxMemoParser>();
    p->CompileFile(kxbench::SourceFile("resources/schemes/" + name));
  }
  return *p;
}

// The tokenizer alone over the text as the store holds it (line breaks as
// single CRs), one style byte per character: the reference the pass's bytes
// are checked against.
std::vector<unsigned char> FlatStyles(TSyntaxMemoParser &p, const std::string &text,
                                      double *tokens = nullptr) {
  std::vector<unsigned char> styles(text.size());
  TBufferEdStream src(text.data(), text.size());
  p.Reset(-1); // the scheme's start states, where a text begins
  int64_t pos = 0;
  double count = 0;
  while (!src.AtEnd()) {
    int len = 0;
    const int v = p.GetToken(nullptr, src, len);
    std::memset(styles.data() + pos, v, static_cast<size_t>(len));
    pos += len;
    ++count;
  }
  if (tokens)
    *tokens = count;
  return styles;
}

void OursFlat(benchmark::State &state, const Job &j) {
  const std::string text = NormaliseText(FileText(j.file).data(), FileText(j.file).size());
  TSyntaxMemoParser &p = Scheme(j.scheme);
  for (auto _ : state)
    benchmark::DoNotOptimize(FlatStyles(p, text).data());
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

// An editor as the program sets one up for a document of this scheme.
std::unique_ptr<TSyntaxMemo> Editor(const Job &j) {
  auto m = std::make_unique<TSyntaxMemo>();
  m->SetParser(&Scheme(j.scheme));
  m->SetOptionsMask(m->OptionsMask() | smoSyntaxHighlight);
  return m;
}

// What the idle timer runs until the text is highlighted.
void RunPass(TSyntaxMemo &m) {
  while (m.Highlighting().Continue(5000)) {
  }
}

// The store's style bytes, line after line, as one buffer.
std::vector<unsigned char> StoreStyles(TSyntaxMemo &m) {
  std::vector<unsigned char> out;
  for (TLineNode *n = m.Store()->First(); n; n = n->Next)
    if (n->Attributes())
      out.insert(out.end(), n->Attributes(), n->Attributes() + n->Length);
    else
      out.insert(out.end(), n->Length, 0xEE);
  return out;
}

std::map<std::string, std::string> &Mismatches() {
  static std::map<std::string, std::string> m;
  return m;
}

void OursFirstPass(benchmark::State &state, const Job &j) {
  const std::string path = kxbench::DataFile(j.file);
  auto m = Editor(j);
  THighlighter *h = m->Highlighter;
  for (auto _ : state) {
    state.PauseTiming();
    // Fresh nodes without style bytes. The load itself scans the first lines
    // when a highlighter is set; here the whole pass is timed.
    m->SetHighlighterObject(nullptr);
    m->LoadFromFile(path);
    m->SetHighlighterObject(h);
    state.ResumeTiming();
    RunPass(*m);
  }
  const std::string text = NormaliseText(FileText(j.file).data(), FileText(j.file).size());
  if (StoreStyles(*m) != FlatStyles(Scheme(j.scheme), text))
    Mismatches()[j.file] = "the pass's style bytes differ from the tokenizer's";
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void OursRescan(benchmark::State &state, const Job &j) {
  auto m = Editor(j);
  m->LoadFromFile(kxbench::DataFile(j.file));
  RunPass(*m);
  THighlighter *h = m->Highlighter;
  for (auto _ : state) {
    state.PauseTiming();
    m->SetSelection(0, 0);
    m->ReplaceSel("x", 1, false);
    // What a new scheme or new display settings do: every line's bytes are
    // stale and the scan starts over at the top.
    m->SetHighlighterObject(nullptr);
    m->SetHighlighterObject(h);
    state.ResumeTiming();
    RunPass(*m);
  }
  state.SetBytesProcessed(state.iterations() * m->TextLength());
}

#ifdef KX_HAVE_QSCINTILLA
// Scintilla's lexer with our scheme's keywords, in 8-bit mode (SciPeer.h).
// Destroyed before the application at the end of main, as every widget must be.
std::map<std::string, std::unique_ptr<QsciScintilla>> gSciEditors;

QsciScintilla &Sci(const Job &j) {
  auto &editors = gSciEditors;
  auto &e = editors[j.file];
  if (!e) {
    e = std::make_unique<QsciScintilla>();
    e->setUtf8(false);
    e->SendScintilla(QsciScintillaBase::SCI_SETTEXT, 0UL, FileText(j.file).c_str());
    e->SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
    kxbench::SetUpSci(*e, Scheme(j.scheme), j.sci, false);
  }
  return *e;
}

void ScintillaFirstPass(benchmark::State &state, const Job &j) {
  QsciScintilla &e = Sci(j);
  for (auto _ : state) {
    state.PauseTiming();
    e.SendScintilla(QsciScintillaBase::SCI_CLEARDOCUMENTSTYLE);
    state.ResumeTiming();
    e.SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0UL, -1L);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(FileText(j.file).size()));
}

void ScintillaRescan(benchmark::State &state, const Job &j) {
  QsciScintilla &e = Sci(j);
  e.SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0UL, -1L);
  for (auto _ : state) {
    state.PauseTiming();
    e.SendScintilla(QsciScintillaBase::SCI_INSERTTEXT, 0UL, "x");
    state.ResumeTiming();
    e.SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0UL, -1L);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(FileText(j.file).size()));
}
#endif

// KSyntaxHighlighting's CPU seconds per pass, by "first|rescan/<file>", from
// the Qt 5 program.
std::map<std::string, double> Kf5Seconds() {
  std::map<std::string, double> out;
  const QString prog = QCoreApplication::applicationDirPath() + "/bench_kf5_highlight";
  QProcess p;
  p.start(prog, {QString::fromStdString(kxbench::DataFile(""))});
  if (!p.waitForStarted(10000)) {
    kxbench::Skipped("KSyntaxHighlighting (bench_kf5_highlight not built)");
    return out;
  }
  p.waitForFinished(1200000);
  const QString text = QString::fromLocal8Bit(p.readAllStandardOutput());
  std::printf("%s", text.toLocal8Bit().constData());
  static const QRegularExpression re("^KF5 (first|rescan) (\\S+) ([0-9.eE+-]+) s$",
                                     QRegularExpression::MultilineOption);
  for (auto it = re.globalMatch(text); it.hasNext();) {
    const auto m = it.next();
    out[(m.captured(1) + "/" + m.captured(2)).toStdString()] = m.captured(3).toDouble();
  }
  return out;
}

} // namespace

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  for (const Job &j : Jobs()) {
    auto reg = [&](const std::string &name, void (*f)(benchmark::State &, const Job &)) {
      benchmark::RegisterBenchmark((name + "/" + j.file).c_str(),
                                   [&j, f](benchmark::State &s) { f(s, j); })
          ->Unit(benchmark::kMillisecond)
          ->MinTime(0.5)
          ->Repetitions(3)
          ->ReportAggregatesOnly(false);
    };
    reg("ours/tokenizer-flat", OursFlat);
    reg("ours/highlight-first", OursFirstPass);
    reg("ours/highlight-rescan", OursRescan);
#ifdef KX_HAVE_QSCINTILLA
    reg("scintilla/highlight-first", ScintillaFirstPass);
    reg("scintilla/highlight-rescan", ScintillaRescan);
#endif
  }
  benchmark::Initialize(&argc, argv);
  kxbench::RealTimeCollector reporter(true);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const std::map<std::string, double> kf5 = Kf5Seconds();
#ifndef KX_HAVE_QSCINTILLA
  kxbench::Skipped("QScintilla");
#endif
  for (const Job &j : Jobs()) {
    const std::string f = j.file;
    const double mb = static_cast<double>(FileText(f).size()) / (1024.0 * 1024.0);
    if (Mismatches().count(f))
      std::printf("ERROR highlight %s: %s\n", f.c_str(), Mismatches()[f].c_str());
    const double flat = SecondsOf("ours/tokenizer-flat/" + f);
    if (flat > 0) {
      double tokens = 0;
      const std::string text = NormaliseText(FileText(f).data(), FileText(f).size());
      FlatStyles(Scheme(j.scheme), text, &tokens);
      kxbench::Figure("tokenizer-flat-" + f + " ours", mb / flat, "MB/s");
      kxbench::Figure("tokenizer-flat-" + f + " ours", tokens / flat / 1e6, "Mtokens/s");
    }
    for (const char *pass : {"first", "rescan"}) {
      const std::string what = std::string("highlight-") + pass + "-" + f;
      const double ours = SecondsOf(std::string("ours/highlight-") + pass + "/" + f);
      kxbench::Figure(what + " ours", mb / ours, "MB/s");
      if (flat > 0 && ours > 0)
        kxbench::Figure(what + " ours / tokenizer alone", ours / flat, "x");
#ifdef KX_HAVE_QSCINTILLA
      const double sci = SecondsOf(std::string("scintilla/highlight-") + pass + "/" + f);
      kxbench::Figure(what + " Scintilla " + j.sci.Lexer, mb / sci, "MB/s");
      kxbench::Ratio(what, std::string("Scintilla ") + j.sci.Lexer, ours, sci);
#endif
      const auto it = kf5.find(std::string(pass) + "/" + f);
      const double k = it == kf5.end() ? -1 : it->second;
      kxbench::Figure(what + " KSyntaxHighlighting " + j.kf5, mb / k, "MB/s");
      kxbench::Ratio(what, std::string("KSyntaxHighlighting ") + j.kf5, ours, k);
    }
  }
#ifdef KX_HAVE_QSCINTILLA
  gSciEditors.clear();
#endif
  return 0;
}
