// The printed pages of a text: its logical lines cut into rows (wrapped at the
// page's width, or cut there), the rows gathered into pages, and where each
// page starts, found once and kept while nothing they depend on changes.
#pragma once

#include "TextStore.h"

#include <cstdint>
#include <string>
#include <vector>

// One printed row: Length characters of the text from Pos (a line's CR is
// never part of a row).
struct TPrintRow {
  int64_t Pos = 0;
  int Length = 0;
  int64_t Number = 0; // the logical line's number on its first row, 0 on later rows
};

// What the pages of a text depend on besides the text itself.
struct TPrintShape {
  int64_t Start = 0; // the printed part of the text
  int64_t End = 0;
  int Columns = 1;         // characters a row holds
  int Rows = 1;            // rows a page holds
  bool Wrap = false;       // long lines continue on further rows; else they are cut
  int64_t FirstNumber = 1; // logical line number of the line that holds Start
  bool operator==(const TPrintShape &) const = default;
};

class TPrintPagination {
public:
  // Keeps the pages found so far when the store, its text (by the caller's
  // generation count), the tab stops and the shape are the ones of last time;
  // otherwise starts over.
  void Prepare(TTextStore &store, const TTabStops &tabs, uint64_t generation,
               const TPrintShape &shape);
  // Rows of page n (from 1); none past the last page. An empty text has one
  // page without rows.
  std::vector<TPrintRow> PageRows(int page);
  bool HasPage(int page);
  int PageCount();
  // One line per page: "page N:" and its rows as "pos+length" (a leading "#n "
  // on a line's first row), a test oracle.
  std::string Dump();

  // The logical line that starts at pos (or the rest of it when pos lies
  // inside one), never reaching past end: its characters with the CR when it
  // has one, optionally the style bytes (0 where a node has none). Returns the
  // position after the line.
  static int64_t GatherLine(TTextStore &store, int64_t pos, int64_t end, std::string &text,
                            std::vector<uint8_t> *attributes = nullptr);
  // Row lengths of one gathered logical line under a shape.
  static std::vector<int> LineRows(const std::string &line, const TPrintShape &shape,
                                   const TTabStops &tabs);

private:
  struct TStart {
    int64_t Pos = 0; // start of the logical line (or of the printed part)
    int Row = 0;     // first row of that line on the page
    int64_t Number = 1;
  };
  // Lays out the page that starts at s; rows optional. Returns false when it
  // is the last page, else the next page's start.
  bool Layout(const TStart &s, TStart &next, std::vector<TPrintRow> *rows);
  // Finds page starts up to page n (from 1), or to the end.
  void Reach(int page);

  TTextStore *store_ = nullptr;
  TTabStops tabs_;
  uint64_t generation_ = 0;
  TPrintShape shape_;
  bool prepared_ = false;
  std::vector<TStart> starts_; // starts_[k]: start of page k + 1
  bool complete_ = false;      // starts_ holds every page
  std::string line_;           // scratch
};
