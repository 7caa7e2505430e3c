// TSearchDialog: the controls, the show and close rules and the remembered
// place that the find and the replace dialog have in common.
#include "SearchDialog.h"

#include "EdPersistent.h"
#include "KorvexError.h"
#include "Prompter.h"
#include "QtClipboard.h"
#include "ResultWindow.h"
#include "Search.h"
#include "SyntaxMemo.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace {

char FoldLetter(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

} // namespace

bool SameTextIgnoringCase(const std::string &a, const std::string &b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldLetter(a[i]) != FoldLetter(b[i]))
      return false;
  return true;
}

TSearchDialog::TSearchDialog(QWidget *parent, const char *name, const QString &caption,
                             const char *geometrySection, const char *keyPrefix)
    : QDialog(parent), geometrySection_(geometrySection), keyPrefix_(keyPrefix) {
  setObjectName(QLatin1String(name));
  setWindowTitle(caption);
  // Non-modal, above the main window, and without title-bar buttons: the
  // dialog closes through Cancel or Escape.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowStaysOnTopHint);
  setModal(false);

  FindLabel = new QLabel(QStringLiteral("&Text to find"), this);
  FindHistoryBox = new QComboBox(this);
  FindHistoryBox->setObjectName(QStringLiteral("FindHistoryBox"));
  FindHistoryBox->setEditable(true);
  // Enter runs OK; it must not add the text to the list by itself.
  FindHistoryBox->setInsertPolicy(QComboBox::NoInsert);
  FindHistoryBox->setMinimumContentsLength(28);
  FindHistoryBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  // The history is offered as the user types.
  auto *completer = new QCompleter(FindHistoryBox->model(), FindHistoryBox);
  completer->setCaseSensitivity(Qt::CaseInsensitive);
  completer->setCompletionMode(QCompleter::PopupCompletion);
  FindHistoryBox->setCompleter(completer);
  FindLabel->setBuddy(FindHistoryBox);

  OptionsGroup = new QGroupBox(QStringLiteral("Options"), this);
  UseCaseBox = new QCheckBox(QStringLiteral("&Case sensitive"), OptionsGroup);
  UseCaseBox->setObjectName(QStringLiteral("UseCaseBox"));
  RegExBox = new QCheckBox(QStringLiteral("&Regular expressions"), OptionsGroup);
  RegExBox->setObjectName(QStringLiteral("RegExBox"));
  WholeWordBox = new QCheckBox(QStringLiteral("&Whole words"), OptionsGroup);
  WholeWordBox->setObjectName(QStringLiteral("WholeWordBox"));
  auto *optionsLayout = new QVBoxLayout(OptionsGroup);
  optionsLayout->addWidget(UseCaseBox);
  optionsLayout->addWidget(WholeWordBox);
  optionsLayout->addWidget(RegExBox);

  DirectionGroup = new QGroupBox(QStringLiteral("Direction"), this);
  FwdDirection = new QRadioButton(QStringLiteral("Forwar&d"), DirectionGroup);
  FwdDirection->setObjectName(QStringLiteral("FwdDirection"));
  BackDirection = new QRadioButton(QStringLiteral("&Back"), DirectionGroup);
  BackDirection->setObjectName(QStringLiteral("BackDirection"));
  FwdDirection->setChecked(true);
  auto *directionLayout = new QVBoxLayout(DirectionGroup);
  directionLayout->addWidget(FwdDirection);
  directionLayout->addWidget(BackDirection);
  directionLayout->addStretch(1);

  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setDefault(true);
  CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  // Enter always runs OK, even after another button had the focus.
  CancelButton->setAutoDefault(false);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(FindHistoryBox, &QComboBox::editTextChanged, this, [this] { UpdateButtons(); });
  if (parent)
    parent->installEventFilter(this);
}

QString TSearchDialog::Display(const std::string &bytes) {
  return FromCp1252(bytes);
}

std::string TSearchDialog::Bytes(const QString &text) {
  return ToCp1252(text);
}

std::vector<std::string> TSearchDialog::Items(const QComboBox *box) {
  std::vector<std::string> out;
  for (int i = 0; i < box->count(); ++i)
    out.push_back(Bytes(box->itemText(i)));
  return out;
}

void TSearchDialog::SetItems(QComboBox *box, const std::vector<std::string> &items) {
  const QString text = box->currentText();
  box->clear();
  for (const std::string &s : items)
    box->addItem(Display(s));
  box->setEditText(text);
}

bool TSearchDialog::Contains(const QComboBox *box, const std::string &text) {
  for (int i = 0; i < box->count(); ++i)
    if (SameTextIgnoringCase(Bytes(box->itemText(i)), text))
      return true;
  return false;
}

void TSearchDialog::AddOnTop(QComboBox *box, const std::string &text) {
  if (text.empty() || Contains(box, text))
    return;
  const QString shown = box->currentText();
  box->insertItem(0, Display(text));
  box->setEditText(shown);
}

std::string TSearchDialog::SearchText() const {
  return Bytes(FindHistoryBox->currentText());
}

uint32_t TSearchDialog::ReadOptions() const {
  uint32_t o = 0;
  if (UseCaseBox->isChecked())
    o |= sfMatchCase;
  if (WholeWordBox->isChecked())
    o |= sfWholeWords;
  if (RegExBox->isChecked())
    o |= sfRegExp;
  if (BackDirection->isChecked())
    o |= sfBackwards;
  return o;
}

void TSearchDialog::LoadHistories() {
  SetItems(FindHistoryBox, history_ ? history_->FindHistory() : std::vector<std::string>());
}

std::vector<std::string> TSearchDialog::MergedWith(const QComboBox *box,
                                                   const std::vector<std::string> &stored) {
  std::vector<std::string> out = Items(box);
  for (const std::string &s : stored)
    if (std::none_of(out.begin(), out.end(),
                     [&](const std::string &o) { return SameTextIgnoringCase(o, s); }))
      out.push_back(s);
  return out;
}

void TSearchDialog::WriteHistories() {
  if (history_)
    history_->SetFindHistory(MergedWith(FindHistoryBox, history_->FindHistory()));
}

void TSearchDialog::UpdateButtons() {
  OKButton->setEnabled(!FindHistoryBox->currentText().isEmpty());
}

void TSearchDialog::Execute(const std::string &start, uint32_t options, TEdPersistent *history,
                            TSyntaxMemo *editor) {
  // A search never spans lines, and a history entry is one line of its file:
  // a selection over several lines offers its first line.
  const std::string startText = start.substr(0, start.find_first_of("\r\n"));
  // Shown again while open: what the open dialog added to its lists is kept
  // before the lists are read afresh.
  if (isVisible() && history_)
    WriteHistories();
  history_ = history;
  if (editor_ && editor_ != editor) {
    editor_->HideSelection = true;
    editor_->viewport()->update();
  }
  editor_ = editor;
  LoadHistories();
  FindHistoryBox->setEditText(QString());
  if (!startText.empty()) {
    if (!Contains(FindHistoryBox, startText))
      FindHistoryBox->addItem(Display(startText));
    for (int i = 0; i < FindHistoryBox->count(); ++i)
      if (SameTextIgnoringCase(Bytes(FindHistoryBox->itemText(i)), startText)) {
        FindHistoryBox->setCurrentIndex(i);
        break;
      }
    // The box shows the text exactly as it was selected.
    FindHistoryBox->setEditText(Display(startText));
  }
  UseCaseBox->setChecked(options & sfMatchCase);
  WholeWordBox->setChecked(options & sfWholeWords);
  RegExBox->setChecked(options & sfRegExp);
  FwdDirection->setChecked(!(options & sfBackwards));
  BackDirection->setChecked(options & sfBackwards);
  UpdateButtons();
  if (editor_) {
    editor_->HideSelection = false;
    editor_->viewport()->update();
  }
  show();
  raise();
  activateWindow();
  FindHistoryBox->setFocus();
  FindHistoryBox->lineEdit()->selectAll();
}

void StepIntoSameMatch(TSyntaxMemo &editor, const std::string &text, bool caseSensitive,
                       bool backwards) {
  if (!editor.SelAvail())
    return;
  const std::string selected = editor.SelText();
  if (caseSensitive ? selected != text : !SameTextIgnoringCase(selected, text))
    return;
  const int64_t at = backwards ? editor.SelEnd() - 1 : editor.SelStart() + 1;
  editor.SetSelection(at, at);
}

void ShowNotFound(const std::string &text) {
  std::string message = "\"";
  message += FromCp1252(text).toStdString();
  message += "\" not found";
  ShowMessage(message);
}

bool SearchFromSelection(TSyntaxMemo &editor, const std::string &text, uint32_t options,
                         TSameMatch rule, const std::function<bool()> &search) {
  const int64_t anchor = editor.Anchor(), caret = editor.Caret();
  if (!(options & sfRegExp))
    StepIntoSameMatch(editor, text, rule == TSameMatch::Exactly || (options & sfMatchCase),
                      options & sfBackwards);
  bool found = false;
  try {
    found = search();
  } catch (const ERegExpError &e) {
    editor.SetSelection(anchor, caret);
    ShowSearchError(e.what());
    return false;
  }
  if (!found) {
    editor.SetSelection(anchor, caret);
    ShowNotFound(text);
  }
  return found;
}

void ShowSearchError(const std::string &message) {
  Prompter().Message(FromCp1252(message).toStdString(), TMsgDlgType::mtError, mbOK,
                     ApplicationTitle);
}

void TSearchDialog::Searched() {
  if (OnSearched)
    OnSearched();
}

bool TSearchDialog::eventFilter(QObject *watched, QEvent *event) {
  if (watched == parent() && event->type() == QEvent::Hide && !event->spontaneous() && isVisible())
    reject();
  return QDialog::eventFilter(watched, event);
}

void TSearchDialog::showEvent(QShowEvent *e) {
  if (!e->spontaneous() && !placeRestored_) {
    placeRestored_ = true;
    RestorePlace();
  }
  QDialog::showEvent(e);
}

void TSearchDialog::hideEvent(QHideEvent *e) {
  QDialog::hideEvent(e);
  if (e->spontaneous())
    return; // minimised with the main window: not closed
  // A completion list still open would stay on screen without its dialog.
  for (QComboBox *box : findChildren<QComboBox *>())
    if (box->completer() && box->completer()->popup())
      box->completer()->popup()->hide();
  if (editor_) {
    editor_->HideSelection = true;
    editor_->viewport()->update();
  }
  StorePlace();
  // A history that cannot be written is reported; the dialog is closed anyway.
  try {
    WriteHistories();
  } catch (const EKorvexError &error) {
    MessageDlg(error.what(), TMsgDlgType::mtError, mbOK);
  }
}

void TSearchDialog::RestorePlace() {
  const std::string left = std::string(keyPrefix_) + "_LEFT",
                    top = std::string(keyPrefix_) + "_TOP",
                    widthKey = std::string(keyPrefix_) + "_WIDTH";
  // Without a stored place the window system places the dialog.
  constexpr int kNone = INT_MIN;
  const int x0 = ReadSettingInteger(geometrySection_, left.c_str(), kNone);
  const int y0 = ReadSettingInteger(geometrySection_, top.c_str(), kNone);
  if (x0 == kNone || y0 == kNone)
    return;
  QRect r(x0, y0,
          std::max(ReadSettingInteger(geometrySection_, widthKey.c_str(), width()),
                   minimumSizeHint().width()),
          height());
  // Kept within the screen it was on, or the primary one when that is gone.
  const QScreen *screen = QGuiApplication::screenAt(r.center());
  if (!screen)
    screen = QGuiApplication::primaryScreen();
  if (screen) {
    const QRect avail = screen->availableGeometry();
    r.setWidth(std::min(r.width(), avail.width()));
    r.moveLeft(std::clamp(r.left(), avail.left(), avail.right() - r.width() + 1));
    r.moveTop(std::clamp(r.top(), avail.top(), std::max(avail.top(), avail.bottom() - 40)));
  }
  resize(r.width(), height());
  move(r.topLeft());
}

void TSearchDialog::StorePlace() {
  const std::string left = std::string(keyPrefix_) + "_LEFT",
                    top = std::string(keyPrefix_) + "_TOP",
                    widthKey = std::string(keyPrefix_) + "_WIDTH";
  WriteSettingIntegers(geometrySection_,
                       {{left.c_str(), x()}, {top.c_str(), y()}, {widthKey.c_str(), width()}});
}
