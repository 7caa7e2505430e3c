#include "RecoverySession.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char *const LockName = "session.lock";
const char *const JournalExtension = ".kxj";

int LockFolder(const std::string &folder, bool wait) {
  const std::string path = folder + LockName;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0)
    return -1;
  if (::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

void MakeFolders(const std::string &path) {
  std::error_code ec;
  fs::create_directories(path, ec);
  ::chmod(path.c_str(), 0700);
}

} // namespace

std::string DefaultRecoveryFolder() {
  std::string state;
  if (const char *x = std::getenv("XDG_STATE_HOME"); x && *x == '/')
    state = x;
  else if (const char *home = std::getenv("HOME"); home && *home)
    state = std::string(home) + "/.local/state";
  else
    state = "/tmp";
  return state + "/korvex-editor/recovery/";
}

TRecoverySession::TRecoverySession(std::string root) : root_(std::move(root)) {
  if (!root_.empty() && root_.back() != '/')
    root_ += '/';
  MakeFolders(root_);
  const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  const std::string stem = std::to_string(::getpid()) + "-" + std::to_string(now);
  // Locked under a name no scan looks at, then renamed: a copy that scans in
  // between never takes the new folder for one whose copy has ended.
  const std::string pending = root_ + "pending-" + stem + "/";
  if (::mkdir(pending.c_str(), 0700) != 0)
    return;
  const int fd = LockFolder(pending, false);
  folder_ = root_ + "session-" + stem + "/";
  if (fd < 0 || ::rename(pending.substr(0, pending.size() - 1).c_str(),
                         folder_.substr(0, folder_.size() - 1).c_str()) != 0) {
    if (fd >= 0)
      ::close(fd);
    std::error_code ec;
    fs::remove_all(pending, ec);
    return;
  }
  lockFd_ = fd;
}

TRecoverySession::~TRecoverySession() {
  if (lockFd_ < 0)
    return;
  std::error_code ec;
  fs::remove_all(folder_, ec);
  ::close(lockFd_);
}

std::string TRecoverySession::NewJournalPath() {
  char name[32];
  std::snprintf(name, sizeof name, "doc-%06u", next_++);
  return folder_ + name + JournalExtension;
}

TOrphanSession::TOrphanSession(std::string folder, int lockFd)
    : folder_(std::move(folder)), lockFd_(lockFd) {}

TOrphanSession::TOrphanSession(TOrphanSession &&other) noexcept
    : folder_(std::move(other.folder_)), lockFd_(other.lockFd_) {
  other.lockFd_ = -1;
}

TOrphanSession::~TOrphanSession() {
  if (lockFd_ >= 0)
    ::close(lockFd_);
}

std::vector<std::string> TOrphanSession::Journals() const {
  std::vector<std::string> out;
  std::error_code ec;
  for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file(ec) && it->path().extension() == JournalExtension)
      out.push_back(it->path().string());
  std::sort(out.begin(), out.end());
  return out;
}

void TOrphanSession::RemoveAll() {
  std::error_code ec;
  fs::remove_all(folder_, ec);
}

std::vector<TOrphanSession> FindOrphanSessions(const std::string &rootIn, const std::string &own) {
  std::string root = rootIn;
  if (!root.empty() && root.back() != '/')
    root += '/';
  std::vector<std::string> folders;
  std::error_code ec;
  for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind("session-", 0) == 0 && it->is_directory(ec) && !it->is_symlink(ec))
      folders.push_back(root + name + "/");
  }
  std::sort(folders.begin(), folders.end());
  std::vector<TOrphanSession> out;
  for (const std::string &folder : folders) {
    if (folder == own)
      continue;
    const int fd = LockFolder(folder, false);
    if (fd >= 0)
      out.emplace_back(folder, fd);
  }
  return out;
}
