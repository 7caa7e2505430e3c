// Word wrap: every logical line is cut into rows no wider than the wrap
// column; rows after the first are nodes without a CR that carry the
// continuation mark. Turning wrap off re-cuts lines at the node size limit.
#pragma once

#include "TextStore.h"

#include <cstdint>
#include <vector>

// Row lengths (in characters) of one logical line's text. width <= 0 cuts
// only at the node limit. With wordBreak a row ends after its last blank when
// the next word would not fit. The trailing CR stays with the last row.
std::vector<int> WrapRows(const char *text, int len, int width, const TTabStops &tabs,
                          bool wordBreak);

// Re-cuts the logical lines that touch lines first..last (-1: to the end).
// width <= 0 undoes wrapping. Returns the first and last line index of the
// rows now holding the re-cut lines, or (-1, -1) when nothing changed.
struct TRewrapResult {
  int64_t FirstLine = -1;
  int64_t LastLine = -1;
};
TRewrapResult RewrapStore(TTextStore &store, int width, const TTabStops &tabs, int64_t first = 0,
                          int64_t last = -1);
