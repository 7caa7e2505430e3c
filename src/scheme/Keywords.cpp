// Building the keyword trie.
#include "Keywords.h"

#include <unordered_map>

void TKeywords::Clear() {
  Root.fill(-1);
  Nodes.clear();
  Records.clear();
  DenseChildren.clear();
}

void TSyntaxKeywords::Clear() {
  Tree.Clear();
  Words.clear();
  fastBuilt_ = false;
}

void TSyntaxKeywords::BuildFast() const {
  for (int c = 0; c < 256; ++c)
    fold_[static_cast<size_t>(c)] =
        CaseSensitive ? static_cast<uint8_t>(c) : Lower(static_cast<unsigned char>(c));
  fastRoot_ = Tree.Root;
  fastSets_.clear();
  // Schemes use a handful of distinct sets, but a stored table may hold a
  // different one for every word: looked up by hash, not by a search.
  struct THash {
    size_t operator()(const TStateSet &s) const {
      return std::hash<uint64_t>()(s.W[0] ^ (s.W[1] * 31) ^ (s.W[2] * 1009) ^ (s.W[3] * 65537));
    }
  };
  std::unordered_map<TStateSet, uint32_t, THash> index;
  auto setOf = [&](const TStateSet &s) {
    const auto [it, added] = index.emplace(s, static_cast<uint32_t>(fastSets_.size()));
    if (added)
      fastSets_.push_back(s);
    return it->second;
  };
  fastNodes_.clear();
  fastNodes_.reserve(Tree.Nodes.size());
  for (const TKwNode &n : Tree.Nodes)
    fastNodes_.push_back({n.Ch, setOf(n.States), n.Child, n.Sibling, n.Word, n.Dense});
  fastRecords_.clear();
  fastRecords_.reserve(Tree.Records.size());
  for (const TKwWordRecord &r : Tree.Records)
    fastRecords_.push_back({setOf(r.States), r.Terminator, r.Token, r.Next});
  validKnown_ = false;
  fastBuilt_ = true;
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
  fastBuilt_ = false;
  return true;
}

inline int TSyntaxKeywords::WordEnd(int32_t r, uint64_t valid, const TStateSet &cur,
                                    const TSM_CharGroupManager &groups, unsigned char next) const {
  for (; r >= 0; r = fastRecords_[static_cast<size_t>(r)].Next) {
    const TFastRecord &rec = fastRecords_[static_cast<size_t>(r)];
    if (!SetValid(rec.Set, valid, cur))
      continue;
    const TSM_CharGroup &t = groups.Get(rec.Terminator);
    if (rec.Terminator == 0 || t.Empty() || t.Contains(next))
      return rec.Token; // the first acceptable record of a word end counts
  }
  return -1;
}

inline int32_t TSyntaxKeywords::ChildOf(const TFastNode &node, unsigned char c) const {
  if (node.Dense >= 0)
    return Tree.DenseChildren[static_cast<size_t>(node.Dense)][c];
  int32_t n = node.Child;
  while (n >= 0 && fastNodes_[static_cast<size_t>(n)].Ch < c)
    n = fastNodes_[static_cast<size_t>(n)].Sibling;
  return n;
}

int TSyntaxKeywords::MatchWord(TEdStream &src, const TStateSet &cur,
                               const TSM_CharGroupManager &groups, int &length) const {
  // The walk over the current chunk's bytes, without stepping the source for
  // each of them. A word whose next character would lie in the next chunk
  // (a line node's end) is left to the walk that steps.
  size_t left = 0;
  const unsigned char *p = src.Ahead(left);
  if (left == 0)
    return MatchWordStepping(src, cur, groups, length);
  const uint64_t valid = ValidSets(cur);
  unsigned char c = fold_[p[0]];
  int32_t n = fastRoot_[c];
  int best = -1;
  size_t bestLen = 0, depth = 0;
  while (n >= 0) {
    const TFastNode &node = fastNodes_[static_cast<size_t>(n)];
    if (node.Ch != c || !SetValid(node.Set, valid, cur))
      break;
    if (++depth >= left)
      return MatchWordStepping(src, cur, groups, length);
    const unsigned char raw = p[depth];
    c = fold_[raw];
    if (const int token = WordEnd(node.Word, valid, cur, groups, raw); token >= 0) {
      best = token;
      bestLen = depth;
    }
    n = ChildOf(node, c);
  }
  if (best >= 0) {
    src.SetPosition(src.Position() + static_cast<int64_t>(bestLen));
    length = static_cast<int>(bestLen);
  }
  return best;
}

int TSyntaxKeywords::MatchWordStepping(TEdStream &src, const TStateSet &cur,
                                       const TSM_CharGroupManager &groups, int &length) const {
  unsigned char c = fold_[src.Current()];
  int32_t n = fastRoot_[c];
  const uint64_t valid = ValidSets(cur);
  const int64_t start = src.Position();
  int best = -1;
  int64_t bestEnd = start;
  int depth = 0;
  while (n >= 0) {
    const TFastNode &node = fastNodes_[static_cast<size_t>(n)];
    if (node.Ch != c || !SetValid(node.Set, valid, cur))
      break;
    src.Advance();
    ++depth;
    const bool atEnd = src.AtEnd();
    const unsigned char raw = src.Current();
    c = fold_[raw];
    // At the end of the text the "next character" is the 0 the source yields.
    if (const int token = WordEnd(node.Word, valid, cur, groups, atEnd ? 0 : raw); token >= 0) {
      best = token;
      bestEnd = start + depth;
    }
    if (atEnd)
      break;
    n = ChildOf(node, c);
  }
  src.SetPosition(best >= 0 ? bestEnd : start);
  if (best >= 0)
    length = static_cast<int>(bestEnd - start);
  return best;
}
