// Lists of positions (marks, breakpoints, tracks) and named bookmarks that
// follow the text through inserts and deletes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A sorted list of positions that follows the text through inserts and deletes.
class TSM_PositionList {
public:
  struct Entry {
    int64_t Position;
    int32_t Mark; // gutter-mark bit number or caller's tag
  };
  virtual ~TSM_PositionList() = default;
  void Add(int64_t pos, int32_t mark);
  bool Remove(int64_t pos, int32_t mark);
  void Clear() { entries_.clear(); }
  const std::vector<Entry> &Entries() const { return entries_; }
  // An insert (count > 0) moves positions at or after pos; a delete (count < 0)
  // drops the positions inside the removed span and moves later ones back.
  void Shift(int64_t pos, int64_t count);
  std::function<void()> OnChange;

private:
  std::vector<Entry> entries_;
};

class TSM_Breakpoints : public TSM_PositionList {};
class TSM_CodeBreak : public TSM_PositionList {};
class TSM_LineTracks : public TSM_PositionList {};

// Named bookmarks in position order.
class TCustomBookmarks {
public:
  struct Entry {
    std::string Name;
    int64_t Position;
  };
  void Add(const std::string &name, int64_t pos); // replaces a bookmark of that name
  bool Remove(const std::string &name);
  bool Find(const std::string &name, int64_t &pos) const;
  void Clear() { list_.clear(); }
  const std::vector<Entry> &Items() const { return list_; }
  void Shift(int64_t pos, int64_t count);
  std::function<void(const std::string &)> OnCustomBookmarkFree;
  std::function<void()> OnChange;

private:
  std::vector<Entry> list_;
};
