// Building the keyword trie.
#include "Keywords.h"

void TKeywords::Clear() {
  Root.fill(-1);
  Nodes.clear();
  Records.clear();
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
    return kind == kRoot ? Tree.Root[owner] : kind == kChild ? Tree.Nodes[owner].Child : Tree.Nodes[owner].Sibling;
  };
  int kind = kRoot;
  int32_t owner = key(0);
  int32_t node = -1;
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
      linkRef(kind, owner) = static_cast<int32_t>(Tree.Nodes.size() - 1);
    }
    node = linkRef(kind, owner);
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
