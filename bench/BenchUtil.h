// Shared by the benchmarks: input paths and the RATIO / FIGURE lines.
#pragma once

#include <cstdio>
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

} // namespace kxbench
