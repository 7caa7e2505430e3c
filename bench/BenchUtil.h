// Shared by the benchmarks: input paths and the RATIO / FIGURE lines.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <vector>
#include <cstdlib>
#include <string>

namespace kxbench {

// Folder of the generated inputs (set by scripts/bench).
inline std::string DataFile(const std::string &name) {
  const char *d = std::getenv("KX_BENCH_DATA");
  return std::string(d ? d : "build/bench-data") + "/" + name;
}

// peerCost / ourCost: above 1 means we are faster or smaller.
inline void Ratio(const std::string &what, const std::string &peer, double ourCost, double peerCost) {
  std::printf("RATIO %s vs %s: %.2f\n", what.c_str(), peer.c_str(), ourCost > 0 ? peerCost / ourCost : 0.0);
  std::fflush(stdout);
}

inline void Figure(const std::string &what, double value, const std::string &unit) {
  std::printf("FIGURE %s: %.3g %s\n", what.c_str(), value, unit.c_str());
  std::fflush(stdout);
}

inline void Skipped(const std::string &peer) {
  std::printf("SKIPPED peer %s: not installed\n", peer.c_str());
  std::fflush(stdout);
}

// Seconds per iteration (wall clock) of every benchmark run so far, by name,
// so a program can print ratios between its own runs after they finish.
inline std::map<std::string, double> &Seconds() {
  static std::map<std::string, double> s;
  return s;
}

// Console output as usual, and each run's time recorded in Seconds().
class RealTimeCollector : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const auto &r : runs)
      if (r.run_type == Run::RT_Iteration && r.iterations > 0)
        Seconds()[r.benchmark_name()] = r.real_accumulated_time / static_cast<double>(r.iterations);
    ConsoleReporter::ReportRuns(runs);
  }
};

} // namespace kxbench
