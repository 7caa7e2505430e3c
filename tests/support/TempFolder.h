// A fresh folder under the test's own temporary folder, removed at the end.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>

class TTempFolder {
public:
  TTempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kx_tc_XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
      throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TTempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TTempFolder(const TTempFolder &) = delete;
  TTempFolder &operator=(const TTempFolder &) = delete;

  // The folder with a trailing "/".
  std::string Dir() const { return path_.string() + "/"; }
  std::string Put(const std::string &name, const std::string &bytes,
                  bool executable = false) const {
    const std::string p = Dir() + name;
    std::filesystem::create_directories(std::filesystem::path(p).parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
    if (executable)
      ::chmod(p.c_str(), 0755);
    return p;
  }

private:
  std::filesystem::path path_;
};

inline std::string ReadFileBytes(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}
