// Fuzz target: the decompressor takes arbitrary bytes under both methods
// without crashing, and compress-then-decompress of the same bytes is the
// identity for both methods. Decoding inside memory streams' bytes gives the
// same outcome as decoding through Read and Write.
#include "Compressor.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>

namespace {
// A memory stream the compressor can only use through Read and Write, so that
// it takes its buffered path rather than working in the stream's bytes.
class OpaqueStream : public TMemoryStream {
public:
  using TMemoryStream::TMemoryStream;
  int64_t Read(void *b, int64_t n) override { return TMemoryStream::Read(b, n); }
  int64_t Write(const void *b, int64_t n) override { return TMemoryStream::Write(b, n); }
};

// Decodes through the given stream types: the error text (empty on success)
// and the output left behind.
template <class In, class Out> std::pair<std::string, std::string> Decode(const std::string &p) {
  In in(p);
  Out out;
  TCompressor c;
  c.StreamMode = true;
  c.InputStream = &in;
  c.OutputStream = &out;
  try {
    c.Decompress();
  } catch (const ECompressorException &e) {
    return {e.what(), out.Bytes()};
  }
  return {"", out.Bytes()};
}
} // namespace

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
  // Working in memory streams' bytes directly must not change any outcome.
  if (Decode<TMemoryStream, TMemoryStream>(packed) != Decode<OpaqueStream, OpaqueStream>(packed))
    std::abort();
  for (uint8_t method : {TCompressor::cmBlock, TCompressor::cmLZH})
    if (TCompressor::Unpack(TCompressor::Pack(body, method)) != body)
      std::abort();
  return 0;
}
