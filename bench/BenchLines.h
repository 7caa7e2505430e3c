// The lines benchmarks print for tools to read: RATIO and FIGURE, or the
// line saying why one could not be measured.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>

namespace kxbench {

// The RATIO line, or the line saying why there is none: a ratio from a missing,
// failed or zero time would read as a figure (0.00, negative, infinite).
inline std::string RatioLine(const std::string &what, const std::string &peer, double ourCost,
                             double peerCost) {
  const auto usable = [](double v) { return std::isfinite(v) && v > 0; };
  const char *why = nullptr;
  if (!usable(ourCost) && !usable(peerCost))
    why = "neither cost was measured";
  else if (!usable(ourCost))
    why = "our cost was not measured";
  else if (!usable(peerCost))
    why = "the peer's cost was not measured";
  char buf[64];
  if (why)
    return "NO RATIO " + what + " vs " + peer + ": " + why;
  // Two decimals, and below 0.1 three significant digits: a peer hundreds of
  // times faster must not read as 0.00.
  const double r = peerCost / ourCost;
  std::snprintf(buf, sizeof buf, r >= 0.1 ? "%.2f" : "%.3g", r);
  return "RATIO " + what + " vs " + peer + ": " + buf;
}

// The FIGURE line; a failed measure (negative, NaN) says so instead.
inline std::string FigureLine(const std::string &what, double value, const std::string &unit) {
  if (!std::isfinite(value) || value < 0)
    return "NO FIGURE " + what + ": not measured";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.3g", value);
  return "FIGURE " + what + ": " + buf + " " + unit;
}

} // namespace kxbench
