// Reading what the stand-in tools (tests/tools) recorded about their starts,
// and whether a recorded process has ended.
#pragma once

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

struct TToolRun {
  std::string Name;
  long Pid = 0;
  std::string Cwd;
  std::vector<std::string> Args;
  std::map<std::string, std::string> Extra; // TEXT, HEXSIZE, ...
};

inline std::string UnescapeToolField(const std::string &s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    const char c = s[++i];
    out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
  }
  return out;
}

// Every run recorded in the log, in the order they ended their records.
inline std::vector<TToolRun> ReadToolLog(const std::string &path) {
  std::vector<TToolRun> runs;
  std::ifstream f(path, std::ios::binary);
  std::string line;
  TToolRun run;
  while (std::getline(f, line)) {
    const size_t blank = line.find(' ');
    const std::string key = line.substr(0, blank);
    const std::string value =
        blank == std::string::npos ? std::string() : UnescapeToolField(line.substr(blank + 1));
    if (key == "RUN") {
      run = TToolRun();
      run.Name = value;
    } else if (key == "PID")
      run.Pid = std::stol(value);
    else if (key == "CWD")
      run.Cwd = value;
    else if (key == "ARG")
      run.Args.push_back(value);
    else if (key == "END")
      runs.push_back(run);
    else
      run.Extra[key] = value;
  }
  return runs;
}

// Whether the process of a recorded run has ended (gone, or a zombie nobody
// reaped yet).
inline bool ToolEnded(long pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line))
    return true;
  const size_t paren = line.rfind(')');
  return paren != std::string::npos && paren + 2 < line.size() && line[paren + 2] == 'Z';
}
