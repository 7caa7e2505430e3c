// TCompressor: the header, the choice of method, and the runs in stream and
// file mode over the two coders.
#include "Compressor.h"
#include "CompressorStreams.h"
#include "LzhCoder.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

using namespace kxcompress;

bool TCompressor::Advise() {
  std::unique_ptr<TFileStream> file;
  TStream *in = InputStream;
  if (!StreamMode) {
    file =
        OpenInputFile(InputFileName, "Compressor advise : can open input file : " + InputFileName);
    in = file.get();
  }
  const int64_t start = in ? PositionOf(*in) : -1;
  if (start < 0)
    Fail("Compressor edvise : can not initialize the input stream!");
  const int64_t total = SizeOf(*in);
  if (total < start)
    Fail(StreamMode ? std::string("Compressor advise : can not get size of inputstream !")
                    : "Compressor advise : can not get the size of : " + InputFileName);
  const int64_t s = total - start;
  if (s <= kSmallInputLimit) {
    Method = cmLZH;
    return false;
  }
  std::vector<uint8_t> sample, coded;
  try {
    sample.resize(kBlockBufferSize);
    coded.resize(kBlockBufferSize);
  } catch (const std::bad_alloc &) {
    Fail("Compressor advise : Error getting I/O buffers");
  }
  const auto hash = HashTable();
  PositionGuard restore(*in, start);
  const int64_t block = static_cast<int64_t>(kBlockSize);
  int64_t codedTotal = 0;
  for (const int64_t at : {s / 3, 2 * s / 3}) {
    const int64_t offset = at / block * block;
    bool ok = true;
    try {
      in->SetPosition(start + offset);
    } catch (const std::exception &) {
      ok = false;
    }
    if (!ok || ReadFully(*in, sample.data(), block) != block)
      Fail(StreamMode ? std::string("Compressor advise : input stream read error !")
                      : "Compressor advise : read error on input file : " + InputFileName);
    codedTotal +=
        static_cast<int64_t>(BlockCompress(sample.data(), kBlockSize, coded.data(), hash.get()));
  }
  return codedTotal * 100 < static_cast<int64_t>(AdviseThreshold) * 2 * block;
}

int64_t TCompressor::Compress() {
  uint8_t method = Method;
  if (method == cmAdvise) {
    // Advise marks small inputs as LZH in Method; a compressor set to choose
    // keeps choosing for its next input.
    method = Advise() ? cmBlock : cmLZH;
    Method = cmAdvise;
  }
  if (method != cmLZH)
    method = cmBlock;

  Endpoints io(*this);
  const int64_t start = PositionOf(*io.in);
  const int64_t total = start < 0 ? -1 : SizeOf(*io.in);
  if (total < start || total - start > INT32_MAX)
    Fail(io.names.file
             ? "Compressor compression : Failed to obtain the size of : " + InputFileName
             : std::string(
                   "Compressor compression : Failed to obtain the size of the input stream !"));
  const int64_t size = total - start;

  Sink out(*io.out, io.names);
  PutLE32(out, method == cmBlock ? kMagicBlock : kMagicLzh);
  PutLE32(out, static_cast<uint32_t>(size));
  if (method == cmBlock) {
    Source in(*io.in, size, io.names.ReadError(" (Compressor/BK)"));
    std::vector<uint8_t> raw, coded;
    try {
      raw.resize(kBlockBufferSize);
      coded.resize(kBlockBufferSize);
    } catch (const std::bad_alloc &) {
      Fail(kNoBuffers);
    }
    const auto hash = HashTable();
    size_t n;
    do {
      const uint8_t *block = in.Block(raw.data(), n);
      const size_t len = BlockCompress(block, n, coded.data(), hash.get());
      const uint8_t lenBytes[2] = {static_cast<uint8_t>(len), static_cast<uint8_t>(len >> 8)};
      out.Bytes(lenBytes, 2);
      out.Bytes(coded.data(), len);
    } while (n == kBlockSize);
  } else {
    Source in(*io.in, size, io.names.ReadError(" (LZH)"));
    LzhEncode(in, out);
  }
  out.Flush();
  io.Finish();
  return out.Total();
}

int64_t TCompressor::Decompress() {
  Endpoints io(*this);
  uint8_t header[4];
  if (ReadFully(*io.in, header, 4) != 4)
    Fail(io.names.BadHeader());
  const uint32_t magic = GetLE32(header);
  if (magic != kMagicBlock && magic != kMagicLzh)
    Fail(io.names.BadHeader());
  if (ReadFully(*io.in, header, 4) != 4)
    Fail(io.names.ReadError());
  const auto size = static_cast<int32_t>(GetLE32(header));

  Sink out(*io.out, io.names);
  if (magic == kMagicBlock) {
    if (size < 0)
      Fail(kSizeMismatchBlock);
    std::vector<uint8_t> coded, raw;
    try {
      coded.resize(kMaxStoredBlock);
      raw.resize(kBlockBufferSize);
    } catch (const std::bad_alloc &) {
      Fail(kNoBuffers);
    }
    // Blocks are decoded from the input's memory and into the output's where
    // the streams keep their bytes there, sparing two copies of every byte.
    TMemoryStream *direct = GrowingMemory(*io.out);
    int64_t done = 0;
    long n;
    do {
      uint8_t lenBytes[2];
      if (ReadFully(*io.in, lenBytes, 2) != 2)
        Fail(kSizeMismatchBlock);
      const size_t len = lenBytes[0] | (lenBytes[1] << 8);
      if (len > kMaxStoredBlock)
        Fail(kSizeMismatchBlock);
      const uint8_t *block = MemoryAt(*io.in, static_cast<int64_t>(len));
      if (block) {
        io.in->Seek(static_cast<int64_t>(len), TSeekOrigin::soCurrent);
      } else {
        if (ReadFully(*io.in, coded.data(), static_cast<int64_t>(len)) != static_cast<int64_t>(len))
          Fail(kSizeMismatchBlock);
        block = coded.data();
      }
      if (direct) {
        // Room for the block and the decoder's slack past the end; what the
        // block did not fill is cut off again, and a refused block leaves
        // nothing behind, as with a buffered write.
        std::string &bytes = direct->Bytes();
        const size_t at = bytes.size();
        try {
          bytes.resize(at + kBlockBufferSize);
        } catch (const std::exception &) { // as a failed write
          Fail(io.names.WriteError());
        }
        n = BlockDecompress(block, len, reinterpret_cast<uint8_t *>(bytes.data()) + at);
        const bool ok = n >= 0 && done + n <= size;
        bytes.resize(at + (ok ? static_cast<size_t>(n) : 0));
        direct->Seek(0, TSeekOrigin::soEnd);
        if (!ok)
          Fail(kSizeMismatchBlock);
      } else {
        n = BlockDecompress(block, len, raw.data());
        if (n < 0 || done + n > size)
          Fail(kSizeMismatchBlock);
        out.Bytes(raw.data(), static_cast<size_t>(n));
      }
      done += n;
    } while (n == static_cast<long>(kBlockSize));
    if (done != size) {
      if (direct) { // a buffered write would not have passed on the short last block
        direct->SetSize(direct->Size() - n);
        direct->Seek(0, TSeekOrigin::soEnd);
      }
      Fail(kSizeMismatchBlock);
    }
    if (direct) {
      out.Flush();
      io.Finish();
      return out.Total() + done;
    }
  } else {
    if (size < 0)
      Fail(kSizeMismatchLzh);
    LzhDecode(*io.in, out, size);
  }
  out.Flush();
  io.Finish();
  return out.Total();
}

std::string TCompressor::Pack(std::string_view bytes, uint8_t method) {
  TReadOnlyMemoryStream in(bytes.data(), static_cast<int64_t>(bytes.size()));
  TMemoryStream out;
  TCompressor c;
  c.StreamMode = true;
  c.Method = method;
  c.InputStream = &in;
  c.OutputStream = &out;
  c.Compress();
  return std::move(out.Bytes());
}

std::string TCompressor::Unpack(std::string_view packed) {
  TReadOnlyMemoryStream in(packed.data(), static_cast<int64_t>(packed.size()));
  TMemoryStream out;
  // Room for the stated size, as far as the input could justify it.
  if (packed.size() >= kHeaderSize) {
    const uint32_t stated = GetLE32(reinterpret_cast<const uint8_t *>(packed.data()) + 4);
    out.Bytes().reserve(std::min<size_t>(stated & 0x7FFFFFFF, packed.size() * 1024 + 65536) +
                        kBlockBufferSize);
  }
  TCompressor c;
  c.StreamMode = true;
  c.InputStream = &in;
  c.OutputStream = &out;
  c.Decompress();
  return std::move(out.Bytes());
}
