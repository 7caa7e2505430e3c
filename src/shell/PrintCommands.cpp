// The main window's print commands: Print, Print Setup and Print Preview.
#include "EditorMainForm.h"

void TEditorMainForm::PrintButtonClick(QObject *) {}
void TEditorMainForm::PrintSetup1Click(QObject *) {}
void TEditorMainForm::PrintPreview1Click(QObject *) {}
