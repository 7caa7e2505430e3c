// A main window over a private program folder (settings, tool folder) with
// the scripted prompter, started as the program starts, plus helpers to lay
// out tools and to answer the modal dialogs the commands open.
#pragma once

#include "CommandGuard.h"
#include "EdPersistent.h"
#include "EditorMainForm.h"
#include "IniFile.h"
#include "KorvexApplication.h"
#include "ProcessPaths.h"
#include "Prompter.h"
#include "Streams.h"
#include "SyntaxMemo.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace kxtools {

namespace fs = std::filesystem;

inline QApplication &App() {
  static int argc = 1;
  static char name[] = "test_toolchain_commands";
  static char *argv[] = {name, nullptr};
  if (!QApplication::instance())
    new TKorvexApplication(argc, argv);
  return *static_cast<QApplication *>(QApplication::instance());
}

class ToolsTest : public ::testing::Test {
protected:
  void SetUp() override {
    App();
    root = fs::temp_directory_path() /
           ("kx_tools_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root);
    fs::create_directories(root / "KX_INC");
    dir = root.string() + "/";
    inc = dir + "KX_INC/";
    tools = inc + "EXTERNAL PROGRAMS/";
    WriteFileAtomic(inc + "KORVEX.INI", "[PROGRAMMER]\r\nTYPE=EPIC\r\n");
    auto r = std::make_unique<TRecordingPrompter>();
    rec = r.get();
    previous = SetPrompter(std::move(r));
  }
  void TearDown() override {
    form.reset();
    SetPrompter(std::move(previous));
    std::error_code ec;
    fs::remove_all(root, ec);
  }

  // A new main window, shown and activated as at start-up.
  void Start() {
    form.reset();
    form = std::make_unique<TEditorMainForm>();
    // As the program does once its windows exist: commands follow the
    // launcher's busy state.
    form->ConnectResultWindows();
    InitProcessPaths(root.string());
    form->EdPersistent = std::make_unique<TEdPersistent>(dir + "KORVEX.DAT");
    form->resize(800, 600);
    form->show();
    QApplication::processEvents();
    QApplication::processEvents();
  }

  // A file in the tool folder (or below it).
  std::string Tool(const std::string &rel, mode_t mode = 0644, const std::string &bytes = "") {
    const fs::path p = fs::path(tools) / rel;
    fs::create_directories(p.parent_path());
    WriteFileAtomic(p.string(), bytes);
    ::chmod(p.c_str(), mode);
    return p.string();
  }
  // The stand-in program copied into the tool folder under a name.
  std::string StandIn(const std::string &rel, const char *program = "kx_run_tool") {
    const fs::path p = fs::path(tools) / rel;
    fs::create_directories(p.parent_path());
    fs::copy_file(fs::path(KX_TOOLS_DIR) / program, p, fs::copy_options::overwrite_existing);
    ::chmod(p.c_str(), 0755);
    return p.string();
  }

  std::string Ini(const char *section, const char *key, const char *file = "KORVEX.INI") {
    return TIniFile(inc + file).ReadString(section, key, "(missing)");
  }
  void SetIni(const char *section, const char *key, const std::string &value,
              const char *file = "KORVEX.INI") {
    TIniFile(inc + file).WriteString(section, key, value);
  }

  // Runs a command that opens a modal dialog; `inside` acts on the dialog
  // once it is up (it is cancelled if still open afterwards).
  void WithDialog(const std::function<void()> &command,
                  const std::function<void(QDialog &)> &inside) {
    QTimer::singleShot(0, [inside] {
      auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
      ASSERT_NE(d, nullptr);
      inside(*d);
      if (d->isVisible())
        d->reject();
    });
    RunCommand(command);
  }

  // The entries of a Run submenu as their captions.
  QStringList Entries(QMenu *menu) {
    QStringList out;
    for (QAction *a : menu->actions())
      out << a->text();
    return out;
  }

  std::vector<std::string> Messages() {
    std::vector<std::string> out;
    for (const TPromptRecord &r : rec->Records)
      if (r.Kind == "MESSAGE")
        out.push_back(r.Text);
    return out;
  }

  TSyntaxMemo *Memo() { return form->SyntaxMemo1; }

  fs::path root;
  std::string dir, inc, tools;
  TRecordingPrompter *rec = nullptr;
  std::unique_ptr<TPrompter> previous;
  std::unique_ptr<TEditorMainForm> form;
};

} // namespace kxtools
