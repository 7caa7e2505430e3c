// The crash-recovery journal's cost: typing into the 50 MB BASIC file in the
// main window with the journal on against off, in the same run and the same
// document (rounds alternate, so both sides see the same text and machine
// state), with the journal flushed every 16 keystrokes, far more often than
// real typing makes it; and recovering the 50 MB document from a journal in a
// new window until its first screen is painted.
#include "BenchUtil.h"
#include "BenchWindow.h"

#include "DocumentJournal.h"
#include "DocumentRecovery.h"
#include "JournalReader.h"
#include "EditorMainForm.h"
#include "FileObject.h"
#include "KorvexApplication.h"
#include "Prompter.h"
#include "Streams.h"
#include "SyntaxMemo.h"
#include "TextStore.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QTabBar>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

using kxbench::KeyClick;

// A window of its own for each part of the run, with an empty settings file.
struct TWindow : kxbench::TBenchWindow {
  explicit TWindow(const std::string &stem) : TBenchWindow("journal_" + stem, "") {}
};

TEditorMainForm *Form = nullptr;
double FlushSeconds = 0; // spent in the window thread's flushes
long Flushes = 0;
TTextEvent JournalHook; // the window's edit hook with the journal in it

void SetJournal(bool on) {
  Form->SyntaxMemo1->OnTextChange = on ? JournalHook : TTextEvent();
}

// Types `keys` keystrokes (a letter, then Backspace, and so on), flushing the
// journal every 16 when it is on; returns the seconds spent and adds each
// keystroke's microseconds to `each`.
double Type(int keys, bool journal, std::vector<double> *each = nullptr) {
  TSyntaxMemo *memo = Form->SyntaxMemo1;
  SetJournal(journal);
  const auto t0 = Clock::now();
  for (int i = 0; i < keys; ++i) {
    const auto k0 = Clock::now();
    if (i % 2)
      KeyClick(memo, Qt::Key_Backspace, QString());
    else
      KeyClick(memo, Qt::Key_Q, QStringLiteral("q"));
    if (i % 16 == 15) {
      if (journal) {
        const auto f0 = Clock::now();
        Form->Recovery->FlushAll();
        FlushSeconds += std::chrono::duration<double>(Clock::now() - f0).count();
        ++Flushes;
      }
      QApplication::processEvents();
    }
    if (each)
      each->push_back(std::chrono::duration<double, std::micro>(Clock::now() - k0).count());
  }
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[std::min(v.size() - 1, size_t(double(v.size()) * p))];
}

void BM_TypingJournalOn(benchmark::State &state) {
  for (auto _ : state)
    Type(16, true);
}
BENCHMARK(BM_TypingJournalOn)->Unit(benchmark::kMicrosecond);

void BM_TypingJournalOff(benchmark::State &state) {
  for (auto _ : state)
    Type(16, false);
}
BENCHMARK(BM_TypingJournalOff)->Unit(benchmark::kMicrosecond);

void CompareTyping() {
  // The first edit makes the document modified: its whole text goes to the
  // journal once. Timed apart, then the rounds.
  SetJournal(true);
  const auto t0 = Clock::now();
  KeyClick(Form->SyntaxMemo1, Qt::Key_Q, QStringLiteral("q"));
  Form->Recovery->FlushAll();
  const double first = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  Form->Recovery->Writer().Drain();
  kxbench::Figure("journal-first-flush-50MB (window thread)", first, "ms");
  double on = 0, off = 0;
  FlushSeconds = 0;
  Flushes = 0;
  std::vector<double> eachOn, eachOff;
  const int keys = 1600, rounds = 20;
  for (int r = 0; r < rounds; ++r) {
    on += Type(keys, true, &eachOn);
    off += Type(keys, false, &eachOff);
  }
  Form->Recovery->Writer().Drain();
  const double n = double(keys) * rounds;
  kxbench::Figure("journal-flush (window thread) mean", FlushSeconds / double(Flushes) * 1e6,
                  "us");
  kxbench::Figure("keystroke-50MB journal on", on / n * 1e6, "us");
  kxbench::Figure("keystroke-50MB journal off", off / n * 1e6, "us");
  kxbench::Figure("keystroke-50MB journal on median", Percentile(eachOn, 0.5), "us");
  kxbench::Figure("keystroke-50MB journal off median", Percentile(eachOff, 0.5), "us");
  kxbench::Figure("keystroke-50MB journal on p99", Percentile(eachOn, 0.99), "us");
  kxbench::Figure("keystroke-50MB journal off p99", Percentile(eachOff, 0.99), "us");
  kxbench::Figure("keystroke-50MB journal on max", Percentile(eachOn, 1.0), "us");
  kxbench::Figure("keystroke-50MB journal off max", Percentile(eachOff, 1.0), "us");
  kxbench::Ratio("keystroke-50MB journal on", "journal off", on, off);
  kxbench::Ratio("keystroke-50MB median journal on", "journal off", Percentile(eachOn, 0.5),
                 Percentile(eachOff, 0.5));
}

// A journal of the 50 MB text with a thousand typing edits after its
// snapshot, left by a copy that ended; a new window restores it.
void Recovery50MB(const std::string &text) {
  TWindow w("rec");
  const std::string root = w.form->Recovery->Session().Root();
  const std::string folder = root + "session-1-1/";
  fs::create_directories(folder);
  {
    TJournalWriter writer;
    TDocumentJournal journal(writer, folder + "doc-000000.kxj");
    TTextStore store;
    const std::string stored = NormaliseText(text.data(), text.size());
    store.Append(stored.data(), stored.size());
    journal.NoteReplaced(1);
    journal.Flush(store, "/home/user/big.bas", {});
    for (int i = 0; i < 1000; ++i) {
      store.InsertNormalised(5000 + i, "z", 1);
      journal.NoteInsert(5000 + i, "z", 1, 2 + i);
      if (i % 10 == 9)
        journal.Flush(store, "/home/user/big.bas", {});
    }
    writer.Drain();
    // A copy stays behind as the crashed copy's journal; this one goes with
    // its object.
    fs::copy_file(journal.Path(), folder + "doc-000001.kxj");
  }
  {
    // The reading alone: the journal checked and replayed into a text store.
    const auto r0 = Clock::now();
    TRecoveredJournal r = ReadJournalFile(folder + "doc-000001.kxj");
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - r0).count();
    std::printf("read %lld characters, %lld edits\n",
                static_cast<long long>(r.Text ? r.Text->CharCount() : 0),
                static_cast<long long>(r.EditsApplied));
    kxbench::Figure("read-journal-50MB", ms, "ms");
  }
  auto prompter = std::make_unique<TRecordingPrompter>();
  prompter->Answers.push_back("All");
  auto previous = SetPrompter(std::move(prompter));
  const auto t0 = Clock::now();
  w.form->Recovery->OfferRecovery();
  w.form->repaint();
  QApplication::processEvents();
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  SetPrompter(std::move(previous));
  const int64_t got = w.form->SyntaxMemo1->TextLength();
  std::printf("recovered %lld characters in %d tab(s)\n", static_cast<long long>(got),
              w.form->OpenFilesTab->count());
  kxbench::Figure("recover-50MB-first-paint", ms, "ms");
  w.form->Recovery->Writer().Drain();
}

} // namespace

int main(int argc, char **argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  TKorvexApplication app(argc, argv);
  const std::string path = kxbench::DataFile("basic_50MB.bas");
  if (!fs::exists(path)) {
    std::printf("SKIPPED journal benchmarks: %s not generated (run scripts/bench)\n", path.c_str());
    return 0;
  }
  {
    TWindow w("type");
    Form = w.form.get();
    JournalHook = Form->SyntaxMemo1->OnTextChange;
    w.form->OpenFile(QFile::decodeName(QByteArray::fromStdString(path)));
    w.form->SyntaxMemo1->SetSelection(25000000, 25000000);
    QApplication::processEvents();
    CompareTyping();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SetJournal(true);
    Form = nullptr;
  }
  Recovery50MB(ReadWholeFile(path));
  return 0;
}
