// Fuzz target: the decompressor takes arbitrary bytes under both methods
// without crashing, and compress-then-decompress of the same bytes is the
// identity for both methods.
#include "Compressor.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0)
    return 0;
  const std::string body(reinterpret_cast<const char *>(data) + 1, size - 1);
  // The first byte picks the header: as given, or one of the two magics in front.
  std::string packed;
  switch (data[0] % 3) {
  case 0:
    packed = body;
    break;
  case 1:
    packed = std::string("WRZL", 4) + body;
    break;
  default:
    packed = std::string("!HZL", 4) + body;
    break;
  }
  try {
    const std::string out = TCompressor::Unpack(packed);
    // Success means the stated size was produced exactly.
    if (packed.size() >= 8) {
      const uint32_t stated = static_cast<uint8_t>(packed[4]) |
                              (static_cast<uint8_t>(packed[5]) << 8) |
                              (static_cast<uint8_t>(packed[6]) << 16) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(packed[7])) << 24);
      if (out.size() != stated)
        std::abort();
    }
  } catch (const ECompressorException &) {
  }
  for (uint8_t method : {TCompressor::cmBlock, TCompressor::cmLZH})
    if (TCompressor::Unpack(TCompressor::Pack(body, method)) != body)
      std::abort();
  return 0;
}
