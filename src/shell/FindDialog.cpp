// TEdFindDlg: the find dialog's layout and its OK.
#include "FindDialog.h"

#include "EdPersistent.h"
#include "Search.h"
#include "SyntaxMemo.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <iterator>

TEdFindDlg *EdFindDlg = nullptr;

TEdFindDlg::TEdFindDlg(QWidget *parent)
    : TSearchDialog(parent, "EdFindDlg", QStringLiteral("Find text..."), "FIND_DIALOG", "FIND") {
  auto *grid = new QGridLayout(this);
  grid->addWidget(FindLabel, 0, 0);
  grid->addWidget(FindHistoryBox, 0, 1, 1, 2);
  grid->addWidget(OptionsGroup, 1, 0, 1, 2);
  grid->addWidget(DirectionGroup, 1, 2);
  auto *buttons = new QVBoxLayout;
  buttons->addWidget(OKButton);
  buttons->addWidget(CancelButton);
  buttons->addStretch(1);
  grid->addLayout(buttons, 0, 3, 2, 1);
  grid->setColumnStretch(1, 1);
  grid->setSizeConstraint(QLayout::SetMinAndMaxSize);
  setMaximumHeight(sizeHint().height());
  // Tab goes through the controls as they stand on the screen.
  QWidget *order[] = {FindHistoryBox, UseCaseBox,    WholeWordBox, RegExBox,
                      FwdDirection,   BackDirection, OKButton,     CancelButton};
  for (size_t i = 1; i < std::size(order); ++i)
    setTabOrder(order[i - 1], order[i]);
  connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
  for (QWidget *w : findChildren<QWidget *>())
    w->installEventFilter(this);
}

bool TEdFindDlg::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape &&
      !(FindHistoryBox->completer() && FindHistoryBox->completer()->popup() &&
        FindHistoryBox->completer()->popup()->isVisible())) {
    reject();
    return true;
  }
  return TSearchDialog::eventFilter(watched, event);
}

void TEdFindDlg::OKButtonClick() {
  TSyntaxMemo *editor = Editor();
  const std::string text = SearchText();
  if (!editor || text.empty())
    return;
  const uint32_t options = ReadOptions();
  AddOnTop(FindHistoryBox, text);
  if (History()) {
    History()->LastSearchText = text;
    History()->SearchOptions = options | sfSilent;
  }
  SearchFromSelection(*editor, text, options, TSameMatch::AsSearched, [&] {
    int64_t length = 0;
    return editor->SearchAndSelect(text, options | sfSilent, length);
  });
  Searched();
}
