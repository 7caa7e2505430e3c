// The program entry: the single-instance check, the settings-file check,
// the main window (its companions once it is on screen), the event loop.
#include "ApplicationWindows.h"
#include "CommandLineTools.h"
#include "EditorMainForm.h"
#include "FileObject.h"
#include "FontWarmUp.h"
#include "KorvexApplication.h"
#include "ProcessPaths.h"
#include "Prompter.h"
#include "QtPrompter.h"
#include "SingleInstance.h"
#include "Streams.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTabBar>

#include <cstdio>
#include <ctime>

namespace {

const char *const FatalText = "Could not Find KORVEX.INI\rMake sure it is in the KX_INC folder and "
                              "is not Write Protected\rThe Compiler will now Close";

// Hooks for tests and benchmarks: print a line and end once the window's
// first frame is on screen, or minimise it once it is up.
void ConnectStartupHooks(TEditorMainForm *form) {
  const bool exitWhenShown = qEnvironmentVariableIsSet("KX_EXIT_WHEN_SHOWN");
  const bool minimise = qEnvironmentVariableIsSet("KX_MINIMISE_WHEN_SHOWN");
  QObject::connect(form, &TEditorMainForm::FirstActivated, form, [=] {
    Prompter().Trace("shown tabs=" + std::to_string(form->OpenFilesTab->count()) +
                     " title=" + form->windowTitle().toStdString() + " file=" + CommandLineFile);
    if (minimise) {
      form->showMinimized();
      Prompter().Trace("minimised");
    }
  });
  QObject::connect(form, &TEditorMainForm::FirstFramePainted, form, [=] {
    if (exitWhenShown) {
      // With the processor time spent so far, which the start-up benchmark
      // compares as well as the time it waited.
      timespec cpu{};
      clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
      std::printf("KX-SHOWN cpu-ms=%.3f\n",
                  static_cast<double>(cpu.tv_sec) * 1e3 + static_cast<double>(cpu.tv_nsec) / 1e6);
      std::fflush(stdout);
      // Ends the loop without closing the window: nothing the closing
      // stores (documents, window place) belongs to a start-up check.
      QCoreApplication::exit(0);
    }
  });
}

} // namespace

int main(int argc, char **argv) {
  // Compile, program and download runs for make files need no window.
  if (IsCommandLineRun(argc, argv))
    return RunCommandLine(argc, argv);
  // The language schemes load on the fonts' thread too: the first document
  // needs them as the window is first shown, and the one who asks first
  // waits for the other to finish loading them.
  TFontWarmUp fonts([] { (void)ProgramRepository(); });
  TKorvexApplication app(argc, argv);
  const TFontWarmUp::TApplicationReady fontsMayUseApp(fonts);
  QCoreApplication::setApplicationName(QStringLiteral("korvex-editor"));
  InstallProcessPrompter();

  // The one argument: the file to open. Quoted arguments may hold blanks;
  // options the toolkit understood are already gone.
  // A name relative to the folder the program was started in is made
  // absolute now: the caption, the recent files and the working directory
  // all need the full path, the current folder may change later, and a copy
  // that finds another running hands the file over to a copy whose working
  // folder is not this one's.
  const QStringList args = QCoreApplication::arguments();
  if (args.size() > 1 && !args.at(1).isEmpty())
    CommandLineFile =
        QFile::encodeName(QDir::cleanPath(QFileInfo(args.at(1)).absoluteFilePath())).toStdString();

  TSingleInstance instance;
  if (instance.AnotherIsRunning(CommandLineFile)) {
    Prompter().Trace("another instance runs");
    return 0;
  }

  if (!FileExists(SettingsFileBeside(ExecutableFolder()))) {
    Prompter().Message(FatalText, TMsgDlgType::mtCustom, mbOK | mbCancel, "FATAL ERROR!");
    return 1;
  }
  // The application title ("KORVEX Editor") names the program in its own
  // texts only: as the toolkit's display name it would be appended to every
  // window caption, and the captions are the document's path, "No_name.bas"
  // or "KORVEX Compiler" alone.

  int rc = 0;
  try {
    // The companion windows follow the main window's first frame. The menus
    // and the toolbar are made while the font configuration still loads.
    CreateMainWindow([&fonts] { fonts.WaitForConfiguration(); });
    instance.OnMessage = [](const std::string &file) {
      if (EditorMainForm)
        EditorMainForm->InstanceMessage(file);
    };
    ConnectStartupHooks(EditorMainForm);
    fonts.Join();
    EditorMainForm->show();
    rc = app.exec();
  } catch (...) {
    // Whatever escapes start-up or the event loop ends the program quietly.
  }
  instance.OnMessage = nullptr;
  try {
    DestroyApplicationWindows();
  } catch (...) {
  }
  return rc;
}
