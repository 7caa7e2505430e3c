// The file scan's block-wise text search, with a vectorised first-and-last
// byte filter so that scanning large files costs about what reading them does.
#include "FileScanText.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

struct TByteTables {
  std::array<unsigned char, 256> Fold{};
  std::array<unsigned char, 256> Upper{};
  std::array<bool, 256> Delimiter{};
  TByteTables() {
    for (int c = 0; c < 256; ++c) {
      Fold[c] = static_cast<unsigned char>(c);
      Upper[c] = static_cast<unsigned char>(c);
    }
    auto pair = [this](int upper, int lower) {
      Fold[upper] = static_cast<unsigned char>(lower);
      Upper[lower] = static_cast<unsigned char>(upper);
    };
    for (int c = 'A'; c <= 'Z'; ++c)
      pair(c, c + 32);
    for (int c = 0xC0; c <= 0xDE; ++c)
      if (c != 0xD7)
        pair(c, c + 0x20);
    pair(0x8A, 0x9A);
    pair(0x8C, 0x9C);
    pair(0x8E, 0x9E);
    pair(0x9F, 0xFF);
    for (int c = 0; c < 256; ++c) {
      const bool ascii =
          (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
      const bool high = (c >= 0xC0 && c != 0xD7 && c != 0xF7) || c == 0x8A || c == 0x8C ||
                        c == 0x8E || c == 0x9A || c == 0x9C || c == 0x9E || c == 0x9F;
      Delimiter[c] = !(ascii || high);
    }
  }
};

const TByteTables &Tables() {
  static const TByteTables t;
  return t;
}

bool EqualFolded(const unsigned char *a, const unsigned char *folded, size_t n) {
  const auto &fold = Tables().Fold;
  for (size_t i = 0; i < n; ++i)
    if (fold[a[i]] != folded[i])
      return false;
  return true;
}

// The first position at or after `from` where the needle starts, or npos.
// The needle is folded when caseless. Candidates are the positions whose
// first and last bytes match, found 16 at a time; only those are compared in
// full.
template <bool Caseless>
size_t FindFrom(const unsigned char *h, size_t n, size_t from, const std::string &needle) {
  const size_t m = needle.size();
  if (m == 0 || m > n || from > n - m)
    return std::string::npos;
  const auto *nd = reinterpret_cast<const unsigned char *>(needle.data());
  const auto &upper = Tables().Upper;
  const unsigned char f1 = nd[0], f2 = Caseless ? upper[nd[0]] : nd[0];
  const unsigned char l1 = nd[m - 1], l2 = Caseless ? upper[nd[m - 1]] : nd[m - 1];
  auto full = [&](size_t pos) {
    if (m <= 2)
      return true;
    if constexpr (Caseless)
      return EqualFolded(h + pos + 1, nd + 1, m - 2);
    else
      return std::memcmp(h + pos + 1, nd + 1, m - 2) == 0;
  };
  size_t i = from;
#if defined(__SSE2__)
  const __m128i F1 = _mm_set1_epi8(static_cast<char>(f1));
  const __m128i F2 = _mm_set1_epi8(static_cast<char>(f2));
  const __m128i L1 = _mm_set1_epi8(static_cast<char>(l1));
  const __m128i L2 = _mm_set1_epi8(static_cast<char>(l2));
  // Loads at i and at i + m - 1 must stay inside the n bytes.
  while (i + m + 15 <= n) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h + i + m - 1));
    __m128i ea = _mm_cmpeq_epi8(a, F1);
    __m128i eb = _mm_cmpeq_epi8(b, L1);
    if constexpr (Caseless) {
      ea = _mm_or_si128(ea, _mm_cmpeq_epi8(a, F2));
      eb = _mm_or_si128(eb, _mm_cmpeq_epi8(b, L2));
    }
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(ea, eb)));
    while (mask) {
      const size_t pos = i + static_cast<size_t>(__builtin_ctz(mask));
      if (full(pos))
        return pos;
      mask &= mask - 1;
    }
    i += 16;
  }
#endif
  for (; i + m <= n; ++i) {
    const unsigned char c = h[i], d = h[i + m - 1];
    if ((c == f1 || c == f2) && (d == l1 || d == l2) && full(i))
      return i;
  }
  return std::string::npos;
}

} // namespace

bool IsTextDelimiter(unsigned char c) {
  return Tables().Delimiter[c];
}

unsigned char FoldTextCase(unsigned char c) {
  return Tables().Fold[c];
}

TTextSearch::TTextSearch(const std::vector<std::string> &texts, TSearchType type,
                         TSearchStringType stringType, bool caseSense)
    : type_(type), stringType_(stringType), caseSense_(caseSense) {
  for (const std::string &t : texts) {
    if (t.empty())
      continue;
    TNeedle n;
    n.Text = t;
    n.Folded = t;
    if (!caseSense)
      for (char &c : n.Folded)
        c = static_cast<char>(FoldTextCase(static_cast<unsigned char>(c)));
    longest_ = std::max(longest_, t.size());
    needles_.push_back(std::move(n));
  }
}

void TTextSearch::Reset() {
  for (TNeedle &n : needles_)
    n.Found = false;
}

int TTextSearch::Outcome() const {
  const bool any = std::any_of(needles_.begin(), needles_.end(), [](auto &n) { return n.Found; });
  const bool all = std::all_of(needles_.begin(), needles_.end(), [](auto &n) { return n.Found; });
  switch (type_) {
  case TSearchType::st_And:
    return all ? 1 : 0;
  case TSearchType::st_Not:
    return any ? 0 : 1;
  case TSearchType::st_Or:
    break;
  }
  return any ? 1 : 0;
}

// A match's neighbours decide the word conditions. A match at the very start
// of a later block lies wholly in the overlap, so the block before has decided
// it with its real neighbours; a match touching the end of a block before the
// end of the file is decided by the next block, which repeats it with the
// byte after it.
bool TTextSearch::FoundIn(const TNeedle &needle, std::string_view buf, uint64_t base,
                          bool atEnd) const {
  const auto *h = reinterpret_cast<const unsigned char *>(buf.data());
  const size_t n = buf.size(), m = needle.Folded.size();
  const bool needLead =
      stringType_ == TSearchStringType::sst_Word || stringType_ == TSearchStringType::sst_Prefix;
  const bool needTrail =
      stringType_ == TSearchStringType::sst_Word || stringType_ == TSearchStringType::sst_Suffix;
  size_t pos = 0;
  while (true) {
    pos = caseSense_ ? FindFrom<false>(h, n, pos, needle.Folded)
                     : FindFrom<true>(h, n, pos, needle.Folded);
    if (pos == std::string::npos)
      return false;
    bool ok = true;
    if (needLead)
      ok = pos == 0 ? base == 0 : IsTextDelimiter(h[pos - 1]);
    if (ok && needTrail)
      ok = pos + m == n ? atEnd : IsTextDelimiter(h[pos + m]);
    if (ok)
      return true;
    ++pos;
  }
}

bool TTextSearch::SearchBlock(std::string_view buf, uint64_t base, bool atEnd, int bufferNo,
                              const std::string &eventName) {
  for (TNeedle &n : needles_) {
    if (n.Found)
      continue;
    if (OnBeforeBuffer)
      OnBeforeBuffer(eventName, n.Text, caseSense_, bufferNo, buf);
    n.Found = FoundIn(n, buf, base, atEnd);
    if (OnAfterBuffer)
      OnAfterBuffer(eventName, n.Text, caseSense_, bufferNo, buf);
    if (n.Found && type_ != TSearchType::st_And)
      return true;
  }
  return std::all_of(needles_.begin(), needles_.end(), [](auto &n) { return n.Found; });
}

int TTextSearch::SearchBytes(std::string_view bytes) {
  Reset();
  SearchBlock(bytes, 0, true, 1, std::string());
  return Outcome();
}

int TTextSearch::SearchFile(int dirFd, const std::string &name, const std::string &eventName) {
  Reset();
  // Non-blocking, so that a named pipe never hangs the scan; only regular
  // files are read.
  const int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0)
    return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  const size_t block = std::max<size_t>(BlockSize, 1);
  // One more byte than the longest text is kept in front of each block: the
  // byte before a text that ends at the old block's end decides a word match.
  const size_t keep = longest_ + 1;
  if (buffer_.size() != keep + block)
    buffer_.assign(keep + block, '\0');
  const bool trailMatters =
      stringType_ == TSearchStringType::sst_Word || stringType_ == TSearchStringType::sst_Suffix;
  size_t carry = 0;
  uint64_t base = 0;
  int bufferNo = 0;
  int result = 0;
  while (true) {
    size_t got = 0;
    bool failed = false;
    while (got < block) {
      const ssize_t r = ::read(fd, buffer_.data() + carry + got, block - got);
      if (r < 0 && errno == EINTR)
        continue;
      if (r < 0) {
        failed = true;
        break;
      }
      if (r == 0)
        break;
      got += static_cast<size_t>(r);
    }
    if (failed) {
      result = -2;
      break;
    }
    const bool atEnd = got < block;
    // A block that ended exactly at the end of the file left texts touching
    // its end undecided; the overlap alone decides them now.
    if (got == 0 && bufferNo > 0 && !trailMatters) {
      result = Outcome();
      break;
    }
    const size_t n = carry + got;
    const std::string_view buf(buffer_.data(), n);
    if (SearchBlock(buf, base, atEnd, ++bufferNo, eventName) || atEnd) {
      result = Outcome();
      break;
    }
    const size_t tail = std::min(n, keep);
    if (tail < n) {
      std::memmove(buffer_.data(), buffer_.data() + n - tail, tail);
      base += n - tail;
    }
    carry = tail;
  }
  ::close(fd);
  return result;
}
