// The program without a window, as make files and CI run it: --compile runs
// the stand-in compiler exactly as F9 does and prints its report and the
// DEVICE / CODE / RAM line, with exit status 0 on success, 1 for compiler
// errors and 2 when nothing could run (no compiler, no source, no settings,
// a compiler that wrote no result); --program and --download start the
// configured tool on the HEX file and pass on how it ended. No display is
// needed: DISPLAY and the platform are unset.
#include "Streams.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

struct TResult {
  int code = -1;
  std::string out, err;
};

class CommandLine : public ::testing::Test {
protected:
  void SetUp() override {
    dir = kxtest::FreshDir("cli");
    fs::copy_file(KX_BINARY_DIR "/korvex-editor", dir + "/korvex-editor");
    fs::create_directories(dir + "/KX_INC");
    WriteFileAtomic(dir + "/KX_INC/KORVEX.INI", "");
    WriteFileAtomic(dir + "/blink.bas", "HIGH PORTB.0\r\n");
  }
  void AddTool(const std::string &tool, const std::string &as) {
    fs::copy_file(std::string(KX_TOOLS_DIR) + "/" + tool, dir + "/" + as);
  }
  TResult Run(const QStringList &args, const QStringList &env = {}) {
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.remove(QStringLiteral("DISPLAY"));
    e.remove(QStringLiteral("WAYLAND_DISPLAY"));
    e.remove(QStringLiteral("QT_QPA_PLATFORM"));
    e.insert(QStringLiteral("KX_TOOL_LOG"), QString::fromStdString(dir + "/tools.log"));
    for (const QString &kv : env)
      e.insert(kv.section(QLatin1Char('='), 0, 0), kv.section(QLatin1Char('='), 1));
    p.setProcessEnvironment(e);
    p.setWorkingDirectory(QString::fromStdString(dir));
    p.start(QString::fromStdString(dir + "/korvex-editor"), args);
    EXPECT_TRUE(p.waitForFinished(-1));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString()};
  }
  std::string ToolLog() { return ReadWholeFile(dir + "/tools.log"); }

  std::string dir;
};

TEST_F(CommandLine, CompileSucceedsWithTheReportAndTheSummaryLine) {
  AddTool("korvex", "korvex");
  const TResult r = Run({QStringLiteral("--compile"), QStringLiteral("blink.bas")});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "KORVEX stand-in compiler\nCompiled blink.bas\nDEVICE 16F84  CODE 112  RAM 9\n");
  EXPECT_EQ(r.err, "");
  // The same start as F9: the document's full path, then -m and -q.
  const std::string log = ToolLog();
  EXPECT_NE(log.find("RUN korvex\n"), std::string::npos);
  EXPECT_NE(log.find("ARG " + dir + "/blink.bas\nARG -m\nARG -q\n"), std::string::npos) << log;
  EXPECT_TRUE(fs::exists(dir + "/blink.HEX"));
}

TEST_F(CommandLine, CompilerErrorsGiveStatusOneWithTheirReport) {
  AddTool("korvex", "korvex");
  const TResult r =
      Run({QStringLiteral("--compile"), QStringLiteral("blink.bas")},
          {QStringLiteral("KX_COMPILER_STATUS=ERROR"),
           QStringLiteral("KX_COMPILER_REPORT=blink.bas line 1: bad token\r\n1 error\r\n")});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "blink.bas line 1: bad token\n1 error\n");
}

TEST_F(CommandLine, NothingToRunGivesStatusTwoWithTheReason) {
  // No compiler at all.
  TResult r = Run({QStringLiteral("--compile"), QStringLiteral("blink.bas")});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("Problem Running " + dir + "/KORVEX.EXE\nThe file does not exist."),
            std::string::npos)
      << r.err;
  // No such source.
  AddTool("korvex", "korvex");
  r = Run({QStringLiteral("--compile"), QStringLiteral("missing.bas")});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("Cannot Find or Open File \"" + dir + "/missing.bas\""), std::string::npos);
  // A compiler that writes no result file: an old one is not taken for it.
  ASSERT_EQ(Run({QStringLiteral("--compile"), QStringLiteral("blink.bas")}).code, 0);
  r = Run({QStringLiteral("--compile"), QStringLiteral("blink.bas")},
          {QStringLiteral("KX_COMPILER_NONE=1")});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("wrote no result file"), std::string::npos) << r.err;
  // No settings file beside the program.
  fs::remove(dir + "/KX_INC/KORVEX.INI");
  r = Run({QStringLiteral("--compile"), QStringLiteral("blink.bas")});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("Could not Find KORVEX.INI"), std::string::npos);
  // A wrong call prints the usage.
  r = Run({QStringLiteral("--compile")});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("usage: korvex-editor"), std::string::npos);
}

TEST_F(CommandLine, DownloadAndProgramStartTheConfiguredToolOnTheHexFile) {
  AddTool("korvex", "korvex");
  fs::copy_file(std::string(KX_TOOLS_DIR) + "/bootload", dir + "/KX_INC/BOOTLOAD");
  // Before a compile there is no HEX file to send.
  TResult r = Run({QStringLiteral("--download"), QStringLiteral("blink.bas")});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("There is no HEX file"), std::string::npos);
  ASSERT_EQ(Run({QStringLiteral("--compile"), QStringLiteral("blink.bas")},
                {QStringLiteral("KX_COMPILER_STATUS=16F628A,50,3,")})
                .code,
            0);
  // The standard loader, waited for, with the HEX path alone.
  r = Run({QStringLiteral("--download"), QStringLiteral("blink.bas")});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(ToolLog().find("RUN bootload\n"), std::string::npos);
  EXPECT_NE(ToolLog().find("ARG " + dir + "/blink.HEX\nHEXSIZE"), std::string::npos) << ToolLog();
  // A loader that fails makes the run fail.
  r = Run({QStringLiteral("--download"), QStringLiteral("blink.bas")},
          {QStringLiteral("KX_TOOL_EXIT_CODE=4")});
  EXPECT_EQ(r.code, 1);
  // A user-defined programmer with its template; %PIC is the compiled device.
  fs::copy_file(std::string(KX_TOOLS_DIR) + "/epicwin", dir + "/myprog");
  WriteFileAtomic(dir + "/KX_INC/KORVEX.INI",
                  "[PROGRAMMER]\r\nTYPE=OTHER\r\n[EXT_PROG]\r\nNAME=Mine\r\nEXT_PATH=" + dir +
                      "/myprog\r\nCMD_LINE=-p%PIC -q\r\n");
  r = Run({QStringLiteral("--program"), QStringLiteral("blink.bas")});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(ToolLog().find("ARG " + dir + "/blink.HEX\nARG -p16F628A\nARG -q\n"),
            std::string::npos)
      << ToolLog();
  // The EPIC programmer without a path set cannot run.
  WriteFileAtomic(dir + "/KX_INC/KORVEX.INI", "[PROGRAMMER]\r\nTYPE=EPIC\r\n");
  r = Run({QStringLiteral("--program"), QStringLiteral("blink.bas")});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("EPIC"), std::string::npos);
}

} // namespace
