// Rich text and HTML renderings of a range of a text store, with the fonts and
// colours of the highlighter's token styles (plain defaults without one).
#pragma once

#include "Highlighter.h"
#include "Streams.h"
#include "TextStore.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

// Buffers output for a stream and counts what the stream accepted. After a
// short write it stops writing (the rest would land at the wrong offset).
// In the background mode a second thread writes one full buffer while the
// caller fills the next, so gathering a large text and the system's copy of
// it overlap; the stream is then used only by that thread until Flush.
class TChunkWriter {
public:
  explicit TChunkWriter(TStream &s, bool background = false);
  ~TChunkWriter();
  TChunkWriter(const TChunkWriter &) = delete;
  TChunkWriter &operator=(const TChunkWriter &) = delete;
  void Put(const char *p, size_t n) {
    if (used_ + n > buf_.size()) {
      Hand();
      if (n > buf_.size()) {
        Wait();
        Write(p, n);
        return;
      }
    }
    std::memcpy(buf_.data() + used_, p, n);
    used_ += n;
  }
  void Put(const std::string &s) { Put(s.data(), s.size()); }
  void Put(char c) {
    if (used_ >= buf_.size())
      Hand();
    buf_[used_++] = c;
  }
  // Writes everything put so far and waits for it; a failure of the stream
  // (an exception) comes out here.
  void Flush() {
    if (used_ > 0)
      Hand();
    Wait();
  }
  // Writing in place: the free part of the buffer is Begin() to End();
  // Advance says how far it was filled, Next hands a full buffer on and
  // makes the whole of the next one free.
  char *Begin() { return buf_.data() + used_; }
  char *End() { return buf_.data() + buf_.size(); }
  void Advance(char *p) { used_ = static_cast<size_t>(p - buf_.data()); }
  void Next() {
    if (used_ > 0)
      Hand();
  }
  int64_t Written() const { return written_; }
  bool Short() const { return short_; }
  static constexpr size_t kSize = 1 << 16;
  // The background mode hands the system megabyte pieces: fewer hand-overs,
  // and the file system takes large writes faster.
  static constexpr size_t kBackgroundSize = 1 << 20;

private:
  struct Background;
  void Hand(); // the full buffer goes to the stream (or its thread)
  void Wait(); // until the thread has written what it holds
  void Write(const char *p, size_t n);
  TStream &stream_;
  std::vector<char> buf_;
  size_t used_ = 0;
  int64_t written_ = 0;
  bool short_ = false;
  bool background_;
  std::unique_ptr<Background> bg_;
};

struct TRichOptions {
  std::string FontName = "Courier New";
  int FontSize = 10; // points
  uint32_t DefTextColor = 0x000000;
  uint32_t DefBackColor = 0xFFFFFF;
  uint8_t DefFontStyle = 0;
  std::string Title;
};

// Writes the characters start..end of the store; line breaks as paragraph
// breaks. With a highlighter the text is tokenized from its first line.
void WriteRichText(TTextStore &store, int64_t start, int64_t end, THighlighter *h,
                   const TRichOptions &o, TChunkWriter &w);
void WriteHtml(TTextStore &store, int64_t start, int64_t end, THighlighter *h,
               const TRichOptions &o, TChunkWriter &w);

// A read-only chunked character source over a store; a node is a chunk.
class TTextStoreEdStream : public TEdStream {
public:
  explicit TTextStoreEdStream(TTextStore &store);

protected:
  void Fetch(int64_t pos) override;

private:
  TTextStore &store_;
};

// The control's text as a read-only byte stream (stored CR line breaks).
class TTextStoreReadStream : public TStream {
public:
  explicit TTextStoreReadStream(TTextStore &store) : store_(store) {}
  int64_t Read(void *buffer, int64_t count) override;
  // EStreamError "Cannot write to a read-only stream".
  int64_t Write(const void *buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return store_.CharCount(); }

private:
  TTextStore &store_;
  int64_t pos_ = 0;
};
