// Tool look-up on a case-sensitive file system.
#include "ToolLookup.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool SameFile(const struct stat &a, const struct stat &b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A regular file that is not the running program.
bool Usable(const std::string &path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    return false;
  struct stat self {};
  return ::stat("/proc/self/exe", &self) != 0 || !SameFile(st, self);
}

void SplitPath(const std::string &path, std::string &folder, std::string &name) {
  const size_t slash = path.find_last_of('/');
  folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  name = slash == std::string::npos ? path : path.substr(slash + 1);
}

bool EndsWithIgnoringCase(const std::string &s, const char *suffix) {
  const size_t n = std::strlen(suffix);
  return s.size() >= n && ::strcasecmp(s.c_str() + s.size() - n, suffix) == 0;
}

// The usable entries of `folder` named `name` ignoring case, `preferred`
// spellings first; empty when there is none.
std::string FindIgnoringCase(const std::string &folder, const std::string &name,
                             const std::string &preferred) {
  if (!preferred.empty() && Usable(folder + preferred))
    return folder + preferred;
  if (Usable(folder + name))
    return folder + name;
  std::string best;
  if (DIR *d = ::opendir(folder.empty() ? "." : folder.c_str())) {
    // Directory order is arbitrary: the smallest matching name is taken, so
    // the same folder always gives the same program.
    while (const dirent *e = ::readdir(d)) {
      if (::strcasecmp(e->d_name, name.c_str()) != 0)
        continue;
      const std::string candidate = e->d_name;
      if ((best.empty() || candidate < best) && Usable(folder + candidate))
        best = candidate;
    }
    ::closedir(d);
  }
  return best.empty() ? std::string() : folder + best;
}

std::string Lower(std::string s) {
  for (char &c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

} // namespace

std::string FindTool(const std::string &path) {
  if (path.empty())
    return std::string();
  std::string folder, name;
  SplitPath(path, folder, name);
  if (name.empty())
    return std::string();
  if (std::string found = FindIgnoringCase(folder, name, std::string()); !found.empty())
    return found;
  if (!EndsWithIgnoringCase(name, ".EXE") || name.size() <= 4)
    return std::string();
  const std::string base = name.substr(0, name.size() - 4);
  return FindIgnoringCase(folder, base, Lower(base));
}

TProgramKind ProgramKindOf(const std::string &file) {
  struct stat st {};
  if (file.empty() || ::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    return TProgramKind::Missing;
  char head[2] = {0, 0};
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    const ssize_t n = ::read(fd, head, sizeof head);
    ::close(fd);
    if (n == 2 && head[0] == 'M' && head[1] == 'Z')
      return TProgramKind::Windows;
  }
  if (::access(file.c_str(), X_OK) == 0)
    return TProgramKind::Native;
  std::string folder, name;
  SplitPath(file, folder, name);
  const bool programName = name.find('.') == std::string::npos ||
                           EndsWithIgnoringCase(name, ".EXE") ||
                           EndsWithIgnoringCase(name, ".COM") || EndsWithIgnoringCase(name, ".BAT");
  return programName ? TProgramKind::NotExecutable : TProgramKind::Document;
}

TProgramLookup LookUpProgram(const std::string &path) {
  TProgramLookup r;
  r.Path = FindTool(path);
  r.Kind = ProgramKindOf(r.Path);
  return r;
}

std::string FindInSearchPath(const std::string &name, const std::string &searchPath) {
  size_t start = 0;
  while (start <= searchPath.size()) {
    size_t end = searchPath.find(':', start);
    if (end == std::string::npos)
      end = searchPath.size();
    std::string candidate = end > start ? searchPath.substr(start, end - start) : std::string(".");
    candidate += '/';
    candidate += name;
    struct stat st {};
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
    start = end + 1;
  }
  return std::string();
}

std::string ChangeFileExt(const std::string &path, const std::string &extension) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return path + extension;
  return path.substr(0, dot) + extension;
}

std::string ResultFileName(const std::string &path, const std::string &extension) {
  const std::string changed = ChangeFileExt(path, extension);
  std::string folder, name;
  SplitPath(changed, folder, name);
  // Two tools may each have left a spelling (a compiler under wine writes
  // "BLINK.HEX", gpasm "blink.hex"): the one written last is the current
  // result; on equal times the exact name, then the smallest.
  std::string best;
  struct timespec bestTime {};
  if (DIR *d = ::opendir(folder.empty() ? "." : folder.c_str())) {
    while (const dirent *e = ::readdir(d)) {
      if (::strcasecmp(e->d_name, name.c_str()) != 0)
        continue;
      const std::string candidate = e->d_name;
      struct stat st {};
      if (::stat((folder + candidate).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        continue;
      const struct timespec t = st.st_mtim;
      const bool newer = best.empty() || t.tv_sec > bestTime.tv_sec ||
                         (t.tv_sec == bestTime.tv_sec && t.tv_nsec > bestTime.tv_nsec);
      const bool same =
          !best.empty() && t.tv_sec == bestTime.tv_sec && t.tv_nsec == bestTime.tv_nsec;
      const bool preferred = same && best != name && (candidate == name || candidate < best);
      if (newer || preferred) {
        best = candidate;
        bestTime = t;
      }
    }
    ::closedir(d);
  }
  return best.empty() ? changed : folder + best;
}
