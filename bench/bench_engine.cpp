// Editing-engine commands on a 1 MB document: block indent of its first 2,000
// lines and the one-step undo, and word-wise caret movement, against
// QScintilla's block indent (SCI_TAB over a selection) in the same run.
#include "BenchUtil.h"
#include "CustomSyntaxMemo.h"
#include "Streams.h"

#include <benchmark/benchmark.h>

#ifdef KX_HAVE_QSCINTILLA
#include <QApplication>
#include <Qsci/qsciscintilla.h>
#endif

#include <map>
#include <memory>
#include <string>

namespace {

using kxbench::Seconds;
using Collector = kxbench::RealTimeCollector;

const char *kFile = "basic_1MB.bas";
constexpr long kIndentLines = 2000;

TCustomSyntaxMemo &Memo() {
  static std::unique_ptr<TCustomSyntaxMemo> m;
  if (!m) {
    m = std::make_unique<TCustomSyntaxMemo>();
    m->LoadFromFile(kxbench::DataFile(kFile));
  }
  return *m;
}

// Indent the lines, then undo it in one step.
void OursIndent(benchmark::State &state) {
  TCustomSyntaxMemo &m = Memo();
  for (auto _ : state) {
    m.SetSelection(0, m.LineStart(kIndentLines), false);
    m.Perform(SM_INDENT, 2, 0);
    m.Undo();
  }
}

// Ctrl+Right through the first 20,000 words.
void OursWordMoves(benchmark::State &state) {
  TCustomSyntaxMemo &m = Memo();
  for (auto _ : state) {
    m.SetSelection(0, 0, false);
    for (int i = 0; i < 20000; ++i)
      m.KeyDown(scCtrl | vk::Right);
  }
}

#ifdef KX_HAVE_QSCINTILLA
QsciScintilla &Sci() {
  static std::unique_ptr<QsciScintilla> e;
  if (!e) {
    e = std::make_unique<QsciScintilla>();
    const std::string t = ReadWholeFile(kxbench::DataFile(kFile));
    e->SendScintilla(QsciScintillaBase::SCI_APPENDTEXT, static_cast<unsigned long>(t.size()),
                     t.data());
    e->SendScintilla(QsciScintillaBase::SCI_SETUSETABS, 0L);
    e->SendScintilla(QsciScintillaBase::SCI_SETINDENT, 2L);
    e->SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
  }
  return *e;
}

void SciIndent(benchmark::State &state) {
  QsciScintilla &e = Sci();
  for (auto _ : state) {
    e.SendScintilla(QsciScintillaBase::SCI_SETSEL, 0L,
                    e.SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, kIndentLines));
    e.SendScintilla(QsciScintillaBase::SCI_TAB);
    e.SendScintilla(QsciScintillaBase::SCI_UNDO);
  }
}

void SciWordMoves(benchmark::State &state) {
  QsciScintilla &e = Sci();
  for (auto _ : state) {
    e.SendScintilla(QsciScintillaBase::SCI_GOTOPOS, 0L);
    for (int i = 0; i < 20000; ++i)
      e.SendScintilla(QsciScintillaBase::SCI_WORDRIGHT);
  }
}
#endif

} // namespace

int main(int argc, char **argv) {
#ifdef KX_HAVE_QSCINTILLA
  QApplication app(argc, argv);
#endif
  benchmark::RegisterBenchmark("ours/indent-2000-lines", OursIndent)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ours/word-right-20k", OursWordMoves)->Unit(benchmark::kMillisecond);
#ifdef KX_HAVE_QSCINTILLA
  benchmark::RegisterBenchmark("qscintilla/indent-2000-lines", SciIndent)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("qscintilla/word-right-20k", SciWordMoves)
      ->Unit(benchmark::kMillisecond);
#endif
  benchmark::Initialize(&argc, argv);
  Collector reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  auto &t = Seconds();
  for (const char *what : {"indent-2000-lines", "word-right-20k"}) {
    const std::string ours = std::string("ours/") + what;
    if (t.count(ours))
      kxbench::Figure(what, t[ours] * 1000, "ms");
#ifdef KX_HAVE_QSCINTILLA
    const std::string peer = std::string("qscintilla/") + what;
    if (t.count(ours) && t.count(peer))
      kxbench::Ratio(what, "QScintilla", t[ours], t[peer]);
#endif
  }
#ifndef KX_HAVE_QSCINTILLA
  kxbench::Skipped("QScintilla");
#endif
  return 0;
}
