// The main window's compile command and the result windows it fills.
#include "EditorMainForm.h"

void TEditorMainForm::CompileButtonClick(QObject *) {}
void TEditorMainForm::ShowReportClick(QObject *) {}
void TEditorMainForm::ASMButtonClick(QObject *) {}
void TEditorMainForm::ProgramDataClick(QObject *) {}
void TEditorMainForm::EepromDataClick(QObject *) {}
