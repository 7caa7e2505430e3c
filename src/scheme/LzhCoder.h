// The LZH method (LZHUF: an LZSS coder with an adaptive Huffman code), over
// the compressor's buffered streams.
#pragma once

#include "CompressorStreams.h"

namespace kxcompress {

// Codes all of `in` into `out`.
void LzhEncode(Source &in, Sink &out);
// Decodes exactly `size` bytes of `in` into `out` or fails, then leaves `in`
// just past the bytes the code used.
void LzhDecode(TStream &in, Sink &out, int32_t size);

} // namespace kxcompress
