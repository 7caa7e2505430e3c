// Rich text and HTML output of styled text, and the store's character source.
#include "RichExport.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "Streams.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

struct TChunkWriter::Background {
  std::thread thread;
  std::mutex m;
  std::condition_variable cv;
  std::vector<char> spare; // the buffer being written
  size_t length = 0;
  bool pending = false, stop = false;
  std::exception_ptr error;
};

TChunkWriter::TChunkWriter(TStream &s, bool background)
    : stream_(s), buf_(background ? kBackgroundSize : kSize), background_(background) {}

TChunkWriter::~TChunkWriter() {
  if (!bg_ || !bg_->thread.joinable())
    return;
  {
    std::lock_guard<std::mutex> lk(bg_->m);
    bg_->stop = true;
  }
  bg_->cv.notify_all();
  bg_->thread.join();
}

void TChunkWriter::Hand() {
  if (!background_) {
    Write(buf_.data(), used_);
    used_ = 0;
    return;
  }
  if (!bg_) {
    bg_ = std::make_unique<Background>();
    bg_->spare.resize(buf_.size());
    bg_->thread = std::thread([b = bg_.get(), this] {
      std::unique_lock<std::mutex> lk(b->m);
      for (;;) {
        b->cv.wait(lk, [b] { return b->pending || b->stop; });
        if (!b->pending)
          return;
        lk.unlock();
        try {
          Write(b->spare.data(), b->length);
        } catch (...) {
          lk.lock();
          b->error = std::current_exception();
          lk.unlock();
        }
        lk.lock();
        b->pending = false;
        b->cv.notify_all();
      }
    });
  }
  Wait();
  {
    std::lock_guard<std::mutex> lk(bg_->m);
    buf_.swap(bg_->spare);
    bg_->length = used_;
    bg_->pending = true;
  }
  bg_->cv.notify_all();
  used_ = 0;
}

void TChunkWriter::Wait() {
  if (!bg_)
    return;
  std::unique_lock<std::mutex> lk(bg_->m);
  bg_->cv.wait(lk, [this] { return !bg_->pending; });
  if (bg_->error) {
    std::exception_ptr e = bg_->error;
    bg_->error = nullptr;
    std::rethrow_exception(e);
  }
}

void TChunkWriter::Write(const char *p, size_t n) {
  if (n == 0 || short_)
    return;
  const int64_t got = stream_.Write(p, static_cast<int64_t>(n));
  if (got > 0)
    written_ += got;
  if (got != static_cast<int64_t>(n))
    short_ = true;
}

TTextStoreEdStream::TTextStoreEdStream(TTextStore &store) : store_(store) {
  SetSize(store.CharCount());
  Fetch(0);
}

void TTextStoreEdStream::Fetch(int64_t pos) {
  if (pos >= Size()) {
    SetChunk(nullptr, 0, Size(), Size());
    return;
  }
  TLinePos p = store_.Locate(pos);
  if (!p.Node) {
    SetChunk(nullptr, 0, Size(), Size());
    return;
  }
  SetChunk(reinterpret_cast<const unsigned char *>(p.Node->Text()), p.Node->Length, p.Start, pos);
}

int64_t TTextStoreReadStream::Read(void *buffer, int64_t count) {
  if (count <= 0 || pos_ >= store_.CharCount())
    return 0;
  const int64_t end = std::min(store_.CharCount(), pos_ + count);
  char *out = static_cast<char *>(buffer);
  store_.ForEachChunk(pos_, end, [&](const char *p, size_t n) {
    std::memcpy(out, p, n);
    out += n;
  });
  const int64_t n = end - pos_;
  pos_ = end;
  return n;
}

int64_t TTextStoreReadStream::Write(const void *, int64_t) {
  throw EStreamError("Cannot write to a read-only stream");
}

int64_t TTextStoreReadStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int64_t base = origin == TSeekOrigin::soBeginning ? 0
                       : origin == TSeekOrigin::soCurrent ? pos_
                                                          : store_.CharCount();
  pos_ = std::clamp<int64_t>(base + offset, 0, store_.CharCount());
  return pos_;
}

namespace {

// Calls run(text, len, tokenValue) for every styled run of the range.
template <class F>
void ForEachRun(TTextStore &store, int64_t start, int64_t end, THighlighter *h, F run) {
  if (!h) {
    store.ForEachChunk(start, end, [&](const char *p, size_t n) { run(p, n, 0); });
    return;
  }
  // Tokenize from the start of the first line (from the line before's last
  // style byte when the nodes carry them).
  TLinePos first = store.Locate(start);
  int64_t from = first.Node ? first.Start : start;
  int state = 0;
  if (first.Node && first.Node->Prev && first.Node->Prev->Attributes())
    state = first.Node->Prev->Attributes()[first.Node->Prev->Length - 1];
  else
    from = 0;
  h->Reset(state);
  TTextStoreEdStream s(store);
  s.SetPosition(from);
  std::string buf;
  while (s.Position() < end && !s.AtEnd()) {
    const int64_t tokStart = s.Position();
    int len = 0;
    const int value = h->GetToken(s, len);
    int64_t tokEnd = tokStart + std::max(len, 0);
    // A tokenizer that makes no progress still must not stall the export.
    if (tokEnd <= tokStart)
      tokEnd = tokStart + 1;
    tokEnd = std::min(tokEnd, s.Size());
    const int64_t a = std::max(tokStart, start), b = std::min(tokEnd, end);
    if (b > a) {
      buf = store.GetText(a, b);
      run(buf.data(), buf.size(), value & 0xFF);
    }
    s.SetPosition(tokEnd);
  }
}

struct TResolved {
  uint8_t Style;
  uint32_t Fore, Back;
};

TResolved Resolve(THighlighter *h, int value, const TRichOptions &o) {
  if (!h)
    return {o.DefFontStyle, o.DefTextColor, o.DefBackColor};
  const TTokenStyle st = h->Style(value);
  return {st.FontStyle, st.DefaultForeground ? o.DefTextColor : st.Foreground,
          st.DefaultBackground ? o.DefBackColor : st.Background};
}

// Unicode code points of Windows-1252 bytes 0x80..0x9F.
const uint16_t kCp1252High[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                  0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

} // namespace

void WriteRichText(TTextStore &store, int64_t start, int64_t end, THighlighter *h,
                   const TRichOptions &o, TChunkWriter &w) {
  // Colour table: the defaults first, then every token value's colours.
  std::vector<uint32_t> colours{o.DefTextColor, o.DefBackColor};
  auto colourIndex = [&](uint32_t c) {
    auto it = std::find(colours.begin(), colours.end(), c);
    if (it != colours.end())
      return static_cast<int>(it - colours.begin()) + 1;
    colours.push_back(c);
    return static_cast<int>(colours.size());
  };
  TResolved styles[256];
  for (int v = 0; v < 256; ++v) {
    styles[v] = Resolve(h, v, o);
    colourIndex(styles[v].Fore);
    colourIndex(styles[v].Back);
    if (!h)
      break;
  }
  std::string head = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fmodern\\fcharset0 ";
  for (char c : o.FontName)
    if (c != '\\' && c != '{' && c != '}' && c != ';')
      head += c;
  head += ";}}\r\n{\\colortbl ;";
  char tmp[64];
  for (uint32_t c : colours) {
    std::snprintf(tmp, sizeof tmp, "\\red%u\\green%u\\blue%u;", c & 0xFF, (c >> 8) & 0xFF,
                  (c >> 16) & 0xFF);
    head += tmp;
  }
  std::snprintf(tmp, sizeof tmp, "}\r\n\\pard\\plain\\f0\\fs%d ", std::max(1, o.FontSize * 2));
  head += tmp;
  w.Put(head);
  ForEachRun(store, start, end, h, [&](const char *p, size_t n, int value) {
    const TResolved &st = styles[h ? value : 0];
    std::snprintf(tmp, sizeof tmp, "{\\cf%d\\cb%d\\highlight%d", colourIndex(st.Fore),
                  colourIndex(st.Back), colourIndex(st.Back));
    w.Put(tmp, std::strlen(tmp));
    if (st.Style & fsBold)
      w.Put("\\b", 2);
    if (st.Style & fsItalic)
      w.Put("\\i", 2);
    if (st.Style & fsUnderline)
      w.Put("\\ul", 3);
    if (st.Style & fsStrikeOut)
      w.Put("\\strike", 7);
    w.Put(' ');
    for (size_t i = 0; i < n; ++i) {
      const auto c = static_cast<unsigned char>(p[i]);
      if (c == 13) {
        w.Put("\\par\r\n", 6);
      } else if (c == '\t') {
        w.Put("\\tab ", 5);
      } else if (c == '\\' || c == '{' || c == '}') {
        w.Put('\\');
        w.Put(static_cast<char>(c));
      } else if (c >= 128) {
        std::snprintf(tmp, sizeof tmp, "\\'%02x", c);
        w.Put(tmp, 4);
      } else {
        w.Put(static_cast<char>(c));
      }
    }
    w.Put('}');
  });
  w.Put("\r\n}", 3);
}

void WriteHtml(TTextStore &store, int64_t start, int64_t end, THighlighter *h,
               const TRichOptions &o, TChunkWriter &w) {
  char tmp[160];
  auto colour = [&](uint32_t c) {
    char b[8];
    std::snprintf(b, sizeof b, "#%02x%02x%02x", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    return std::string(b);
  };
  auto escape = [](const std::string &s) {
    std::string out;
    for (char c : s) {
      switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
      }
    }
    return out;
  };
  std::string head = "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<meta charset=\"utf-8\">\r\n<title>";
  head += escape(o.Title);
  head += "</title>\r\n</head>\r\n<body>\r\n<pre style=\"font-family: '";
  head += escape(o.FontName);
  std::snprintf(tmp, sizeof tmp,
                "', monospace; font-size: %dpt; color: %s; background-color: %s\">", o.FontSize,
                colour(o.DefTextColor).c_str(), colour(o.DefBackColor).c_str());
  head += tmp;
  w.Put(head);
  ForEachRun(store, start, end, h, [&](const char *p, size_t n, int value) {
    const TResolved st = Resolve(h, value, o);
    std::string span =
        "<span style=\"color: " + colour(st.Fore) + "; background-color: " + colour(st.Back);
    if (st.Style & fsBold)
      span += "; font-weight: bold";
    if (st.Style & fsItalic)
      span += "; font-style: italic";
    if (st.Style & (fsUnderline | fsStrikeOut)) {
      span += "; text-decoration:";
      if (st.Style & fsUnderline)
        span += " underline";
      if (st.Style & fsStrikeOut)
        span += " line-through";
    }
    span += "\">";
    w.Put(span);
    for (size_t i = 0; i < n; ++i) {
      const auto c = static_cast<unsigned char>(p[i]);
      switch (c) {
      case 13:
        w.Put("\r\n", 2);
        break;
      case '&':
        w.Put("&amp;", 5);
        break;
      case '<':
        w.Put("&lt;", 4);
        break;
      case '>':
        w.Put("&gt;", 4);
        break;
      case '"':
        w.Put("&quot;", 6);
        break;
      default:
        if (c < 128) {
          w.Put(static_cast<char>(c));
        } else {
          // The text is Windows-1252; the page is UTF-8.
          const unsigned u = c < 0xA0 ? kCp1252High[c - 0x80] : c;
          std::snprintf(tmp, sizeof tmp, "&#%u;", u);
          w.Put(tmp, std::strlen(tmp));
        }
      }
    }
    w.Put("</span>", 7);
  });
  w.Put("</pre>\r\n</body>\r\n</html>\r\n");
}
