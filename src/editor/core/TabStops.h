// Tab stops: explicit columns, then multiples of a default width.
#pragma once

#include <string>

struct TLineNode;

// Tab stops: up to 32 explicit columns, then multiples of the default.
class TTabStops {
public:
  static constexpr int kMaxStops = 32;
  TTabStops();
  // "5;9 13" style text of 1-based columns; ESyntaxMemo on bad input.
  void SetColumns(const std::string &text);
  std::string Columns() const;
  void SetDefault(int value); // ESyntaxMemo when not > 0
  int Default() const { return default_; }
  // 0-based column of the first stop after col.
  int NextStop(int col) const;
  const int *Table() const { return stops_; }

private:
  int stops_[kMaxStops]; // 0-based columns, unused -1
  int default_ = 8;
};

// Column arithmetic on one node: node-local offset <-> visual column.
int OffsetToColumn(const TLineNode *node, int offset, const TTabStops &tabs);
int ColumnToOffset(const TLineNode *node, int column, const TTabStops &tabs);
