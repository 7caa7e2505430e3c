// The highlighting pass: fills each line node's style bytes (one token value
// per character) from a highlighter. Edited lines are re-scanned at once until
// the scan's results meet lines that need no change; the rest of a freshly
// loaded text is scanned lazily (what is shown first, the remainder in idle time).
#pragma once

#include "EdStream.h"
#include "Highlighter.h"
#include "TextStore.h"

#include <cstdint>
#include <functional>

// Node flag: the style bytes come from a scan that did not start at a known
// state (a jump far ahead of the sequential scan); good enough to paint, to be
// confirmed by the sequential scan.
constexpr uint32_t nfGuessed = 0x100;

// The store's text as the tokenizer's character source: one chunk per node.
class TStoreEdStream : public TEdStream {
public:
  explicit TStoreEdStream(TTextStore &store);
  // Positioned at the start of a node the caller has at hand (nodeStart is
  // its first position): no look-up, which would also move the store's
  // look-up cache away from where the caller works.
  TStoreEdStream(TTextStore &store, TLineNode *node, int64_t nodeStart);
  // Re-reads the store's size; call after every edit before reading again.
  void Refresh();

protected:
  void Fetch(int64_t pos) override;

private:
  TTextStore &store_;
  TLineNode *node_ = nullptr;
  int64_t nodeStart_ = 0;
};

// (token value, first position, position after the token)
using TTokenSeenEvent = std::function<void(int tokenValue, int64_t extentStart, int64_t extentEnd)>;

class TSyntaxHighlighting {
public:
  explicit TSyntaxHighlighting(TTextStore *store = nullptr) : store_(store) {}

  // Another store (or none): the scan starts over from its top.
  void SetStore(TTextStore *store);
  TTextStore *Store() const { return store_; }
  void SetHighlighter(THighlighter *h);
  THighlighter *Highlighter() const { return highlighter_; }

  // Lines before this index are known to be highlighted from the text's start.
  int64_t Frontier() const { return frontier_; }
  bool Complete() const;
  // Forget everything (new text, new scheme): the scan restarts at line 0.
  void Invalidate();

  // After an edit: re-scan from the line before `line` while the results
  // differ from what the lines held. Gives up (leaving the rest to the lazy
  // scan) after `limit` lines. Returns the last line rewritten (-1 none).
  int64_t TextChanged(int64_t line, int64_t limit = 2000);
  // Makes lines first..last paintable: continues the sequential scan when it
  // is close, else scans them from a guessed start state.
  void Ensure(int64_t first, int64_t last);
  // Continues the sequential scan by about `lines` lines; false when complete.
  bool Continue(int64_t lines);
  // Whether a node needs scanning before it can be painted.
  static bool NeedsScan(const TLineNode *n) { return !n->Attributes() || (n->Flags & nfStale); }

  TTokenSeenEvent OnTokenSeen;
  // Lines whose style bytes changed (first, last) during the last call.
  int64_t ChangedFirst = -1, ChangedLast = -1;
  // How far a catch-up scan may run ahead of the frontier before Ensure guesses instead.
  int64_t CatchUpLimit = 4000;

private:
  enum class TMode { Edit, Sequential, Guess };
  // Scans from line `line` (node `node`, starting at `start`); returns the line
  // index after the last line completed.
  int64_t Scan(TLineNode *node, int64_t line, int64_t start, int64_t stopAfter, TMode mode);
  void NoteChanged(int64_t line);

  TTextStore *store_ = nullptr;
  THighlighter *highlighter_ = nullptr;
  int64_t frontier_ = 0;
  int64_t lineCount_ = 0; // line count when the frontier was last set
};
