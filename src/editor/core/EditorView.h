// The few things the editor core asks of whatever displays it. The widget
// implements this; without one the core answers as an 80 by 40 character view
// of 8 by 16 pixel cells with no gutter.
#pragma once

#include <cstdint>

class TEditorView {
public:
  virtual ~TEditorView() = default;
  virtual int VisibleRows() const { return 40; }
  virtual int VisibleColumns() const { return 80; }
  virtual int CharWidth() const { return 8; }
  virtual int LineHeight() const { return 16; }
  // Client x of the first text column (gutter plus margin).
  virtual int TextLeft() const { return 0; }
  // Repaint requests; first/last are line indexes (last -1: to the end).
  virtual void Repaint() {}
  virtual void RepaintLines(int64_t first, int64_t last) {}
  // The top line or left column changed.
  virtual void Scrolled() {}
  // The caret moved (place the caret, update scroll bars).
  virtual void CaretMoved() {}
  virtual void Beep() {}
};
