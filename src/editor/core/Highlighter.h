// What the editor needs of a language scheme: a tokenizer over the text and a
// display style per token value. The scheme is adapted to this in the widget.
#pragma once

#include "EdStream.h"

#include <cstdint>

// Font style bits.
constexpr uint8_t fsBold = 0x1;
constexpr uint8_t fsItalic = 0x2;
constexpr uint8_t fsUnderline = 0x4;
constexpr uint8_t fsStrikeOut = 0x8;

struct TTokenStyle {
  uint8_t FontStyle = 0;
  uint32_t Foreground = 0x000000; // 0x00BBGGRR
  uint32_t Background = 0xFFFFFF;
  bool DefaultForeground = true; // use the control's def_TextColor
  bool DefaultBackground = true; // use the control's def_BackColor
};

class THighlighter {
public:
  virtual ~THighlighter() = default;
  // Sets the start state from a style byte: the value of the last character
  // before the restart point, or kTextStart at the start of the text.
  static constexpr int kTextStart = -1;
  virtual void Reset(int tokenValue) = 0;
  // Reads the next token; returns its value (0..255) and its length (> 0 unless at the end).
  virtual int GetToken(TEdStream &stream, int &length) = 0;
  virtual TTokenStyle Style(int tokenValue) const = 0;
};
