// Position lists and named bookmarks that follow the text through edits.
#include "PositionLists.h"

#include <algorithm>

// ---------------------------------------------------------------------------
// Lists that follow the text.

void TSM_PositionList::Add(int64_t pos, int32_t mark) {
  auto it = std::upper_bound(entries_.begin(), entries_.end(), pos,
                             [](int64_t p, const Entry &e) { return p < e.Position; });
  entries_.insert(it, Entry{pos, mark});
  if (OnChange)
    OnChange();
}

bool TSM_PositionList::Remove(int64_t pos, int32_t mark) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->Position == pos && it->Mark == mark) {
      entries_.erase(it);
      if (OnChange)
        OnChange();
      return true;
    }
  }
  return false;
}

void TSM_PositionList::Shift(int64_t pos, int64_t count) {
  if (entries_.empty() || count == 0)
    return;
  auto first = std::lower_bound(entries_.begin(), entries_.end(), pos,
                                [](const Entry &e, int64_t p) { return e.Position < p; });
  if (first == entries_.end())
    return;
  if (count > 0) {
    for (auto it = first; it != entries_.end(); ++it)
      it->Position += count;
  } else {
    const int64_t end = pos - count;
    // Positions strictly inside the removed span go; later ones move back.
    auto out = first;
    for (auto it = first; it != entries_.end(); ++it) {
      if (it->Position > pos && it->Position < end)
        continue;
      Entry e = *it;
      if (e.Position >= end)
        e.Position += count;
      *out++ = e;
    }
    entries_.erase(out, entries_.end());
  }
  if (OnChange)
    OnChange();
}

void TCustomBookmarks::Add(const std::string &name, int64_t pos) {
  for (auto it = list_.begin(); it != list_.end(); ++it) {
    if (it->Name == name) {
      list_.erase(it);
      break;
    }
  }
  auto it = std::upper_bound(list_.begin(), list_.end(), pos,
                             [](int64_t p, const Entry &e) { return p < e.Position; });
  list_.insert(it, Entry{name, pos});
  if (OnChange)
    OnChange();
}

bool TCustomBookmarks::Remove(const std::string &name) {
  for (auto it = list_.begin(); it != list_.end(); ++it) {
    if (it->Name == name) {
      list_.erase(it);
      if (OnChange)
        OnChange();
      return true;
    }
  }
  return false;
}

bool TCustomBookmarks::Find(const std::string &name, int64_t &pos) const {
  for (const Entry &e : list_) {
    if (e.Name == name) {
      pos = e.Position;
      return true;
    }
  }
  return false;
}

void TCustomBookmarks::Shift(int64_t pos, int64_t count) {
  if (list_.empty() || count == 0)
    return;
  if (count > 0) {
    for (Entry &e : list_)
      if (e.Position >= pos)
        e.Position += count;
  } else {
    const int64_t end = pos - count;
    std::vector<std::string> freed;
    std::vector<Entry> kept;
    kept.reserve(list_.size());
    for (Entry &e : list_) {
      if (e.Position > pos && e.Position < end) {
        freed.push_back(e.Name);
        continue;
      }
      if (e.Position >= end)
        e.Position += count;
      kept.push_back(std::move(e));
    }
    list_ = std::move(kept);
    if (OnCustomBookmarkFree)
      for (const std::string &n : freed)
        OnCustomBookmarkFree(n);
  }
  if (OnChange)
    OnChange();
}
