// TTextMarks: a start-ordered list of marks with the longest length kept, so
// the marks that can reach a position are found by one binary search.
#include "TextMarks.h"

namespace {

bool StartsBefore(const TTextMark &m, int64_t pos) {
  return m.Start < pos;
}

} // namespace

size_t TTextMarks::Add(const TTextMark &mark) {
  TTextMark m = mark;
  if (m.End < m.Start)
    m.End = m.Start;
  longest_ = std::max(longest_, m.End - m.Start);
  // Marks usually arrive in text order: appending is the common case.
  if (items_.empty() || items_.back().Start <= m.Start) {
    items_.push_back(m);
    return items_.size() - 1;
  }
  auto it = std::upper_bound(items_.begin(), items_.end(), m.Start,
                             [](int64_t pos, const TTextMark &x) { return pos < x.Start; });
  it = items_.insert(it, m);
  return static_cast<size_t>(it - items_.begin());
}

void TTextMarks::AddMany(const std::vector<TTextMark> &marks) {
  const bool inOrder =
      std::is_sorted(marks.begin(), marks.end(),
                     [](const TTextMark &a, const TTextMark &b) { return a.Start < b.Start; }) &&
      (items_.empty() || marks.empty() || items_.back().Start <= marks.front().Start);
  if (!inOrder) {
    for (const TTextMark &m : marks)
      Add(m);
    return;
  }
  items_.reserve(items_.size() + marks.size());
  for (TTextMark m : marks) {
    if (m.End < m.Start)
      m.End = m.Start;
    longest_ = std::max(longest_, m.End - m.Start);
    items_.push_back(m);
  }
}

void TTextMarks::Remove(size_t index) {
  if (index < items_.size())
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
  if (items_.empty())
    longest_ = 0;
}

size_t TTextMarks::RemoveTagged(int32_t tag) {
  const size_t before = items_.size();
  items_.erase(std::remove_if(items_.begin(), items_.end(),
                              [tag](const TTextMark &m) { return m.Mark == tag; }),
               items_.end());
  if (items_.empty())
    longest_ = 0;
  return before - items_.size();
}

void TTextMarks::Clear() {
  items_.clear();
  longest_ = 0;
}

size_t TTextMarks::CountTagged(int32_t tag) const {
  return static_cast<size_t>(std::count_if(items_.begin(), items_.end(),
                                           [tag](const TTextMark &m) { return m.Mark == tag; }));
}

std::vector<TTextMark>::const_iterator TTextMarks::FirstThatMayReach(int64_t pos) const {
  // A mark that starts before pos - longest_ ends before pos.
  return std::lower_bound(items_.begin(), items_.end(), pos - longest_, StartsBefore);
}

void TTextMarks::Shift(int64_t pos, int64_t count) {
  if (items_.empty() || count == 0)
    return;
  auto first = items_.begin() + (FirstThatMayReach(pos) - items_.cbegin());
  if (count > 0) {
    for (auto it = first; it != items_.end(); ++it) {
      if (it->Start >= pos)
        it->Start += count;
      if (it->End > pos)
        it->End += count;
      longest_ = std::max(longest_, it->End - it->Start);
    }
    return;
  }
  const int64_t end = pos - count;
  auto moved = [&](int64_t p) { return p >= end ? p + count : p > pos ? pos : p; };
  auto out = first;
  for (auto it = first; it != items_.end(); ++it) {
    TTextMark m = *it;
    const bool hadText = m.End > m.Start;
    const bool inside = m.Start > pos && m.Start < end;
    m.Start = moved(m.Start);
    m.End = moved(m.End);
    if ((hadText && m.End <= m.Start) || (!hadText && inside))
      continue; // the marked text is gone
    *out++ = m;
  }
  items_.erase(out, items_.end());
  if (items_.empty())
    longest_ = 0;
}
