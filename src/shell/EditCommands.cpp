// The main window's editing, search and navigation commands.
#include "EditorMainForm.h"

void TEditorMainForm::Edit1Click(QObject *) {}
void TEditorMainForm::PopupMenu1Popup(QObject *) {}
void TEditorMainForm::UndoButtonClick(QObject *) {}
void TEditorMainForm::RedoButtonClick(QObject *) {}
void TEditorMainForm::CutButtonClick(QObject *) {}
void TEditorMainForm::CopyButtonClick(QObject *) {}
void TEditorMainForm::PasteButtonClick(QObject *) {}
void TEditorMainForm::Delete1Click(QObject *) {}
void TEditorMainForm::SelectAll1Click(QObject *) {}
void TEditorMainForm::Upper1Click(QObject *) {}
void TEditorMainForm::Lower1Click(QObject *) {}
void TEditorMainForm::Capitalise1Click(QObject *) {}
void TEditorMainForm::IndentButtonClick(QObject *) {}
void TEditorMainForm::UndentButtonClick(QObject *) {}
void TEditorMainForm::Bookmark91Click(QObject *) {}
void TEditorMainForm::Bookmark92Click(QObject *) {}
void TEditorMainForm::Gotolinenumber1Click(QObject *) {}
void TEditorMainForm::Searchagain1Click(QObject *) {}
void TEditorMainForm::Showall1Click(QObject *) {}
void TEditorMainForm::Find1Click(QObject *) {}
void TEditorMainForm::Replace1Click(QObject *) {}
void TEditorMainForm::Font1Click(QObject *) {}
void TEditorMainForm::LineNumberFont1Click(QObject *) {}
void TEditorMainForm::Properties1Click(QObject *) {}
