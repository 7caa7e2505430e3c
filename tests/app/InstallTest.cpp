// The desktop install as a user gets it: `cmake --install` into a fresh
// prefix lays out the program beside its KX_INC folder with a link in bin, a
// desktop entry that desktop-file-validate accepts and that starts the
// installed program, a MIME type the MIME database compiles for the three
// source extensions, and the icon; a second install keeps the user's settings.
#include "Streams.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct TRun {
  int code = -1;
  std::string out;
};

TRun RunTool(const QString &program, const QStringList &args,
         const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment()) {
  QProcess p;
  p.setProcessEnvironment(env);
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(program, args);
  if (!p.waitForStarted(-1))
    return {};
  p.waitForFinished(-1);
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
          p.readAll().toStdString()};
}

std::string Install(const std::string &prefix) {
  const TRun r = RunTool(QStringLiteral("cmake"), {QStringLiteral("--install"),
                                               QStringLiteral(KX_BINARY_DIR),
                                               QStringLiteral("--prefix"),
                                               QString::fromStdString(prefix)});
  return r.code == 0 ? std::string() : "cmake --install failed: " + r.out;
}

std::string ValueOf(const std::string &desktop, const std::string &key) {
  std::istringstream in(desktop);
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key + "=", 0) == 0)
      return line.substr(key.size() + 1);
  return std::string();
}

TEST(Install, PrefixHoldsAStartableProgramAndAValidDesktopEntry) {
  const std::string prefix = kxtest::FreshDir("prefix") + "/usr";
  ASSERT_EQ(Install(prefix), "");
  const fs::path lib = fs::path(prefix) / "lib/korvex-editor";
  EXPECT_TRUE(fs::is_regular_file(lib / "korvex-editor"));
  EXPECT_TRUE(fs::is_regular_file(lib / "KX_INC/KORVEX.INI"));
  EXPECT_TRUE(fs::is_regular_file(lib / "KX_INC/PBP.INI"));
  EXPECT_TRUE(fs::is_directory(lib / "KX_INC/EXTERNAL PROGRAMS"));
  EXPECT_TRUE(fs::is_symlink(fs::path(prefix) / "bin/korvex-editor"));
  EXPECT_TRUE(fs::is_regular_file(fs::path(prefix) /
                                  "share/icons/hicolor/scalable/apps/korvex-editor.svg"));

  const std::string entry = prefix + "/share/applications/korvex-editor.desktop";
  const TRun valid = RunTool(QStringLiteral("desktop-file-validate"), {QString::fromStdString(entry)});
  EXPECT_EQ(valid.code, 0) << valid.out;
  EXPECT_EQ(valid.out, "");
  const std::string desktop = ReadWholeFile(entry);
  EXPECT_EQ(ValueOf(desktop, "Exec"), prefix + "/bin/korvex-editor %f");
  EXPECT_EQ(ValueOf(desktop, "MimeType"), "text/x-korvex-basic;");
  EXPECT_EQ(ValueOf(desktop, "Icon"), "korvex-editor");

  // The MIME database takes the package and maps the three extensions to it.
  const TRun mime = RunTool(QStringLiteral("update-mime-database"),
                        {QString::fromStdString(prefix + "/share/mime")});
  ASSERT_EQ(mime.code, 0) << mime.out;
  const std::string globs = ReadWholeFile(prefix + "/share/mime/globs2");
  for (const char *ext : {"*.bas", "*.inc", "*.pbp"})
    EXPECT_NE(globs.find(std::string("text/x-korvex-basic:") + ext), std::string::npos) << ext;

  // The program the entry names starts through its link and finds the
  // settings beside the real executable.
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("KX_EXIT_WHEN_SHOWN"), QStringLiteral("1"));
  env.insert(QStringLiteral("KX_INSTANCE_NAME"),
             QStringLiteral("kxinstall-%1").arg(QCoreApplication::applicationPid()));
  env.insert(QStringLiteral("KX_PROMPTER_LOG"), QString::fromStdString(prefix + "/log"));
  const TRun started = RunTool(QString::fromStdString(prefix + "/bin/korvex-editor"), {}, env);
  EXPECT_EQ(started.code, 0) << started.out;
  EXPECT_NE(started.out.find("KX-SHOWN"), std::string::npos) << started.out;
}

TEST(Install, ReinstallingKeepsTheUsersSettings) {
  const std::string prefix = kxtest::FreshDir("again");
  ASSERT_EQ(Install(prefix), "");
  const std::string ini = prefix + "/lib/korvex-editor/KX_INC/KORVEX.INI";
  WriteFileAtomic(ini, "[PROGRAMMER]\r\nTYPE=OTHER\r\n");
  ASSERT_EQ(Install(prefix), "");
  EXPECT_EQ(ReadWholeFile(ini), "[PROGRAMMER]\r\nTYPE=OTHER\r\n");
  EXPECT_TRUE(fs::is_symlink(fs::path(prefix) / "bin/korvex-editor"));
}

} // namespace
