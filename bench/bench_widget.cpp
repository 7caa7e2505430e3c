// The editor widget against QScintilla and QPlainTextEdit, all highlighted and
// rendered offscreen in the same run: the time from a typed key to the
// repainted row in the middle of a 1,000,000-line PIC BASIC document,
// scrolling by one page, and opening the 50 MB file until its first screen is
// painted (with our bare load of the same file for reference). QScintilla
// runs Scintilla's freebasic lexer with our scheme's keywords in 8-bit mode.
#include "BenchUtil.h"
#include "CustomSyntaxMemo.h"
#include "SciPeer.h"
#include "SyntaxMemo.h"
#include "SyntaxMemoParser.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QTextCursor>
#ifdef KX_HAVE_QSCINTILLA
#include <Qsci/qsciscintilla.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using kxbench::Median;
using kxbench::Time;
constexpr int kLines = 1000000;
constexpr int kKeys = 200;    // each a letter and a Backspace
constexpr int kPeerKeys = 40; // the peers are far slower per key on this text
constexpr int kPages = 100;
constexpr int kFirstScreenRuns = 3;

std::string MillionLines(const std::string &file) {
  return kxbench::FirstLines(ReadWholeFile(file), kLines);
}

std::string SchemePath() {
  return kxbench::SourceFile("resources/schemes/tarnic.scheme");
}

TSyntaxMemoParser *gParser = nullptr;

// Counts paints of a viewport, to prove each measured step repainted.
class TPaintCounter : public QObject {
public:
  int Paints = 0;
  bool eventFilter(QObject *, QEvent *e) override {
    if (e->type() == QEvent::Paint)
      ++Paints;
    return false;
  }
};

// A peer's highlighter of the same shape as the scheme: comments, strings,
// numbers and a few statement words.
class TPeerBasicHighlighter : public QSyntaxHighlighter {
public:
  explicit TPeerBasicHighlighter(QTextDocument *d) : QSyntaxHighlighter(d) {
    comment_.setForeground(QColor(0, 128, 0));
    comment_.setFontItalic(true);
    string_.setForeground(QColor(128, 128, 0));
    number_.setForeground(QColor(255, 0, 0));
    word_.setForeground(QColor(0, 0, 128));
    word_.setFontWeight(QFont::Bold);
  }

protected:
  void highlightBlock(const QString &text) override {
    const int n = static_cast<int>(text.size());
    int i = 0;
    while (i < n) {
      const QChar c = text[i];
      if (c == QLatin1Char('\'') || c == QLatin1Char(';')) {
        setFormat(i, n - i, comment_);
        return;
      }
      int j = i + 1;
      if (c == QLatin1Char('"')) {
        while (j < n && text[j] != QLatin1Char('"'))
          ++j;
        setFormat(i, std::min(n, j + 1) - i, string_);
        i = j + 1;
        continue;
      }
      if (c.isDigit() || c == QLatin1Char('$') || c == QLatin1Char('%')) {
        while (j < n && text[j].isLetterOrNumber())
          ++j;
        setFormat(i, j - i, number_);
      } else if (c.isLetter()) {
        while (j < n && (text[j].isLetterOrNumber() || text[j] == QLatin1Char('_')))
          ++j;
        if (text[i].isUpper() && j - i > 2)
          setFormat(i, j - i, word_);
      }
      i = j;
    }
  }

private:
  QTextCharFormat comment_, string_, number_, word_;
};

struct TResult {
  double KeyMedian = 0;        // seconds, until the viewport painted
  double KeyRepaintMedian = 0; // seconds, key then a synchronous repaint of the viewport
  double PageMedian = 0;
  int Paints = 0;
  int Unpainted = 0; // waits that gave up before a paint came
};

int gUnpainted = 0;

// Runs the event loop until the viewport has painted again.
void UntilPainted(TPaintCounter &pc, int before) {
  for (int i = 0; i < 20000 && pc.Paints == before; ++i)
    QApplication::processEvents();
  if (pc.Paints == before)
    ++gUnpainted;
}

// Types a letter and deletes it again, timing each key to its painted row.
template <class W>
void TypeAndTime(W &w, QWidget *target, TPaintCounter &pc, TResult &r, int count) {
  std::vector<double> keys, pages;
  QApplication::processEvents();
  const int paints0 = pc.Paints;
  for (int i = 0; i < count; ++i) {
    for (const auto &[key, text] :
         {std::pair{Qt::Key_A, QStringLiteral("a")}, std::pair{Qt::Key_Backspace, QString()}}) {
      QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
      QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
      keys.push_back(Time([&] {
        const int before = pc.Paints;
        QApplication::sendEvent(target, &press);
        UntilPainted(pc, before);
      }));
      QApplication::sendEvent(target, &release);
    }
  }
  r.Paints = pc.Paints - paints0;
  r.KeyMedian = Median(keys);
  // The same keys, each followed by a synchronous repaint of the whole
  // viewport: a measure that does not depend on when a widget schedules paints.
  std::vector<double> full;
  for (int i = 0; i < count / 2; ++i)
    for (const auto &[key, text] :
         {std::pair{Qt::Key_A, QStringLiteral("a")}, std::pair{Qt::Key_Backspace, QString()}}) {
      QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
      full.push_back(Time([&] {
        QApplication::sendEvent(target, &press);
        QApplication::processEvents();
        w.viewport()->repaint();
      }));
    }
  r.KeyRepaintMedian = Median(full);
}

TResult Ours(TSyntaxMemoParser &parser, const std::string &text) {
  TResult r;
  gUnpainted = 0;
  TSyntaxMemo m;
  m.resize(900, 700);
  m.SetParser(&parser);
  m.SetOptionsMask(m.OptionsMask() | smoSyntaxHighlight | smoShowGutter | smoLineNumbers);
  m.Perform(WM_SETTEXT, 0, reinterpret_cast<intptr_t>(text.c_str()));
  m.show();
  m.activateWindow();
  m.setFocus();
  m.FinishHighlighting();
  TPaintCounter pc;
  m.viewport()->installEventFilter(&pc);
  const int64_t line = m.LineCount() / 2;
  m.SetTopLine(line - 20);
  m.SetSelection(m.LineStart(line) + 4, m.LineStart(line) + 4);
  TypeAndTime(m, &m, pc, r, kKeys);
  std::vector<double> pages;
  m.SetTopLine(100000);
  QApplication::processEvents();
  for (int i = 0; i < kPages; ++i)
    pages.push_back(Time([&] {
      const int before = pc.Paints;
      m.Perform(WM_VSCROLL, SB_PAGEDOWN, 0);
      UntilPainted(pc, before);
    }));
  r.PageMedian = Median(pages);
  r.Unpainted = gUnpainted;
  return r;
}

TResult PlainTextEdit(const std::string &text) {
  TResult r;
  gUnpainted = 0;
  QPlainTextEdit e;
  e.resize(900, 700);
  e.setFont(QFont("Courier New", 10));
  e.setLineWrapMode(QPlainTextEdit::NoWrap);
  e.setPlainText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
  TPeerBasicHighlighter h(e.document());
  h.rehighlight();
  e.show();
  e.activateWindow();
  e.setFocus();
  TPaintCounter pc;
  e.viewport()->installEventFilter(&pc);
  QTextCursor c(e.document()->findBlockByNumber(e.document()->blockCount() / 2));
  c.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 4);
  e.setTextCursor(c);
  e.centerCursor();
  TypeAndTime(e, &e, pc, r, kPeerKeys);
  std::vector<double> pages;
  e.verticalScrollBar()->setValue(100000);
  QApplication::processEvents();
  for (int i = 0; i < kPages; ++i)
    pages.push_back(Time([&] {
      const int before = pc.Paints;
      e.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
      UntilPainted(pc, before);
    }));
  r.PageMedian = Median(pages);
  r.Unpainted = gUnpainted;
  return r;
}

#ifdef KX_HAVE_QSCINTILLA
TResult Scintilla(const std::string &text) {
  TResult r;
  gUnpainted = 0;
  QsciScintilla s;
  s.resize(900, 700);
  kxbench::SetUpSci(s, *gParser, kxbench::SciBasic());
  s.SendScintilla(QsciScintillaBase::SCI_SETTEXT, 0UL, text.c_str());
  s.SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
  s.show();
  s.activateWindow();
  s.setFocus();
  TPaintCounter pc;
  s.viewport()->installEventFilter(&pc);
  const int line = s.lines() / 2;
  s.setCursorPosition(line, 4);
  s.ensureLineVisible(line);
  TypeAndTime(s, &s, pc, r, kPeerKeys);
  std::vector<double> pages;
  s.verticalScrollBar()->setValue(100000);
  QApplication::processEvents();
  for (int i = 0; i < kPages; ++i)
    pages.push_back(Time([&] {
      const int before = pc.Paints;
      s.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
      UntilPainted(pc, before);
    }));
  r.PageMedian = Median(pages);
  r.Unpainted = gUnpainted;
  return r;
}
#endif

// --- opening the 50 MB file until the first screen is painted ---

double BareLoad(const std::string &file) {
  double best = 1e30;
  for (int i = 0; i < kFirstScreenRuns; ++i) {
    TCustomSyntaxMemo m;
    best = std::min(best, Time([&] { m.LoadFromFile(file); }));
  }
  return best;
}

// Each side: the best of kFirstScreenRuns fresh widgets, from reading the
// file to the first screen painted; -1 when the file cannot be read.
double OurFirstScreen(TSyntaxMemoParser &parser, const std::string &file) {
  double best = 1e30;
  for (int i = 0; i < kFirstScreenRuns; ++i) {
    TSyntaxMemo m;
    m.resize(900, 700);
    m.SetParser(&parser);
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

double PlainTextFirstScreen(const std::string &file) {
  double best = 1e30;
  for (int i = 0; i < kFirstScreenRuns; ++i) {
    QPlainTextEdit e;
    e.resize(900, 700);
    e.setFont(QFont("Courier New", 10));
    e.setLineWrapMode(QPlainTextEdit::NoWrap);
    TPeerBasicHighlighter h(e.document());
    e.show();
    QApplication::processEvents();
    bool ok = true;
    best = std::min(best, Time([&] {
                      QFile f(QString::fromStdString(file));
                      if (!(ok = f.open(QIODevice::ReadOnly)))
                        return;
                      e.setPlainText(QString::fromLatin1(f.readAll()));
                      e.viewport()->repaint();
                    }));
    if (!ok)
      return -1;
  }
  return best;
}

#ifdef KX_HAVE_QSCINTILLA
double ScintillaFirstScreen(const std::string &file) {
  double best = 1e30;
  for (int i = 0; i < kFirstScreenRuns; ++i) {
    QsciScintilla s;
    s.resize(900, 700);
    kxbench::SetUpSci(s, *gParser, kxbench::SciBasic());
    s.show();
    QApplication::processEvents();
    bool ok = true;
    best = std::min(best, Time([&] {
                      QFile f(QString::fromStdString(file));
                      if (!(ok = f.open(QIODevice::ReadOnly)))
                        return;
                      const QByteArray b = f.readAll();
                      s.SendScintilla(QsciScintillaBase::SCI_SETTEXT, 0UL, b.constData());
                      s.SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
                      s.viewport()->repaint();
                    }));
    if (!ok)
      return -1;
  }
  return best;
}
#endif

void Report(const char *peer, const TResult &ours, const TResult &peerResult) {
  kxbench::Ratio("keystroke-to-paint-1M-lines", peer, ours.KeyMedian, peerResult.KeyMedian);
  kxbench::Ratio("keystroke-full-repaint-1M-lines", peer, ours.KeyRepaintMedian,
                 peerResult.KeyRepaintMedian);
  kxbench::Ratio("page-scroll-1M-lines", peer, ours.PageMedian, peerResult.PageMedian);
  std::printf("   %s: key median %.1f us (%d paints), page median %.1f us\n", peer,
              peerResult.KeyMedian * 1e6, peerResult.Paints, peerResult.PageMedian * 1e6);
}

// Google Benchmark view of the same keystroke, for repeated runs.
std::string gText;

void BM_WidgetKeystroke(benchmark::State &state) {
  TSyntaxMemo m;
  m.resize(900, 700);
  m.SetParser(gParser);
  m.SetOptionsMask(m.OptionsMask() | smoSyntaxHighlight);
  m.Perform(WM_SETTEXT, 0, reinterpret_cast<intptr_t>(gText.c_str()));
  m.show();
  m.setFocus();
  m.FinishHighlighting();
  const int64_t line = m.LineCount() / 2;
  m.SetTopLine(line - 20);
  m.SetSelection(m.LineStart(line) + 4, m.LineStart(line) + 4);
  QApplication::processEvents();
  bool type = true;
  for (auto _ : state) {
    QKeyEvent press(QEvent::KeyPress, type ? Qt::Key_A : Qt::Key_Backspace, Qt::NoModifier,
                    type ? QStringLiteral("a") : QString());
    QApplication::sendEvent(&m, &press);
    QApplication::processEvents();
    type = !type;
  }
}

} // namespace

int main(int argc, char **argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Paint as soon as an update is asked for, so a key's paint is timed with it.
  setenv("QT_QPA_UPDATE_IDLE_TIME", "0", 1);
  const std::string f50 = kxbench::DataFile("basic_50MB.bas");
  if (!std::filesystem::exists(f50)) {
    std::printf("bench_widget: generated inputs missing (run kx_bench_gen into %s)\n",
                kxbench::DataFile("").c_str());
    return 1;
  }
  QApplication app(argc, argv);
  TSyntaxMemoParser parser;
  parser.CompileFile(SchemePath());
  gParser = &parser;
  {
    const std::string text = MillionLines(f50);
    std::printf(
        "-- keys (a letter, then Backspace; ours %d, each peer %d) in the middle of %d highlighted "
        "lines, and %d page scrolls, each timed until the viewport has painted\n",
        2 * kKeys, 2 * kPeerKeys, kLines, kPages);
    const TResult ours = Ours(parser, text);
    kxbench::Figure("keystroke-to-paint-1M-lines median", ours.KeyMedian * 1e6, "us");
    kxbench::Figure("page-scroll-1M-lines median", ours.PageMedian * 1e6, "us");
    kxbench::Figure("keystroke-full-repaint-1M-lines median", ours.KeyRepaintMedian * 1e6, "us");
    std::printf("   ours: %d paints for %d keys, %d waits gave up\n", ours.Paints, 2 * kKeys,
                ours.Unpainted);
    Report("QPlainTextEdit", ours, PlainTextEdit(text));
#ifdef KX_HAVE_QSCINTILLA
    Report("QScintilla", ours, Scintilla(text));
#else
    kxbench::Skipped("QScintilla");
#endif
    gText = text;
  }
  {
    std::printf("-- opening the 50 MB file until the first screen is painted (each side the best "
                "of %d fresh widgets)\n",
                kFirstScreenRuns);
    const double bare = BareLoad(f50);
    const double first = OurFirstScreen(parser, f50);
    kxbench::Figure("bare-load-50MB", bare * 1e3, "ms");
    kxbench::Figure("first-screen-50MB", first * 1e3, "ms");
    kxbench::Figure("first-screen-50MB / bare load", first / bare, "x");
    kxbench::Ratio("first-screen-50MB", "QPlainTextEdit", first, PlainTextFirstScreen(f50));
#ifdef KX_HAVE_QSCINTILLA
    kxbench::Ratio("first-screen-50MB", "QScintilla", first, ScintillaFirstScreen(f50));
#else
    kxbench::Skipped("QScintilla");
#endif
  }
  benchmark::RegisterBenchmark("WidgetKeystrokeMiddleOf1MLines", BM_WidgetKeystroke)
      ->Iterations(400);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
