// Rows and pages of printed text.
#include "PrintPagination.h"

#include "WordWrap.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

bool SameTabs(const TTabStops &a, const TTabStops &b) {
  return a.Default() == b.Default() &&
         std::memcmp(a.Table(), b.Table(), sizeof(int) * TTabStops::kMaxStops) == 0;
}

} // namespace

void TPrintPagination::Prepare(TTextStore &store, const TTabStops &tabs, uint64_t generation,
                               const TPrintShape &shape) {
  TPrintShape s = shape;
  s.Start = std::clamp<int64_t>(s.Start, 0, store.CharCount());
  s.End = std::clamp<int64_t>(s.End, s.Start, store.CharCount());
  s.Columns = std::max(1, s.Columns);
  s.Rows = std::max(1, s.Rows);
  if (prepared_ && store_ == &store && generation_ == generation && s == shape_ &&
      SameTabs(tabs, tabs_))
    return;
  store_ = &store;
  tabs_ = tabs;
  generation_ = generation;
  shape_ = s;
  prepared_ = true;
  starts_.clear();
  starts_.push_back(TStart{s.Start, 0, s.FirstNumber});
  complete_ = false;
}

int64_t TPrintPagination::GatherLine(TTextStore &store, int64_t pos, int64_t end, std::string &text,
                                     std::vector<uint8_t> *attributes) {
  text.clear();
  if (attributes)
    attributes->clear();
  end = std::min(end, store.CharCount());
  if (pos >= end)
    return pos;
  const TLinePos p = store.Locate(pos);
  TLineNode *n = p.Node;
  int off = static_cast<int>(pos - p.Start);
  int64_t at = pos;
  while (n && at < end) {
    const int take = static_cast<int>(std::min<int64_t>(n->Length - off, end - at));
    text.append(n->Text() + off, static_cast<size_t>(take));
    if (attributes) {
      if (const uint8_t *a = n->Attributes())
        attributes->insert(attributes->end(), a + off, a + off + take);
      else
        attributes->resize(attributes->size() + static_cast<size_t>(take), 0);
    }
    at += take;
    // A node that does not end with CR is continued by the next one.
    if (off + take < n->Length || n->EndsWithCR())
      break;
    n = n->Next;
    off = 0;
  }
  return at;
}

std::vector<int> TPrintPagination::LineRows(const std::string &line, const TPrintShape &shape,
                                            const TTabStops &tabs) {
  if (!shape.Wrap || line.size() <= 1)
    return {static_cast<int>(std::min<size_t>(line.size(), INT_MAX))};
  return WrapRows(line.data(), static_cast<int>(std::min<size_t>(line.size(), INT_MAX)),
                  shape.Columns, tabs, true);
}

bool TPrintPagination::Layout(const TStart &s, TStart &next, std::vector<TPrintRow> *rows) {
  int left = shape_.Rows;
  int64_t pos = s.Pos;
  int row = s.Row;
  int64_t number = s.Number;
  while (pos < shape_.End && left > 0) {
    const int64_t lineEnd = GatherLine(*store_, pos, shape_.End, line_);
    const std::vector<int> lens = LineRows(line_, shape_, tabs_);
    const bool hasCR = !line_.empty() && line_.back() == kCR;
    int64_t offset = 0;
    for (int r = 0; r < row && r < static_cast<int>(lens.size()); ++r)
      offset += lens[static_cast<size_t>(r)];
    int r = row;
    for (; r < static_cast<int>(lens.size()) && left > 0; ++r, --left) {
      int len = lens[static_cast<size_t>(r)];
      const bool last = r + 1 == static_cast<int>(lens.size());
      if (rows)
        rows->push_back(
            TPrintRow{pos + offset, last && hasCR ? len - 1 : len, r == 0 ? number : 0});
      offset += len;
    }
    if (r < static_cast<int>(lens.size())) {
      next = TStart{pos, r, number}; // the line goes on on the next page
      return true;
    }
    pos = lineEnd;
    row = 0;
    ++number;
  }
  if (pos >= shape_.End)
    return false;
  next = TStart{pos, 0, number};
  return true;
}

void TPrintPagination::Reach(int page) {
  if (!prepared_)
    return;
  while (!complete_ && static_cast<int>(starts_.size()) < page) {
    TStart next;
    if (Layout(starts_.back(), next, nullptr))
      starts_.push_back(next);
    else
      complete_ = true;
  }
}

bool TPrintPagination::HasPage(int page) {
  if (page < 1 || !prepared_)
    return false;
  Reach(page);
  return page <= static_cast<int>(starts_.size());
}

int TPrintPagination::PageCount() {
  Reach(INT_MAX);
  return static_cast<int>(starts_.size());
}

std::vector<TPrintRow> TPrintPagination::PageRows(int page) {
  std::vector<TPrintRow> rows;
  if (!HasPage(page))
    return rows;
  TStart next;
  const bool more = Layout(starts_[static_cast<size_t>(page - 1)], next, &rows);
  if (static_cast<int>(starts_.size()) == page && !complete_) {
    if (more)
      starts_.push_back(next);
    else
      complete_ = true;
  }
  return rows;
}

std::string TPrintPagination::Dump() {
  std::string out;
  const int count = PageCount();
  for (int page = 1; page <= count; ++page) {
    out += "page " + std::to_string(page) + ":";
    for (const TPrintRow &r : PageRows(page)) {
      out += ' ';
      if (r.Number > 0)
        out += '#' + std::to_string(r.Number) + ' ';
      out += std::to_string(r.Pos) + '+' + std::to_string(r.Length);
    }
    out += '\n';
  }
  return out;
}
