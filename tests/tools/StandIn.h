// What every stand-in tool does: append a record of how it was started (its
// name, working folder and arguments) to the file KX_TOOL_LOG names, wait
// while the file KX_TOOL_HOLD names exists (a test decides when the tool
// ends, without timing), and end with KX_TOOL_EXIT_CODE.
//
// The record is written before the hold. Record format, one item a line, fields escaped (\\, \n,
// \r, \t):
//   RUN <name>
//   PID <process id>
//   CWD <working folder>
//   ARG <argument>          one line per argument
//   <KEY> <value>           what the tool adds (TEXT: the source it read)
//   END
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace standin {

inline std::string Env(const char *name, const std::string &fallback = std::string()) {
  const char *v = std::getenv(name);
  return v ? std::string(v) : fallback;
}

inline std::string Escape(const std::string &s) {
  std::string out;
  for (char c : s) {
    switch (c) {
    case '\\':
      out += "\\\\";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    case '\t':
      out += "\\t";
      break;
    default:
      out += c;
    }
  }
  return out;
}

inline bool Exists(const std::string &path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

inline std::string ReadFile(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline bool WriteFile(const std::string &path, const std::string &bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << bytes;
  return static_cast<bool>(f);
}

inline std::string BaseName(const std::string &path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The path with its extension replaced (or added).
inline std::string WithExtension(const std::string &path, const std::string &extension) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return path + extension;
  return path.substr(0, dot) + extension;
}

inline std::string Upper(std::string s) {
  for (char &c : s)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  return s;
}

class TRun {
public:
  TRun(const char *name, int argc, char **argv) : name_(name) {
    for (int i = 1; i < argc; ++i)
      args_.emplace_back(argv[i]);
  }
  const std::vector<std::string> &Args() const { return args_; }
  void Add(const std::string &key, const std::string &value) { extra_.emplace_back(key, value); }

  // Writes the record (in one write, so parallel tools never interleave).
  void Record() const {
    const std::string log = Env("KX_TOOL_LOG");
    if (log.empty())
      return;
    char cwd[4096] = "";
    if (!::getcwd(cwd, sizeof cwd))
      cwd[0] = '\0';
    std::string r =
        "RUN " + name_ + "\nPID " + std::to_string(::getpid()) + "\nCWD " + Escape(cwd) + "\n";
    for (const std::string &a : args_)
      r += "ARG " + Escape(a) + "\n";
    for (const auto &[k, v] : extra_)
      r += k + " " + Escape(v) + "\n";
    r += "END\n";
    if (std::FILE *f = std::fopen(log.c_str(), "ab")) {
      std::fwrite(r.data(), 1, r.size(), f);
      std::fclose(f);
    }
  }

  // Holds while the hold file exists, then gives the exit code.
  int Finish() const {
    const std::string hold = Env("KX_TOOL_HOLD");
    while (Exists(hold))
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return std::atoi(Env("KX_TOOL_EXIT_CODE", "0").c_str());
  }

private:
  std::string name_;
  std::vector<std::string> args_;
  std::vector<std::pair<std::string, std::string>> extra_;
};

} // namespace standin
