// TEditorMainForm: the tab bar's own behaviour beyond the document switch:
// its popup menu acts on the tab that was clicked.
#include "EditorMainForm.h"

#include <QMenu>
#include <QTabBar>

void TEditorMainForm::TabPopupMenuRequested(const QPoint &pos) {
  const int clicked = OpenFilesTab->tabAt(pos);
  if (clicked < 0)
    return; // no tab under the pointer: nothing the menu's commands could act on
  if (clicked != OpenFilesTab->currentIndex())
    OpenFilesTab->setCurrentIndex(clicked); // the normal tab change runs
  TabPopupMenu->popup(OpenFilesTab->mapToGlobal(pos));
}
