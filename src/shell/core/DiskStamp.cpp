#include "DiskStamp.h"

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

uint64_t ContentHash(const char *data, size_t len, uint64_t seed) {
  const uint64_t k = 0x9E3779B97F4A7C15ull;
  uint64_t h = seed ^ (len * k);
  while (len >= 8) {
    uint64_t w;
    std::memcpy(&w, data, 8);
    h = (h ^ (w * k)) * 0xBF58476D1CE4E5B9ull;
    h ^= h >> 29;
    data += 8;
    len -= 8;
  }
  uint64_t w = 0;
  std::memcpy(&w, data, len);
  h = (h ^ (w * k) ^ len) * 0x94D049BB133111EBull;
  return h ^ (h >> 31);
}

TDiskStamp TDiskStamp::Of(const std::string &path) {
  TDiskStamp s;
  s.Known = true;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return s;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return s;
  }
  s.Exists = true;
  s.ModifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  std::vector<char> block(1 << 20);
  uint64_t h = 0;
  int64_t total = 0;
  // Whole blocks only, however the reads come back, so equal bytes always
  // give an equal hash.
  for (bool end = false; !end;) {
    size_t got = 0;
    while (got < block.size()) {
      const ssize_t n = ::read(fd, block.data() + got, block.size() - got);
      if (n <= 0) {
        end = true;
        break;
      }
      got += static_cast<size_t>(n);
    }
    if (got > 0)
      h = ContentHash(block.data(), got, h);
    total += static_cast<int64_t>(got);
  }
  ::close(fd);
  s.Size = total;
  s.Hash = h;
  return s;
}
