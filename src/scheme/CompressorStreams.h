// The compressor's stream framing: buffered input and output over any stream,
// the failure texts of stream and file mode, and the file mode's endpoints.
// Shared by the two coders and TCompressor; not part of the public interface.
#pragma once

#include "Compressor.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <sys/stat.h>
#include <typeinfo>
#include <unistd.h>
#include <vector>

namespace kxcompress {

inline constexpr int64_t kSmallInputLimit = 3 * static_cast<int64_t>(kBlockSize) - 1; // 98303

[[noreturn]] inline void Fail(const std::string &message) {
  throw ECompressorException(message);
}

// The names used in failure texts, which differ between stream and file mode.
struct Names {
  bool file = false;
  std::string in, out;

  std::string ReadError(const char *suffix = "") const {
    return (file ? "Compressor : Error reading from input file : " + in
                 : std::string("Compressor : Error reading from input stream !")) +
           suffix;
  }
  std::string WriteError() const {
    return file ? "Compressor : Error writing to output file : " + out
                : std::string("Compressor : Error writing to output stream !");
  }
  std::string BadHeader() const {
    return file ? in + " : Compressor decompression : this file has no valid header !"
                : std::string("Compressor decompression : input stream contains no valid header !");
  }
};

inline constexpr char kSizeMismatchBlock[] =
    "Compressor (decompression Compressor/BK) : Original and compressed sizes do not match !";
inline constexpr char kSizeMismatchLzh[] =
    "Compressor (LZH decompression) : Original and compressed sizes do not match !";
inline constexpr char kNoBuffers[] =
    "Compressor (de)compression : Failed to get memory for I/O buffers !";

// Reads up to n bytes, looping over short reads; -1 when the stream failed.
inline int64_t ReadFully(TStream &s, void *p, int64_t n) {
  try {
    int64_t done = 0;
    while (done < n) {
      const int64_t got = s.Read(static_cast<char *>(p) + done, n - done);
      if (got <= 0)
        break;
      done += got;
    }
    return done;
  } catch (const std::exception &) {
    return -1;
  }
}

inline bool WriteFully(TStream &s, const void *p, int64_t n) {
  try {
    int64_t done = 0;
    while (done < n) {
      const int64_t put = s.Write(static_cast<const char *>(p) + done, n - done);
      if (put <= 0)
        return false;
      done += put;
    }
    return true;
  } catch (const std::exception &) {
    return false;
  }
}

inline std::vector<uint8_t> IoBuffer() {
  try {
    return std::vector<uint8_t>(kBlockBufferSize);
  } catch (const std::bad_alloc &) {
    Fail(kNoBuffers);
  }
}

// Buffered output through one 32 KB buffer; counts what it wrote.
class Sink {
public:
  Sink(TStream &s, const Names &names) : s_(s), names_(names), buf_(IoBuffer()) {}

  void Byte(uint8_t b) {
    if (fill_ == kBlockSize)
      Flush();
    buf_[fill_++] = b;
  }
  void Bytes(const uint8_t *p, size_t n) {
    if (fill_ == 0 && n >= kBlockSize) { // whole blocks skip the buffer
      if (!WriteFully(s_, p, static_cast<int64_t>(n)))
        Fail(names_.WriteError());
      total_ += static_cast<int64_t>(n);
      return;
    }
    while (n > 0) {
      if (fill_ == kBlockSize)
        Flush();
      const size_t k = std::min(n, kBlockSize - fill_);
      std::memcpy(buf_.data() + fill_, p, k);
      fill_ += k;
      p += k;
      n -= k;
    }
  }
  void Flush() {
    if (fill_ > 0 && !WriteFully(s_, buf_.data(), static_cast<int64_t>(fill_)))
      Fail(names_.WriteError());
    total_ += static_cast<int64_t>(fill_);
    fill_ = 0;
  }
  int64_t Total() const { return total_ + static_cast<int64_t>(fill_); }

private:
  TStream &s_;
  const Names &names_;
  std::vector<uint8_t> buf_;
  size_t fill_ = 0;
  int64_t total_ = 0;
};

inline void PutLE32(Sink &out, uint32_t v) {
  const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                        static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
  out.Bytes(b, 4);
}

inline uint32_t GetLE32(const uint8_t *b) {
  return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

// The next n bytes of a stream that keeps its data in memory (one of the two
// memory streams itself, not a subclass that might read differently), or
// nullptr when the stream is of another kind or holds fewer bytes. A caller
// that uses them seeks past them, which is all a read would have done.
inline const uint8_t *MemoryAt(TStream &s, int64_t n) {
  const char *base;
  int64_t size;
  if (typeid(s) == typeid(TMemoryStream)) {
    auto &m = static_cast<TMemoryStream &>(s);
    base = m.Memory();
    size = m.Size();
  } else if (typeid(s) == typeid(TReadOnlyMemoryStream)) {
    auto &m = static_cast<TReadOnlyMemoryStream &>(s);
    base = m.Memory();
    size = m.Size();
  } else {
    return nullptr;
  }
  const int64_t pos = s.Position();
  if (pos < 0 || pos > size || size - pos < n)
    return nullptr;
  return reinterpret_cast<const uint8_t *>(base) + pos;
}

// A memory stream that grows at its end (its position at its size), into
// whose bytes a decoder may write directly; nullptr otherwise.
inline TMemoryStream *GrowingMemory(TStream &s) {
  if (typeid(s) != typeid(TMemoryStream))
    return nullptr;
  auto &m = static_cast<TMemoryStream &>(s);
  return m.Position() == m.Size() ? &m : nullptr;
}

// Buffered input of exactly `size` bytes; running short is a read error.
class Source {
public:
  Source(TStream &s, int64_t size, std::string readError)
      : s_(s), left_(size), readError_(std::move(readError)), buf_(IoBuffer()) {}

  // Next byte, or -1 once `size` bytes have been delivered.
  int Get() {
    if (pos_ == end_ && !Refill())
      return -1;
    return buf_[pos_++];
  }
  // The next block of up to kBlockSize bytes: straight from the stream's
  // memory where it has some, else read into p. Returns where the bytes are
  // and sets n to their count.
  const uint8_t *Block(uint8_t *p, size_t &n) {
    n = static_cast<size_t>(std::min<int64_t>(left_, kBlockSize));
    if (const uint8_t *m = MemoryAt(s_, static_cast<int64_t>(n))) {
      s_.Seek(static_cast<int64_t>(n), TSeekOrigin::soCurrent);
      left_ -= static_cast<int64_t>(n);
      return m;
    }
    Block(p);
    return p;
  }
  // Up to kBlockSize bytes into the caller's buffer; returns the count.
  size_t Block(uint8_t *p) {
    const auto n = static_cast<size_t>(std::min<int64_t>(left_, kBlockSize));
    if (ReadFully(s_, p, static_cast<int64_t>(n)) != static_cast<int64_t>(n))
      Fail(readError_);
    left_ -= static_cast<int64_t>(n);
    return n;
  }

private:
  bool Refill() {
    if (left_ == 0)
      return false;
    const auto n = static_cast<size_t>(Block(buf_.data()));
    pos_ = 0;
    end_ = n;
    return true;
  }

  TStream &s_;
  int64_t left_;
  std::string readError_;
  std::vector<uint8_t> buf_;
  size_t pos_ = 0, end_ = 0;
};

// --- File mode plumbing -----------------------------------------------------

// The output of file mode goes to a temporary file beside the target and
// replaces it only when the whole run succeeded.
class OutputFile {
public:
  explicit OutputFile(const std::string &path) : path_(path) {
    const auto slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    tmp_ = dir + "/." + base + ".XXXXXX";
    const int fd = path.empty() ? -1 : ::mkstemp(tmp_.data());
    if (fd < 0)
      Fail("Compressor (de)compression : Failed to open output file : " + path);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
      ::fchmod(fd, st.st_mode & 07777);
    } else {
      const mode_t mask = ::umask(0);
      ::umask(mask);
      ::fchmod(fd, 0666 & ~mask);
    }
    ::close(fd);
    try {
      stream_ = std::make_unique<TFileStream>(tmp_, TFileMode::fmCreate);
    } catch (const std::exception &) {
      ::unlink(tmp_.c_str());
      Fail("Compressor (de)compression : Failed to open output file : " + path);
    }
  }
  ~OutputFile() {
    if (stream_) { // not committed: drop what was written
      stream_.reset();
      ::unlink(tmp_.c_str());
    }
  }
  OutputFile(const OutputFile &) = delete;
  OutputFile &operator=(const OutputFile &) = delete;

  TStream &Stream() { return *stream_; }
  void Commit(const Names &names) {
    try {
      stream_->Close();
    } catch (const std::exception &) {
      Fail(names.WriteError());
    }
    if (::rename(tmp_.c_str(), path_.c_str()) != 0)
      Fail(names.WriteError());
    stream_.reset();
  }

private:
  std::string path_, tmp_;
  std::unique_ptr<TFileStream> stream_;
};

inline std::unique_ptr<TFileStream> OpenInputFile(const std::string &path,
                                                  const std::string &failure) {
  try {
    return std::make_unique<TFileStream>(path, TFileMode::fmOpenRead);
  } catch (const std::exception &) {
    Fail(failure);
  }
}

// Position of a stream, or -1 when it cannot be told.
inline int64_t PositionOf(TStream &s) {
  try {
    return s.Position();
  } catch (const std::exception &) {
    return -1;
  }
}

inline int64_t SizeOf(TStream &s) {
  try {
    return s.Size();
  } catch (const std::exception &) {
    return -1;
  }
}

// Input and output of one run, in either mode.
struct Endpoints {
  Names names;
  TStream *in = nullptr;
  TStream *out = nullptr;
  std::unique_ptr<TFileStream> inFile;
  std::unique_ptr<OutputFile> outFile;

  explicit Endpoints(const TCompressor &c) {
    names.file = !c.StreamMode;
    names.in = c.InputFileName;
    names.out = c.OutputFileName;
    if (c.StreamMode) {
      in = c.InputStream;
      out = c.OutputStream;
      if (!in || PositionOf(*in) < 0)
        Fail("Compressor (de)compression : Failed to initialize input stream !");
      if (!out || PositionOf(*out) < 0)
        Fail("Compressor (de)compression : Failed to initialize output stream !");
    } else {
      inFile = OpenInputFile(c.InputFileName,
                             "Compressor (de)compression : Failed to open input file : " +
                                 c.InputFileName);
      in = inFile.get();
      outFile = std::make_unique<OutputFile>(c.OutputFileName);
      out = &outFile->Stream();
    }
  }
  void Finish() {
    if (outFile)
      outFile->Commit(names);
  }
};

// Restores a stream's position when a scope ends, however it ends.
class PositionGuard {
public:
  PositionGuard(TStream &s, int64_t pos) : s_(s), pos_(pos) {}
  ~PositionGuard() {
    try {
      s_.SetPosition(pos_);
    } catch (const std::exception &) {
    }
  }
  PositionGuard(const PositionGuard &) = delete;
  PositionGuard &operator=(const PositionGuard &) = delete;

private:
  TStream &s_;
  int64_t pos_;
};

} // namespace kxcompress
