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
  inline int Match(TEdStream &src, const TStateSet &cur, const TSM_CharGroupManager &groups,
                   int &length) const;

  static unsigned char Lower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

  // The state set the user keyword table scans with (copied in by the parser).
  TStateSet CurrentStates;

private:
  bool CaseSensitive;
  TKeywords Tree;
  std::vector<TSM_Word> Words;
};

inline int TSyntaxKeywords::Match(TEdStream &src, const TStateSet &cur,
                                  const TSM_CharGroupManager &groups, int &length) const {
  unsigned char c = src.Current();
  if (!CaseSensitive)
    c = Lower(c);
  int32_t n = Tree.Root[c];
  if (n < 0 || src.AtEnd())
    return -1;
  const int64_t start = src.Position();
  int best = -1;
  int64_t bestEnd = start;
  int depth = 0;
  while (n >= 0) {
    const TKwNode &node = Tree.Nodes[n];
    if (node.Ch != c || !node.States.Intersects(cur))
      break;
    src.Advance();
    ++depth;
    const bool atEnd = src.AtEnd();
    const unsigned char raw = src.Current();
    c = CaseSensitive ? raw : Lower(raw);
    for (int32_t r = node.Word; r >= 0; r = Tree.Records[r].Next) {
      const TKwWordRecord &rec = Tree.Records[r];
      if (!rec.States.Intersects(cur))
        continue;
      const TSM_CharGroup &t = groups.Get(rec.Terminator);
      // At the end of the text the "next character" is the 0 the source yields.
      if (rec.Terminator == 0 || t.Empty() || t.Contains(atEnd ? 0 : raw)) {
        best = rec.Token;
        bestEnd = start + depth;
        break; // the first acceptable record of a word end counts
      }
    }
    if (atEnd)
      break;
    if (node.Dense >= 0)
      n = Tree.DenseChildren[node.Dense][c];
    else {
      n = node.Child;
      while (n >= 0 && Tree.Nodes[n].Ch < c)
        n = Tree.Nodes[n].Sibling;
    }
  }
  src.SetPosition(best >= 0 ? bestEnd : start);
  if (best >= 0)
    length = static_cast<int>(bestEnd - start);
  return best;
}
