// TEditorMainForm: the tab bar's own behaviour beyond the document switch:
// its popup menu acts on the tab that was clicked, a modified document's tab
// carries a marker, and the keys every other editor uses to move between tabs.
#include "EditorMainForm.h"

#include "CommandGuard.h"
#include "KeyMap.h"
#include "SvgIcon.h"
#include "SyntaxMemo.h"

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

void TEditorMainForm::ConnectTabKeys() {
  // Seen before the key map, so no binding and no typed TAB gets them.
  SyntaxMemo1->OnKeyDown = [this](TCustomSyntaxMemo *, uint16_t &key) {
    int step = 0;
    switch (key) {
    case vk::Tab | scCtrl:
    case vk::Next | scCtrl:
      step = 1;
      break;
    case vk::Tab | scCtrl | scShift:
    case vk::Prior | scCtrl:
      step = -1;
      break;
    default:
      return;
    }
    key = 0;
    RunCommand([this, step] { SwitchTab(step); });
  };
}

void TEditorMainForm::SwitchTab(int step) {
  const int count = OpenFilesTab->count();
  if (count < 2)
    return;
  const int next = ((OpenFilesTab->currentIndex() + step) % count + count) % count;
  OpenFilesTab->setCurrentIndex(next); // the normal tab change runs
}

void TEditorMainForm::MarkTabModified(int index, bool modified) {
  if (index < 0 || index >= OpenFilesTab->count())
    return;
  // The caption stays the file name; the icon is the mark.
  if (!OpenFilesTab->tabIcon(index).isNull() == modified)
    return;
  OpenFilesTab->setTabIcon(index, modified ? SvgIcon(QStringLiteral("modified")) : QIcon());
  OpenFilesTab->setTabToolTip(index, modified ? QStringLiteral("Modified") : QString());
}
