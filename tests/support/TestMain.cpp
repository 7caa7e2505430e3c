// The main of every test program: a private environment first, then the tests.
#include "TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string root;
int freshCount = 0;

void Fail(const std::string &what) {
  std::fprintf(stderr, "test environment: %s: %s\n", what.c_str(), std::strerror(errno));
  std::exit(2);
}

void MakeFolder(const std::string &path, mode_t mode) {
  if (::mkdir(path.c_str(), mode) != 0 && errno != EEXIST)
    Fail("cannot create " + path);
}

// The base comes from the test's registration (a folder in the build tree);
// started by hand, the system's temporary folder.
std::string BaseFolder() {
  for (const char *name : {"KX_TEST_TMP_ROOT", "TMPDIR"}) {
    const char *v = std::getenv(name);
    if (v && *v)
      return v;
  }
  return "/tmp";
}

void SetUpPrivateEnvironment() {
  const std::string base = BaseFolder();
  std::error_code ec;
  fs::create_directories(base, ec);
  std::string templ = base;
  templ.append("/kxtest-XXXXXX");
  if (!::mkdtemp(templ.data()))
    Fail("cannot create a private folder in " + base);
  root = templ;
  const struct {
    const char *var, *folder;
  } folders[] = {{"HOME", "home"},          {"XDG_CONFIG_HOME", "config"},
                 {"XDG_STATE_HOME", "state"}, {"XDG_DATA_HOME", "data"},
                 {"XDG_CACHE_HOME", "cache"}, {"XDG_RUNTIME_DIR", "runtime"},
                 {"TMPDIR", "tmp"}};
  for (const auto &f : folders) {
    std::string path = root;
    path.append(1, '/').append(f.folder);
    MakeFolder(path, 0700);
    ::setenv(f.var, path.c_str(), 1);
  }
  // No session message bus: without an address, the bus library starts one
  // on the X display a window test opens (a process outliving the test, on
  // the developer's display) and keeps its buffers to the end. An address in
  // the private folder where no bus listens makes every connection fail at
  // once, as on a machine with no desktop session.
  const std::string bus = "unix:path=" + root + "/runtime/no-bus";
  ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.c_str(), 1);
}

// Tests take write permission away from folders to check refusals; give it
// back so that the whole private tree can go.
void RemovePrivateEnvironment() {
  if (root.empty() || std::getenv("KX_TEST_KEEP"))
    return;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(root, ec);
}

} // namespace

namespace kxtest {

const std::string &PrivateRoot() { return root; }

std::string FreshDir(const std::string &stem) {
  std::string name = stem;
  if (const auto *info = ::testing::UnitTest::GetInstance()->current_test_info()) {
    name.append(1, '-').append(info->test_suite_name()).append(1, '.').append(info->name());
  }
  name.append(1, '-').append(std::to_string(++freshCount));
  for (char &c : name)
    if (c == '/')
      c = '_';
  std::string path = root;
  path.append("/tmp/").append(name);
  std::error_code ec;
  fs::remove_all(path, ec);
  fs::create_directories(path);
  return path;
}

} // namespace kxtest

int main(int argc, char **argv) {
  SetUpPrivateEnvironment();
  ::testing::InitGoogleMock(&argc, argv);
  const int rc = RUN_ALL_TESTS();
  RemovePrivateEnvironment();
  return rc;
}
