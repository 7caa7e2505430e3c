// Process paths and the case-insensitive file look-ups that stand in for the
// Windows file system's.
#include "ProcessPaths.h"

#include <dirent.h>
#include <limits.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

std::string ExeFolder;
std::string IncFolder;
std::string AssemblerPath;
std::string SettingsFolder;
std::string HelpFilePath;
std::string DeviceName = "16F84";
std::string CommandLineFile;

namespace {

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/')
    folder += '/';
  return folder;
}

bool IsRegularFile(const std::string &path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

void InitProcessPaths(const std::string &exeFolder) {
  ExeFolder = WithSlash(exeFolder);
  IncFolder = ExeFolder + "KX_INC/";
  AssemblerPath = IncFolder + "MPASMWIN.EXE";
  SettingsFolder = IncFolder;
  HelpFilePath = IncFolder + "KORVEX.HLP";
}

std::string ExecutableFolder() {
  char buf[PATH_MAX + 1];
  const ssize_t n = ::readlink("/proc/self/exe", buf, PATH_MAX);
  if (n <= 0)
    return "./";
  std::string path(buf, static_cast<size_t>(n));
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

std::string SettingsFileBeside(const std::string &exeFolder) {
  return WithSlash(exeFolder) + "KX_INC/KORVEX.INI";
}

std::string FindFileIgnoringCase(const std::string &folder, const std::string &name) {
  const std::string exact = WithSlash(folder) + name;
  if (IsRegularFile(exact))
    return exact;
  std::string found;
  if (DIR *d = ::opendir(folder.c_str())) {
    while (const dirent *e = ::readdir(d)) {
      if (::strcasecmp(e->d_name, name.c_str()) == 0 &&
          IsRegularFile(WithSlash(folder) + e->d_name)) {
        found = WithSlash(folder) + e->d_name;
        break;
      }
    }
    ::closedir(d);
  }
  return found;
}

bool FolderHasFileWithExtension(const std::string &folder, const std::string &extension) {
  bool found = false;
  if (DIR *d = ::opendir(folder.c_str())) {
    while (const dirent *e = ::readdir(d)) {
      const std::string n = e->d_name;
      if (n.size() > extension.size() &&
          ::strcasecmp(n.c_str() + n.size() - extension.size(), extension.c_str()) == 0 &&
          IsRegularFile(WithSlash(folder) + n)) {
        found = true;
        break;
      }
    }
    ::closedir(d);
  }
  return found;
}
