// Building the keyword trie.
#include "Keywords.h"

void TKeywords::Clear() {
  Root.fill(-1);
  Nodes.clear();
  Records.clear();
  DenseChildren.clear();
}

void TSyntaxKeywords::Clear() {
  Tree.Clear();
  Words.clear();
}

bool TSyntaxKeywords::SetCaseSensitive(bool on) {
  if (on == CaseSensitive)
    return true;
  TSyntaxKeywords rebuilt(on);
  for (const TSM_Word &w : Words)
    if (!rebuilt.AddWord(w.Word, w.Terminator, w.States, w.Token))
      return false;
  rebuilt.CurrentStates = CurrentStates;
  *this = std::move(rebuilt);
  return true;
}

bool TSyntaxKeywords::AddWord(const std::string &word, uint16_t terminator, const TStateSet &states,
                              uint8_t token) {
  if (word.empty())
    return false;
  auto key = [&](size_t i) {
    const unsigned char c = static_cast<unsigned char>(word[i]);
    return CaseSensitive ? c : Lower(c);
  };
  // Find or insert the path, keeping siblings in ascending order. Links are
  // held as (owner, which) because adding a node may move the node array.
  enum { kRoot, kChild, kSibling };
  auto linkRef = [&](int kind, int32_t owner) -> int32_t & {
    return kind == kRoot    ? Tree.Root[owner]
           : kind == kChild ? Tree.Nodes[owner].Child
                            : Tree.Nodes[owner].Sibling;
  };
  int kind = kRoot;
  int32_t owner = key(0);
  int32_t node = -1;
  int32_t parent = -1;
  for (size_t i = 0; i < word.size(); ++i) {
    const unsigned char c = key(i);
    while (linkRef(kind, owner) >= 0 && Tree.Nodes[linkRef(kind, owner)].Ch < c) {
      owner = linkRef(kind, owner);
      kind = kSibling;
    }
    const int32_t at = linkRef(kind, owner);
    if (at < 0 || Tree.Nodes[at].Ch != c) {
      TKwNode n;
      n.Ch = c;
      n.Sibling = at;
      Tree.Nodes.push_back(n);
      const int32_t added = static_cast<int32_t>(Tree.Nodes.size() - 1);
      linkRef(kind, owner) = added;
      if (parent >= 0) {
        TKwNode &p = Tree.Nodes[parent];
        if (p.Dense >= 0)
          Tree.DenseChildren[p.Dense][c] = added;
        else if (++p.ChildCount > TKeywords::kDenseAfter) {
          std::array<int32_t, 256> dense;
          dense.fill(-1);
          for (int32_t k = p.Child; k >= 0; k = Tree.Nodes[k].Sibling)
            dense[Tree.Nodes[k].Ch] = k;
          Tree.DenseChildren.push_back(dense);
          Tree.Nodes[parent].Dense = static_cast<int32_t>(Tree.DenseChildren.size() - 1);
        }
      }
    }
    node = linkRef(kind, owner);
    parent = node;
    kind = kChild;
    owner = node;
  }
  for (int32_t r = Tree.Nodes[node].Word; r >= 0; r = Tree.Records[r].Next)
    if (Tree.Records[r].States.Intersects(states))
      return false;
  // Only now that the word is known to be new do the nodes learn its states.
  int32_t n = Tree.Root[key(0)];
  for (size_t i = 0; i < word.size(); ++i) {
    while (Tree.Nodes[n].Ch != key(i))
      n = Tree.Nodes[n].Sibling;
    Tree.Nodes[n].States |= states;
    if (i + 1 < word.size())
      n = Tree.Nodes[n].Child;
  }
  TKwWordRecord rec;
  rec.States = states;
  rec.Terminator = terminator;
  rec.Token = token;
  Tree.Records.push_back(rec);
  const int32_t idx = static_cast<int32_t>(Tree.Records.size() - 1);
  int32_t *tail = &Tree.Nodes[node].Word;
  while (*tail >= 0)
    tail = &Tree.Records[*tail].Next;
  *tail = idx;
  Words.push_back({word, terminator, states, token});
  return true;
}
