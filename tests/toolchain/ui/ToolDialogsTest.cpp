// The programmer, bootloader, EPIC and MELOADER dialogs over a private
// settings folder: every caption, label and hint, filling from the settings
// and the fallbacks, Browse through the prompter, OK and Cancel and what each
// writes; and the ASCII table window.
#include "AsciiForm.h"
#include "BootloaderParametersDialog.h"
#include "EpicPathDialog.h"
#include "FindMeloaderDialog.h"
#include "IniFile.h"
#include "ProcessPaths.h"
#include "ProgPathDialog.h"
#include "Prompter.h"
#include "Streams.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

QApplication &App() {
  static int argc = 1;
  static char name[] = "test_toolchain_ui";
  static char *argv[] = {name, nullptr};
  if (!QApplication::instance())
    new QApplication(argc, argv);
  return *static_cast<QApplication *>(QApplication::instance());
}

class DialogTest : public ::testing::Test {
protected:
  void SetUp() override {
    App();
    root = fs::temp_directory_path() /
           ("kx_dialogs_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root);
    fs::create_directories(root / "KX_INC");
    InitProcessPaths(root.string());
    WriteFileAtomic(Ini(), "; tool settings\r\n[PROGRAMMER]\r\nTYPE=EPIC\r\n");
    auto r = std::make_unique<TRecordingPrompter>();
    rec = r.get();
    previous = SetPrompter(std::move(r));
  }
  void TearDown() override {
    SetPrompter(std::move(previous));
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  std::string Ini() const { return IncFolder + "KORVEX.INI"; }
  std::string Pbp() const { return IncFolder + "PBP.INI"; }
  std::string Read(const std::string &file, const char *section, const char *key) {
    return TIniFile(file).ReadString(section, key, "(missing)");
  }
  // Opens a dialog modally and runs `inside` once it is up.
  int Exec(QDialog &d, std::function<void()> inside) {
    QTimer::singleShot(0, &d, [&d, inside] {
      inside();
      if (d.isVisible())
        d.reject();
    });
    return d.exec();
  }
  std::vector<TPromptRecord> Dialogs() {
    std::vector<TPromptRecord> out;
    for (const TPromptRecord &r : rec->Records)
      if (r.Kind == "OPEN")
        out.push_back(r);
    return out;
  }

  fs::path root;
  TRecordingPrompter *rec = nullptr;
  std::unique_ptr<TPrompter> previous;
};

QStringList Labels(const QWidget *w) {
  QStringList out;
  for (const QLabel *l : w->findChildren<QLabel *>())
    out << l->text();
  return out;
}

// Both tool-setup dialogs differ only in their texts, section and name.
struct SetupCase {
  const char *section;
  const char *caption;
  QStringList labels;
  QStringList hints; // name, path, browse, command line, OK, Cancel
  const char *browseTitle;
  std::string *name;
  std::function<TToolSetupDialog *()> make;
};

std::vector<SetupCase> SetupCases() {
  return {
      {"EXT_PROG",
       "Programmer Directory Path",
       {"Programmer's Name", "Programmer's Directory Path", "Optional Command Line Parameters"},
       {"Programmers Name", "External Programmer's Directory",
        "Search for the programmer's directory and EXE name", "Any comand line parameters required",
        "Return to the editor", "Cancel the programmer choice"},
       "Find Programmer Directory",
       &ExtProgrammerName,
       [] { return new TProgPath(); }},
      {"EXT_BOOTLOADER",
       "Bootloader Directory Path",
       {"Bootloader's Name", "Bootloader's Directory Path", "Optional Command Line Parameters"},
       {"Bootloaders Name", "External Bootloader's Directory",
        "Search for the Bootloader's directory and EXE name", "Any comand line parameters required",
        "Return to the editor", "Cancel the bootloader choice"},
       "Find Bootloader Directory",
       &ExtBootloaderName,
       [] { return new TBootloader_Parameters(); }},
  };
}

TEST_F(DialogTest, ToolSetupDialogsShowEveryTextOfTheirLayout) {
  for (const SetupCase &c : SetupCases()) {
    std::unique_ptr<TToolSetupDialog> d(c.make());
    EXPECT_EQ(d->windowTitle(), c.caption);
    // No title-bar buttons.
    EXPECT_TRUE(d->windowFlags() & Qt::CustomizeWindowHint);
    EXPECT_FALSE(d->windowFlags() & Qt::WindowCloseButtonHint);
    const QStringList labels = Labels(d.get());
    for (const QString &l : c.labels)
      EXPECT_TRUE(labels.contains(l)) << l.toStdString();
    for (const char *line : {"(%FULL) Insert full pathname.", "(%PIC) Insert PICmicro type.",
                             "(%FILENAME) Insert Hex filename only."})
      EXPECT_TRUE(labels.contains(QLatin1String(line))) << line;
    EXPECT_EQ(d->OptionsGroup->title(), "Command line Parameter options");
    const QWidget *hinted[] = {d->NameEdit,    d->PathEdit, d->BrowseButton,
                               d->CmdLineEdit, d->OKButton, d->CancelButton};
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(hinted[i]->toolTip(), c.hints[i]);
      EXPECT_EQ(hinted[i]->statusTip(), c.hints[i]);
    }
    EXPECT_EQ(d->BrowseButton->text(), "Browse...");
    EXPECT_EQ(d->OKButton->text(), "OK");
    EXPECT_EQ(d->CancelButton->text(), "Cancel");
    // The argument view is there only when the main window feeds it.
    d->show();
    EXPECT_FALSE(d->PreviewView->isVisible());
    d->hide();
  }
}

TEST_F(DialogTest, ToolSetupDialogsFillFromTheSettingsAndFallBackToTheLastAccepted) {
  for (const SetupCase &c : SetupCases()) {
    std::unique_ptr<TToolSetupDialog> d(c.make());
    TIniFile ini(Ini());
    ini.WriteString(c.section, "NAME", "PICkit");
    ini.WriteString(c.section, "EXT_PATH", "/opt/pk/pk2cmd");
    ini.WriteString(c.section, "CMD_LINE", "-P%PIC -F%FULL");
    d->show();
    EXPECT_EQ(d->NameEdit->text(), "PICkit");
    EXPECT_EQ(d->PathEdit->text(), "/opt/pk/pk2cmd");
    EXPECT_EQ(d->CmdLineEdit->text(), "-P%PIC -F%FULL");
    d->hide();

    // Keys gone: the fields keep what was last accepted (empty at first).
    WriteFileAtomic(Ini(), "");
    d->show();
    EXPECT_EQ(d->NameEdit->text(), "");
    EXPECT_EQ(d->PathEdit->text(), "");
    d->NameEdit->setText(QStringLiteral("Mine"));
    d->PathEdit->setText(QStringLiteral("/usr/local/bin/my tool"));
    d->CmdLineEdit->setText(QStringLiteral("%FILENAME"));
    d->OKButton->click();
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(*c.name, "Mine");
    WriteFileAtomic(Ini(), "");
    d->show();
    EXPECT_EQ(d->NameEdit->text(), "Mine");
    EXPECT_EQ(d->PathEdit->text(), "/usr/local/bin/my tool");
    EXPECT_EQ(d->CmdLineEdit->text(), "%FILENAME");
    d->hide();
  }
}

TEST_F(DialogTest, OkWritesTheThreeKeysAndAnEmptyNameBecomesUndefined) {
  for (const SetupCase &c : SetupCases()) {
    std::unique_ptr<TToolSetupDialog> d(c.make());
    const int result = Exec(*d, [&] {
      d->NameEdit->clear();
      d->PathEdit->setText(QStringLiteral("/opt/loader"));
      d->CmdLineEdit->setText(QStringLiteral("-p%PIC %full"));
      d->OKButton->click();
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(Read(Ini(), c.section, "NAME"), "Undefined");
    EXPECT_EQ(Read(Ini(), c.section, "EXT_PATH"), "/opt/loader");
    EXPECT_EQ(Read(Ini(), c.section, "CMD_LINE"), "-p%PIC %full");
    EXPECT_EQ(*c.name, "Undefined");
    // The rest of the file stays as it was.
    EXPECT_EQ(ReadWholeFile(Ini()).substr(0, 36), "; tool settings\r\n[PROGRAMMER]\r\nTYPE=");
  }
}

TEST_F(DialogTest, CancelAndEscapeWriteNothing) {
  for (const SetupCase &c : SetupCases()) {
    std::unique_ptr<TToolSetupDialog> d(c.make());
    *c.name = "Before";
    const std::string before = ReadWholeFile(Ini());
    EXPECT_EQ(Exec(*d,
                   [&] {
                     d->NameEdit->setText(QStringLiteral("Other"));
                     d->CancelButton->click();
                   }),
              QDialog::Rejected);
    EXPECT_EQ(Exec(*d,
                   [&] {
                     d->NameEdit->setText(QStringLiteral("Other"));
                     QTest::keyClick(d.get(), Qt::Key_Escape);
                   }),
              QDialog::Rejected);
    EXPECT_EQ(ReadWholeFile(Ini()), before);
    EXPECT_EQ(*c.name, "Before");
  }
}

TEST_F(DialogTest, BrowseAsksForAProgramFromTheHomeFolder) {
  for (const SetupCase &c : SetupCases()) {
    std::unique_ptr<TToolSetupDialog> d(c.make());
    d->show();
    d->PathEdit->setText(QStringLiteral("/kept"));
    rec->Answers = {"Cancel", "/home/user/pic tools/prog"};
    d->BrowseButton->click();
    EXPECT_EQ(d->PathEdit->text(), "/kept");
    d->BrowseButton->click();
    EXPECT_EQ(d->PathEdit->text(), "/home/user/pic tools/prog");
    const auto asked = Dialogs();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].Caption, c.browseTitle);
    EXPECT_EQ(asked[0].Type, "EXE Files|*.EXE;|All files|*");
    EXPECT_EQ(asked[0].Buttons, QDir::homePath().toStdString());
    EXPECT_EQ(asked[0].Text, "*.EXE");
    rec->Records.clear();
    d->hide();
  }
}

TEST_F(DialogTest, ASettingsFileThatCannotBeWrittenKeepsTheDialogOpen) {
  // A read-only settings file is refused by the settings layer, for root too.
  ::chmod(Ini().c_str(), 0444);
  TProgPath d;
  d.show();
  d.NameEdit->setText(QStringLiteral("X"));
  d.OKButton->click();
  EXPECT_TRUE(d.isVisible());
  ASSERT_EQ(rec->Records.size(), 1u);
  EXPECT_NE(rec->Records[0].Text.find("KORVEX.INI"), std::string::npos);
  ::chmod(Ini().c_str(), 0644);
  d.OKButton->click();
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(Read(Ini(), "EXT_PROG", "NAME"), "X");
}

TEST_F(DialogTest, ThePreviewFollowsTheFieldsAsTheUserTypes) {
  TBootloader_Parameters d;
  std::vector<std::pair<std::string, std::string>> asked;
  d.ArgumentPreview = [&](const std::string &path, const std::string &cmd) {
    asked.emplace_back(path, cmd);
    return QStringList{QString::fromStdString(path), QStringLiteral("/w/A.HEX"),
                       QString::fromStdString(cmd)};
  };
  d.show();
  EXPECT_TRUE(d.PreviewView->isVisible());
  QTest::keyClicks(d.CmdLineEdit, "%F");
  EXPECT_EQ(d.PreviewView->toPlainText(), "\n/w/A.HEX\n%F");
  EXPECT_EQ(asked.back(), (std::pair<std::string, std::string>{"", "%F"}));
  d.PathEdit->setText(QStringLiteral("/opt/l"));
  EXPECT_EQ(d.PreviewView->toPlainText(), "/opt/l\n/w/A.HEX\n%F");
  EXPECT_TRUE(d.PreviewView->isReadOnly());
}

// The EPIC and MELOADER dialogs.
struct LocateCase {
  std::string (*file)();
  const char *section;
  const char *caption, *label, *fieldHint, *browseHint, *browseTitle, *filter, *fileName;
  std::function<TToolLocateDialog *()> make;
};

std::vector<LocateCase> LocateCases() {
  return {{&EpicSettingsFilePath, "EPIC", "Find EPIC Directory Path", "EPIC Directory Path",
           "EPIC Programmer Directory and EXE name", "Search for EPIC's Directory and EXE name",
           "Find EPIC Directory", "EPICWIN|EPICWIN.EXE;|All files|*", "EPICWIN.EXE",
           [] { return new TEPICPath(); }},
          {&SettingsFilePath, "MELOADER", "Find MELOADER Directory Path", "MELOADER Directory Path",
           "MELOADER Directory and EXE name", "Search for EPIC's Directory and EXE name",
           "Find MELOADER Directory", "MELOADER|MELOADER.EXE;|All files|*", "MELOADER.EXE",
           [] { return new TFind_MELOADER(); }}};
}

TEST_F(DialogTest, LocateDialogsTakeTheirPathOnlyFromBrowse) {
  for (const LocateCase &c : LocateCases()) {
    std::unique_ptr<TToolLocateDialog> d(c.make());
    EXPECT_EQ(d->windowTitle(), c.caption);
    EXPECT_TRUE(Labels(d.get()).contains(QLatin1String(c.label)));
    EXPECT_EQ(d->PathEdit->toolTip(), c.fieldHint);
    EXPECT_EQ(d->BrowseButton->toolTip(), c.browseHint);
    EXPECT_EQ(d->BrowseButton->text(), "Browse...");

    TIniFile(c.file()).WriteString(c.section, "PATHNAME", "/opt/first");
    d->show();
    EXPECT_EQ(d->PathEdit->text(), "/opt/first");
    // Typing does not reach the field.
    EXPECT_TRUE(d->PathEdit->isReadOnly());
    QTest::keyClicks(d->PathEdit, "typed");
    EXPECT_EQ(d->PathEdit->text(), "/opt/first");

    rec->Answers = {"/home/u/prog/" + std::string(c.fileName)};
    d->BrowseButton->click();
    const auto asked = Dialogs();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].Caption, c.browseTitle);
    EXPECT_EQ(asked[0].Type, c.filter);
    EXPECT_EQ(asked[0].Text, c.fileName);
    EXPECT_EQ(asked[0].Buttons, QDir::homePath().toStdString());
    EXPECT_EQ(d->Path(), "/home/u/prog/" + std::string(c.fileName));
    d->OKButton->click();
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(Read(c.file(), c.section, "PATHNAME"), "/home/u/prog/" + std::string(c.fileName));

    // Without the key the held path stays; Cancel writes nothing.
    WriteFileAtomic(c.file(), "[OTHER]\r\nA=1\r\n");
    EXPECT_EQ(Exec(*d,
                   [&] {
                     EXPECT_EQ(d->PathEdit->text().toStdString(),
                               "/home/u/prog/" + std::string(c.fileName));
                     rec->Answers = {"/elsewhere"};
                     d->BrowseButton->click();
                     d->CancelButton->click();
                   }),
              QDialog::Rejected);
    EXPECT_EQ(ReadWholeFile(c.file()), "[OTHER]\r\nA=1\r\n");
    rec->Records.clear();
  }
}

TEST_F(DialogTest, TheEpicPathGoesIntoItsOwnFileEvenWhenThatIsMissing) {
  ASSERT_FALSE(fs::exists(Pbp()));
  TEPICPath d;
  rec->Answers = {"/opt/epic/EPICWIN.EXE"};
  d.show();
  EXPECT_EQ(d.PathEdit->text(), "");
  d.BrowseButton->click();
  d.OKButton->click();
  EXPECT_EQ(Read(Pbp(), "EPIC", "PATHNAME"), "/opt/epic/EPICWIN.EXE");
  EXPECT_EQ(Read(Ini(), "EPIC", "PATHNAME"), "(missing)");
}

TEST(AsciiTable, TheLinesHoldFourColumnsOfEightCharacters) {
  const std::vector<std::string> lines = TASCII::TableLines();
  ASSERT_EQ(lines.size(), 256u);
  for (const std::string &l : lines)
    EXPECT_EQ(l.size(), 32u);
  EXPECT_EQ(lines[0], std::string("\x7f       00      00      NUL     "));
  EXPECT_EQ(lines[9], std::string("\x7f       09      09      HT      "));
  EXPECT_EQ(lines[31], std::string("\x7f       31      1F      US      "));
  EXPECT_EQ(lines[32], "        32      20      SP      ");
  EXPECT_EQ(lines[65], "A       65      41              ");
  EXPECT_EQ(lines[127], std::string("\x7f       127     7F              "));
  EXPECT_EQ(lines[200], std::string("\xc8       200     C8              "));
  EXPECT_EQ(lines[255], std::string("\xff       255     FF              "));
  const char *names[] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",
                         "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1",
                         "DC2", "DC3", "DC4", "NAK", "SYN", "ETB", "CAN", "EM",  "SUB",
                         "ESC", "FS",  "GS",  "RS",  "US",  "SP"};
  for (int i = 0; i <= 32; ++i)
    EXPECT_EQ(lines[static_cast<size_t>(i)].substr(24, 8).find(names[i]), 0u) << i;
}

TEST(AsciiTable, TheWindowShowsTheFixedListAndCancelHidesIt) {
  App();
  TASCII w;
  EXPECT_EQ(w.windowTitle(), "ASCII Table");
  EXPECT_TRUE(w.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(w.isWindow());
  EXPECT_EQ(w.minimumSize(), w.maximumSize());
  EXPECT_EQ(w.font().family(), "Courier New");
  EXPECT_EQ(w.font().pixelSize(), 13);
  EXPECT_EQ(w.Heading->text(), "chr     dec#    hex#    ctrl");
  ASSERT_EQ(w.CodeList->count(), 256);
  EXPECT_EQ(w.CodeList->item(66)->text(), "B       66      42              ");
  // Code 128 is the euro sign in the program's character set.
  EXPECT_EQ(w.CodeList->item(128)->text().at(0), QChar(0x20AC));
  EXPECT_EQ(w.CodeList->editTriggers(), QAbstractItemView::NoEditTriggers);
  w.show();
  EXPECT_TRUE(w.isVisible());
  EXPECT_FALSE(w.isModal());
  w.CancelButton->click();
  EXPECT_FALSE(w.isVisible());
}

} // namespace
