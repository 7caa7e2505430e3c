// The assembler listing window: the .ASM file the compiler wrote, in an
// editor control with the assembler scheme, editable and re-assembled from
// its popup menu.
#pragma once

#include "ResultWindow.h"

#include <string>

class QAction;
class QMenu;
class TSyntaxMemo;
class TSyntaxMemoParser;

class TASMList : public TResultWindow {
  Q_OBJECT

public:
  explicit TASMList(QWidget *parent = nullptr);

  // The assembler highlighting scheme (not owned); the listing's own font,
  // tab width, margin and gutter stay.
  void SetScheme(TSyntaxMemoParser *scheme);
  // Loads the file into the editor, or empties the editor when it does not
  // exist.
  void LoadListing(const std::string &path);

  // Popup commands.
  void ReAssembleClick();
  void ReAssembleAsClick();
  // Saves the text to `path` and assembles it: the assembler in IncFolder,
  // or gpasm when there is none there and it is installed.
  void Assemble(const std::string &path, bool inhx8m);

  TSyntaxMemo *SyntaxMemo = nullptr;
  // Ctrl+F and Ctrl+R inside the listing: find and replace in its text. The
  // dialogs are the main window's, which connects and enables these.
  QAction *FindKey = nullptr, *ReplaceKey = nullptr;
  QMenu *PopupMenu = nullptr;
  QAction *PopupUndo = nullptr, *PopupRedo = nullptr, *PopupCut = nullptr, *PopupCopy = nullptr,
          *PopupPaste = nullptr, *ReAssemble = nullptr, *ReAssembleAs = nullptr;

  void LoadGeometry() override;
  void StoreGeometry() override;

private:
  void ApplyListingLook();
  void PopupMenuPopup();
};

extern TASMList *ASMList;
