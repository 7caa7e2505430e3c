// Tab stops and the column arithmetic of a line node.
#include "TextStore.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

// ---------------------------------------------------------------------------
// Tab stops and columns.

TTabStops::TTabStops() {
  std::fill(std::begin(stops_), std::end(stops_), -1);
}

void TTabStops::SetColumns(const std::string &text) {
  int table[kMaxStops];
  std::fill(std::begin(table), std::end(table), -1);
  int count = 0;
  int previous = 0;
  size_t i = 0;
  const size_t n = text.size();
  while (true) {
    while (i < n && (text[i] == ' ' || text[i] == ';'))
      ++i;
    if (i >= n)
      break;
    if (text[i] < '0' || text[i] > '9')
      throw ESyntaxMemo("Tab stop column value expected");
    int64_t v = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
      v = std::min<int64_t>(v * 10 + (text[i] - '0'), 1000000000);
      ++i;
    }
    if (i < n && text[i] != ' ' && text[i] != ';')
      throw ESyntaxMemo("Tab stop column value expected");
    if (v <= 1)
      throw ESyntaxMemo("Tab column must be > 1");
    if (v <= previous)
      throw ESyntaxMemo("Tab columns must be in order and unique");
    if (count == kMaxStops)
      throw ESyntaxMemo("Too many tab stops - maximum of " + std::to_string(kMaxStops));
    table[count++] = static_cast<int>(v - 1);
    previous = static_cast<int>(v);
  }
  std::copy(std::begin(table), std::end(table), stops_);
}

std::string TTabStops::Columns() const {
  std::string out;
  for (int s : stops_) {
    if (s < 0)
      break;
    if (!out.empty())
      out += ' ';
    out += std::to_string(s + 1);
  }
  return out;
}

void TTabStops::SetDefault(int value) {
  if (value <= 0)
    throw ESyntaxMemo("=Illegal default tab stop value, must be > 0");
  default_ = value;
}

int TTabStops::NextStop(int col) const {
  for (int s : stops_) {
    if (s < 0)
      break;
    if (s > col)
      return s;
  }
  return (col / default_ + 1) * default_;
}

int OffsetToColumn(const TLineNode *node, int offset, const TTabStops &tabs) {
  if (!node)
    return 0;
  const int end = std::min(std::max(offset, 0), node->TextLength());
  if (!(node->Flags & nfHasTab))
    return end;
  int col = 0;
  const char *t = node->Text();
  for (int i = 0; i < end; ++i)
    col = t[i] == '\t' ? tabs.NextStop(col) : col + 1;
  return col;
}

int ColumnToOffset(const TLineNode *node, int column, const TTabStops &tabs) {
  if (!node)
    return 0;
  const int len = node->TextLength();
  if (!(node->Flags & nfHasTab))
    return std::min(std::max(column, 0), len);
  int col = 0;
  const char *t = node->Text();
  for (int i = 0; i < len; ++i) {
    const int next = t[i] == '\t' ? tabs.NextStop(col) : col + 1;
    if (next > column)
      return i;
    col = next;
  }
  return len;
}
