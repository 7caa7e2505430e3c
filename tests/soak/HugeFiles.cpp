// kx_huge_files: the main window with a 200 MB program and with a file that is
// one 10 MB line. Each is opened through the file commands, scrolled to its
// end, typed into with real key events, searched, changed everywhere by a
// Replace All in one undo group, saved, undone step by step to the start and
// saved again. The first save must hold the bytes a plain reference edit of
// the file computes, the second the original bytes; the memory the document
// takes at its peak must stay under 2.5 times the file. Prints one FIGURE line
// per step and exits non-zero on any difference.
//
// Usage: kx_huge_files FOLDER [--big-mb N] [--line-mb N] [--only big|line]
#include "CommandGuard.h"
#include "EdPersistent.h"
#include "EditorMainForm.h"
#include "KorvexApplication.h"
#include "ProcessPaths.h"
#include "Prompter.h"
#include "StatusBar.h"
#include "Streams.h"
#include "SyntaxMemo.h"
#include "SyntaxMemoStrings.h"

#include <QAction>
#include <QApplication>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr double kMemoryBound = 2.5;

struct Rng {
  uint32_t s = 20240601;
  uint32_t Below(uint32_t n) { return ((s = s * 1103515245u + 12345u) >> 8) % n; }
};

// A PIC BASIC program of about `bytes`, CR LF lines. The word that Replace
// All renames stands in about one line in forty.
std::string BigProgram(size_t bytes) {
  static const char *ports[] = {"PORTA", "PORTB", "PORTC", "PORTD"};
  Rng r;
  std::string s;
  s.reserve(bytes + 4096);
  for (int n = 0; s.size() < bytes; ++n) {
    const std::string id = std::to_string(n);
    s += "' Section " + id + ": motor control, generated\r\n";
    s += "counter" + id + " VAR WORD\r\n";
    s += "main" + id + ":\r\n";
    for (int i = 0; i < 38; ++i) {
      const char *p = ports[r.Below(4)];
      switch (r.Below(6)) {
      case 0:
        s += "    HIGH " + std::string(p) + "." + std::to_string(r.Below(8)) + "\r\n";
        break;
      case 1:
        s += "    PAUSE " + std::to_string(r.Below(1000)) + "   ; wait a while\r\n";
        break;
      case 2:
        s += "    FOR counter" + id + " = 0 TO " + std::to_string(r.Below(255)) + "\r\n";
        break;
      case 3:
        s += "    SEROUT " + std::string(p) + ".6, T9600, [\"Value: \", DEC counter" + id + "]\r\n";
        break;
      case 4:
        s += "    NEXT counter" + id + "\r\n";
        break;
      default:
        s += "    LCDOUT $FE, 1, \"Line \", #counter" + id + "\r\n";
      }
    }
    s += "    TOGGLE STATUS_LED\r\n";
  }
  // The last line starts at the margin, so the lines typed after it get no indent.
  s += "END\r\n";
  return s;
}

// One line of about `bytes` without a break; the renamed word about every 50 KB.
std::string LongLine(size_t bytes) {
  std::string s;
  s.reserve(bytes + 64);
  for (int i = 0; s.size() < bytes; ++i) {
    s.append(1, 'x').append(std::to_string(i % 97)).append(" = x + 1 : ");
    if (i % 4000 == 3999)
      s += "TOGGLE STATUS_LED : ";
  }
  return s;
}

int64_t StatusKb(const char *field) {
  std::ifstream f("/proc/self/status");
  std::string line;
  const size_t n = std::strlen(field);
  while (std::getline(f, line))
    if (line.compare(0, n, field) == 0)
      return std::atoll(line.c_str() + n + 1);
  return -1;
}

// From here on the peak resident size counts from the current size.
void ResetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

double Seconds(const std::function<void()> &f) {
  const auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

int64_t StatusKb(const char *field);

void Figure(const std::string &what, double value, const char *unit) {
  std::printf("FIGURE %s: %.3g %s\n", what.c_str(), value, unit);
  if (std::getenv("KX_HUGE_TRACE"))
    std::printf("  (resident %lld kB, peak %lld kB)\n", static_cast<long long>(StatusKb("VmRSS:")),
                static_cast<long long>(StatusKb("VmHWM:")));
  std::fflush(stdout);
}

std::string ReadAll(const std::string &path) {
  return ReadWholeFile(path);
}

std::string ReplacedAll(const std::string &text, const std::string &from, const std::string &to) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  size_t at = 0;
  for (size_t hit; (hit = text.find(from, at)) != std::string::npos; at = hit + from.size())
    out.append(text, at, hit - at).append(to);
  out.append(text, at, std::string::npos);
  return out;
}

struct Result {
  bool ok = true;
  void Check(bool cond, const std::string &what) {
    if (!cond) {
      std::printf("FAILED %s\n", what.c_str());
      std::fflush(stdout);
      ok = false;
    }
  }
};

void Settle() {
  for (int i = 0; i < 3; ++i)
    QApplication::processEvents();
}

// Opens, edits, saves and undoes one file in a fresh main window.
bool RunCase(const std::string &label, const std::string &folder, const std::string &original) {
  Result r;
  const std::string program = folder + "/" + label + "-program/";
  fs::create_directories(program + "KX_INC");
  WriteFileAtomic(program + "KX_INC/KORVEX.INI", "[PROGRAMMER]\r\nTYPE=EPIC\r\n");
  const std::string path = folder + "/" + label + ".bas";
  WriteFileAtomic(path, original);
  const double mb = static_cast<double>(original.size()) / (1 << 20);

  CommandLineFile.clear();
  auto form = std::make_unique<TEditorMainForm>();
  InitProcessPaths(program);
  form->EdPersistent = std::make_unique<TEdPersistent>(program + "KORVEX.DAT");
  form->resize(1000, 700);
  form->show();
  Settle();
  TSyntaxMemo *memo = form->SyntaxMemo1;

  const int64_t baseKb = StatusKb("VmRSS:");
  ResetPeak();
  const std::string what = "huge-" + label;

  Figure(what + " open", Seconds([&] {
           RunCommand([&] { form->OpenPath(path); });
           Settle();
         }),
         "s");
  r.Check(memo->TextLength() > 0, label + ": the file opened");

  Figure(what + " scroll to end", Seconds([&] {
           QTest::keyClick(memo, Qt::Key_End, Qt::ControlModifier);
           Settle();
         }),
         "s");
  r.Check(memo->Caret() == memo->TextLength(), label + ": the caret stands at the end");

  const QString typed = QStringLiteral("' checked by the huge-file run");
  Figure(what + " typing 40 keys", Seconds([&] {
           QTest::keyClick(memo, Qt::Key_Return);
           QTest::keyClicks(memo, typed);
           QTest::keyClick(memo, Qt::Key_Return);
           QTest::keyClicks(memo, QStringLiteral("END"));
           Settle();
         }),
         "s");
  r.Check(form->StatusBar1->PanelText(1) == QStringLiteral("Modified"), label + ": modified");
  std::string tail(1, '\r');
  tail.append(typed.toStdString()).append("\rEND");
  r.Check(memo->GetTextRange(memo->TextLength() - static_cast<int64_t>(tail.size()),
                             memo->TextLength()) == tail,
          label + ": the keys typed what they say");

  int64_t found = -1;
  Figure(what + " search whole text", Seconds([&] {
           memo->SetSelection(0, 0);
           int64_t len = 0;
           if (memo->SearchAndSelect("checked by the huge-file", sfMatchCase, len))
             found = memo->SelStart();
           Settle();
         }),
         "s");
  // After the line break and the quote and blank that open the typed line.
  r.Check(found == memo->TextLength() - static_cast<int64_t>(tail.size()) + 3,
          label + ": the typed text is found where it was typed");

  // Replace All as the replace dialog runs it: one undo group, the line list
  // in update mode, a forward sweep from the start.
  const std::string word = "STATUS_LED", replacement = "PORTB.7";
  int replaced = 0;
  Figure(what + " replace all", Seconds([&] {
           memo->BeginGroup(ugCompound);
           memo->Lines().BeginUpdate();
           memo->SetSelection(0, 0);
           std::string toInsert;
           while (memo->SearchForReplace(word, replacement, sfMatchCase, toInsert)) {
             memo->ReplaceSel(toInsert, false);
             memo->SetSelection(memo->Caret(), memo->Caret(), false);
             ++replaced;
           }
           memo->Lines().EndUpdate();
           memo->EndGroup(ugCompound);
           Settle();
         }),
         "s");
  Figure(what + " replacements", replaced, "");
  r.Check(replaced > 0, label + ": something was replaced");

  Figure(what + " save", Seconds([&] {
           form->Save1->trigger();
           Settle();
         }),
         "s");
  r.Check(form->StatusBar1->PanelText(1).isEmpty(), label + ": saved");
  // The saved file stays reachable under a second name when the next save
  // renames a new file over the first.
  const std::string afterReplace = path + ".after-replace";
  fs::remove(afterReplace);
  fs::create_hard_link(path, afterReplace);

  int steps = 0;
  Figure(what + " undo all", Seconds([&] {
           while (memo->CanUndo()) {
             memo->Undo();
             ++steps;
           }
           Settle();
         }),
         "s");
  Figure(what + " undo steps", steps, "");
  Figure(what + " save again", Seconds([&] {
           form->Save1->trigger();
           Settle();
         }),
         "s");

  const int64_t peakKb = StatusKb("VmHWM:");
  const double peakMb = static_cast<double>(peakKb - baseKb) / 1024;
  Figure(what + " file size", mb, "MB");
  Figure(what + " peak memory", peakMb, "MB");
  Figure(what + " peak memory per file byte", peakMb / mb, "x");
  r.Check(peakMb < kMemoryBound * mb, label + ": peak memory under 2.5 times the file");
  form.reset();

  // The reference edit, now that the peak is taken.
  const std::string reference =
      ReplacedAll(original + "\r\n" + typed.toStdString() + "\r\nEND", word, replacement);
  const std::string first = ReadAll(afterReplace);
  r.Check(first.size() == reference.size() && first == reference,
          label + ": the first save holds the reference edit");
  r.Check(ReadAll(path) == original, label + ": after undoing everything the original bytes");
  r.Check(ReadAll(folder + "/" + label + ".BAK") == first,
          label + ": the backup holds the first save");
  fs::remove(afterReplace);
  fs::remove(path);
  fs::remove(folder + "/" + label + ".BAK");
  fs::remove_all(program);
  return r.ok;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: kx_huge_files FOLDER [--big-mb N] [--line-mb N] [--only big|line]\n");
    return 2;
  }
  const std::string folder = argv[1];
  size_t bigMb = 200, lineMb = 10;
  std::string only;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string opt = argv[i];
    if (opt == "--big-mb")
      bigMb = std::strtoul(argv[i + 1], nullptr, 10);
    else if (opt == "--line-mb")
      lineMb = std::strtoul(argv[i + 1], nullptr, 10);
    else if (opt == "--only")
      only = argv[i + 1];
  }
  fs::create_directories(folder);
  int qargc = 1;
  char name[] = "kx_huge_files";
  char *qargv[] = {name, nullptr};
  TKorvexApplication app(qargc, qargv);
  SetPrompter(std::make_unique<TRecordingPrompter>(folder + "/prompts.log", std::string()));

  bool ok = true;
  if (only.empty() || only == "line")
    ok &= RunCase("line-" + std::to_string(lineMb) + "MB", folder, LongLine(lineMb << 20));
  if (only.empty() || only == "big")
    ok &= RunCase("program-" + std::to_string(bigMb) + "MB", folder, BigProgram(bigMb << 20));
  for (const TPromptRecord &p : TRecordingPrompter::ReadLog(folder + "/prompts.log")) {
    std::printf("FAILED message shown: %s\n", p.Text.c_str());
    ok = false;
  }
  std::printf(ok ? "HUGE FILES PASSED\n" : "HUGE FILES FAILED\n");
  return ok ? 0 : 1;
}
