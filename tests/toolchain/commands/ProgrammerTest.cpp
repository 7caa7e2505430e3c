// The programmer and bootloader choice items, their settings and menu marks,
// and the dialogs the Options menu opens, through the main window.
#include "BootloaderParametersDialog.h"
#include "EpicPathDialog.h"
#include "FindMeloaderDialog.h"
#include "ProgPathDialog.h"
#include "StatusBar.h"
#include "ToolCommandsFixture.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

using kxtools::ToolsTest;

class ChoiceTest : public ToolsTest {
protected:
  void SetUp() override {
    ToolsTest::SetUp();
    Start();
  }
  // An edit runs the change handler, which reads the settings afresh.
  void Edit() { QTest::keyClicks(Memo(), "x"); }
};

TEST_F(ChoiceTest, TheChoiceItemsAreOfferedAndWriteTheirType) {
  for (QAction *a :
       {form->EpicProg, form->ExtProg, form->ProgrammerPath, form->EPIC_Directory,
        form->Standard_Bootloader_Option, form->MELoader_Option, form->External_Bootloader_Option,
        form->BootloaderPath, form->MELoaderPath, form->ASCIITable1})
    EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();

  form->ExtProg->trigger();
  EXPECT_EQ(Ini("PROGRAMMER", "TYPE"), "OTHER");
  EXPECT_TRUE(form->ExtProg->isChecked());
  EXPECT_FALSE(form->EpicProg->isChecked());
  // A second click on the checked item keeps it checked.
  form->ExtProg->trigger();
  EXPECT_TRUE(form->ExtProg->isChecked());
  form->EpicProg->trigger();
  EXPECT_EQ(Ini("PROGRAMMER", "TYPE"), "EPIC");
  EXPECT_TRUE(form->EpicProg->isChecked());
  EXPECT_FALSE(form->ExtProg->isChecked());

  struct Case {
    QAction *item;
    const char *type;
  } loaders[] = {{form->MELoader_Option, "MELOADER"},
                 {form->External_Bootloader_Option, "OTHER"},
                 {form->Standard_Bootloader_Option, "STANDARD"}};
  for (const Case &c : loaders) {
    c.item->trigger();
    EXPECT_EQ(Ini("BOOTLOADER", "TYPE"), c.type);
    for (QAction *a : {form->Standard_Bootloader_Option, form->MELoader_Option,
                       form->External_Bootloader_Option})
      EXPECT_EQ(a->isChecked(), a == c.item) << c.type;
  }
  // Without its loader the infrared item is never checked.
  form->KORVEX_IR_OptionClick(form->KORVEX_IR_Option);
  EXPECT_EQ(Ini("BOOTLOADER", "TYPE"), "KORVEX_IR");
  EXPECT_FALSE(form->KORVEX_IR_Option->isChecked());
  EXPECT_FALSE(form->Standard_Bootloader_Option->isChecked());
  // With it, choosing it and then another moves the mark.
  form->KORVEX_IR_Option->setEnabled(true);
  form->KORVEX_IR_Option->setVisible(true);
  form->KORVEX_IR_Option->trigger();
  EXPECT_TRUE(form->KORVEX_IR_Option->isChecked());
  form->MELoader_Option->trigger();
  EXPECT_FALSE(form->KORVEX_IR_Option->isChecked());
  EXPECT_TRUE(form->MELoader_Option->isChecked());
}

TEST_F(ChoiceTest, TheMarksFollowTheSettingsAtTheNextEdit) {
  // No TYPE at all: "Epic".
  WriteFileAtomic(inc + "KORVEX.INI", "");
  form->ExtProg->trigger();
  WriteFileAtomic(inc + "KORVEX.INI", "");
  Edit();
  EXPECT_TRUE(form->EpicProg->isChecked());
  EXPECT_FALSE(form->ExtProg->isChecked());
  // Lower case "epic" is no type: the marks stay as they were.
  form->ExtProg->trigger();
  SetIni("PROGRAMMER", "TYPE", "epic");
  Edit();
  EXPECT_TRUE(form->ExtProg->isChecked());
  EXPECT_FALSE(form->EpicProg->isChecked());
  SetIni("BOOTLOADER", "TYPE", "MELOADER");
  Edit();
  EXPECT_TRUE(form->MELoader_Option->isChecked());
}

TEST_F(ChoiceTest, ProgrammerPathOkWithAnEmptyNameGivesUndefined) {
  SetIni("EXT_PROG", "NAME", "Old");
  Edit();
  EXPECT_EQ(form->ExtProg->text(), "Old");
  WithDialog([&] { form->ProgrammerPath->trigger(); },
             [&](QDialog &d) {
               auto &p = static_cast<TProgPath &>(d);
               EXPECT_EQ(p.windowTitle(), "Programmer Directory Path");
               EXPECT_EQ(p.NameEdit->text(), "Old");
               p.NameEdit->clear();
               p.PathEdit->setText(QStringLiteral("/opt/prog"));
               p.OKButton->click();
             });
  EXPECT_EQ(Ini("EXT_PROG", "NAME"), "Undefined");
  EXPECT_EQ(Ini("EXT_PROG", "EXT_PATH"), "/opt/prog");
  EXPECT_EQ(form->ExtProg->text(), "Undefined");

  // A name with an accelerator sign shows as written.
  WithDialog([&] { form->ProgrammerPath->trigger(); },
             [&](QDialog &d) {
               auto &p = static_cast<TProgPath &>(d);
               p.NameEdit->setText(QStringLiteral("Tom & Jerry"));
               p.OKButton->click();
             });
  EXPECT_EQ(form->ExtProg->text(), "Tom && Jerry");
  // Cancel keeps the caption of the name last read.
  WithDialog([&] { form->ProgrammerPath->trigger(); },
             [&](QDialog &d) { static_cast<TProgPath &>(d).CancelButton->click(); });
  EXPECT_EQ(form->ExtProg->text(), "Tom && Jerry");
}

TEST_F(ChoiceTest, BootloaderPathSetsTheCaptionOfTheUserLoader) {
  WithDialog([&] { form->BootloaderPath->trigger(); },
             [&](QDialog &d) {
               auto &b = static_cast<TBootloader_Parameters &>(d);
               EXPECT_EQ(b.windowTitle(), "Bootloader Directory Path");
               b.NameEdit->setText(QStringLiteral("Tiny"));
               b.CmdLineEdit->setText(QStringLiteral("%FILENAME"));
               b.OKButton->click();
             });
  EXPECT_EQ(Ini("EXT_BOOTLOADER", "NAME"), "Tiny");
  EXPECT_EQ(Ini("EXT_BOOTLOADER", "CMD_LINE"), "%FILENAME");
  EXPECT_EQ(form->External_Bootloader_Option->text(), "Tiny");
}

TEST_F(ChoiceTest, EpicAndMeloaderPathDialogsStoreTheBrowsedPath) {
  rec->Answers = {"/opt/epic/EPICWIN.EXE"};
  WithDialog([&] { form->EPIC_Directory->trigger(); },
             [&](QDialog &d) {
               auto &e = static_cast<TEPICPath &>(d);
               EXPECT_EQ(e.windowTitle(), "Find EPIC Directory Path");
               e.BrowseButton->click();
               e.OKButton->click();
             });
  EXPECT_EQ(Ini("EPIC", "PATHNAME", "PBP.INI"), "/opt/epic/EPICWIN.EXE");
  rec->Answers = {"/opt/me/MELOADER.EXE"};
  WithDialog([&] { form->MELoaderPath->trigger(); },
             [&](QDialog &d) {
               auto &m = static_cast<TFind_MELOADER &>(d);
               EXPECT_EQ(m.windowTitle(), "Find MELOADER Directory Path");
               m.BrowseButton->click();
               m.OKButton->click();
             });
  EXPECT_EQ(Ini("MELOADER", "PATHNAME"), "/opt/me/MELOADER.EXE");
}

TEST_F(ChoiceTest, AReadOnlySettingsFileIsReportedAndTheMarkStillMoves) {
  ::chmod((inc + "KORVEX.INI").c_str(), 0444);
  form->ExtProg->trigger();
  ::chmod((inc + "KORVEX.INI").c_str(), 0644);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find("KORVEX.INI"), std::string::npos);
  EXPECT_EQ(Ini("PROGRAMMER", "TYPE"), "EPIC");
}

TEST_F(ChoiceTest, TheAsciiTableOpensWithoutTakingTheEditorsPlace) {
  form->ASCIITable1->trigger();
  QWidget *table = nullptr;
  for (QWidget *w : QApplication::topLevelWidgets())
    if (w->objectName() == "ASCII" && w->isVisible())
      table = w;
  ASSERT_NE(table, nullptr);
  EXPECT_FALSE(table->isModal());
  // The editor keeps working while the table is up.
  QTest::keyClicks(Memo(), "ok");
  EXPECT_NE(Memo()->Text().find("ok"), std::string::npos);
  table->hide();
}

} // namespace
