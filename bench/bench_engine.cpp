// Editing-engine commands on a 1 MB document against QScintilla in the same
// run: block indent of its first 2,000 lines and the one-step undo (SCI_TAB
// over a selection), and word-wise caret movement. Word moves run from the
// top until the caret reaches the end of line kWordLines, each side taking
// the stops its own Ctrl+Right makes (QScintilla counts punctuation as
// blanks here, as our words do); both must end at the same line and column.
// They are timed for our engine alone, for our widget and for QScintilla's
// widget through key events, and for QScintilla's SCI_WORDRIGHT message.
#include "BenchUtil.h"
#include "CustomSyntaxMemo.h"
#include "Streams.h"
#include "SyntaxMemo.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#ifdef KX_HAVE_QSCINTILLA
#include <Qsci/qsciscintilla.h>
#endif

#include <map>
#include <memory>
#include <string>

namespace {

using kxbench::SecondsOf;

const char *kFile = "basic_1MB.bas";
constexpr long kIndentLines = 2000;
constexpr long kWordLines = 4000;

// Where a word-move run ended, and how many moves it took.
struct TWordRun {
  int64_t Line = -1, Column = -1, Moves = 0;
};
std::map<std::string, TWordRun> &WordRuns() {
  static std::map<std::string, TWordRun> r;
  return r;
}

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

// Ctrl+Right from the top to the end of line kWordLines; step makes one move.
template <class Step>
void OurWordMoves(benchmark::State &state, TCustomSyntaxMemo &m, const std::string &name,
                  Step step) {
  const int64_t target = m.LineStart(kWordLines) - 1; // the line break ending the line
  TWordRun run;
  for (auto _ : state) {
    m.SetSelection(0, 0, false);
    run.Moves = 0;
    while (m.Caret() < target && run.Moves < 10 * target) {
      step();
      ++run.Moves;
    }
  }
  run.Line = m.LineFromPos(m.Caret());
  run.Column = m.Caret() - m.LineStart(run.Line);
  WordRuns()[name] = run;
}

void OursWordMoves(benchmark::State &state) {
  TCustomSyntaxMemo &m = Memo();
  OurWordMoves(state, m, "ours-engine", [&] { m.KeyDown(scCtrl | vk::Right); });
}

void KeyClick(QWidget *w, Qt::Key key, Qt::KeyboardModifiers mods) {
  QKeyEvent press(QEvent::KeyPress, key, mods);
  QApplication::sendEvent(w, &press);
  QKeyEvent release(QEvent::KeyRelease, key, mods);
  QApplication::sendEvent(w, &release);
}

void OursWidgetWordMoves(benchmark::State &state) {
  TSyntaxMemo m;
  m.resize(900, 700);
  m.LoadFromFile(kxbench::DataFile(kFile));
  m.show();
  m.setFocus();
  QApplication::processEvents();
  OurWordMoves(state, m, "ours-widget", [&] { KeyClick(&m, Qt::Key_Right, Qt::ControlModifier); });
}

#ifdef KX_HAVE_QSCINTILLA
// Destroyed before the application at the end of main, as every widget must be.
std::unique_ptr<QsciScintilla> gSci;

QsciScintilla &Sci() {
  std::unique_ptr<QsciScintilla> &e = gSci;
  if (!e) {
    e = std::make_unique<QsciScintilla>();
    e->setUtf8(false);
    e->resize(900, 700);
    const std::string t = ReadWholeFile(kxbench::DataFile(kFile));
    e->SendScintilla(QsciScintillaBase::SCI_APPENDTEXT, static_cast<unsigned long>(t.size()),
                     t.data());
    e->SendScintilla(QsciScintillaBase::SCI_SETUSETABS, 0L);
    e->SendScintilla(QsciScintillaBase::SCI_SETINDENT, 2L);
    e->SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
    // Our words: letters, digits and '_'; everything else between them is
    // skipped like blanks.
    std::string blanks = " \t";
    for (int c = 33; c < 127; ++c)
      if (!std::isalnum(c) && c != '_')
        blanks += static_cast<char>(c);
    e->SendScintilla(QsciScintillaBase::SCI_SETWHITESPACECHARS, 0UL, blanks.c_str());
    e->show();
    e->setFocus();
    QApplication::processEvents();
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

template <class Step>
void SciWordMovesWith(benchmark::State &state, const std::string &name, Step step) {
  QsciScintilla &e = Sci();
  const long target = e.SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, kWordLines - 1);
  TWordRun run;
  auto caret = [&] { return e.SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS); };
  for (auto _ : state) {
    e.SendScintilla(QsciScintillaBase::SCI_GOTOPOS, 0L);
    run.Moves = 0;
    while (caret() < target && run.Moves < 10 * target) {
      step(e);
      ++run.Moves;
    }
  }
  run.Line = e.SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, caret());
  run.Column = caret() - e.SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, run.Line);
  WordRuns()[name] = run;
}

void SciWordMoves(benchmark::State &state) {
  SciWordMovesWith(state, "qscintilla-message",
                   [](QsciScintilla &e) { e.SendScintilla(QsciScintillaBase::SCI_WORDRIGHT); });
}

void SciWidgetWordMoves(benchmark::State &state) {
  SciWordMovesWith(state, "qscintilla-widget", [](QsciScintilla &e) {
    KeyClick(e.viewport(), Qt::Key_Right, Qt::ControlModifier);
  });
}
#endif

} // namespace

int main(int argc, char **argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  const std::string words = "word-right-to-line-" + std::to_string(kWordLines);
  benchmark::RegisterBenchmark("ours/indent-2000-lines", OursIndent)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(("ours-engine/" + words).c_str(), OursWordMoves)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(("ours-widget/" + words).c_str(), OursWidgetWordMoves)
      ->Unit(benchmark::kMillisecond);
#ifdef KX_HAVE_QSCINTILLA
  benchmark::RegisterBenchmark("qscintilla/indent-2000-lines", SciIndent)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(("qscintilla-message/" + words).c_str(), SciWordMoves)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(("qscintilla-widget/" + words).c_str(), SciWidgetWordMoves)
      ->Unit(benchmark::kMillisecond);
#endif
  benchmark::Initialize(&argc, argv);
  kxbench::RealTimeCollector reporter(true); // CPU time: the machine is shared
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  if (SecondsOf("ours/indent-2000-lines") > 0)
    kxbench::Figure("indent-2000-lines", SecondsOf("ours/indent-2000-lines") * 1000, "ms");
  for (const auto &[who, r] : WordRuns())
    kxbench::Note(who + " word moves: " + std::to_string(r.Moves) + " to line " +
                  std::to_string(r.Line) + " column " + std::to_string(r.Column));
  for (const char *who : {"ours-engine", "ours-widget"})
    kxbench::Figure(words + " " + who, SecondsOf(std::string(who) + "/" + words) * 1000, "ms");
#ifdef KX_HAVE_QSCINTILLA
  kxbench::Ratio("indent-2000-lines", "QScintilla", SecondsOf("ours/indent-2000-lines"),
                 SecondsOf("qscintilla/indent-2000-lines"));
  // A ratio only between runs that ended at the same place.
  auto same = [&](const char *a, const char *b) {
    const TWordRun &x = WordRuns()[a], &y = WordRuns()[b];
    return x.Line >= 0 && x.Line == y.Line && x.Column == y.Column;
  };
  auto ratio = [&](const char *ours, const char *peer, const std::string &peerName) {
    const std::string what = words + (std::string(ours) == "ours-widget" ? " widget" : "");
    if (!same(ours, peer))
      std::printf("NO RATIO %s vs %s: the carets ended at different places\n", what.c_str(),
                  peerName.c_str());
    else
      kxbench::Ratio(what, peerName, SecondsOf(std::string(ours) + "/" + words),
                     SecondsOf(std::string(peer) + "/" + words));
  };
  ratio("ours-engine", "qscintilla-message", "QScintilla SCI_WORDRIGHT");
  ratio("ours-widget", "qscintilla-widget", "QScintilla widget, Ctrl+Right");
#else
  kxbench::Skipped("QScintilla");
#endif
#ifdef KX_HAVE_QSCINTILLA
  gSci.reset();
#endif
  return 0;
}
