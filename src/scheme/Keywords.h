// The keyword trie. TKeywords is the character tree; TSyntaxKeywords adds the
// case rule and the flat list of words (the stored form lists words, the
// scanner walks the tree).
#pragma once

#include "CharGroup.h"
#include "EdStream.h"
#include "StateSet.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One word end may carry several records, each valid in its own states.
struct TKwWordRecord {
  TStateSet States;
  uint16_t Terminator = 0; // group of characters allowed after the word; empty: anything
  uint8_t Token = 0;
  int32_t Next = -1; // next record of the same word end
};

struct TKwNode {
  uint8_t Ch = 0;       // lower-cased (A..Z only) when the scheme is case-insensitive
  TStateSet States;     // union of the valid states of the words through this node
  int32_t Child = -1;   // first child
  int32_t Sibling = -1; // next sibling, siblings in ascending character order
  int32_t Word = -1;    // first word record when a word ends here
  int32_t Dense = -1;   // child index table of a node with many children, -1 none
  int32_t ChildCount = 0;
};

class TKeywords {
public:
  TKeywords() { Root.fill(-1); }
  void Clear();
  std::array<int32_t, 256> Root; // node of each first character, -1 none
  std::vector<TKwNode> Nodes;
  std::vector<TKwWordRecord> Records;
  // Nodes with more than kDenseAfter children also index them by character,
  // so the scanner need not walk a long sibling chain.
  static constexpr int kDenseAfter = 4;
  std::vector<std::array<int32_t, 256>> DenseChildren;
};

struct TSM_Word {
  std::string Word; // as written in the script
  uint16_t Terminator = 0;
  TStateSet States;
  uint8_t Token = 0;
};

class TSyntaxKeywords {
public:
  explicit TSyntaxKeywords(bool caseSensitive = false) : CaseSensitive(caseSensitive) {}
  void Clear();
  // Rebuilds the tree under the new case rule; false (and the table as it
  // was) when two words then collide.
  bool SetCaseSensitive(bool on);
  bool IsCaseSensitive() const { return CaseSensitive; }
  // False when the word is already present with states that overlap these.
  bool AddWord(const std::string &word, uint16_t terminator, const TStateSet &states,
               uint8_t token);
  size_t WordCount() const { return Words.size(); }
  const std::vector<TSM_Word> &WordList() const { return Words; }

  // Longest acceptable word at the source's position in the states cur. On a
  // match the source is after the word, length holds its length and the token
  // value is returned; otherwise -1 and the source is where it was.
  int Match(TEdStream &src, const TStateSet &cur, const TSM_CharGroupManager &groups,
            int &length) const {
    // Most tokens start with a character no word starts with: that answer
    // is given here, without a call.
    if (!fastBuilt_ || builtFor_ != &groups || builtGroupCount_ != groups.Count())
      BuildFast(groups);
    const unsigned char first = fold_[src.Current()];
    if (fastRoot_[first] < 0 || src.AtEnd())
      return -1;
    return runFirst_[first] ? MatchRun(src, cur, groups, length)
                            : MatchWord(src, cur, groups, length);
  }

  static unsigned char Lower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

  // The state set the user keyword table scans with (copied in by the parser).
  TStateSet CurrentStates;

private:
  // The tree as the scanner walks it: small nodes (the state set an index
  // into a short table of distinct sets) and the case folding as a table,
  // built again on the first match after a change.
  struct TFastNode {
    uint8_t Ch;
    uint32_t Set;
    int32_t Child, Sibling, Word, Dense;
  };
  struct TFastRecord {
    uint32_t Set;
    uint16_t Terminator;
    uint8_t Token;
    int32_t Next;
  };
  // Builds the walk's tables and the whole-run index; the terminators are
  // read from groups, so a different or grown manager builds them again.
  void BuildFast(const TSM_CharGroupManager &groups) const;
  void BuildRuns(const TSM_CharGroupManager &groups) const;
  // Where every word that starts with the character is a whole run of word
  // characters (see BuildRuns): the run is read at once and looked up.
  int MatchRun(TEdStream &src, const TStateSet &cur, const TSM_CharGroupManager &groups,
               int &length) const;
  int MatchWord(TEdStream &src, const TStateSet &cur, const TSM_CharGroupManager &groups,
                int &length) const;
  // The token of the first record from r on that is valid in cur and whose
  // terminator accepts the next character, or -1.
  int WordEnd(int32_t r, uint64_t valid, const TStateSet &cur, const TSM_CharGroupManager &groups,
              unsigned char next) const;
  // The child of node for the folded character c, or -1.
  int32_t ChildOf(const TFastNode &node, unsigned char c) const;
  // The same walk stepping the source character by character, across chunks.
  int MatchWordStepping(TEdStream &src, const TStateSet &cur, const TSM_CharGroupManager &groups,
                        int &length) const;
  // Bit i: set i of fastSets_ meets cur (sets past 64 are tested each time).
  // Two sets are remembered: a scheme with a line-start state switches
  // between it and the state of the rest of the line on every line.
  uint64_t ValidSets(const TStateSet &cur) const {
    // Both are compared before one is chosen: which of the two it is
    // alternates line by line and would mispredict as a branch.
    const bool first = validKnown_[0] & (validFor_[0] == cur);
    const bool second = validKnown_[1] & (validFor_[1] == cur);
    if (first | second)
      return first ? validMask_[0] : validMask_[1];
    validFor_[1] = validFor_[0];
    validMask_[1] = validMask_[0];
    validKnown_[1] = validKnown_[0];
    uint64_t mask = 0;
    for (size_t i = 0; i < fastSets_.size() && i < 64; ++i)
      if (fastSets_[i].Intersects(cur))
        mask |= uint64_t(1) << i;
    validFor_[0] = cur;
    validMask_[0] = mask;
    validKnown_[0] = true;
    return mask;
  }
  bool SetValid(uint32_t set, uint64_t mask, const TStateSet &cur) const {
    return set < 64 ? (mask >> set) & 1 : fastSets_[set].Intersects(cur);
  }

  bool CaseSensitive;
  TKeywords Tree;
  std::vector<TSM_Word> Words;
  mutable bool fastBuilt_ = false;
  mutable std::array<int32_t, 256> fastRoot_{};
  mutable std::array<uint8_t, 256> fold_{};
  mutable std::vector<TFastNode> fastNodes_;
  mutable std::vector<TFastRecord> fastRecords_;
  mutable std::vector<TStateSet> fastSets_;
  // The whole-run index: open addressing over the folded words, a slot
  // with Length 0 is free; the folded bytes are in runPool_.
  struct TRunSlot {
    uint32_t Hash;
    uint32_t Offset;
    uint32_t Length;
    int32_t Record;
  };
  static constexpr uint32_t kRunSeed = 2166136261u, kRunPrime = 16777619u;
  // Words shorter than this (nearly every scheme's) are compared and hashed
  // as two 8-byte words, each padded with zeros in the pool.
  static constexpr size_t kShortRun = 16;
  static uint32_t ShortHash(uint64_t a, uint64_t b) {
    return static_cast<uint32_t>((a * 0x9E3779B97F4A7C15ull ^ b * 0xC2B2AE3D27D4EB4Full) >> 32);
  }
  mutable bool runShort_ = false;
  mutable std::array<int16_t, 256> runKey_{};   // folded word character, -1 for the others
  mutable std::array<uint8_t, 256> runFirst_{}; // by folded first character
  mutable std::vector<TRunSlot> runSlots_;
  mutable std::string runPool_;
  mutable size_t runMaxLen_ = 0;
  mutable const TSM_CharGroupManager *builtFor_ = nullptr;
  mutable size_t builtGroupCount_ = 0;
  mutable TStateSet validFor_[2];
  mutable uint64_t validMask_[2] = {0, 0};
  mutable bool validKnown_[2] = {false, false};
};
