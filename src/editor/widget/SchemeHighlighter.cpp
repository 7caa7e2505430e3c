// Adapter from the scheme's parser to the highlighter interface.
#include "SchemeHighlighter.h"

#include "SyntaxMemoParser.h"

void TSchemeHighlighter::Reset(int tokenValue) {
  // The start of the text has no token before it: the scheme's start set.
  parser_.Reset(tokenValue == kTextStart ? -1 : tokenValue & 0xFF);
}

int TSchemeHighlighter::GetToken(TEdStream &stream, int &length) {
  return parser_.GetToken(editor_, stream, length);
}

TTokenStyle TSchemeHighlighter::Style(int tokenValue) const {
  const TSM_Settings &s = parser_.Settings;
  const TSM_StyleRecord &r = s.Styles[s.StyleOf(static_cast<uint8_t>(tokenValue & 0xFF))];
  TTokenStyle t;
  if (!r.InUse)
    return t; // an undefined style shows as the control's defaults
  t.FontStyle = r.FontStyle;
  t.Foreground = static_cast<uint32_t>(r.Foreground);
  t.Background = static_cast<uint32_t>(r.Background);
  t.DefaultForeground = r.ForegroundDefault;
  t.DefaultBackground = r.BackgroundDefault;
  return t;
}

bool TSchemeHighlighter::IsHotspot(int tokenValue) const {
  const TSM_Settings &s = parser_.Settings;
  const TSM_StyleRecord &r = s.Styles[s.StyleOf(static_cast<uint8_t>(tokenValue & 0xFF))];
  return r.InUse && r.Hotspot;
}
