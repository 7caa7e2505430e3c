// Process paths and the case-insensitive tool look-ups.
#include "ProcessPaths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

void Touch(const QString &path) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

TEST(ProcessPaths, FoldersEndWithTheSeparator) {
  InitProcessPaths("/opt/korvex");
  EXPECT_EQ(ExeFolder, "/opt/korvex/");
  EXPECT_EQ(IncFolder, "/opt/korvex/KX_INC/");
  EXPECT_EQ(SettingsFilePath(), "/opt/korvex/KX_INC/KORVEX.INI");
  EXPECT_EQ(HistoryFilePath(), "/opt/korvex/KORVEX.DAT");
  EXPECT_EQ(AssemblerPath, "/opt/korvex/KX_INC/MPASMWIN.EXE");
  EXPECT_EQ(HelpFilePath, "/opt/korvex/KX_INC/KORVEX.HLP");
  EXPECT_EQ(EpicSettingsFilePath(), "/opt/korvex/KX_INC/PBP.INI");
  InitProcessPaths("/opt/korvex/");
  EXPECT_EQ(ExeFolder, "/opt/korvex/");
  EXPECT_EQ(SettingsFileBeside("/x"), "/x/KX_INC/KORVEX.INI");
  EXPECT_EQ(SettingsFileBeside("/x/"), "/x/KX_INC/KORVEX.INI");
}

TEST(ProcessPaths, ExecutableFolderIsThisProgramsFolder) {
  const std::string folder = ExecutableFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(QFile::exists(QString::fromStdString(folder) + QStringLiteral("test_base")));
}

TEST(ProcessPaths, ToolNamesMatchIgnoringCase) {
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString() + "/";
  EXPECT_EQ(FindFileIgnoringCase(folder, "KORVIR_BOOT.EXE"), "");
  Touch(dir.filePath(QStringLiteral("korvir_boot.exe")));
  EXPECT_EQ(FindFileIgnoringCase(folder, "KORVIR_BOOT.EXE"), folder + "korvir_boot.exe");
  QDir(dir.path()).mkdir(QStringLiteral("BOOTLOAD.EXE"));
  EXPECT_EQ(FindFileIgnoringCase(folder, "bootload.exe"), "") << "a folder is not a tool";
  EXPECT_EQ(FindFileIgnoringCase(folder + "missing/", "x"), "");
}

TEST(ProcessPaths, WildcardExtensionTest) {
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString() + "/";
  EXPECT_FALSE(FolderHasFileWithExtension(folder, ".EXE"));
  QDir(dir.path()).mkdir(QStringLiteral("sub.exe"));
  Touch(dir.filePath(QStringLiteral("readme.txt")));
  EXPECT_FALSE(FolderHasFileWithExtension(folder, ".EXE"));
  Touch(dir.filePath(QStringLiteral("Tool.Exe")));
  EXPECT_TRUE(FolderHasFileWithExtension(folder, ".EXE"));
  EXPECT_FALSE(FolderHasFileWithExtension(folder + "none/", ".EXE"));
}

} // namespace
