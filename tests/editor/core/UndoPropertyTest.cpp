// Random edit sequences against a plain string model: the text after every
// step, undo and redo to every earlier state with its selection, and Modified
// against the save point.
#include "CustomSyntaxMemo.h"

#include <gtest/gtest.h>

#include <random>

namespace {

struct State {
  std::string text;
  int64_t startAnchor, startCaret; // selection when the step began
  int64_t endAnchor, endCaret;     // selection when it ended
};

class Model {
public:
  explicit Model(uint32_t seed) : rng_(seed) {}

  std::string RandomText() {
    static const char *pieces[] = {"a",  "b",    "xyz",  " ",    "\t",  "\r",
                                   "\n", "\r\n", "\x1b", "\x01", "\xe9"};
    std::string s;
    const int roll = static_cast<int>(rng_() % 50);
    const int n = roll == 0 ? 2500 + static_cast<int>(rng_() % 9000) : static_cast<int>(rng_() % 6);
    for (int i = 0; i < n; ++i) {
      if (rng_() % 16 == 0)
        s += '\0';
      else
        s += pieces[rng_() % 11];
    }
    return s;
  }
  uint32_t Next() { return rng_(); }
  int64_t Below(int64_t n) {
    return n <= 0 ? 0 : static_cast<int64_t>(rng_() % static_cast<uint64_t>(n));
  }

private:
  std::mt19937 rng_;
};

std::string Normalised(const std::string &s) {
  return NormaliseText(s.data(), s.size());
}

} // namespace

TEST(UndoProperty, RandomEditsUndoRedoAndModified) {
  for (uint32_t seed = 1; seed <= 2000; ++seed) {
    Model r(seed);
    TCustomSyntaxMemo m;
    std::string text = Normalised(r.RandomText() + "base\rtext\r");
    m.ReplaceSel(text);
    m.ClearUndo();
    m.SetSelection(r.Below(text.size() + 1), r.Below(text.size() + 1));
    const int64_t origAnchor = m.Anchor(), origCaret = m.Caret();

    std::vector<State> steps{{text, origAnchor, origCaret, origAnchor, origCaret}};
    size_t pos = 0;      // index into steps of the current history position
    size_t savedPos = 0; // the loaded text is the save point
    const int nSteps = 12 + static_cast<int>(r.Below(12));
    for (int step = 0; step < nSteps; ++step) {
      const uint32_t what = r.Next() % 10;
      if (what == 0 && pos > 0) {
        m.Undo();
        --pos;
        ASSERT_EQ(m.Text(), steps[pos].text) << "seed " << seed << " undo";
        ASSERT_EQ(m.Anchor(), steps[pos + 1].startAnchor) << "seed " << seed;
        ASSERT_EQ(m.Caret(), steps[pos + 1].startCaret) << "seed " << seed;
      } else if (what == 1 && pos + 1 < steps.size()) {
        m.Redo();
        ++pos;
        ASSERT_EQ(m.Text(), steps[pos].text) << "seed " << seed << " redo";
        ASSERT_EQ(m.Anchor(), steps[pos].endAnchor) << "seed " << seed;
        ASSERT_EQ(m.Caret(), steps[pos].endCaret) << "seed " << seed;
      } else if (what == 2) {
        m.Store()->UndoStack()->TakeSavePoint();
        savedPos = pos;
      } else {
        // One undo step: a single replacement, or a group of several edits.
        const int64_t len = static_cast<int64_t>(text.size());
        m.SetSelection(r.Below(len + 1), r.Below(len + 1));
        State st{text, m.Anchor(), m.Caret(), 0, 0};
        const bool group = what >= 7;
        const int kind = group ? ugTyping + static_cast<int>(r.Below(4)) : 0;
        if (group)
          m.BeginGroup(kind);
        const int ops = group ? 1 + static_cast<int>(r.Below(4)) : 1;
        bool changed = false;
        for (int op = 0; op < ops; ++op) {
          const int64_t l = static_cast<int64_t>(text.size());
          if (op > 0)
            m.SetSelection(r.Below(l + 1), r.Below(l + 1));
          if (group && r.Below(4) == 0) {
            // Block indent's primitive: an insertion logged by request 10.
            const int64_t at = r.Below(l + 1);
            m.RawInsert(at, "  ", 2);
            TLogPosText d{at, "  ", 2};
            m.LogTransaction(ltInsertAt, 0, &d);
            text.insert(static_cast<size_t>(at), "  ");
            changed = true;
          } else {
            const std::string raw = r.RandomText();
            const std::string ins = Normalised(raw);
            const int64_t s = m.SelStart(), e = m.SelEnd();
            if (ins.empty() && s == e) {
              m.ReplaceSel(raw); // nothing to do: no step
              continue;
            }
            m.ReplaceSel(raw);
            text.replace(static_cast<size_t>(s), static_cast<size_t>(e - s), ins);
            changed = true;
            ASSERT_EQ(m.Caret(), s + static_cast<int64_t>(ins.size()));
          }
          ASSERT_EQ(m.TextLength(), static_cast<int64_t>(text.size())) << "seed " << seed;
          ASSERT_EQ(m.Text(), text) << "seed " << seed << " step " << step;
          ASSERT_EQ(m.Store()->CheckInvariants(), "") << "seed " << seed;
        }
        if (group)
          m.EndGroup(kind);
        if (!changed)
          continue;
        st.text = text;
        st.endAnchor = m.Anchor();
        st.endCaret = m.Caret();
        steps.resize(pos + 1);
        steps.push_back(st);
        ++pos;
        if (savedPos >= steps.size() - 1)
          savedPos = SIZE_MAX; // its state is gone from the redo chain
      }
      text = m.Text();
      ASSERT_EQ(m.Modified(), pos != savedPos) << "seed " << seed << " step " << step;
      ASSERT_EQ(m.CanRedo(), pos + 1 < steps.size()) << "seed " << seed;
    }
    // Undo everything: the original text and selection; redo everything back.
    const size_t top = pos;
    while (m.CanUndo())
      m.Undo();
    ASSERT_EQ(m.Text(), steps[0].text) << "seed " << seed;
    if (top > 0) {
      ASSERT_EQ(m.Anchor(), steps[1].startAnchor) << "seed " << seed;
      ASSERT_EQ(m.Caret(), steps[1].startCaret) << "seed " << seed;
    }
    ASSERT_EQ(m.Modified(), savedPos != 0) << "seed " << seed;
    while (m.CanRedo())
      m.Redo();
    ASSERT_EQ(m.Text(), steps.back().text) << "seed " << seed;
    ASSERT_EQ(m.Modified(), steps.size() - 1 != savedPos) << "seed " << seed;
  }
}
