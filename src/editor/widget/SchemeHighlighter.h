// A compiled language scheme seen through the editor's highlighter interface:
// the scheme's tokenizer, and the display style of each token value through
// the scheme's token-to-style map and style table.
#pragma once

#include "Highlighter.h"

class TSyntaxMemoParser;

class TSchemeHighlighter : public THighlighter {
public:
  // editor: the control the parser serves (it registers it on first sight).
  TSchemeHighlighter(TSyntaxMemoParser &parser, void *editor) : parser_(parser), editor_(editor) {}
  void Reset(int tokenValue) override;
  int GetToken(TEdStream &stream, int &length) override;
  TTokenStyle Style(int tokenValue) const override;
  // Text of this token value shows the hyperlink cursor.
  bool IsHotspot(int tokenValue) const;
  TSyntaxMemoParser &Parser() const { return parser_; }

private:
  TSyntaxMemoParser &parser_;
  void *editor_;
};
