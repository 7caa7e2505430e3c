// The listing window: the editor, its popup menu and re-assembling.
#include "AsmListForm.h"

#include "CommandGuard.h"
#include "IniFile.h"
#include "Launcher.h"
#include "ProcessPaths.h"
#include "Prompter.h"
#include "ResultNames.h"
#include "Streams.h"
#include "SyntaxMemo.h"
#include "ToolLookup.h"

#include <QAction>
#include <QMenu>
#include <QVBoxLayout>

TASMList *ASMList = nullptr;

namespace {

const TGeometryKeys Keys = {"EDITOR",  "ASM_WIDTH",  "ASM_LEFT",
                            "ASM_TOP", "ASM_HEIGHT", QRect(662, 252, 402, 500)};

} // namespace

TASMList::TASMList(QWidget *parent)
    : TResultWindow("ASMList", QStringLiteral("ASSEMBLER Listing"), Qt::Window, parent) {
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  SyntaxMemo = new TSyntaxMemo(this);
  SyntaxMemo->setObjectName(QStringLiteral("SyntaxMemo"));
  layout->addWidget(SyntaxMemo);
  ApplyListingLook();

  PopupMenu = new QMenu(this);
  PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
  const auto add = [this](const char *caption, const char *name, auto handler) {
    QAction *a = PopupMenu->addAction(QString::fromLatin1(caption));
    a->setObjectName(QLatin1String(name));
    connect(a, &QAction::triggered, this, Guarded(handler));
    return a;
  };
  PopupUndo = add("Undo", "PopupUndo", [this] { SyntaxMemo->Undo(); });
  PopupRedo = add("Redo", "PopupRedo", [this] { SyntaxMemo->Redo(); });
  PopupMenu->addSeparator();
  PopupCut = add("Cut", "PopupCut", [this] { SyntaxMemo->CutToClipboard(); });
  PopupCopy = add("Copy", "PopupCopy", [this] { SyntaxMemo->CopyToClipboard(); });
  PopupPaste = add("Paste", "PopupPaste", [this] { SyntaxMemo->PasteFromClipboard(); });
  PopupMenu->addSeparator();
  ReAssemble = add("Re-Assemble", "ReAssemble", [this] { ReAssembleClick(); });
  ReAssembleAs = add("Re-Assemble as...", "ReAssembleAs", [this] { ReAssembleAsClick(); });
  connect(PopupMenu, &QMenu::aboutToShow, this, Guarded([this] { PopupMenuPopup(); }));
  SyntaxMemo->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(SyntaxMemo, &QWidget::customContextMenuRequested, this,
          [this](const QPoint &pos) { PopupMenu->popup(SyntaxMemo->mapToGlobal(pos)); });
  const auto key = [this](const char *name, const QKeySequence &shortcut) {
    auto *a = new QAction(this);
    a->setObjectName(QLatin1String(name));
    a->setShortcut(shortcut);
    a->setEnabled(false);
    addAction(a);
    return a;
  };
  FindKey = key("FindKey", QKeySequence(Qt::CTRL | Qt::Key_F));
  ReplaceKey = key("ReplaceKey", QKeySequence(Qt::CTRL | Qt::Key_R));
  LoadGeometry();
}

void TASMList::ApplyListingLook() {
  QFont font(QStringLiteral("Courier New"));
  font.setPixelSize(13);
  SyntaxMemo->SetFont(font);
  SyntaxMemo->SetOptions(SyntaxMemo->Options() | smoShowGutter | smoLineNumbers | smoShowRMargin);
  SyntaxMemo->SetTabDefault(8);
  SyntaxMemo->RightMargin = 80;
  SyntaxMemo->viewport()->update();
}

void TASMList::SetScheme(TSyntaxMemoParser *scheme) {
  SyntaxMemo->SetParser(scheme);
  ApplyListingLook();
}

void TASMList::LoadGeometry() {
  LoadPlace(Keys);
}

void TASMList::StoreGeometry() {
  StorePlace(Keys);
}

void TASMList::LoadListing(const std::string &path) {
  if (FileExists(path)) {
    SyntaxMemo->LoadFromFile(path);
  } else {
    SyntaxMemo->Perform(WM_SETTEXT, 0, 0);
    SyntaxMemo->ClearUndo();
  }
}

void TASMList::PopupMenuPopup() {
  const bool selection = SyntaxMemo->SelAvail();
  PopupUndo->setEnabled(SyntaxMemo->CanUndo());
  PopupRedo->setEnabled(SyntaxMemo->CanRedo());
  PopupCut->setEnabled(selection && !SyntaxMemo->ReadOnly());
  PopupCopy->setEnabled(selection);
  PopupPaste->setEnabled(SyntaxMemo->Perform(EM_CANPASTE, 0, 0) != 0);
  // One tool at a time writes the result files; and there is nothing to
  // assemble without a document.
  const bool canAssemble = !LauncherBusy() && !AsmFileName.empty();
  ReAssemble->setEnabled(canAssemble);
  ReAssembleAs->setEnabled(canAssemble);
}

void TASMList::ReAssembleClick() {
  if (AsmFileName.empty() || LauncherBusy())
    return;
  Assemble(AsmFileName, false);
}

void TASMList::ReAssembleAsClick() {
  if (AsmFileName.empty() || LauncherBusy())
    return;
  TFileDialogRequest request;
  request.FileName = AsmFileName;
  request.Filter = "ASSEMBLER files|*.asm";
  if (!Prompter().SaveFileDialog(request))
    return;
  // The file just written is the one assembled, so the user's edits are.
  Assemble(request.FileName, true);
}

void TASMList::Assemble(const std::string &path, bool inhx8m) {
  SyntaxMemo->SaveToFile(path);
  const std::string assembler = IncFolder + AssemblerProgram;
  if (FindTool(assembler).empty()) {
    const QByteArray searchPath = qgetenv("PATH");
    const std::string gpasm = FindInSearchPath(GpasmProgram, searchPath.toStdString());
    if (!gpasm.empty()) {
      ExecuteAndWait(gpasm, GpasmArguments(path));
      return;
    }
  }
  ExecuteAndWait(assembler, AssemblerArguments(path, inhx8m));
}
