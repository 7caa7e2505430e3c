// A private folder tree for the file-scan tests: files with given bytes,
// modes and times, removed when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kxscan {

namespace fs = std::filesystem;

class TempTree {
public:
  TempTree() {
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = fs::temp_directory_path() / ("kx_scan_" + std::to_string(::getpid()) + "_" +
                                         info->test_suite_name() + "_" + info->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  ~TempTree() {
    std::error_code ec;
    // Folders a test made unreadable must come back before they can go.
    for (auto it = fs::recursive_directory_iterator(root_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
  }
  TempTree(const TempTree &) = delete;
  TempTree &operator=(const TempTree &) = delete;

  // The root folder with a trailing "/".
  std::string Dir() const { return root_.string() + "/"; }
  std::string Path(const std::string &rel) const { return Dir() + rel; }

  std::string File(const std::string &rel, const std::string &bytes = std::string()) {
    const fs::path p = root_ / rel;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return p.string();
  }
  std::string Folder(const std::string &rel) {
    fs::create_directories(root_ / rel);
    return (root_ / rel).string() + "/";
  }
  void Mode(const std::string &rel, mode_t mode) { ::chmod(Path(rel).c_str(), mode); }
  // Modification time in seconds since 1970.
  void Time(const std::string &rel, int64_t seconds) {
    const struct timespec t[2] = {{static_cast<time_t>(seconds), 0},
                                  {static_cast<time_t>(seconds), 0}};
    ::utimensat(AT_FDCWD, Path(rel).c_str(), t, 0);
  }
  void Link(const std::string &target, const std::string &rel) {
    fs::create_symlink(target, root_ / rel);
  }

private:
  fs::path root_;
};

} // namespace kxscan
