// Shared by the benchmarks: input paths, clocks, and the RATIO / FIGURE lines.
#pragma once

#include "BenchLines.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace kxbench {

// Folder of the generated inputs (set by scripts/bench).
inline std::string DataFile(const std::string &name) {
  const char *d = std::getenv("KX_BENCH_DATA");
  return std::string(d ? d : "build/bench-data") + "/" + name;
}

// A file of the checkout (schemes, resources), wherever the program runs from.
inline std::string SourceFile(const std::string &relative) {
  return std::string(KX_SOURCE_DIR) + "/" + relative;
}

// peerCost / ourCost: above 1 means we are faster or smaller. A cost of 0 or
// below (or NaN) stands for a run that failed.
inline void Ratio(const std::string &what, const std::string &peer, double ourCost, double peerCost) {
  std::printf("%s\n", RatioLine(what, peer, ourCost, peerCost).c_str());
  std::fflush(stdout);
}

inline void Figure(const std::string &what, double value, const std::string &unit) {
  std::printf("%s\n", FigureLine(what, value, unit).c_str());
  std::fflush(stdout);
}

inline void Skipped(const std::string &peer) {
  std::printf("SKIPPED peer %s: not installed\n", peer.c_str());
  std::fflush(stdout);
}

// A line of its own for what the figures around it mean.
inline void Note(const std::string &text) {
  std::printf("   %s\n", text.c_str());
  std::fflush(stdout);
}

// --- clocks ---

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// Wall-clock seconds of one call.
template <class F> double Time(F &&f) {
  const auto t0 = Clock::now();
  f();
  return Seconds(t0, Clock::now());
}

// CPU seconds of this thread: what a single-threaded path costs, whatever
// else the shared machine runs meanwhile.
inline double ThreadCpuNow() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

template <class F> double CpuTime(F &&f) {
  const double t0 = ThreadCpuNow();
  f();
  return ThreadCpuNow() - t0;
}

// Best of n wall-clock runs, each after an untimed preparation.
template <class P, class F> double Best(int n, P &&prepare, F &&f) {
  double best = 1e30;
  for (int i = 0; i < n; ++i) {
    prepare();
    best = std::min(best, Time(f));
  }
  return best;
}

template <class F> double Best(int n, F &&f) {
  return Best(n, [] {}, f);
}

inline double Median(std::vector<double> v) {
  if (v.empty())
    return -1;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The first `lines` lines of a text (all of it when shorter).
inline std::string FirstLines(std::string all, int lines) {
  size_t pos = 0;
  for (int i = 0; i < lines && pos != std::string::npos; ++i) {
    pos = all.find('\n', pos);
    if (pos != std::string::npos)
      ++pos;
  }
  all.resize(pos == std::string::npos ? all.size() : pos);
  return all;
}

// Seconds per iteration of every benchmark run so far, by name, so a program
// can print ratios between its own runs after they finish.
inline std::map<std::string, double> &Seconds() {
  static std::map<std::string, double> s;
  return s;
}

// Console output as usual, and each run's time recorded in Seconds(): wall
// clock by default, or CPU time, keeping the best repetition (the least
// disturbed one on a shared machine) under the name without its suffixes.
class RealTimeCollector : public benchmark::ConsoleReporter {
public:
  explicit RealTimeCollector(bool cpu = false) : ConsoleReporter(OO_Tabular), cpu_(cpu) {}
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const auto &r : runs) {
      if (r.run_type != Run::RT_Iteration || r.iterations <= 0 || r.error_occurred)
        continue;
      std::string name = r.benchmark_name();
      for (const char *suffix : {"/min_time", "/repeats", "/iterations", "/manual_time"})
        name = name.substr(0, name.find(suffix));
      const double total = cpu_ ? r.cpu_accumulated_time : r.real_accumulated_time;
      const double t = total / static_cast<double>(r.iterations);
      auto it = Seconds().find(name);
      if (it == Seconds().end() || t < it->second)
        Seconds()[name] = t;
    }
    ConsoleReporter::ReportRuns(runs);
  }

private:
  bool cpu_;
};

// The time recorded for a benchmark, or -1 when it did not run.
inline double SecondsOf(const std::string &name) {
  const auto it = Seconds().find(name);
  return it == Seconds().end() ? -1 : it->second;
}

} // namespace kxbench
