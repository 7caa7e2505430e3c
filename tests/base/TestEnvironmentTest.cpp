// Every test process gets a private HOME, XDG folders and TMPDIR, whoever
// starts it, and two processes started at once never share them.
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char *const kFolders[] = {"HOME",          "XDG_CONFIG_HOME", "XDG_STATE_HOME",
                                "XDG_DATA_HOME", "XDG_CACHE_HOME",  "XDG_RUNTIME_DIR",
                                "TMPDIR"};

bool Inside(const std::string &path, const std::string &root) {
  return path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
         path[root.size()] == '/';
}

TEST(TestEnvironment, EveryFolderIsPrivateToThisProcess) {
  const std::string &root = kxtest::PrivateRoot();
  ASSERT_FALSE(root.empty());
  const passwd *pw = ::getpwuid(::getuid());
  for (const char *var : kFolders) {
    const char *v = std::getenv(var);
    ASSERT_NE(v, nullptr) << var;
    EXPECT_TRUE(Inside(v, root)) << var << "=" << v;
    EXPECT_TRUE(fs::is_directory(v)) << var;
    if (pw && pw->pw_dir) {
      EXPECT_NE(std::string(v), std::string(pw->pw_dir)) << var;
    }
  }
  struct stat st {};
  ASSERT_EQ(::stat(std::getenv("XDG_RUNTIME_DIR"), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_TRUE(Inside(fs::temp_directory_path().string(), root));
}

TEST(TestEnvironment, FreshFoldersAreEmptyAndDistinct) {
  const std::string a = kxtest::FreshDir("x"), b = kxtest::FreshDir("x");
  EXPECT_NE(a, b);
  EXPECT_TRUE(fs::is_empty(a));
  EXPECT_TRUE(Inside(a, kxtest::PrivateRoot()));
}

// Started as a child by the test below: reports its environment.
TEST(TestEnvironment, ReportForParent) {
  const char *out = std::getenv("KX_REPORT_TO");
  if (!out)
    GTEST_SKIP() << "only run as a child";
  std::ofstream(out) << kxtest::PrivateRoot() << "\n" << std::getenv("HOME") << "\n";
}

TEST(TestEnvironment, TwoCopiesAtOnceNeverShareAFolderAndLeaveNothing) {
  const std::string dir = kxtest::FreshDir("children");
  // Both children are told the developer's home is a folder with settings in
  // it; neither may use it.
  const std::string fakeHome = dir + "/developer";
  fs::create_directories(fakeHome + "/.config");
  QProcess a, b;
  for (auto [p, name] : {std::pair{&a, "a"}, std::pair{&b, "b"}}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", QString::fromStdString(fakeHome));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(fakeHome + "/.config"));
    env.remove("KX_TEST_TMP_ROOT");
    env.insert("TMPDIR", QString::fromStdString(dir));
    env.insert("KX_REPORT_TO", QString::fromStdString(dir + "/" + name + ".txt"));
    p->setProcessEnvironment(env);
    p->start(QString::fromStdString(fs::read_symlink("/proc/self/exe").string()),
             {QStringLiteral("--gtest_filter=TestEnvironment.ReportForParent")});
  }
  ASSERT_TRUE(a.waitForFinished(-1));
  ASSERT_TRUE(b.waitForFinished(-1));
  EXPECT_EQ(a.exitCode(), 0);
  EXPECT_EQ(b.exitCode(), 0);
  std::string rootA, homeA, rootB, homeB;
  std::ifstream(dir + "/a.txt") >> rootA >> homeA;
  std::ifstream(dir + "/b.txt") >> rootB >> homeB;
  ASSERT_FALSE(rootA.empty());
  ASSERT_FALSE(rootB.empty());
  EXPECT_NE(rootA, rootB);
  EXPECT_TRUE(Inside(rootA, dir));
  EXPECT_TRUE(Inside(homeA, rootA));
  EXPECT_TRUE(Inside(homeB, rootB));
  EXPECT_FALSE(fs::exists(rootA));
  EXPECT_FALSE(fs::exists(rootB));
  EXPECT_TRUE(fs::is_empty(fakeHome + "/.config"));
}

} // namespace
