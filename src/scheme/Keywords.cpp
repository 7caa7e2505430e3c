// Building the keyword trie.
#include "Keywords.h"

#include <algorithm>
#include <cstring>
#include <map>
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

void TSyntaxKeywords::BuildFast(const TSM_CharGroupManager &groups) const {
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
  validKnown_[0] = validKnown_[1] = false;
  BuildRuns(groups);
  builtFor_ = &groups;
  builtGroupCount_ = groups.Count();
  fastBuilt_ = true;
}

// A scheme's words are mostly names that end where a name ends: the
// terminator refuses every character a word is made of. For such a word the
// longest match at a position can only be the whole run of word characters
// there (any shorter word is followed by a word character, which its
// terminator refuses), so the run is read with a table and looked up once
// instead of walking the tree character by character. The word characters
// are those the most used terminator refuses; a first character takes this
// path only when every word starting with it is such a word, and for each of
// its characters every byte that folds to it is a word character too.
void TSyntaxKeywords::BuildRuns(const TSM_CharGroupManager &groups) const {
  runKey_.fill(-1);
  runFirst_.fill(0);
  runSlots_.clear();
  runPool_.clear();
  runMaxLen_ = 0;
  runShort_ = false;
  std::map<uint16_t, size_t> uses;
  for (const TSM_Word &w : Words)
    if (w.Terminator != 0 && !groups.Get(w.Terminator).Empty())
      ++uses[w.Terminator];
  if (uses.empty())
    return;
  const uint16_t common =
      std::max_element(uses.begin(), uses.end(), [](const auto &a, const auto &b) {
        return a.second < b.second;
      })->first;
  const TSM_CharGroup &ends = groups.Get(common);
  for (unsigned b = 0; b < 256; ++b)
    if (!ends.Contains(b))
      runKey_[b] = fold_[b];
  std::array<bool, 256> covered; // every byte folding to this one is a word character
  covered.fill(true);
  for (unsigned b = 0; b < 256; ++b)
    if (runKey_[b] < 0)
      covered[fold_[b]] = false;
  auto key = [&](const std::string &word) {
    std::string k(word.size(), '\0');
    for (size_t i = 0; i < word.size(); ++i)
      k[i] = static_cast<char>(fold_[static_cast<unsigned char>(word[i])]);
    return k;
  };
  auto wholeRun = [&](const TSM_Word &w) {
    const TSM_CharGroup &t = groups.Get(w.Terminator);
    if (w.Terminator == 0 || t.Empty())
      return false;
    for (unsigned b = 0; b < 256; ++b)
      if (t.Contains(b) && runKey_[b] >= 0)
        return false;
    for (unsigned char c : key(w.Word))
      if (runKey_[c] < 0 || !covered[c])
        return false;
    return true;
  };
  std::array<bool, 256> mixed{}; // a word starting here is not a whole run
  for (const TSM_Word &w : Words)
    if (!w.Word.empty() && !wholeRun(w))
      mixed[fold_[static_cast<unsigned char>(w.Word[0])]] = true;
  size_t count = 0;
  for (unsigned c = 0; c < 256; ++c)
    if (fastRoot_[c] >= 0 && !mixed[c]) {
      runFirst_[c] = 1;
      ++count;
    }
  if (count == 0)
    return;
  size_t longest = 0;
  for (const TSM_Word &w : Words)
    if (runFirst_[fold_[static_cast<unsigned char>(w.Word[0])]])
      longest = std::max(longest, w.Word.size());
  runShort_ = longest < kShortRun;
  size_t size = 16;
  while (size < 2 * Words.size())
    size *= 2;
  runSlots_.assign(size, TRunSlot{0, 0, 0, -1});
  for (const TSM_Word &w : Words) {
    std::string k = key(w.Word);
    const size_t len = k.size();
    if (!runFirst_[static_cast<unsigned char>(k[0])])
      continue;
    uint32_t h = kRunSeed;
    if (runShort_) {
      k.resize(kShortRun, '\0');
      uint64_t a, b;
      std::memcpy(&a, k.data(), 8);
      std::memcpy(&b, k.data() + 8, 8);
      h = ShortHash(a, b);
    } else
      for (unsigned char ch : k)
        h = (h ^ ch) * kRunPrime;
    size_t i = h & (size - 1);
    bool present = false;
    for (; runSlots_[i].Length != 0; i = (i + 1) & (size - 1))
      present |= runSlots_[i].Hash == h && runSlots_[i].Length == len &&
                 runPool_.compare(runSlots_[i].Offset, len, k, 0, len) == 0;
    if (present)
      continue; // the same word for other states: one end node holds both records
    int32_t n = fastRoot_[static_cast<unsigned char>(k[0])];
    for (size_t d = 1; d < len; ++d)
      n = ChildOf(fastNodes_[static_cast<size_t>(n)], static_cast<unsigned char>(k[d]));
    runSlots_[i] = {h, static_cast<uint32_t>(runPool_.size()), static_cast<uint32_t>(len),
                    fastNodes_[static_cast<size_t>(n)].Word};
    runPool_ += k;
    runMaxLen_ = std::max(runMaxLen_, len);
  }
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

int TSyntaxKeywords::MatchRun(TEdStream &src, const TStateSet &cur,
                              const TSM_CharGroupManager &groups, int &length) const {
  size_t left = 0;
  const unsigned char *p = src.Ahead(left);
  // In states where no word with this first character is valid (a line
  // start before its first word), the run need not be read.
  const uint64_t valid = ValidSets(cur);
  if (left == 0)
    return MatchWord(src, cur, groups, length);
  if (!SetValid(fastNodes_[static_cast<size_t>(fastRoot_[fold_[p[0]]])].Set, valid, cur))
    return -1;
  // No word is longer than runMaxLen_: a longer run is no word, and need not
  // be read further.
  const size_t limit = std::min(left, runMaxLen_ + 1);
  size_t n = 0;
  uint32_t h = kRunSeed;
  alignas(8) unsigned char folded[kShortRun] = {};
  if (runShort_) { // limit <= kShortRun
    for (; n < limit; ++n) {
      const int k = runKey_[p[n]];
      if (k < 0)
        break;
      folded[n] = static_cast<unsigned char>(k);
    }
  } else
    for (; n < limit; ++n) {
      const int k = runKey_[p[n]];
      if (k < 0)
        break;
      h = (h ^ static_cast<uint32_t>(k)) * kRunPrime;
    }
  // The run may go on in the next chunk, or the text end after it: the walk
  // that steps the source decides.
  if (n == left)
    return MatchWord(src, cur, groups, length);
  if (n > runMaxLen_)
    return -1;
  uint64_t a = 0, b = 0;
  if (runShort_) {
    std::memcpy(&a, folded, 8);
    std::memcpy(&b, folded + 8, 8);
    h = ShortHash(a, b);
  }
  const size_t mask = runSlots_.size() - 1;
  for (size_t i = h & mask; runSlots_[i].Length != 0; i = (i + 1) & mask) {
    const TRunSlot &s = runSlots_[i];
    if (s.Hash != h || s.Length != n)
      continue;
    const char *w = runPool_.data() + s.Offset;
    if (runShort_) {
      uint64_t wa, wb;
      std::memcpy(&wa, w, 8);
      std::memcpy(&wb, w + 8, 8);
      if (((wa ^ a) | (wb ^ b)) != 0)
        continue;
    } else {
      size_t k = 0;
      while (k < n && static_cast<char>(runKey_[p[k]]) == w[k])
        ++k;
      if (k < n)
        continue;
    }
    const int token = WordEnd(s.Record, valid, cur, groups, p[n]);
    if (token >= 0) {
      src.SetPosition(src.Position() + static_cast<int64_t>(n));
      length = static_cast<int>(n);
    }
    return token;
  }
  return -1;
}
