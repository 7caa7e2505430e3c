// Creating and destroying the program's windows.
#include "ApplicationWindows.h"

#include "AboutForm.h"
#include "AsciiForm.h"
#include "AsmListForm.h"
#include "BootloaderParametersDialog.h"
#include "DataListForm.h"
#include "EditorMainForm.h"
#include "EpicPathDialog.h"
#include "FindDialog.h"
#include "FindMeloaderDialog.h"
#include "GotoLineDialog.h"
#include "HexListForm.h"
#include "PleaseWaitForm.h"
#include "ProgPathDialog.h"
#include "ReplaceDialog.h"
#include "ReportForm.h"

namespace {
template <class T, class... Owner> void Create(T *&window, Owner... owner) {
  if (!window)
    window = new T(owner...);
}
} // namespace

void CreateMainWindow(const std::function<void()> &beforeFonts) {
  EditorMainForm = new TEditorMainForm(nullptr, beforeFonts);
}

void CreateCompanionWindows() {
  if (!EditorMainForm)
    return;
  // A dialog a command needed may exist already (the commands make theirs
  // when it is missing); the result windows are made only here.
  const bool resultWindowsNew = !Report;
  // The parser repository, holder of the language scheme, exists since the
  // main window's creation.
  Create(EdFindDlg, EditorMainForm);
  Create(EdReplDlg, EditorMainForm);
  Create(GotoLineDialog, EditorMainForm);
  Create(ASMList);
  Create(ProgPath, EditorMainForm);
  Create(HEXList);
  Create(Report);
  Create(EPICPath, EditorMainForm);
  Create(DATAList);
  Create(AboutForm, EditorMainForm);
  Create(ASCII);
  Create(Bootloader_Parameters, EditorMainForm);
  Create(Find_MELOADER, EditorMainForm);
  Create(Dummy_Virtual_Form);
  if (resultWindowsNew) {
    EditorMainForm->ConnectResultWindows();
    EditorMainForm->ConnectReportLines();
  }
}

void CreateApplicationWindows() {
  CreateMainWindow();
  CreateCompanionWindows();
}

namespace {
template <class T> void Destroy(T *&window) {
  delete window;
  window = nullptr;
}
} // namespace

void DestroyApplicationWindows() {
  Destroy(Dummy_Virtual_Form);
  Destroy(Find_MELOADER);
  Destroy(Bootloader_Parameters);
  Destroy(ASCII);
  Destroy(AboutForm);
  Destroy(DATAList);
  Destroy(EPICPath);
  Destroy(Report);
  Destroy(HEXList);
  Destroy(ProgPath);
  Destroy(ASMList);
  Destroy(GotoLineDialog);
  Destroy(EdReplDlg);
  Destroy(EdFindDlg);
  Destroy(EditorMainForm);
}
