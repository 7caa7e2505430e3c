// A main window with its result windows over a private program folder: the
// stand-in compiler as the program folder's "korvex", the settings file, the
// scripted prompter, and the stand-ins' log.
#pragma once

#include "AsmListForm.h"
#include "CommandGuard.h"
#include "DataListForm.h"
#include "EdPersistent.h"
#include "EditorMainForm.h"
#include "FileObject.h"
#include "HexListForm.h"
#include "IniFile.h"
#include "KorvexApplication.h"
#include "Launcher.h"
#include "PleaseWaitForm.h"
#include "ProcessPaths.h"
#include "Prompter.h"
#include "ReportForm.h"
#include "ReportView.h"
#include "StatusBar.h"
#include "Streams.h"
#include "SyntaxMemo.h"
#include "TempFolder.h"
#include "ToolLog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QTabBar>
#include <QTest>

#include <filesystem>

namespace kxcompile {

namespace fs = std::filesystem;

inline QApplication &App() {
  static int argc = 1;
  static char name[] = "test_toolchain_compile";
  static char *argv[] = {name, nullptr};
  if (!QApplication::instance())
    new TKorvexApplication(argc, argv);
  return *qApp;
}

inline const std::string Tools = KX_TOOLS_DIR "/";
inline const std::string HexData = KX_TESTDATA_DIR "/hex/";

class CompileTest : public ::testing::Test {
protected:
  void SetUp() override {
    App();
    dir = t.Dir();
    fs::create_directories(dir + "KX_INC");
    WriteFileAtomic(dir + "KX_INC/KORVEX.INI", "[PROGRAMMER]\r\nTYPE=EPIC\r\n");
    InstallTool("korvex", "korvex");
    log = dir + "tools.log";
    SetEnv("KX_TOOL_LOG", log);
    for (const char *v :
         {"KX_TOOL_HOLD", "KX_COMPILER_STATUS", "KX_COMPILER_REPORT", "KX_COMPILER_ASM",
          "KX_COMPILER_HEX", "KX_COMPILER_UPPER", "KX_COMPILER_NONE"})
      qunsetenv(v);
    auto r = std::make_unique<TRecordingPrompter>();
    rec = r.get();
    previous = SetPrompter(std::move(r));
    CommandLineFile.clear();
    form = std::make_unique<TEditorMainForm>();
    InitProcessPaths(dir);
    DeviceName = "16F84";
    CreateResultWindows();
    form->EdPersistent = std::make_unique<TEdPersistent>(dir + "KORVEX.DAT");
    form->resize(800, 600);
    form->show();
    QApplication::processEvents();
    QApplication::processEvents();
  }
  void TearDown() override {
    form.reset();
    DestroyResultWindows();
    SetPrompter(std::move(previous));
    for (const char *v :
         {"KX_TOOL_LOG", "KX_TOOL_HOLD", "KX_COMPILER_STATUS", "KX_COMPILER_REPORT",
          "KX_COMPILER_ASM", "KX_COMPILER_HEX", "KX_COMPILER_UPPER", "KX_COMPILER_NONE"})
      qunsetenv(v);
  }

  // The windows as the program creates them, once the folders are known.
  void CreateResultWindows() {
    ASMList = new TASMList();
    HEXList = new THEXList();
    Report = new TReport();
    DATAList = new TDATAList();
    Dummy_Virtual_Form = new TDummy_Virtual_Form();
    form->ConnectResultWindows();
  }
  void DestroyResultWindows() {
    delete Dummy_Virtual_Form;
    delete DATAList;
    delete Report;
    delete HEXList;
    delete ASMList;
    Dummy_Virtual_Form = nullptr;
    DATAList = nullptr;
    Report = nullptr;
    HEXList = nullptr;
    ASMList = nullptr;
  }

  static void SetEnv(const char *name, const std::string &value) {
    qputenv(name, QByteArray::fromStdString(value));
  }
  std::string InstallTool(const std::string &standIn, const std::string &as) {
    const std::string path = dir + as;
    fs::create_directories(fs::path(path).parent_path());
    fs::copy_file(Tools + standIn, path, fs::copy_options::overwrite_existing);
    return path;
  }

  TSyntaxMemo *Memo() { return form->SyntaxMemo1; }
  void Type(const QString &text) { QTest::keyClicks(Memo(), text); }
  void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(Memo(), key, mods);
  }
  // A key the main window's menus answer (F1 to F9). Like a key typed by the
  // user it comes after the events already queued (window activation).
  void MenuKey(Qt::Key key) {
    QApplication::processEvents();
    QTest::keyClick(form.get(), key);
  }
  QString Panel(int i) { return form->StatusBar1->PanelText(i); }
  std::string Put(const std::string &name, const std::string &bytes) { return t.Put(name, bytes); }
  std::string Get(const std::string &path) { return ReadFileBytes(path); }
  void Open(const std::string &path) { form->OpenPath(path); }
  void Answer(std::initializer_list<std::string> answers) {
    for (const std::string &a : answers)
      rec->Answers.push_back(a);
  }
  std::vector<TPromptRecord> Questions() {
    std::vector<TPromptRecord> out;
    for (const TPromptRecord &r : rec->Records)
      if (r.Kind == "MESSAGE" || r.Kind == "SAVE")
        out.push_back(r);
    return out;
  }
  std::vector<std::string> Messages() {
    std::vector<std::string> out;
    for (const TPromptRecord &r : rec->Records)
      if (r.Kind == "MESSAGE")
        out.push_back(r.Text);
    return out;
  }
  std::vector<TToolRun> Runs() { return ReadToolLog(log); }
  std::string Ini(const char *section, const char *key) {
    return TIniFile(dir + "KX_INC/KORVEX.INI").ReadString(section, key, "<none>");
  }

  TTempFolder t;
  std::string dir, log;
  TRecordingPrompter *rec = nullptr;
  std::unique_ptr<TPrompter> previous;
  std::unique_ptr<TEditorMainForm> form;
};

} // namespace kxcompile
