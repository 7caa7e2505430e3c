// Fuzz target: "KORVEX.DAT" as any bytes. Loading it, reading and rewriting
// sections follow a plain list model of the file step by step; every write
// leaves on disk exactly the model's lines, and loading that file again gives
// the same lines back.
// KX_FUZZ_LINK: src/shell/core
#include "EdPersistent.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string &Folder() {
  // Never destroyed: the clean-up at exit still needs it.
  static const std::string &dir = *new std::string([] {
    // Memory-backed when there is such a folder: every write is flushed to the disk.
    const char *t = std::getenv("TMPDIR");
    std::string base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : t && *t ? t : "/tmp";
    std::string tmpl = base + "/kx-fuzz-history.XXXXXX";
    if (!::mkdtemp(tmpl.data()))
      std::abort();
    std::atexit([] { std::filesystem::remove_all(Folder()); });
    return tmpl;
  }());
  return dir;
}

bool SameIgnoringCase(const std::string &a, const std::string &b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    if (up(a[i]) != up(b[i]))
      return false;
  }
  return true;
}

// The file as the history keeps it, written from the rules rather than the code.
struct Model {
  std::vector<std::string> lines;

  static std::vector<std::string> Split(const std::string &bytes) {
    std::vector<std::string> out;
    std::string cur;
    bool open = false;
    for (size_t i = 0; i < bytes.size(); ++i) {
      const char c = bytes[i];
      if (c == '\r' || c == '\n') {
        out.push_back(cur);
        cur.clear();
        open = false;
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
          ++i;
      } else {
        cur += c;
        open = true;
      }
    }
    if (open)
      out.push_back(cur);
    return out;
  }

  int Find(const std::string &header) const {
    for (size_t i = 0; i < lines.size(); ++i)
      if (SameIgnoringCase(lines[i], header))
        return static_cast<int>(i);
    return -1;
  }

  std::vector<std::string> Get(const std::string &header) const {
    std::vector<std::string> out;
    const int i = Find(header);
    if (i < 0)
      return out;
    for (size_t k = i + 1; k < lines.size() && !lines[k].empty() && out.size() < 20; ++k)
      out.push_back(lines[k]);
    return out;
  }

  void Put(const std::string &header, const std::vector<std::string> &entries) {
    const int i = Find(header);
    if (i >= 0) {
      size_t end = i;
      while (end < lines.size() && !lines[end].empty())
        ++end;
      while (end < lines.size() && lines[end].empty())
        ++end;
      lines.erase(lines.begin() + i, lines.begin() + end);
    }
    if (!lines.empty() && !lines.back().empty())
      lines.emplace_back();
    lines.push_back(header);
    for (size_t k = 0; k < entries.size() && k < 20; ++k)
      if (!entries[k].empty() && entries[k].find_first_of("\r\n") == std::string::npos)
        lines.push_back(entries[k]);
    lines.emplace_back();
    while (!lines.empty() && lines.front().empty())
      lines.erase(lines.begin());
  }
};

std::string ReadFile(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string &path, const std::string &bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string path = Folder() + "/KORVEX.DAT";
  const uint8_t ops = in.ConsumeIntegral<uint8_t>();
  const std::string bytes = in.ConsumeRandomLengthString(2048);
  WriteFile(path, bytes);

  TEdPersistent history(path);
  Model model;
  model.lines = Model::Split(bytes);
  if (history.Lines() != model.lines)
    std::abort();

  static const char *const headers[] = {TEdPersistent::FindHistoryHeader,
                                        TEdPersistent::ReplaceHistoryHeader,
                                        TEdPersistent::MRUHeader, "[mru]", "[FINDHISTORY]"};
  for (int step = 0; step < (ops & 7) + 1 && in.remaining_bytes() > 0; ++step) {
    const std::string header = in.ConsumeBool() ? headers[in.ConsumeIntegralInRange<size_t>(0, 4)]
                                                : in.ConsumeRandomLengthString(24);
    if (history.GetSection(header) != model.Get(header))
      std::abort();
    if (!in.ConsumeBool())
      continue;
    // Sections are written under a header of one non-empty line.
    const std::string written = header.empty() || header.find_first_of("\r\n") != std::string::npos
                                    ? headers[step % 5]
                                    : header;
    std::vector<std::string> entries;
    const size_t n = in.ConsumeIntegralInRange<size_t>(0, 24);
    for (size_t k = 0; k < n && in.remaining_bytes() > 0; ++k)
      entries.push_back(in.ConsumeRandomLengthString(40));
    // The entries may be the history's own result list.
    if (in.ConsumeBool()) {
      const auto &own = history.GetSection(written);
      model.Put(written, own);
      history.PutSection(written, own);
    } else {
      model.Put(written, entries);
      history.PutSection(written, entries);
    }
    if (history.Lines() != model.lines)
      std::abort();
    if (ReadFile(path) != TEdPersistent::Serialise(model.lines))
      std::abort();
    // What was written reads back line for line.
    if (TEdPersistent(path).Lines() != model.lines)
      std::abort();
  }
  return 0;
}
