// TEdReplDlg: the replace dialog's layout, its OK and its Replace All.
#include "ReplaceDialog.h"

#include "EdPersistent.h"
#include "Prompter.h"
#include "Search.h"
#include "SyntaxMemo.h"
#include "SyntaxMemoStrings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <iterator>

TEdReplDlg *EdReplDlg = nullptr;

TEdReplDlg::TEdReplDlg(QWidget *parent)
    : TSearchDialog(parent, "EdReplDlg", QStringLiteral("Find and replace text..."),
                    "REPLACE_DIALOG", "REPL") {
  ReplLabel = new QLabel(QStringLiteral("Replace with"), this);
  ReplHistoryBox = new QComboBox(this);
  ReplHistoryBox->setObjectName(QStringLiteral("ReplHistoryBox"));
  ReplHistoryBox->setEditable(true);
  ReplHistoryBox->setInsertPolicy(QComboBox::NoInsert);
  ReplHistoryBox->setMinimumContentsLength(28);
  ReplHistoryBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  ReplLabel->setBuddy(ReplHistoryBox);
  PromptOnReplBox = new QCheckBox(QStringLiteral("&Prompt on Replace"), this);
  PromptOnReplBox->setObjectName(QStringLiteral("PromptOnReplBox"));
  ReplaceAllButton = new QPushButton(QStringLiteral("Replace All"), this);
  ReplaceAllButton->setObjectName(QStringLiteral("ReplaceAllButton"));
  ReplaceAllButton->setAutoDefault(false);

  auto *grid = new QGridLayout(this);
  grid->addWidget(FindLabel, 0, 0);
  grid->addWidget(FindHistoryBox, 0, 1, 1, 2);
  grid->addWidget(ReplLabel, 1, 0);
  grid->addWidget(ReplHistoryBox, 1, 1, 1, 2);
  grid->addWidget(OptionsGroup, 2, 0, 1, 2);
  grid->addWidget(DirectionGroup, 2, 2);
  grid->addWidget(PromptOnReplBox, 3, 0, 1, 3);
  auto *buttons = new QVBoxLayout;
  buttons->addWidget(OKButton);
  buttons->addWidget(ReplaceAllButton);
  buttons->addWidget(CancelButton);
  buttons->addStretch(1);
  grid->addLayout(buttons, 0, 3, 4, 1);
  grid->setColumnStretch(1, 1);
  grid->setSizeConstraint(QLayout::SetMinAndMaxSize);
  setMaximumHeight(sizeHint().height());
  // Tab goes through the controls as they stand on the screen.
  QWidget *order[] = {FindHistoryBox, ReplHistoryBox,   UseCaseBox,    WholeWordBox,
                      RegExBox,       FwdDirection,     BackDirection, PromptOnReplBox,
                      OKButton,       ReplaceAllButton, CancelButton};
  for (size_t i = 1; i < std::size(order); ++i)
    setTabOrder(order[i - 1], order[i]);
  connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
  connect(ReplaceAllButton, &QPushButton::clicked, this, [this] { ReplaceAllButtonClick(); });
}

std::string TEdReplDlg::ReplaceText() const {
  return Bytes(ReplHistoryBox->currentText());
}

void TEdReplDlg::LoadHistories() {
  TSearchDialog::LoadHistories();
  SetItems(ReplHistoryBox, History() ? History()->ReplaceHistory() : std::vector<std::string>());
}

void TEdReplDlg::WriteHistories() {
  TSearchDialog::WriteHistories();
  if (History())
    History()->SetReplaceHistory(MergedWith(ReplHistoryBox, History()->ReplaceHistory()));
}

void TEdReplDlg::UpdateButtons() {
  TSearchDialog::UpdateButtons();
  ReplaceAllButton->setEnabled(OKButton->isEnabled());
}

int TEdReplDlg::AskReplace(const std::string &text, const std::string &replacement) {
  std::string question = "Replace this instance of \"";
  question += Display(text).toStdString();
  question += "\" with \"";
  question += Display(replacement).toStdString();
  question += "\" ?";
  const TModalResult r = MessageDlg(question, TMsgDlgType::mtConfirmation, mbYes | mbNo | mbCancel);
  return r == TModalResult::mrYes ? mbYes : r == TModalResult::mrNo ? mbNo : mbCancel;
}

void TEdReplDlg::ReplaceMatch(const std::string &replacement, bool repaint) {
  TSyntaxMemo *editor = Editor();
  const bool empty = !editor->SelAvail();
  editor->ReplaceSel(replacement, repaint);
  if (empty)
    editor->SkipEmptyMatchAt(editor->Caret());
}

bool TEdReplDlg::TakeTexts(std::string &text, std::string &replacement) {
  text = SearchText();
  replacement = ReplaceText();
  if (!Editor() || text.empty())
    return false;
  AddOnTop(FindHistoryBox, text);
  AddOnTop(ReplHistoryBox, replacement);
  return true;
}

void TEdReplDlg::OKButtonClick() {
  std::string text, replacement, toInsert;
  if (!TakeTexts(text, replacement))
    return;
  TSyntaxMemo *editor = Editor();
  const uint32_t options = ReadOptions();
  // Here the selection counts as the same match only when it is exactly the text.
  if (!SearchFromSelection(*editor, text, options, TSameMatch::Exactly, [&] {
        return editor->SearchForReplace(text, replacement, options | sfSilent, toInsert);
      }))
    return;
  if (PromptOnReplBox->isChecked() && AskReplace(text, toInsert) != mbYes)
    return;
  const int64_t start = editor->SelStart();
  ReplaceMatch(toInsert, true);
  // Searching backwards goes on before the new text, never into it.
  if (options & sfBackwards)
    editor->SetSelection(start, start);
}

namespace {

// Ends a replace-all run however it ends: the question box usable again, the
// editor painting again, the undo group closed.
class TReplaceAllRun {
public:
  TReplaceAllRun(TSyntaxMemo &editor, QCheckBox &promptBox, bool updating)
      : editor_(editor), promptBox_(promptBox), updating_(updating) {
    editor_.BeginGroup(ugCompound);
    if (updating_)
      editor_.Lines().BeginUpdate();
    promptBox_.setEnabled(false);
  }
  ~TReplaceAllRun() {
    promptBox_.setEnabled(true);
    if (updating_)
      editor_.Lines().EndUpdate();
    editor_.EndGroup(ugCompound);
    // The selection set again, so that it is painted and in view.
    const int64_t anchor = editor_.Anchor(), caret = editor_.Caret();
    editor_.SetSelection(anchor, caret);
    editor_.ScrollCaret();
  }
  TReplaceAllRun(const TReplaceAllRun &) = delete;
  TReplaceAllRun &operator=(const TReplaceAllRun &) = delete;

private:
  TSyntaxMemo &editor_;
  QCheckBox &promptBox_;
  bool updating_;
};

} // namespace

void TEdReplDlg::ReplaceAllButtonClick() {
  std::string text, replacement;
  if (!TakeTexts(text, replacement))
    return;
  TSyntaxMemo *editor = Editor();
  const uint32_t options = ReadOptions();
  if (!(options & sfRegExp))
    StepIntoSameMatch(*editor, text, options & sfMatchCase, options & sfBackwards);
  const bool prompt = PromptOnReplBox->isChecked();
  // The whole run sweeps forward from the start of the text, whatever the direction.
  const uint32_t forward = (options & ~sfBackwards) | sfSilent;
  try {
    TReplaceAllRun run(*editor, *PromptOnReplBox, !prompt);
    editor->SetSelection(0, 0, !prompt);
    std::string toInsert;
    for (;;) {
      if (History()) {
        History()->LastSearchText = text;
        History()->SearchOptions = options | sfSilent;
      }
      if (!editor->SearchForReplace(text, replacement, forward, toInsert))
        break;
      if (prompt) {
        const int answer = AskReplace(text, toInsert);
        if (answer == mbCancel)
          break;
        if (answer == mbYes)
          ReplaceMatch(toInsert, false);
      } else {
        ReplaceMatch(toInsert, false);
      }
      const int64_t end = editor->SelEnd();
      editor->SetSelection(end, end, false);
    }
  } catch (const ERegExpError &e) {
    ShowSearchError(e.what());
  }
  Searched();
}
