// The file scanner against find and grep in the same run: a name scan for
// "*.exe" over 50,000 files in 2,000 folders, and a text search of 200 MB of
// files for a word (with and without case, and as a whole word). Both sides
// walk the same generated trees, warm in the page cache, and must find the
// same number of files.
#include "BenchUtil.h"
#include "FileScan.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

namespace fs = std::filesystem;

// Wall-clock seconds per iteration by benchmark function name (the peers are
// other processes, so their cost is wall time).
std::map<std::string, double> &Seconds() {
  static std::map<std::string, double> s;
  return s;
}

class Collector : public benchmark::ConsoleReporter {
public:
  Collector() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const auto &r : runs)
      if (r.run_type == Run::RT_Iteration && r.iterations > 0)
        Seconds()[r.run_name.function_name] =
            r.real_accumulated_time / static_cast<double>(r.iterations);
    ConsoleReporter::ReportRuns(runs);
  }
};

struct Rng {
  uint32_t s = 4711;
  uint32_t Next() { return s = s * 1103515245u + 12345u; }
  uint32_t Below(uint32_t n) { return (Next() >> 8) % n; }
};

// 40 folders of 49 subfolders each (2,000 folders with the 40), 25 files in
// every one; one file in ten is a program, its extension in any case.
const int kTopFolders = 40, kSubFolders = 49, kFilesPerFolder = 25;

std::string NameTree() {
  const std::string root = kxbench::DataFile("filescan-names");
  const std::string done = root + "/.complete";
  if (fs::exists(done))
    return root;
  fs::remove_all(root);
  Rng r;
  static const char *exts[] = {".exe", ".EXE", ".Exe", ".bas", ".asm",
                               ".hex", ".txt", ".inc", ".lst", ".pbe"};
  auto files = [&](const fs::path &dir) {
    fs::create_directories(dir);
    for (int i = 0; i < kFilesPerFolder; ++i) {
      const std::string name = "file" + std::to_string(i) + "_" + std::to_string(r.Below(1000));
      std::ofstream(dir / (name + exts[i % 10]));
    }
  };
  for (int t = 0; t < kTopFolders; ++t) {
    const fs::path top = fs::path(root) / ("folder" + std::to_string(t));
    files(top);
    for (int s = 0; s < kSubFolders; ++s)
      files(top / ("sub" + std::to_string(s)));
  }
  std::ofstream(done).put('\n');
  return root;
}

// 2,000 files of 100 kB in 20 folders; the word is in one file in eight, at
// a random place, and "Needles" (not the whole word) in as many others.
const int kTextFolders = 20, kTextFiles = 100;
const size_t kTextFileSize = 100 * 1000;

std::string TextTree() {
  const std::string root = kxbench::DataFile("filescan-text");
  const std::string done = root + "/.complete";
  if (fs::exists(done))
    return root;
  fs::remove_all(root);
  Rng r;
  static const char *lines[] = {
      "    HIGH PORTB.1\r\n",           "    PAUSE 500   ; wait a while\r\n",
      "    TOGGLE PORTA.3\r\n",         "    LCDOUT $FE, 1, \"Line \", #counter\r\n",
      "    ADCIN 0, value  ' read\r\n", "main:\r\n",
      "    GOSUB show_value\r\n",       "    SEROUT PORTC.6, T9600, [\"Value: \", DEC v]\r\n"};
  for (int d = 0; d < kTextFolders; ++d) {
    const fs::path dir = fs::path(root) / ("src" + std::to_string(d));
    fs::create_directories(dir);
    for (int f = 0; f < kTextFiles; ++f) {
      std::string text;
      text.reserve(kTextFileSize + 64);
      while (text.size() < kTextFileSize)
        text += lines[r.Below(8)];
      text.resize(kTextFileSize);
      const int kind = static_cast<int>(r.Below(8));
      if (kind == 0 || kind == 1) {
        const char *word = kind == 0 ? " Needle " : " Needles ";
        text.replace(r.Below(static_cast<uint32_t>(kTextFileSize - 16)), std::strlen(word), word);
      }
      std::ofstream(dir / ("prog" + std::to_string(f) + ".bas"), std::ios::binary)
          .write(text.data(), std::streamsize(text.size()));
    }
  }
  std::ofstream(done).put('\n');
  return root;
}

// Runs a program with its output into a pipe and counts the lines it wrote.
long RunCounting(const std::vector<std::string> &args) {
  int fds[2];
  if (::pipe(fds) != 0)
    return -1;
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
  posix_spawn_file_actions_addclose(&fa, fds[0]);
  std::vector<char *> argv;
  for (const std::string &a : args)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> env{"LC_ALL=C", "PATH=/usr/bin:/bin"};
  std::vector<char *> envp;
  for (std::string &e : env)
    envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&fa);
  ::close(fds[1]);
  if (rc != 0) {
    ::close(fds[0]);
    return -1;
  }
  long lines = 0;
  char buf[65536];
  ssize_t n;
  while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
    for (ssize_t i = 0; i < n; ++i)
      lines += buf[i] == '\n';
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return lines;
}

bool Installed(const char *program) {
  return RunCounting({"sh", "-c", std::string("command -v ") + program}) > 0;
}

std::map<std::string, long> &Found() {
  static std::map<std::string, long> f;
  return f;
}

void OursNames(benchmark::State &state, const std::string &key) {
  const std::string root = NameTree();
  long found = 0;
  for (auto _ : state) {
    TFileScan scan;
    scan.SetDirectory(root);
    scan.FileSpecs = "*.exe";
    scan.SetStartScan(true);
    found = static_cast<long>(scan.Results.size());
    benchmark::DoNotOptimize(scan.Results.data());
  }
  Found()[key] = found;
  state.counters["files"] = static_cast<double>(found);
}

void FindNames(benchmark::State &state, const std::string &key) {
  const std::string root = NameTree();
  long found = 0;
  for (auto _ : state)
    found = RunCounting({"find", root, "-type", "f", "-iname", "*.exe"});
  Found()[key] = found;
  state.counters["files"] = static_cast<double>(found);
}

struct TextCase {
  const char *name;
  bool caseSense;
  TSearchStringType kind;
  const char *grepFlags;
};

const TextCase kTextCases[] = {
    {"case", true, TSearchStringType::sst_Normal, "-rl"},
    {"caseless", false, TSearchStringType::sst_Normal, "-rli"},
    {"word", true, TSearchStringType::sst_Word, "-rlw"},
};

void OursText(benchmark::State &state, const TextCase &c, const std::string &key) {
  const std::string root = TextTree();
  long found = 0;
  for (auto _ : state) {
    TFileScan scan;
    scan.SetDirectory(root);
    scan.FileSpecs = "*.*";
    scan.SearchStrings = {"Needle"};
    scan.CaseSense = c.caseSense;
    scan.SearchStringType = c.kind;
    scan.SetStartScan(true);
    found = static_cast<long>(scan.Results.size());
  }
  Found()[key] = found;
  state.SetBytesProcessed(state.iterations() * int64_t(kTextFolders * kTextFiles) *
                          int64_t(kTextFileSize));
}

void GrepText(benchmark::State &state, const TextCase &c, const std::string &key) {
  const std::string root = TextTree();
  long found = 0;
  for (auto _ : state)
    found = RunCounting({"grep", c.grepFlags, "Needle", root});
  Found()[key] = found;
  state.SetBytesProcessed(state.iterations() * int64_t(kTextFolders * kTextFiles) *
                          int64_t(kTextFileSize));
}

void Compare(const std::string &what, const std::string &peer, const std::string &ours,
             const std::string &theirs) {
  auto &t = Seconds();
  if (!t.count(ours) || !t.count(theirs))
    return;
  kxbench::Figure(what, t[ours] * 1000, "ms");
  kxbench::Figure(what + " " + peer, t[theirs] * 1000, "ms");
  const long a = Found()[ours], b = Found()[theirs];
  if (a != b)
    std::printf("MISMATCH %s: ours found %ld, %s %ld\n", what.c_str(), a, peer.c_str(), b);
  kxbench::Ratio(what, peer, t[ours], t[theirs]);
}

} // namespace

int main(int argc, char **argv) {
  const bool haveFind = Installed("find"), haveGrep = Installed("grep");
  auto add = [](const std::string &name, int iterations, auto body) {
    benchmark::RegisterBenchmark(name.c_str(), [name, body](benchmark::State &s) { body(s, name); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(iterations);
  };
  add("ours/names-50000", 10, OursNames);
  if (haveFind)
    add("find/names-50000", 10, FindNames);
  for (const TextCase &c : kTextCases) {
    add(std::string("ours/text-200MB/") + c.name, 5,
        [&c](benchmark::State &s, const std::string &k) { OursText(s, c, k); });
    if (haveGrep)
      add(std::string("grep/text-200MB/") + c.name, 5,
          [&c](benchmark::State &s, const std::string &k) { GrepText(s, c, k); });
  }
  // The trees are made (and read into the page cache) before any timing.
  NameTree();
  TextTree();
  RunCounting({"grep", "-rlc", "warm-the-cache", TextTree()});
  benchmark::Initialize(&argc, argv);
  Collector reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  if (haveFind)
    Compare("filescan-names-50000-files", "find", "ours/names-50000", "find/names-50000");
  else
    kxbench::Skipped("find");
  for (const TextCase &c : kTextCases) {
    const std::string what = std::string("filescan-text-200MB-") + c.name;
    if (haveGrep)
      Compare(what, std::string("grep ") + c.grepFlags, std::string("ours/text-200MB/") + c.name,
              std::string("grep/text-200MB/") + c.name);
    else
      kxbench::Skipped("grep");
  }
  return 0;
}
