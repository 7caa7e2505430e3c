#include "ReportLinks.h"

#include <regex>

namespace {

constexpr size_t MaxSearched = 4096;

bool Compile(const std::string &pattern, std::regex &out) {
  try {
    out = std::regex(pattern, std::regex::ECMAScript);
    return true;
  } catch (const std::regex_error &) {
    return false;
  }
}

} // namespace

bool ValidReportLinePattern(const std::string &pattern) {
  std::regex r;
  return !pattern.empty() && Compile(pattern, r);
}

int64_t ReportLineNumber(const std::string &line, const std::string &pattern) {
  std::regex r;
  if (pattern.empty() || !Compile(pattern, r))
    Compile(DefaultReportLinePattern, r);
  const std::string text = line.substr(0, MaxSearched);
  std::smatch m;
  try {
    if (!std::regex_search(text, m, r))
      return 0;
  } catch (const std::regex_error &) {
    return 0; // a pattern too complex for the line
  }
  for (size_t g = 1; g < m.size(); ++g) {
    if (!m[g].matched)
      continue;
    const std::string digits = m[g].str();
    int64_t n = 0;
    for (char c : digits) {
      if (c < '0' || c > '9')
        return 0;
      n = n * 10 + (c - '0');
      if (n > (int64_t(1) << 40))
        return 0;
    }
    return n;
  }
  return 0;
}
