#include "EdPersistent.h"

#include "Streams.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

namespace {

bool SameIgnoringCase(const std::string &a, const std::string &b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z')
      x = static_cast<unsigned char>(x - 32);
    if (y >= 'a' && y <= 'z')
      y = static_cast<unsigned char>(y - 32);
    if (x != y)
      return false;
  }
  return true;
}

// Reads at most limit bytes; false when the file cannot be opened as a file.
bool ReadHead(const std::string &path, int64_t limit, std::string &out, bool &truncated) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    return false;
  std::FILE *f = std::fopen(path.c_str(), "rb");
  if (!f)
    return false;
  out.clear();
  char buf[65536];
  truncated = false;
  while (true) {
    const size_t n = std::fread(buf, 1, sizeof buf, f);
    if (n == 0)
      break;
    out.append(buf, n);
    if (static_cast<int64_t>(out.size()) > limit) {
      truncated = true;
      break;
    }
  }
  std::fclose(f);
  return true;
}

} // namespace

std::vector<std::string> TEdPersistent::SplitLines(const std::string &bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  const size_t n = bytes.size();
  size_t i = 0;
  while (i < n) {
    const char c = bytes[i];
    if (c == '\r' || c == '\n') {
      lines.emplace_back(bytes, start, i - start);
      i += (c == '\r' && i + 1 < n && bytes[i + 1] == '\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < n)
    lines.emplace_back(bytes, start, n - start);
  return lines;
}

std::string TEdPersistent::Serialise(const std::vector<std::string> &lines) {
  std::string out;
  size_t total = 0;
  for (const std::string &l : lines)
    total += l.size() + 2;
  out.reserve(total);
  for (const std::string &l : lines) {
    out += l;
    out += "\r\n";
  }
  return out;
}

TEdPersistent::TEdPersistent(std::string path) : path_(std::move(path)) {
  std::string bytes;
  bool truncated = false;
  if (ReadHead(path_, MaxFileBytes, bytes, truncated)) {
    if (truncated) {
      // Keep whole lines only: the cut one would be written back mangled.
      const size_t cut = bytes.find_last_of("\r\n", static_cast<size_t>(MaxFileBytes));
      bytes.resize(cut == std::string::npos ? 0 : cut + 1);
    }
    lines_ = SplitLines(bytes);
    return;
  }
  struct stat st {};
  if (::stat(path_.c_str(), &st) == 0)
    return; // there, but not a readable file: leave it alone
  try {
    WriteFileAtomic(path_, std::string());
  } catch (const EKorvexError &) {
    // An unwritable folder: the histories stay in memory; the first write
    // that the user causes reports why.
  }
}

int TEdPersistent::IndexOf(const std::string &header) const {
  for (size_t i = 0; i < lines_.size(); ++i)
    if (SameIgnoringCase(lines_[i], header))
      return static_cast<int>(i);
  return -1;
}

const std::vector<std::string> &TEdPersistent::GetSection(const std::string &header) {
  result_.clear();
  const int i = IndexOf(header);
  if (i < 0)
    return result_;
  for (size_t k = static_cast<size_t>(i) + 1;
       k < lines_.size() && !lines_[k].empty() && result_.size() < MaxEntries; ++k)
    result_.push_back(lines_[k]);
  return result_;
}

void TEdPersistent::PutSection(const std::string &header, const std::vector<std::string> &entries) {
  // Copy first: the entries may be the result list itself.
  const std::vector<std::string> given(
      entries.begin(),
      entries.begin() + static_cast<std::ptrdiff_t>(std::min(entries.size(), MaxEntries)));
  const int i = IndexOf(header);
  if (i >= 0) {
    const auto at = lines_.begin() + i;
    auto end = at;
    while (end != lines_.end() && !end->empty())
      ++end;
    while (end != lines_.end() && end->empty())
      ++end;
    lines_.erase(at, end);
  }
  // A blank line always separates the new section from a last line of text,
  // which would otherwise read the header and entries as its own entries.
  if (!lines_.empty() && !lines_.back().empty())
    lines_.emplace_back();
  lines_.push_back(header);
  for (const std::string &e : given)
    // A line break inside an entry would split it into two entries.
    if (!e.empty() && e.find_first_of("\r\n") == std::string::npos)
      lines_.push_back(e);
  lines_.emplace_back();
  Flush();
}

void TEdPersistent::Flush() {
  size_t lead = 0;
  while (lead < lines_.size() && lines_[lead].empty())
    ++lead;
  lines_.erase(lines_.begin(), lines_.begin() + static_cast<std::ptrdiff_t>(lead));
  const std::string bytes = Serialise(lines_);
  // A file that already holds exactly these bytes is left alone: every start
  // stores the recent-file list again, mostly unchanged, and replacing a file
  // safely waits for the disk twice. Reading a few kilobytes costs nothing in
  // comparison, and comparing with the disk rather than with what was loaded
  // still overwrites what another program wrote meanwhile.
  std::string onDisk;
  bool truncated = false;
  if (ReadHead(path_, static_cast<int64_t>(bytes.size()), onDisk, truncated) && !truncated &&
      onDisk == bytes)
    return;
  WriteFileAtomic(path_, bytes);
}
