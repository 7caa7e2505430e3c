// Random key and command sequences against the store's invariants, the caret's
// bounds, and undo-all back to the original text.
#include "EngineTestUtil.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>

using namespace enginetest;

namespace {

std::string RandomText(std::mt19937 &rng) {
  static const char pool[] = "ab _x\t  \r\r(1)";
  std::string t;
  const int n = static_cast<int>(rng() % 300);
  for (int i = 0; i < n; ++i)
    t += pool[rng() % (sizeof pool - 1)];
  if (rng() % 4 == 0)
    t += std::string(2100 + rng() % 3000, 'L'); // longer than one node
  return t;
}

std::string *trace = nullptr; // a readable log of the steps when debugging

void Note(const std::string &s) {
  if (trace)
    *trace += s + " ";
}

void RandomStep(TCustomSyntaxMemo &m, std::mt19937 &rng, TTestClipboard &clip) {
  static const char typed[] = "abz_ (\t\r";
  static const uint16_t keys[] = {vk::Left,           vk::Right,         vk::Up,
                                  vk::Down,           vk::Home,          vk::End,
                                  vk::Prior,          vk::Next,          vk::Back,
                                  vk::Delete,         vk::Insert,        scCtrl | vk::Left,
                                  scCtrl | vk::Right, scCtrl | vk::Back, scCtrl | vk::Delete,
                                  scCtrl | 'Y',       scCtrl | 'X',      scCtrl | 'C',
                                  scCtrl | 'V',       scCtrl | vk::Up,   scCtrl | vk::Down};
  switch (rng() % 6) {
  case 0:
  case 1: {
    const char c = typed[rng() % (sizeof typed - 1)];
    Note(std::string("type:") + (c == '\r' ? "CR" : c == '\t' ? "TAB" : std::string(1, c)));
    m.KeyPress(c);
    break;
  }
  case 2:
  case 3: {
    uint16_t k = keys[rng() % (sizeof keys / sizeof keys[0])];
    if (rng() % 3 == 0)
      k |= scShift;
    Note("key:" + ShortcutToText(k));
    if (!m.KeyDown(k) && (k & 0xFF) >= 'A' && (k & 0xFF) <= 'Z')
      m.KeyPress(static_cast<char>(k & 0xFF));
    break;
  }
  case 4: {
    // Indent or un-indent a random selection, through the two-key sequences.
    const int64_t len = m.TextLength();
    m.SetSelection(static_cast<int64_t>(rng() % (len + 1)),
                   static_cast<int64_t>(rng() % (len + 1)));
    m.KeyDown(scCtrl | 'K');
    const bool in = rng() % 2;
    Note(std::string(in ? "indent" : "unindent") + "[" + std::to_string(m.Anchor()) + "," +
         std::to_string(m.Caret()) + "]");
    m.KeyDown(in ? 'I' : 'U');
    break;
  }
  default:
    if (rng() % 2)
      clip.formats[TClipFormat::cfText] = rng() % 2 ? "pasted\r\nline" : "p";
    {
      const auto cmd = static_cast<int32_t>(rng() % 48);
      const bool ext = rng() % 2 == 0;
      Note("cmd:" + std::to_string(cmd) + (ext ? "+" : ""));
      m.ExecuteCommand(cmd, 0, ext);
    }
    break;
  }
}

// Runs one seeded round of at most maxSteps steps; returns the failure or "".
std::string Round(int round, int maxSteps) {
  std::mt19937 rng(20261208u + static_cast<unsigned>(round));
  TCustomSyntaxMemo m;
  TTestClipboard clip;
  m.Clipboard = &clip;
  uint32_t opts = m.OptionsMask();
  for (uint32_t o : {smoAutoIndent, smoTabToColumn, smoUseTAB, smoSmartFill, smoCaretAfterEOL})
    opts = rng() % 2 ? opts | o : opts & ~o;
  m.SetOptionsMask(opts);
  m.SetTabDefault(1 + static_cast<int>(rng() % 8));
  m.SetIndentStep(1 + static_cast<int>(rng() % 4));
  m.AutoReplaceList = {{"ab", "AB_"}};
  m.CodeTemplates = {{"z", "", "Z|z\rq"}};
  const std::string original = RandomText(rng);
  m.Perform(WM_SETTEXT, 0, reinterpret_cast<intptr_t>(original.c_str()));
  const std::string start = m.Text();
  for (int step = 0; step < maxSteps; ++step) {
    if (rng() % 25 == 0) {
      Note("template");
      m.KeyDown(scCtrl | 'J');
    } else {
      RandomStep(m, rng, clip);
    }
    if (trace && getenv("KX_TRACE_TEXT")) {
      std::string d = Doc(m);
      for (char &ch : d)
        ch = ch == '\n' ? '~' : ch == '\t' ? '^' : ch;
      *trace += "\n    -> " + d + "\n";
    }
    if (trace && getenv("KX_TRACE_LOCATE")) {
      TTextStore &st = *m.Store();
      int64_t start = 0, line = 0;
      TLineNode *n = st.First();
      for (int64_t pos = 0; n && pos < m.TextLength(); ++pos) {
        while (pos - start >= n->Length) {
          start += n->Length;
          n = n->Next;
          ++line;
        }
        const TLinePos p = st.Locate(pos);
        if (p.Start != start || p.Line != line || p.Node != n) {
          *trace += "\n  LOCATE WRONG at pos " + std::to_string(pos) + "\n";
          break;
        }
      }
    }
    const std::string at = " at step " + std::to_string(step);
    const std::string inv = m.Store()->CheckInvariants();
    if (!inv.empty())
      return "invariant: " + inv + at;
    if (m.Caret() < 0 || m.Caret() > m.TextLength() || m.Anchor() < 0 ||
        m.Anchor() > m.TextLength())
      return "selection outside the text" + at;
    if (m.CaretIsVirtual() && (!(m.OptionsMask() & smoCaretAfterEOL) || m.CaretColumn() > 2047))
      return "virtual caret not allowed" + at;
  }
  if (trace && getenv("KX_TRACE_UNDO") && m.Store()->UndoStack()) {
    for (auto *e = m.Store()->UndoStack()->Bottom(); e; e = e->Next) {
      const TUndoRecord *u = e->Record;
      std::string o;
      if (u->Type == urText && u->Object) {
        o = reinterpret_cast<const char *>(u->Object);
        for (char &ch : o)
          ch = ch == '\r' ? '~' : ch == '\t' ? '^' : ch;
        o = "'" + o + "'";
      } else {
        o = std::to_string(u->Object);
      }
      *trace += "\n  rec x" + std::to_string(u->Extra) + " t" + std::to_string(u->Type) + " " + o +
                " " + std::to_string(u->Value);
    }
  }
  while (m.CanUndo()) {
    m.Undo();
    if (trace && getenv("KX_TRACE_TEXT")) {
      std::string d = Doc(m);
      for (char &ch : d)
        ch = ch == '\n' ? '~' : ch == '\t' ? '^' : ch;
      *trace += "\n    undo -> " + d + "\n";
    }
  }
  if (m.Text() != start)
    return "undo-all did not restore the text";
  if (!m.Store()->CheckInvariants().empty())
    return "invariant after undo-all";
  while (m.CanRedo())
    m.Redo();
  if (!m.Store()->CheckInvariants().empty())
    return "invariant after redo-all";
  return {};
}

} // namespace

TEST(EngineProperty, RandomSequencesKeepInvariantsAndUndoAllRestores) {
  // KX_PROPERTY_ROUNDS runs a longer soak.
  const char *env = getenv("KX_PROPERTY_ROUNDS");
  const int rounds = env ? atoi(env) : 200;
  for (int round = 0; round < rounds; ++round) {
    const std::string failure = Round(round, 150);
    if (failure.empty())
      continue;
    // Report the shortest failing prefix with its steps.
    int n = 1;
    while (n < 150 && Round(round, n).empty())
      ++n;
    std::string steps;
    trace = &steps;
    const std::string first = Round(round, n);
    trace = nullptr;
    ADD_FAILURE() << "round " << round << ": " << first << "\nsteps: " << steps;
  }
}
// KX_ROUND=n KX_STEPS=k replays one round with its steps (KX_TRACE_TEXT,
// KX_TRACE_UNDO and KX_TRACE_LOCATE add the texts, undo records and a
// position look-up check to the trace).
TEST(EngineProperty, ReplayOneRoundFromTheEnvironment) {
  const char *r = getenv("KX_ROUND");
  const char *n = getenv("KX_STEPS");
  if (!r || !n)
    GTEST_SKIP() << "KX_ROUND and KX_STEPS not set";
  std::string steps;
  trace = &steps;
  const std::string f = Round(atoi(r), atoi(n));
  trace = nullptr;
  std::printf("%s\n%s\n", f.empty() ? "passed" : f.c_str(), steps.c_str());
}
