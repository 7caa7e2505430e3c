// The text marks of one store: spans of text (search hits, errors) that the
// control draws over the text and that follow every insert and delete. Kept in
// order of their start, so the painter asks for the few marks of a row and an
// edit touches only the marks at or after it, however many there are.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

struct TTextMark {
  int64_t Start = 0;
  int64_t End = 0;  // position after the last marked character
  int32_t Mark = 0; // the owner's number or tag
};

class TTextMarks {
public:
  // Adds a mark behind the marks that start at or before it; returns its index.
  size_t Add(const TTextMark &mark);
  // Appends many marks at once: the fast path of a find-all run.
  void AddMany(const std::vector<TTextMark> &marks);
  void Remove(size_t index);
  // Removes every mark carrying the tag; returns how many went.
  size_t RemoveTagged(int32_t tag);
  void Clear();

  bool Empty() const { return items_.empty(); }
  size_t Count() const { return items_.size(); }
  size_t CountTagged(int32_t tag) const;
  const std::vector<TTextMark> &Items() const { return items_; }
  const TTextMark &operator[](size_t i) const { return items_[i]; }

  // An insert (count > 0) at pos moves marks that start at or after it and
  // stretches marks that span it; a delete (count < 0) of the text from pos
  // shrinks or moves marks, and drops those whose text is gone.
  void Shift(int64_t pos, int64_t count);

  // Calls f(mark) for each non-empty mark that overlaps [start, end), in
  // order of their start.
  template <class F> void ForEachOverlapping(int64_t start, int64_t end, F f) const {
    auto it = FirstThatMayReach(start);
    for (; it != items_.end() && it->Start < end; ++it)
      if (it->End > start && it->End > it->Start)
        f(*it);
  }

private:
  // The first mark whose end may lie after pos (no mark is longer than longest_).
  std::vector<TTextMark>::const_iterator FirstThatMayReach(int64_t pos) const;

  std::vector<TTextMark> items_;
  int64_t longest_ = 0; // at least the length of every mark
};
