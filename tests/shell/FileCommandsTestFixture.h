// A main window over a private program folder (settings file, history file)
// with the scripted prompter, shown and activated as at start-up.
#pragma once

#include "CommandGuard.h"
#include "EdPersistent.h"
#include "EditorMainForm.h"
#include "FileObject.h"
#include "IniFile.h"
#include "ProcessPaths.h"
#include "Prompter.h"
#include "StatusBar.h"
#include "Streams.h"
#include "SyntaxMemo.h"

#include "ShellTestApp.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>

#include <filesystem>
#include <unistd.h>

namespace kxdocs {

namespace fs = std::filesystem;

inline const char *DefaultIni = "[PROGRAMMER]\r\nTYPE=EPIC\r\n[BOOTLOADER]\r\nTYPE=STANDARD\r\n";

class DocsTest : public ::testing::Test {
protected:
  void SetUp() override {
    ShellTestApp();
    root = fs::temp_directory_path() /
           ("kx_docs_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root);
    fs::create_directories(root / "KX_INC");
    dir = root.string() + "/";
    WriteFileAtomic(dir + "KX_INC/KORVEX.INI", DefaultIni);
    auto r = std::make_unique<TRecordingPrompter>();
    rec = r.get();
    previous = SetPrompter(std::move(r));
    Start(std::string());
  }
  // A new main window, as the program starts with this command line.
  void Start(const std::string &commandLineFile) {
    form.reset();
    CommandLineFile = commandLineFile;
    form = std::make_unique<TEditorMainForm>();
    InitProcessPaths(root.string());
    form->EdPersistent = std::make_unique<TEdPersistent>(dir + "KORVEX.DAT");
    form->RebuildReopenMenu();
    form->resize(800, 600);
    form->show();
    QApplication::processEvents();
    QApplication::processEvents();
    // What the first frame does not show follows it.
    if (!form->StartUpFinished()) {
      EXPECT_TRUE(QSignalSpy(form.get(), &TEditorMainForm::StartUpDone).wait(10000));
    }
    CommandLineFile.clear();
  }
  void TearDown() override {
    form.reset();
    SetPrompter(std::move(previous));
    std::error_code ec;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root, ec);
  }

  TSyntaxMemo *Memo() { return form->SyntaxMemo1; }
  void Type(const QString &text) { QTest::keyClicks(Memo(), text); }
  void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(Memo(), key, mods);
  }
  std::string Text() { return Memo()->Text(); }
  QString Panel(int i) { return form->StatusBar1->PanelText(i); }
  int Tabs() { return form->OpenFilesTab->count(); }
  QString TabText(int i) { return form->OpenFilesTab->tabText(i); }
  int TabIndex() { return form->OpenFilesTab->currentIndex(); }
  std::string History() { return ReadWholeFile(dir + "KORVEX.DAT"); }
  std::string Put(const std::string &name, const std::string &bytes) {
    WriteFileAtomic(dir + name, bytes);
    return dir + name;
  }
  std::string Get(const std::string &path) { return ReadWholeFile(path); }
  void Answer(std::initializer_list<std::string> answers) {
    for (const std::string &a : answers)
      rec->Answers.push_back(a);
  }
  void SetIni(const std::string &section, const std::string &key, const std::string &value) {
    TIniFile(dir + "KX_INC/KORVEX.INI").WriteString(section, key, value);
  }
  std::vector<std::string> Messages() {
    std::vector<std::string> out;
    for (const TPromptRecord &r : rec->Records)
      if (r.Kind == "MESSAGE")
        out.push_back(r.Text);
    return out;
  }
  void Open(const std::string &path) { form->OpenPath(path); }
  void SelectTab(int i) { form->OpenFilesTab->setCurrentIndex(i); }

  fs::path root;
  std::string dir;
  TRecordingPrompter *rec = nullptr;
  std::unique_ptr<TPrompter> previous;
  std::unique_ptr<TEditorMainForm> form;
};

} // namespace kxdocs
