// Exceptions raised by the scheme engine.
#pragma once

#include "KorvexError.h"

// Compile errors ("** ERROR near line %d, Column %d: %s") and stored-form errors.
class ESyntaxMemoParserError : public EKorvexError {
public:
  explicit ESyntaxMemoParserError(const std::string &msg, int line = 0, int column = 0)
      : EKorvexError(msg), Line(line), Column(column) {}
  int Line; // 1-based position of a compile error, 0 otherwise
  int Column;
  std::string Source; // "script", or "-file-: name" inside an included file
};
