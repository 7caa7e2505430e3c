// TIniFile: Windows INI semantics, no caching, byte-exact preservation of
// every line a write does not own, atomic and refused writes.
#include "IniFile.h"
#include "Streams.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool SameTextForTest(const std::string &a, const std::string &b) {
  return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

class IniFileTest : public ::testing::Test {
protected:
  QTemporaryDir dir;
  std::string path = dir.filePath(QStringLiteral("KORVEX.INI")).toStdString();

  void Put(const std::string &bytes) { WriteFileAtomic(path, bytes); }
  std::string Get() { return ReadWholeFile(path); }
};

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheCallersDefault) {
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("PROGRAMMER", "TYPE", "EPIC"), "EPIC");
  EXPECT_EQ(ini.ReadInteger("CODE", "HEX_WIDTH", 345), 345);
  EXPECT_FALSE(ini.SectionExists("PROGRAMMER"));
  Put("[PROGRAMMER]\r\nTYPE=OTHER\r\n");
  EXPECT_EQ(ini.ReadString("BOOTLOADER", "TYPE", "STANDARD"), "STANDARD");
  EXPECT_EQ(ini.ReadString("PROGRAMMER", "NAME", "Undefined"), "Undefined");
  EXPECT_TRUE(ini.SectionExists("programmer"));
  EXPECT_TRUE(ini.ValueExists("Programmer", "type"));
  EXPECT_FALSE(ini.ValueExists("Programmer", "name"));
}

TEST_F(IniFileTest, SectionsAndKeysCompareIgnoringCaseValuesAreTrimmed) {
  Put("[Ext_Prog]\nname =  My Programmer  \ncmd_line=\"-p%PIC %FULL\"\nEXT_PATH='/opt/x'\n"
      "  [ EEPROM ]  \n  DATA_WIDTH = 324\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("EXT_PROG", "NAME", "?"), "My Programmer");
  EXPECT_EQ(ini.ReadString("ext_prog", "CMD_LINE", "?"), "-p%PIC %FULL");
  EXPECT_EQ(ini.ReadString("EXT_PROG", "ext_path", "?"), "/opt/x");
  EXPECT_EQ(ini.ReadInteger("eeprom", "data_width", 0), 324);
}

TEST_F(IniFileTest, OnlyAMatchingPairOfQuotesIsTakenOff) {
  Put("[Q]\nLONE=\"\nLONE1='\nPAIR=\"\"\nOPEN=\"a\nCLOSE=a\"\nMIXED=\"a'\nINNER='\"'\n"
      "SPACED= \" x \" \n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("Q", "LONE", "?"), "\"");
  EXPECT_EQ(ini.ReadString("Q", "LONE1", "?"), "'");
  EXPECT_EQ(ini.ReadString("Q", "PAIR", "?"), "?"); // empty once unquoted: the default
  EXPECT_EQ(ini.ReadString("Q", "OPEN", "?"), "\"a");
  EXPECT_EQ(ini.ReadString("Q", "CLOSE", "?"), "a\"");
  EXPECT_EQ(ini.ReadString("Q", "MIXED", "?"), "\"a'");
  EXPECT_EQ(ini.ReadString("Q", "INNER", "?"), "\"");
  EXPECT_EQ(ini.ReadString("Q", "SPACED", "?"), " x ");
}

TEST_F(IniFileTest, EmptyValueGivesTheCallersDefaultLikeAMissingKey) {
  Put("[WORKING_DIRECTORY]\nPATHNAME=\n[EXT_PROG]\nNAME =   \nCMD_LINE=\"\"\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("WORKING_DIRECTORY", "PATHNAME", "dflt"), "dflt");
  EXPECT_EQ(ini.ReadInteger("WORKING_DIRECTORY", "PATHNAME", 7), 7);
  EXPECT_EQ(ini.ReadString("EXT_PROG", "NAME", "Undefined"), "Undefined");
  EXPECT_EQ(ini.ReadString("EXT_PROG", "CMD_LINE", "x"), "x");
  // The several-key reader the status update uses follows the same rule.
  std::vector<std::string> v{"Undefined", "EPIC"};
  EXPECT_EQ(TIniFile::FindValues(Get(), {{"EXT_PROG", "NAME"}, {"PROGRAMMER", "TYPE"}}, v), 0u);
  EXPECT_EQ(v, (std::vector<std::string>{"Undefined", "EPIC"}));
  // The key still exists: a write replaces it in place.
  EXPECT_TRUE(ini.ValueExists("EXT_PROG", "NAME"));
  ini.WriteString("EXT_PROG", "NAME", "Mine");
  EXPECT_EQ(ini.ReadString("EXT_PROG", "NAME", "Undefined"), "Mine");
}

TEST_F(IniFileTest, FirstSectionAndFirstKeyOfANameCount) {
  Put("TYPE=before any section\n[A]\nK=1\nK=2\n[B]\nK=3\n[a]\nK=4\nONLY_LATER=5\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("A", "K", ""), "1");
  EXPECT_EQ(ini.ReadString("B", "K", ""), "3");
  EXPECT_EQ(ini.ReadString("A", "ONLY_LATER", "none"), "none");
  EXPECT_EQ(ini.ReadString("", "TYPE", "none"), "none");
  ini.WriteString("A", "K", "9");
  EXPECT_EQ(Get(), "TYPE=before any section\n[A]\nK=9\nK=2\n[B]\nK=3\n[a]\nK=4\nONLY_LATER=5\n");
}

TEST_F(IniFileTest, CommentsAndJunkAreNeverKeys) {
  Put("[S]\n; K=comment\n# K=hash\nK\njunk without equals\n=no key\nK=real\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("S", "K", ""), "real");
  EXPECT_EQ(ini.ReadString("S", "; K", "d"), "d");
}

TEST_F(IniFileTest, IntegersDecimalAndHexWithRangeChecks) {
  Put("[N]\nA=42\nB=-17\nC=$1F\nD=0x10\nE=12abc\nF=2147483647\nG=2147483648\nH=-2147483648\n"
      "I=$FFFFFFFF\nJ= +5 \nK=\nL=$\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadInteger("N", "A", 0), 42);
  EXPECT_EQ(ini.ReadInteger("N", "B", 0), -17);
  EXPECT_EQ(ini.ReadInteger("N", "C", 0), 31);
  EXPECT_EQ(ini.ReadInteger("N", "D", 0), 16);
  EXPECT_EQ(ini.ReadInteger("N", "E", -1), -1);
  EXPECT_EQ(ini.ReadInteger("N", "F", 0), 2147483647);
  EXPECT_EQ(ini.ReadInteger("N", "G", -1), -1);
  EXPECT_EQ(ini.ReadInteger("N", "H", 0), INT32_MIN);
  EXPECT_EQ(ini.ReadInteger("N", "I", 0), -1);
  EXPECT_EQ(ini.ReadInteger("N", "J", 0), 5);
  EXPECT_EQ(ini.ReadInteger("N", "K", 3), 3);
  EXPECT_EQ(ini.ReadInteger("N", "L", 3), 3);
  ini.WriteInteger("N", "A", -300);
  EXPECT_EQ(ini.ReadString("N", "A", ""), "-300");
}

TEST_F(IniFileTest, ReplacingAValueChangesOnlyItsBytesCrLf) {
  const std::string before = "; top comment\r\n\r\n[PROGRAMMER]\r\n; which one\r\nType = EPIC\r\n"
                             "\r\n[BOOTLOADER]\r\nTYPE=STANDARD\r\n";
  Put(before);
  TIniFile(path).WriteString("programmer", "TYPE", "OTHER");
  EXPECT_EQ(Get(), "; top comment\r\n\r\n[PROGRAMMER]\r\n; which one\r\nType = OTHER\r\n"
                   "\r\n[BOOTLOADER]\r\nTYPE=STANDARD\r\n");
}

TEST_F(IniFileTest, ReplacingAValueChangesOnlyItsBytesLf) {
  Put("[A]\nX=1\n[B]\nX=old value   \nY=2");
  TIniFile(path).WriteString("B", "X", "new");
  EXPECT_EQ(Get(), "[A]\nX=1\n[B]\nX=new\nY=2");
}

TEST_F(IniFileTest, NewKeyGoesAtTheEndOfItsSection) {
  Put("[A]\r\nX=1\r\n\r\n; about B\r\n[B]\r\nY=2\r\n");
  TIniFile ini(path);
  ini.WriteString("A", "NEW", "v");
  EXPECT_EQ(Get(), "[A]\r\nX=1\r\nNEW=v\r\n\r\n; about B\r\n[B]\r\nY=2\r\n");
  ini.WriteString("B", "Z", "3");
  EXPECT_EQ(Get(), "[A]\r\nX=1\r\nNEW=v\r\n\r\n; about B\r\n[B]\r\nY=2\r\nZ=3\r\n");
}

TEST_F(IniFileTest, NewKeyAfterTheCommentThatOpensItsSection) {
  Put("[WORKING_DIRECTORY]\n; Start folder of the dialogs.\n\n[PROGRAMMER]\nTYPE=EPIC\n");
  TIniFile(path).WriteString("WORKING_DIRECTORY", "PATHNAME", "/home/u/src");
  EXPECT_EQ(Get(), "[WORKING_DIRECTORY]\n; Start folder of the dialogs.\nPATHNAME=/home/u/src\n\n"
                   "[PROGRAMMER]\nTYPE=EPIC\n");
}

TEST_F(IniFileTest, NewKeyInALastSectionWithoutFinalLineEnd) {
  Put("[A]\r\nX=1");
  TIniFile(path).WriteString("A", "Y", "2");
  EXPECT_EQ(Get(), "[A]\r\nX=1\r\nY=2");
}

TEST_F(IniFileTest, NewSectionGoesAtTheEndOfTheFile) {
  Put("[A]\r\nX=1\r\n");
  TIniFile ini(path);
  ini.WriteString("CODE", "HEX_LEFT", "581");
  EXPECT_EQ(Get(), "[A]\r\nX=1\r\n\r\n[CODE]\r\nHEX_LEFT=581\r\n");
  Put("[A]\nX=1");
  ini.WriteInteger("CODE", "HEX_TOP", 164);
  EXPECT_EQ(Get(), "[A]\nX=1\n\n[CODE]\nHEX_TOP=164\n");
  Put("[A]\nX=1\n\n");
  ini.WriteString("B", "K", "v");
  EXPECT_EQ(Get(), "[A]\nX=1\n\n[B]\nK=v\n");
}

TEST_F(IniFileTest, MissingOrEmptyFileIsCreatedOnWrite) {
  TIniFile ini(path);
  ini.WriteString("EPIC", "PATHNAME", "/opt/epic/EPICWIN.EXE");
  EXPECT_EQ(Get(), "[EPIC]\nPATHNAME=/opt/epic/EPICWIN.EXE\n");
  Put("");
  ini.WriteString("EPIC", "PATHNAME", "x");
  EXPECT_EQ(Get(), "[EPIC]\nPATHNAME=x\n");
}

TEST_F(IniFileTest, NothingIsCachedBetweenAccesses) {
  Put("[BOOTLOADER]\nTYPE=STANDARD\n");
  TIniFile reader(path);
  TIniFile writer(path);
  EXPECT_EQ(reader.ReadString("BOOTLOADER", "TYPE", ""), "STANDARD");
  writer.WriteString("BOOTLOADER", "TYPE", "MELOADER");
  EXPECT_EQ(reader.ReadString("BOOTLOADER", "TYPE", ""), "MELOADER");
  // Another program changes the file behind our back.
  Put("[BOOTLOADER]\nTYPE=OTHER\n");
  EXPECT_EQ(reader.ReadString("BOOTLOADER", "TYPE", ""), "OTHER");
  writer.WriteString("BOOTLOADER", "NEW", "1");
  EXPECT_EQ(Get(), "[BOOTLOADER]\nTYPE=OTHER\nNEW=1\n");
  std::filesystem::remove(path);
  EXPECT_EQ(reader.ReadString("BOOTLOADER", "TYPE", "gone"), "gone");
}

TEST_F(IniFileTest, JunkBinaryLongLinesAndDuplicatesSurviveAWrite) {
  std::string junk = "\xEF\xBB\xBF[PROGRAMMER]\r\n";
  junk += std::string("bin\0ary\x01\x02\xff=\x80", 13) + "\r\n";
  junk += std::string(1024 * 1024, 'x') + "\r\n";
  junk += "[unterminated\r\n]]]=[[[\r\nlone\rcarriage\r\n";
  junk += "[PROGRAMMER]\r\nTYPE=SECOND\r\n";
  junk += "TYPE=EPIC\r\n";
  Put(junk);
  TIniFile ini(path);
  // The byte order mark does not hide the first section.
  EXPECT_EQ(ini.ReadString("PROGRAMMER", "TYPE", "none"), "none");
  ini.WriteString("PROGRAMMER", "TYPE", "OTHER");
  const std::string after = Get();
  ASSERT_GT(after.size(), junk.size());
  // Everything before the insertion point is byte-identical, and so is the rest.
  const std::string inserted = "TYPE=OTHER\r\n";
  const size_t at = after.find(inserted);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(after.substr(0, at) + after.substr(at + inserted.size()), junk);
  EXPECT_EQ(ini.ReadString("PROGRAMMER", "TYPE", ""), "OTHER");
}

TEST_F(IniFileTest, ReadOnlyFileRefusesWritesNamingTheFile) {
  Put("[A]\nX=1\n");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  TIniFile ini(path);
  try {
    ini.WriteString("A", "X", "2");
    FAIL() << "write to a read-only file succeeded";
  } catch (const EIniFileError &e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("read-only"), std::string::npos) << e.what();
  }
  EXPECT_EQ(Get(), "[A]\nX=1\n");
  EXPECT_EQ(ini.ReadString("A", "X", ""), "1");
  // A write that changes nothing is no write.
  EXPECT_NO_THROW(ini.WriteString("A", "X", "1"));
}

TEST_F(IniFileTest, UnwritableFolderRefusesWritesNamingTheFile) {
  const std::string missing = dir.filePath(QStringLiteral("no/such/KORVEX.INI")).toStdString();
  TIniFile ini(missing);
  try {
    ini.WriteString("A", "X", "2");
    FAIL();
  } catch (const EIniFileError &e) {
    EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
  }
}

TEST_F(IniFileTest, NamesAndValuesThatWouldBreakTheFileAreRefused) {
  Put("[A]\nX=1\n");
  TIniFile ini(path);
  EXPECT_THROW(ini.WriteString("A", "X", "two\r\n[EVIL]\r\nK=v"), EIniFileError);
  EXPECT_THROW(ini.WriteString("A", "X\nY", "v"), EIniFileError);
  EXPECT_THROW(ini.WriteString("A", "X=Y", "v"), EIniFileError);
  EXPECT_THROW(ini.WriteString("A", "", "v"), EIniFileError);
  EXPECT_THROW(ini.WriteString("A]B", "X", "v"), EIniFileError);
  EXPECT_THROW(ini.WriteString("", "X", "v"), EIniFileError);
  EXPECT_EQ(Get(), "[A]\nX=1\n");
}

TEST_F(IniFileTest, WritesLeaveNoTemporaryFilesAndKeepPermissions) {
  Put("[A]\nX=1\n");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  TIniFile ini(path);
  for (int i = 0; i < 20; ++i)
    ini.WriteInteger("A", "X", i);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(IniFileTest, WritingThroughALinkUpdatesTheLinkedFile) {
  const std::string real = dir.filePath(QStringLiteral("real.ini")).toStdString();
  WriteFileAtomic(real, "[A]\nX=1\n");
  ASSERT_EQ(::symlink(real.c_str(), path.c_str()), 0);
  TIniFile(path).WriteString("A", "X", "2");
  EXPECT_TRUE(std::filesystem::is_symlink(path));
  EXPECT_EQ(ReadWholeFile(real), "[A]\nX=2\n");
}

TEST_F(IniFileTest, OversizedFileReadsDefaultsAndIsNotReplaced) {
  Put("[A]\nX=1\n");
  ASSERT_EQ(::truncate(path.c_str(), TIniFile::MaxFileSize + 1), 0);
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("A", "X", "d"), "d");
  EXPECT_THROW(ini.WriteString("A", "X", "2"), EIniFileError);
  EXPECT_EQ(std::filesystem::file_size(path), static_cast<uintmax_t>(TIniFile::MaxFileSize + 1));
}

TEST_F(IniFileTest, AFolderInPlaceOfTheFileGivesDefaults) {
  std::filesystem::create_directory(path);
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("A", "X", "d"), "d");
  EXPECT_THROW(ini.WriteString("A", "X", "2"), EIniFileError);
}

// Random files of sections, keys in any letter case, comments, blanks and
// junk; random writes. After each write the written key reads back, every
// other key reads as before, and the old file is the new one minus exactly
// one added or replaced line.
TEST_F(IniFileTest, RandomWritesKeepEveryOtherLine) {
  std::mt19937 rng(1234);
  const char *sections[] = {"A", "b", "Code", "EXT_PROG"};
  const char *keys[] = {"K", "k2", "Name", "PATH"};
  auto pick = [&](auto &arr) { return std::string(arr[rng() % 4]); };
  auto recase = [&](std::string s) {
    for (char &c : s)
      if (rng() % 2)
        c = static_cast<char>(std::isupper(static_cast<unsigned char>(c)) ? std::tolower(c)
                                                                          : std::toupper(c));
    return s;
  };
  for (int round = 0; round < 40; ++round) {
    const std::string eol = round % 2 ? "\r\n" : "\n";
    std::string file;
    const int lines = static_cast<int>(rng() % 25);
    for (int i = 0; i < lines; ++i) {
      switch (rng() % 6) {
      case 0:
        file += "[" + recase(pick(sections)) + "]";
        break;
      case 1:
        file += recase(pick(keys)) + "=" + std::to_string(rng() % 100);
        break;
      case 2:
        file += "; comment " + std::to_string(i);
        break;
      case 3:
        break;
      case 4:
        file += "junk \x01\x7f line";
        break;
      case 5:
        file += "  " + recase(pick(keys)) + " =  spaced  ";
        break;
      }
      file += eol;
    }
    Put(file);
    TIniFile ini(path);
    for (int w = 0; w < 8; ++w) {
      std::map<std::string, std::string> before;
      for (auto s : sections)
        for (auto k : keys)
          before[std::string(s) + "/" + k] = ini.ReadString(s, k, "<none>");
      const std::string s = pick(sections), k = pick(keys);
      const std::string v = "v" + std::to_string(rng() % 1000);
      const std::string old = Get();
      ini.WriteString(recase(s), recase(k), v);
      const std::string now = Get();
      EXPECT_EQ(ini.ReadString(s, k, ""), v);
      for (auto s2 : sections)
        for (auto k2 : keys)
          if (!(SameTextForTest(s2, s) && SameTextForTest(k2, k))) {
            EXPECT_EQ(ini.ReadString(s2, k2, "<none>"), before[std::string(s2) + "/" + k2]);
          }
      // The common prefix and suffix of old and new cover all of old but at
      // most one line (the replaced one).
      size_t p = 0;
      while (p < old.size() && p < now.size() && old[p] == now[p])
        ++p;
      size_t q = 0;
      while (q < old.size() - p && q < now.size() - p &&
             old[old.size() - 1 - q] == now[now.size() - 1 - q])
        ++q;
      const std::string removed = old.substr(p, old.size() - p - q);
      EXPECT_EQ(removed.find_first_of("\r\n"), std::string::npos)
          << "a write changed more than one line: [" << removed << "]";
    }
  }
}

} // namespace
