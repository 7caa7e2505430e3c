// Fuzz target: any script text either compiles or gives the compiler's
// error; a compiled scheme then scans a sample text to the end, every token
// at least one character long.
#include "SyntaxMemoParser.h"

#include <cstdint>
#include <cstdlib>
#include <string>

#ifndef KX_SOURCE_DIR
#define KX_SOURCE_DIR "."
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string script(reinterpret_cast<const char *>(data), size);
  TSyntaxMemoParser p;
  try {
    // The shipped schemes' folder, so that their include files can be named.
    p.CompileText(script, KX_SOURCE_DIR "/resources/schemes");
  } catch (const ESyntaxMemoParserError &e) {
    if (std::string(e.what()).rfind("** ERROR near line ", 0) != 0)
      std::abort();
    return 0;
  }
  static const std::string sample =
      "' x\rMain: HIGH PORTB.0 \"s\" $1F %10 ASM\r movlw H'0F' ; c\rENDASM\r@ nop\r"
      "if a<>b then goto 10 // x /* y */ 'q' \\n \t\xff";
  TBufferEdStream src(sample.data(), sample.size());
  p.Reset(0);
  int64_t covered = 0;
  while (!src.AtEnd()) {
    int len = 0;
    const int64_t before = src.Position();
    const int v = p.GetToken(nullptr, src, len);
    if (len < 1 || v < 0 || v > 255 || src.Position() != before + len)
      std::abort();
    covered += len;
  }
  if (covered != static_cast<int64_t>(sample.size()))
    std::abort();
  return 0;
}
