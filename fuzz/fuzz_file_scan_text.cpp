// The file scan's text search reads files a block at a time with the end of
// the block before in front: for any texts, match kind, case sense and block
// size, the file's answer and the in-memory answer must equal a plain search
// of the whole bytes under the same word rules, and every block handed to the
// buffer events must be the file's bytes ending where that block's read ended.
// KX_FUZZ_NEEDS_TOOLCHAIN_CORE
#include "FileScanText.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The word characters and the case pairs as the scan documents them, written
// out again here so that a slip in the scan's own tables shows.
struct TRules {
  std::array<bool, 256> Word{};
  std::array<unsigned char, 256> Lower{};
  TRules() {
    for (int c = 0; c < 256; ++c)
      Lower[c] = static_cast<unsigned char>(c);
    for (int c = 'A'; c <= 'Z'; ++c)
      Lower[c] = static_cast<unsigned char>(c - 'A' + 'a');
    for (int c = 0xC0; c <= 0xDE; ++c)
      if (c != 0xD7)
        Lower[c] = static_cast<unsigned char>(c + 0x20);
    Lower[0x8A] = 0x9A;
    Lower[0x8C] = 0x9C;
    Lower[0x8E] = 0x9E;
    Lower[0x9F] = 0xFF;
    for (int c = 0; c < 256; ++c)
      Word[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                c == '_' || (c >= 0xC0 && c != 0xD7 && c != 0xF7) || c == 0x8A || c == 0x8C ||
                c == 0x8E || c == 0x9A || c == 0x9C || c == 0x9E || c == 0x9F;
  }
};

const TRules &Rules() {
  static const TRules r;
  return r;
}

bool Found(std::string_view hay, std::string_view text, TSearchStringType kind, bool caseSense) {
  const TRules &r = Rules();
  const bool lead = kind == TSearchStringType::sst_Word || kind == TSearchStringType::sst_Prefix;
  const bool trail = kind == TSearchStringType::sst_Word || kind == TSearchStringType::sst_Suffix;
  const auto at = [&](size_t i) { return static_cast<unsigned char>(hay[i]); };
  for (size_t pos = 0; pos + text.size() <= hay.size(); ++pos) {
    bool same = true;
    for (size_t k = 0; k < text.size() && same; ++k) {
      const auto a = at(pos + k), b = static_cast<unsigned char>(text[k]);
      same = caseSense ? a == b : r.Lower[a] == r.Lower[b];
    }
    if (!same)
      continue;
    if (lead && pos > 0 && r.Word[at(pos - 1)])
      continue;
    if (trail && pos + text.size() < hay.size() && r.Word[at(pos + text.size())])
      continue;
    return true;
  }
  return false;
}

int Expected(std::string_view hay, const std::vector<std::string> &texts, TSearchType type,
             TSearchStringType kind, bool caseSense) {
  bool any = false, all = true;
  for (const std::string &t : texts) {
    if (t.empty())
      continue;
    const bool f = Found(hay, t, kind, caseSense);
    any = any || f;
    all = all && f;
  }
  switch (type) {
  case TSearchType::st_And:
    return all ? 1 : 0;
  case TSearchType::st_Not:
    return any ? 0 : 1;
  case TSearchType::st_Or:
    break;
  }
  return any ? 1 : 0;
}

// One file reused for every input, in a folder of this process's own that
// goes when the process ends.
std::string scratchDir;

void RemoveScratch() {
  ::unlink((scratchDir + "/file.bas").c_str());
  ::rmdir(scratchDir.c_str());
}

const std::string &ScratchFile() {
  static const std::string path = [] {
    const char *tmp = std::getenv("TMPDIR");
    scratchDir = std::string(tmp && *tmp ? tmp : "/tmp") + "/kx-fuzz-scan-XXXXXX";
    if (!::mkdtemp(scratchDir.data()))
      std::abort();
    std::atexit(RemoveScratch);
    return scratchDir + "/file.bas";
  }();
  return path;
}

void WriteFile(std::string_view bytes) {
  const int fd = ::open(ScratchFile().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0)
    std::abort();
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (w <= 0)
      std::abort();
    done += static_cast<size_t>(w);
  }
  ::close(fd);
}

} // namespace

// Input: a byte of settings (search type, match kind, case sense, number of
// texts), a byte for the block size (0: the scan's own), then each text as a
// length byte and its bytes, then the file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 2)
    return 0;
  const uint8_t settings = data[0];
  const auto type = static_cast<TSearchType>((settings & 3) % 3);
  const auto kind = static_cast<TSearchStringType>((settings >> 2) & 3);
  const bool caseSense = (settings & 0x10) != 0;
  const size_t count = 1 + ((settings >> 5) & 3);
  const size_t block = data[1] == 0 ? TTextSearch::DefaultBlockSize : data[1];
  size_t at = 2;
  std::vector<std::string> texts;
  for (size_t i = 0; i < count && at < size; ++i) {
    const size_t want = data[at++] % 24;
    const size_t len = std::min(want, size - at);
    texts.emplace_back(reinterpret_cast<const char *>(data + at), len);
    at += len;
  }
  const std::string_view hay(reinterpret_cast<const char *>(data + at), size - at);

  TTextSearch search(texts, type, kind, caseSense);
  bool anyText = false;
  for (const std::string &t : texts)
    anyText = anyText || !t.empty();
  if (search.HasTexts() != anyText)
    std::abort();
  if (!anyText)
    return 0;
  const int expected = Expected(hay, texts, type, kind, caseSense);

  if (search.SearchBytes(hay) != expected)
    std::abort();

  WriteFile(hay);
  search.BlockSize = block;
  int lastBlock = 0;
  search.OnBeforeBuffer = [&](const std::string &, const std::string &, bool, int no,
                              std::string_view buffer) {
    // Blocks are numbered from 1 without gaps; all texts of a block see it.
    if (no != lastBlock && no != lastBlock + 1)
      std::abort();
    lastBlock = no;
    const size_t end = std::min(hay.size(), static_cast<size_t>(no) * block);
    if (buffer.size() > end || hay.substr(end - buffer.size(), buffer.size()) != buffer)
      std::abort();
  };
  if (search.SearchFile(AT_FDCWD, ScratchFile(), ScratchFile()) != expected)
    std::abort();
  // Searching again gives the same answer: nothing of the last file is kept.
  search.OnBeforeBuffer = nullptr;
  if (search.SearchFile(AT_FDCWD, ScratchFile(), ScratchFile()) != expected)
    std::abort();
  return 0;
}
