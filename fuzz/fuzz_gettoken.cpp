// Fuzz target: GetToken with the two shipped schemes over arbitrary text,
// flat and in small chunks: it always advances, covers the text exactly and
// gives the same tokens either way.
#include "SyntaxMemoParser.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#ifndef KX_SOURCE_DIR
#define KX_SOURCE_DIR "."
#endif

namespace {

TSyntaxMemoParser *Load(const char *name) {
  auto *p = new TSyntaxMemoParser;
  p->CompileFile(std::string(KX_SOURCE_DIR "/resources/schemes/") + name);
  return p;
}

class ChunkedStream : public TEdStream {
public:
  ChunkedStream(const std::string &text, size_t chunk) : text_(text), chunk_(chunk) {
    SetSize(static_cast<int64_t>(text.size()));
    Fetch(0);
  }

protected:
  void Fetch(int64_t pos) override {
    const int64_t start = pos - pos % static_cast<int64_t>(chunk_);
    const size_t len = std::min(chunk_, text_.size() - static_cast<size_t>(start));
    SetChunk(reinterpret_cast<const unsigned char *>(text_.data()) + start, len, start, pos);
  }

private:
  const std::string &text_;
  size_t chunk_;
};

std::vector<std::pair<int, int>> Scan(TSyntaxMemoParser &p, TEdStream &src, int context) {
  std::vector<std::pair<int, int>> out;
  p.Reset(context);
  while (!src.AtEnd()) {
    int len = 0;
    const int64_t before = src.Position();
    const int v = p.GetToken(nullptr, src, len);
    if (len < 1 || v < 0 || v > 255 || src.Position() != before + len)
      std::abort();
    out.emplace_back(v, len);
  }
  return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static TSyntaxMemoParser *schemes[2] = {Load("tarnic.scheme"), Load("picasm.scheme")};
  if (size < 2)
    return 0;
  TSyntaxMemoParser &p = *schemes[data[0] & 1];
  const int context = data[1];
  const std::string text(reinterpret_cast<const char *>(data) + 2, size - 2);
  TBufferEdStream flat(text.data(), text.size());
  const auto a = Scan(p, flat, context);
  ChunkedStream chunked(text, 1 + (data[0] >> 1) % 17);
  const auto b = Scan(p, chunked, context);
  if (a != b)
    std::abort();
  return 0;
}
