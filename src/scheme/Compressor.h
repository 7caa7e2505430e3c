// TCompressor: packs and unpacks a byte stream or a whole file with the block
// method (an LZRW1-style coder on independent 32 KB blocks) or the LZH method
// (LZHUF), behind an 8-byte header that names the method and the original size.
#pragma once

#include "KorvexError.h"
#include "Streams.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

KX_DECLARE_ERROR(ECompressorException, EKorvexError);
// Allocation failures of the method tables.
KX_DECLARE_ERROR(ElzhException, EKorvexError);
KX_DECLARE_ERROR(ECompressorBKCompressor, EKorvexError);

namespace kxcompress {

constexpr uint32_t kMagicBlock = 0x4C5A5257; // "WRZL" on disk
constexpr uint32_t kMagicLzh = 0x4C5A4821;   // "!HZL" on disk
constexpr int kHeaderSize = 8;

constexpr size_t kBlockSize = 32768;
// Room a block coder may use beyond its input size before falling back to a
// stored block, and that the decoder's wide copies may overrun.
constexpr size_t kBlockSlack = 16;
constexpr size_t kBlockBufferSize = kBlockSize + kBlockSlack; // 32784
constexpr size_t kMaxStoredBlock = kBlockSize + 1;
constexpr size_t kHashSize = 4096;

// Codes one block of n <= kBlockSize bytes into out (at least kBlockBufferSize
// bytes) using hash (kHashSize entries, reset here). Returns the block length.
// Reads nothing outside in[0, n), so it may code straight from a stream's
// memory; out beyond the returned length holds scratch.
size_t BlockCompress(const uint8_t *in, size_t n, uint8_t *out, uint16_t *hash);
// Decodes one block into out (at least kBlockBufferSize bytes). Returns the
// number of bytes produced (at most kBlockSize), or -1 when the block is malformed:
// an unknown marker, an item cut short, a copy reaching before the block's
// start or output beyond kBlockSize. Reads nothing outside in[0, len); may
// write scratch into out beyond the bytes it produces.
long BlockDecompress(const uint8_t *in, size_t len, uint8_t *out);
// The hash table BlockCompress takes (kHashSize entries).
std::unique_ptr<uint16_t[]> HashTable();

} // namespace kxcompress

class TCompressor {
public:
  enum : uint8_t { cmLZH = 0, cmBlock = 1, cmAdvise = 2 };

  std::string InputFileName;
  std::string OutputFileName;
  uint8_t Method = cmBlock;
  bool StreamMode = false;
  int32_t AdviseThreshold = 40;    // percent
  TStream *InputStream = nullptr;  // not owned
  TStream *OutputStream = nullptr; // not owned

  // Reads all of the input (from its current position in stream mode) and
  // writes header and data. Returns the bytes written, header included.
  int64_t Compress();
  // Reads a header, decodes with the method it names and checks the size.
  // Returns the number of bytes written.
  int64_t Decompress();
  // True when the block method is worth using for the current input. Inputs of
  // at most 98303 bytes set Method to LZH and answer false.
  bool Advise();

  // Whole-buffer conveniences over stream mode.
  static std::string Pack(std::string_view bytes, uint8_t method);
  static std::string Unpack(std::string_view packed);
};
