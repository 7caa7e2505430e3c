// Fuzz target: the stored scheme reader takes arbitrary bytes, either as a
// whole stored form or as a table stream of version 50 or 51 behind a valid
// header, without crashing; what loads is scanned, stored again, and must
// store to the same bytes after a second load.
#include "Compressor.h"
#include "EditorFeatures.h"
#include "StoredParser.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::string Wrap(const std::string &tables, uint16_t version) {
  TMemoryStream out;
  kxio::WriteU16(out, version);
  kxio::WriteI32(out, static_cast<int32_t>(tables.size()));
  out.Bytes() += TCompressor::Pack(tables, TCompressor::cmBlock);
  return out.Bytes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0)
    return 0;
  const std::string body(reinterpret_cast<const char *>(data) + 1, size - 1);
  std::string stored;
  switch (data[0] % 3) {
  case 0:
    stored = body;
    break;
  case 1:
    stored = Wrap(body, 51);
    break;
  default:
    stored = Wrap(body, 50);
    break;
  }
  TSyntaxMemoParser p;
  try {
    if (!TStoredParser::Load(p, stored))
      return 0;
  } catch (const ESyntaxMemoParserError &) {
    return 0;
  }
  static const std::string text = "10 FOR I = 0 TO 255 ' count\r\nASM\r\n  movlw H'FF' ; "
                                  "x\r\nENDASM\r\n@ nop\r\n\"s\" $FF %101";
  TBufferEdStream src(text.data(), text.size());
  p.Reset(0);
  while (!src.AtEnd()) {
    const int64_t before = src.Position();
    int len = 0;
    p.GetToken(nullptr, src, len);
    if (src.Position() <= before)
      std::abort();
  }
  const std::string once = TStoredParser::Store(p);
  TSyntaxMemoParser q;
  TStoredParser::Load(q, once);
  if (TStoredParser::Store(q) != once)
    std::abort();
  return 0;
}
