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

void CreateApplicationWindows() {
  EditorMainForm = new TEditorMainForm();
  // The parser repository, holder of the language scheme, is created here,
  // right after the main window, once it exists.
  EdFindDlg = new TEdFindDlg(EditorMainForm);
  EdReplDlg = new TEdReplDlg(EditorMainForm);
  GotoLineDialog = new TGotoLineDialog(EditorMainForm);
  ASMList = new TASMList();
  ProgPath = new TProgPath(EditorMainForm);
  HEXList = new THEXList();
  Report = new TReport();
  EPICPath = new TEPICPath(EditorMainForm);
  DATAList = new TDATAList();
  AboutForm = new TAboutForm(EditorMainForm);
  ASCII = new TASCII();
  Bootloader_Parameters = new TBootloader_Parameters(EditorMainForm);
  Find_MELOADER = new TFind_MELOADER(EditorMainForm);
  Dummy_Virtual_Form = new TDummy_Virtual_Form();
  EditorMainForm->ConnectResultWindows();
  EditorMainForm->ConnectReportLines();
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
