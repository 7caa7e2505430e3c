// The character source the tokenizer reads: the editor's text as one stream
// across lines. It is chunked so that the scanner's hot loop is an inline
// pointer step; only crossing a chunk boundary calls the owner's Fetch.
#pragma once

#include <cstddef>
#include <cstdint>

class TEdStream {
public:
  virtual ~TEdStream() = default;

  // The byte at the current position; 0 at the end of the text.
  unsigned char Current() const { return off_ < len_ ? chunk_[off_] : 0; }
  int64_t Position() const { return start_ + static_cast<int64_t>(off_); }
  bool AtEnd() const { return Position() >= size_; }
  int64_t Size() const { return size_; }

  // The bytes from the current position to the end of its chunk, their count
  // in n (0 at a chunk's end): a scanner may look ahead in them without
  // stepping, then move with SetPosition.
  const unsigned char *Ahead(size_t &n) const {
    n = off_ < len_ ? len_ - off_ : 0;
    return chunk_ + off_;
  }

  void Advance() {
    if (++off_ >= len_ && Position() < size_)
      Fetch(Position());
  }
  // Advances over the characters `keep` accepts, chunk by chunk; stops at the
  // first one it refuses (left current) or at the end of the text.
  template <class F> void AdvanceWhile(F keep) {
    for (;;) {
      while (off_ < len_ && keep(chunk_[off_]))
        ++off_;
      if (off_ < len_ || Position() >= size_)
        return;
      Fetch(Position());
      if (len_ == 0)
        return; // a source that has nothing more to give
    }
  }
  void SetPosition(int64_t pos) {
    if (pos < 0)
      pos = 0;
    if (pos > size_)
      pos = size_;
    if (pos >= start_ && pos < start_ + static_cast<int64_t>(len_))
      off_ = static_cast<size_t>(pos - start_);
    else
      Fetch(pos);
  }

protected:
  // Must make pos the current position: set the chunk that holds it through
  // SetChunk (a chunk of length 0 at the end of the text).
  virtual void Fetch(int64_t pos) = 0;
  void SetChunk(const unsigned char *data, size_t len, int64_t chunkStart, int64_t pos) {
    chunk_ = data;
    len_ = len;
    start_ = chunkStart;
    off_ = static_cast<size_t>(pos - chunkStart);
  }
  void SetSize(int64_t size) { size_ = size; }

private:
  const unsigned char *chunk_ = nullptr;
  size_t len_ = 0;
  size_t off_ = 0;
  int64_t start_ = 0;
  int64_t size_ = 0;
};

// A TEdStream over one contiguous buffer: tools, tests and benchmarks.
class TBufferEdStream : public TEdStream {
public:
  TBufferEdStream(const void *data, size_t size) : data_(static_cast<const unsigned char *>(data)) {
    SetSize(static_cast<int64_t>(size));
    SetChunk(data_, size, 0, 0);
  }

protected:
  void Fetch(int64_t pos) override { SetChunk(data_, static_cast<size_t>(Size()), 0, pos); }

private:
  const unsigned char *data_;
};
