// Editor-options and key-assignment dialogs.
#include "EditorOptionsDialog.h"

#include "Prompter.h"
#include "QtClipboard.h"
#include "SyntaxMemo.h"
#include "SyntaxMemoParser.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

// The scheme's tokenizer with the styles being edited.
class TPreviewHighlighter : public THighlighter {
public:
  TPreviewHighlighter(TSyntaxMemoParser *p, const TSM_Settings &s) : parser_(p), settings_(s) {}
  void Reset(int tokenValue) override {
    if (parser_)
      parser_->Reset(tokenValue);
  }
  int GetToken(TEdStream &stream, int &length) override {
    if (!parser_) {
      stream.Advance();
      length = 1;
      return 0;
    }
    return parser_->GetToken(nullptr, stream, length);
  }
  TTokenStyle Style(int tokenValue) const override {
    const TSM_StyleRecord &r =
        settings_.Styles[settings_.StyleOf(static_cast<uint8_t>(tokenValue & 0xFF))];
    TTokenStyle t;
    if (!r.InUse)
      return t;
    t.FontStyle = r.FontStyle;
    t.Foreground = static_cast<uint32_t>(r.Foreground);
    t.Background = static_cast<uint32_t>(r.Background);
    t.DefaultForeground = r.ForegroundDefault;
    t.DefaultBackground = r.BackgroundDefault;
    return t;
  }

private:
  TSyntaxMemoParser *parser_;
  const TSM_Settings &settings_;
};

namespace {

// The parts of the settings the dialog edits (the settings object itself
// owns tables that are not copied).
void CopyEditable(const TSM_Settings &from, TSM_Settings &to) {
  to.ExampleText = from.ExampleText;
  to.LanguageName = from.LanguageName;
  to.Options = from.Options;
  to.Numeric = from.Numeric;
  to.Styles = from.Styles;
  to.TokenStyle = from.TokenStyle;
  to.EditableStyles = from.EditableStyles;
  to.TabColumns = from.TabColumns;
  to.FontName = from.FontName;
  to.FontSize = from.FontSize;
  to.Flags = from.Flags;
  to.AutoReplace = from.AutoReplace;
  to.Templates = from.Templates;
  to.KeyMap = from.KeyMap;
  to.GutterFont = from.GutterFont;
}

QColor ToQColor(int32_t v) {
  return SMColor(static_cast<uint32_t>(v));
}
int32_t FromQColor(const QColor &c) {
  return c.red() | (c.green() << 8) | (c.blue() << 16);
}

void PaintButton(QPushButton *b, const QColor &c) {
  b->setStyleSheet(QStringLiteral("background-color: %1").arg(c.name()));
}

struct TOptionName {
  const char *Label;
  uint32_t Bit;
};
const TOptionName kOptions[] = {
    {"Syntax highlighting", smoSyntaxHighlight},
    {"Show gutter", smoShowGutter},
    {"Line numbers in the gutter", smoLineNumbers},
    {"Show right margin", smoShowRMargin},
    {"Word wrap", smoWordWrap},
    {"Show wrap column", smoShowWrapColumn},
    {"Show wrap glyph", smoShowWrapGlyph},
    {"Auto indent", smoAutoIndent},
    {"TAB to the next word's column", smoTabToColumn},
    {"Use TAB characters", smoUseTAB},
    {"Smart fill with TABs", smoSmartFill},
    {"Double click selects a word", smoWordSelect},
    {"Block cursor in overwrite mode", smoBlockOverwriteCursor},
    {"Caret beyond the end of line", smoCaretAfterEOL},
    {"Process dropped files", smoProcessDroppedFiles},
    {"Drag text to other programs", smoOLEDragSource},
    {"Title is the file name", smoTitleAsFilename},
    {"Column tracking", smoColumnTrack},
    {"Wrap override", smoWrapOverride},
    {"Show all characters", smoShowAllChars},
    {"Print: wrap long lines", smoPrintWrap},
    {"Print: line numbers", smoPrintLineNos},
    {"Print: file name", smoPrintFilename},
    {"Print: date", smoPrintDate},
    {"Print: page numbers", smoPrintPageNos},
};

QSpinBox *Spin(int lo, int hi, int value) {
  auto *s = new QSpinBox;
  s->setRange(lo, hi);
  s->setValue(std::clamp(value, lo, hi));
  return s;
}

} // namespace

// ---------------------------------------------------------------------------
// Key assignment.

TKeyAssignDialog::TKeyAssignDialog(const QString &commandName, QWidget *parent) : QDialog(parent) {
  setWindowTitle(tr("Assign key"));
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(tr("Press the keys for \"%1\":").arg(commandName)));
  field_ = new QLineEdit;
  field_->setReadOnly(true);
  field_->installEventFilter(this);
  layout->addWidget(field_);
  auto *clear = new QPushButton(tr("&Clear"));
  connect(clear, &QPushButton::clicked, this, [this] { Clear(); });
  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->addButton(clear, QDialogButtonBox::ResetRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  field_->setFocus();
}

void TKeyAssignDialog::Clear() {
  first_ = second_ = 0;
  Show();
}

void TKeyAssignDialog::TakeKey(uint16_t shortcut) {
  if ((shortcut & 0xFF) == 0)
    return;
  if (!first_ || second_)
    first_ = shortcut, second_ = 0;
  else
    second_ = static_cast<uint16_t>(shortcut & ~scModifiers);
  Show();
}

void TKeyAssignDialog::Show() {
  QString text = QString::fromStdString(ShortcutToText(first_));
  if (second_)
    text += QStringLiteral(", ") + QString::fromStdString(ShortcutToText(second_));
  field_->setText(text);
}

bool TKeyAssignDialog::eventFilter(QObject *o, QEvent *e) {
  if (o == field_ && e->type() == QEvent::KeyPress) {
    auto *k = static_cast<QKeyEvent *>(e);
    const int key = k->key();
    if (key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta)
      return true;
    // The editor's own translation of a key event.
    uint16_t vk = 0;
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
      vk = static_cast<uint16_t>('A' + key - Qt::Key_A);
    else if (key >= Qt::Key_0 && key <= Qt::Key_9)
      vk = static_cast<uint16_t>('0' + key - Qt::Key_0);
    else if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
      vk = static_cast<uint16_t>(vk::F1 + key - Qt::Key_F1);
    else {
      static const std::pair<int, uint16_t> map[] = {
          {Qt::Key_Left, vk::Left},     {Qt::Key_Right, vk::Right},    {Qt::Key_Up, vk::Up},
          {Qt::Key_Down, vk::Down},     {Qt::Key_PageUp, vk::Prior},   {Qt::Key_PageDown, vk::Next},
          {Qt::Key_Home, vk::Home},     {Qt::Key_End, vk::End},        {Qt::Key_Insert, vk::Insert},
          {Qt::Key_Delete, vk::Delete}, {Qt::Key_Backspace, vk::Back}, {Qt::Key_Tab, vk::Tab},
          {Qt::Key_Return, vk::Return}, {Qt::Key_Enter, vk::Return},   {Qt::Key_Space, vk::Space},
          {Qt::Key_Escape, vk::Escape}};
      for (const auto &[q, v] : map)
        if (q == key)
          vk = v;
    }
    if (vk) {
      if (k->modifiers() & Qt::ShiftModifier)
        vk |= scShift;
      if (k->modifiers() & Qt::ControlModifier)
        vk |= scCtrl;
      if (k->modifiers() & Qt::AltModifier)
        vk |= scAlt;
      TakeKey(vk);
    }
    return true;
  }
  return QDialog::eventFilter(o, e);
}

// ---------------------------------------------------------------------------
// Options.

TEditorOptionsDialog::TEditorOptionsDialog(TSyntaxMemoParser *parser, const TSM_Settings &settings,
                                           QWidget *parent)
    : QDialog(parent), parser_(parser) {
  CopyEditable(settings, work_);
  if (work_.KeyMap.Bindings.empty())
    keys_ = DefaultKeyMap();
  else {
    try {
      keys_.FromData(work_.KeyMap);
    } catch (const EKorvexError &) {
      keys_ = DefaultKeyMap();
    }
  }
  setWindowTitle(tr("Editor Properties"));
  auto *layout = new QVBoxLayout(this);
  pages_ = new QTabWidget;
  layout->addWidget(pages_);
  BuildFontsPage();
  BuildStylesPage();
  BuildOptionsPage();
  BuildTabsPage();
  BuildKeysPage();
  BuildTemplatesPage();
  BuildAutoReplacePage();
  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &TEditorOptionsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(640, 520);
}

TEditorOptionsDialog::~TEditorOptionsDialog() {
  // The preview must let go of its highlighter before it is freed.
  if (preview_)
    preview_->SetHighlighterObject(nullptr);
}

void TEditorOptionsDialog::BuildFontsPage() {
  auto *page = new QWidget;
  auto *form = new QFormLayout(page);
  fontName_ = new QFontComboBox;
  fontName_->setCurrentFont(QFont(QString::fromStdString(work_.FontName)));
  fontSize_ = Spin(4, 72, work_.FontSize);
  form->addRow(tr("Editor font:"), fontName_);
  form->addRow(tr("Size:"), fontSize_);
  gutterFontName_ = new QFontComboBox;
  gutterFontName_->setCurrentFont(QFont(QString::fromStdString(work_.GutterFont.Name)));
  gutterFontSize_ = Spin(4, 72, work_.GutterFont.Size);
  form->addRow(tr("Gutter font:"), gutterFontName_);
  form->addRow(tr("Size:"), gutterFontSize_);
  auto changed = [this] {
    work_.FontName = fontName_->currentFont().family().toStdString();
    work_.FontSize = fontSize_->value();
    RefreshPreview();
  };
  connect(fontName_, &QFontComboBox::currentFontChanged, this, changed);
  connect(fontSize_, &QSpinBox::valueChanged, this, changed);
  pages_->addTab(page, tr("Fonts"));
}

void TEditorOptionsDialog::BuildStylesPage() {
  auto *page = new QWidget;
  auto *grid = new QGridLayout(page);
  styleList_ = new QListWidget;
  for (const TSM_EditableStyle &s : work_.EditableStyles)
    styleList_->addItem(FromCp1252(s.Name));
  grid->addWidget(styleList_, 0, 0, 6, 1);
  foreButton_ = new QPushButton(tr("&Foreground..."));
  backButton_ = new QPushButton(tr("&Background..."));
  foreDefault_ = new QCheckBox(tr("Default foreground"));
  backDefault_ = new QCheckBox(tr("Default background"));
  bold_ = new QCheckBox(tr("Bold"));
  italic_ = new QCheckBox(tr("Italic"));
  underline_ = new QCheckBox(tr("Underline"));
  strike_ = new QCheckBox(tr("Strike out"));
  grid->addWidget(foreButton_, 0, 1);
  grid->addWidget(foreDefault_, 0, 2);
  grid->addWidget(backButton_, 1, 1);
  grid->addWidget(backDefault_, 1, 2);
  grid->addWidget(bold_, 2, 1);
  grid->addWidget(italic_, 2, 2);
  grid->addWidget(underline_, 3, 1);
  grid->addWidget(strike_, 3, 2);
  preview_ = new TSyntaxMemo;
  preview_->SetOptionsMask(smoSyntaxHighlight);
  const std::string example =
      work_.ExampleText.empty() ? std::string("Example text") : work_.ExampleText;
  preview_->Perform(WM_SETTEXT, 0, reinterpret_cast<intptr_t>(example.c_str()));
  preview_->SetReadOnly(true);
  preview_->setMinimumHeight(160);
  previewHighlighter_ = std::make_unique<TPreviewHighlighter>(parser_, work_);
  grid->addWidget(new QLabel(tr("Preview:")), 6, 0);
  grid->addWidget(preview_, 7, 0, 1, 3);
  connect(styleList_, &QListWidget::currentRowChanged, this, [this](int row) { SelectStyle(row); });
  connect(foreButton_, &QPushButton::clicked, this, [this] {
    if (currentStyle_ < 0)
      return;
    const TSM_StyleRecord &r =
        work_.Styles[work_.EditableStyles[static_cast<size_t>(currentStyle_)].Style];
    const QColor c = QColorDialog::getColor(ToQColor(r.Foreground), this);
    if (c.isValid())
      SetStyleForeground(static_cast<uint32_t>(FromQColor(c)));
  });
  connect(backButton_, &QPushButton::clicked, this, [this] {
    if (currentStyle_ < 0)
      return;
    TSM_StyleRecord &r =
        work_.Styles[work_.EditableStyles[static_cast<size_t>(currentStyle_)].Style];
    const QColor c = QColorDialog::getColor(ToQColor(r.Background), this);
    if (c.isValid()) {
      r.Background = FromQColor(c);
      r.BackgroundDefault = false;
      r.InUse = 1;
      LoadStyle();
      RefreshPreview();
    }
  });
  for (QCheckBox *b : {foreDefault_, backDefault_, bold_, italic_, underline_, strike_})
    connect(b, &QCheckBox::toggled, this, [this] { StoreStyle(); });
  pages_->addTab(page, tr("Colours and styles"));
  RefreshPreview();
  if (!work_.EditableStyles.empty())
    styleList_->setCurrentRow(0);
}

void TEditorOptionsDialog::SelectStyle(int index) {
  if (index < 0 || index >= static_cast<int>(work_.EditableStyles.size()))
    return;
  currentStyle_ = index;
  if (styleList_->currentRow() != index)
    styleList_->setCurrentRow(index);
  LoadStyle();
}

void TEditorOptionsDialog::LoadStyle() {
  if (currentStyle_ < 0)
    return;
  const TSM_StyleRecord &r =
      work_.Styles[work_.EditableStyles[static_cast<size_t>(currentStyle_)].Style];
  loadingStyle_ = true;
  PaintButton(foreButton_, ToQColor(r.Foreground));
  PaintButton(backButton_, ToQColor(r.Background));
  foreDefault_->setChecked(r.ForegroundDefault);
  backDefault_->setChecked(r.BackgroundDefault);
  bold_->setChecked(r.FontStyle & fsBoldBit);
  italic_->setChecked(r.FontStyle & fsItalicBit);
  underline_->setChecked(r.FontStyle & fsUnderlineBit);
  strike_->setChecked(r.FontStyle & fsStrikeoutBit);
  loadingStyle_ = false;
}

void TEditorOptionsDialog::StoreStyle() {
  if (loadingStyle_ || currentStyle_ < 0)
    return;
  TSM_StyleRecord &r = work_.Styles[work_.EditableStyles[static_cast<size_t>(currentStyle_)].Style];
  r.ForegroundDefault = foreDefault_->isChecked();
  r.BackgroundDefault = backDefault_->isChecked();
  r.FontStyle = static_cast<uint8_t>(
      (bold_->isChecked() ? fsBoldBit : 0) | (italic_->isChecked() ? fsItalicBit : 0) |
      (underline_->isChecked() ? fsUnderlineBit : 0) | (strike_->isChecked() ? fsStrikeoutBit : 0));
  r.InUse = 1;
  RefreshPreview();
}

void TEditorOptionsDialog::SetStyleForeground(uint32_t colour) {
  if (currentStyle_ < 0)
    return;
  TSM_StyleRecord &r = work_.Styles[work_.EditableStyles[static_cast<size_t>(currentStyle_)].Style];
  r.Foreground = static_cast<int32_t>(colour);
  r.ForegroundDefault = false;
  r.InUse = 1;
  LoadStyle();
  RefreshPreview();
}

void TEditorOptionsDialog::SetStyleFontBits(uint8_t bits) {
  if (currentStyle_ < 0)
    return;
  TSM_StyleRecord &r = work_.Styles[work_.EditableStyles[static_cast<size_t>(currentStyle_)].Style];
  r.FontStyle = bits;
  r.InUse = 1;
  LoadStyle();
  RefreshPreview();
}

void TEditorOptionsDialog::RefreshPreview() {
  if (!preview_)
    return;
  QFont f(QString::fromStdString(work_.FontName));
  f.setPointSize(work_.FontSize > 0 ? work_.FontSize : 10);
  preview_->SetFont(f);
  preview_->SetHighlighterObject(previewHighlighter_.get());
}

void TEditorOptionsDialog::BuildOptionsPage() {
  auto *page = new QWidget;
  auto *grid = new QGridLayout(page);
  int i = 0;
  for (const TOptionName &o : kOptions) {
    auto *box = new QCheckBox(tr(o.Label));
    box->setChecked((static_cast<uint32_t>(work_.Options) & o.Bit) != 0);
    grid->addWidget(box, i / 2, i % 2);
    optionBoxes_.emplace_back(box, o.Bit);
    ++i;
  }
  pages_->addTab(page, tr("Options"));
}

void TEditorOptionsDialog::BuildTabsPage() {
  auto *page = new QWidget;
  auto *form = new QFormLayout(page);
  tabDefault_ = Spin(1, 64, work_.Numeric[nsTabDefault]);
  std::string cols;
  for (int32_t c : work_.TabColumns)
    if (c >= 0) {
      if (!cols.empty())
        cols.push_back(' ');
      cols.append(std::to_string(c + 1));
    }
  tabColumns_ = new QLineEdit(QString::fromStdString(cols));
  indentStep_ = Spin(1, 19, work_.Numeric[nsIndentStep]);
  rightMargin_ = Spin(0, 2047, work_.Numeric[nsRightMargin]);
  wrapColumn_ = Spin(0, 2047, work_.Numeric[nsWordWrapColumn]);
  gutterWidth_ = Spin(0, 400, work_.Numeric[nsGutterWidth]);
  marginWidth_ = Spin(0, 200, work_.Numeric[nsMarginWidth]);
  form->addRow(tr("Default tab width:"), tabDefault_);
  form->addRow(tr("Tab columns:"), tabColumns_);
  form->addRow(tr("Block indent step:"), indentStep_);
  form->addRow(tr("Right margin column:"), rightMargin_);
  form->addRow(tr("Wrap at column (0 = window):"), wrapColumn_);
  form->addRow(tr("Gutter width:"), gutterWidth_);
  form->addRow(tr("Left margin width:"), marginWidth_);
  pages_->addTab(page, tr("Tabs and wrap"));
}

void TEditorOptionsDialog::BuildKeysPage() {
  auto *page = new QWidget;
  auto *layout = new QVBoxLayout(page);
  keyTable_ = new QTableWidget(0, 2);
  keyTable_->setHorizontalHeaderLabels({tr("Command"), tr("Keys")});
  keyTable_->horizontalHeader()->setStretchLastSection(true);
  keyTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
  keyTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  layout->addWidget(keyTable_);
  auto *row = new QHBoxLayout;
  auto *assign = new QPushButton(tr("&Assign..."));
  auto *clear = new QPushButton(tr("&Clear"));
  auto *defaults = new QPushButton(tr("&Defaults"));
  row->addWidget(assign);
  row->addWidget(clear);
  row->addWidget(defaults);
  row->addStretch();
  layout->addLayout(row);
  connect(assign, &QPushButton::clicked, this, [this] {
    const int r = keyTable_->currentRow();
    if (r < 0)
      return;
    const int32_t code = keyTable_->item(r, 0)->data(Qt::UserRole).toInt();
    TKeyAssignDialog d(keyTable_->item(r, 0)->text(), this);
    if (d.exec() == QDialog::Accepted && d.First())
      AddBinding(code, d.First(), d.Second());
  });
  connect(clear, &QPushButton::clicked, this, [this] {
    const int r = keyTable_->currentRow();
    if (r >= 0)
      RemoveBindings(keyTable_->item(r, 0)->data(Qt::UserRole).toInt());
  });
  connect(defaults, &QPushButton::clicked, this, [this] {
    keys_ = DefaultKeyMap();
    FillKeyTable();
  });
  FillKeyTable();
  pages_->addTab(page, tr("Keys"));
}

void TEditorOptionsDialog::FillKeyTable() {
  const int keep = keyTable_->currentRow();
  keyTable_->setRowCount(0);
  for (const TSM_KeyCommandName &c : keys_.Commands()) {
    QString bound;
    uint16_t first = 0, second = 0;
    for (int n = 0; keys_.FindBinding(c.Code, n, first, second); ++n) {
      if (!bound.isEmpty())
        bound += QStringLiteral("; ");
      bound += QString::fromStdString(ShortcutToText(first));
      if (second)
        bound += QStringLiteral(", ") + QString::fromStdString(ShortcutToText(second));
    }
    const int r = keyTable_->rowCount();
    keyTable_->insertRow(r);
    auto *name = new QTableWidgetItem(FromCp1252(c.Name));
    name->setData(Qt::UserRole, c.Code);
    keyTable_->setItem(r, 0, name);
    keyTable_->setItem(r, 1, new QTableWidgetItem(bound));
  }
  if (keep >= 0 && keep < keyTable_->rowCount())
    keyTable_->setCurrentCell(keep, 0);
}

bool TEditorOptionsDialog::AddBinding(int32_t code, uint16_t first, uint16_t second) {
  // Added to a trial copy first, so a conflict leaves the map as it was.
  TKeyboardActionContoller trial = keys_;
  try {
    trial.AddBinding(first, second, code);
  } catch (const EAmbigiousKeyPair &e) {
    Prompter().Message(e.what(), TMsgDlgType::mtError, mbOK);
    return false;
  }
  keys_ = trial;
  FillKeyTable();
  return true;
}

void TEditorOptionsDialog::RemoveBindings(int32_t code) {
  TSM_KeyMapData d = keys_.ToData();
  d.Bindings.erase(std::remove_if(d.Bindings.begin(), d.Bindings.end(),
                                  [code](const TSM_KeyBinding &b) { return b.Command == code; }),
                   d.Bindings.end());
  keys_.FromData(d);
  FillKeyTable();
}

void TEditorOptionsDialog::BuildTemplatesPage() {
  auto *page = new QWidget;
  auto *grid = new QGridLayout(page);
  templateList_ = new QListWidget;
  templateName_ = new QLineEdit;
  templateDescription_ = new QLineEdit;
  templateText_ = new QPlainTextEdit;
  auto *add = new QPushButton(tr("&Add"));
  auto *remove = new QPushButton(tr("&Remove"));
  grid->addWidget(templateList_, 0, 0, 5, 1);
  grid->addWidget(new QLabel(tr("Name:")), 0, 1);
  grid->addWidget(templateName_, 0, 2);
  grid->addWidget(new QLabel(tr("Description:")), 1, 1);
  grid->addWidget(templateDescription_, 1, 2);
  grid->addWidget(new QLabel(tr("Text (| marks the caret):")), 2, 1, 1, 2);
  grid->addWidget(templateText_, 3, 1, 1, 2);
  auto *row = new QHBoxLayout;
  row->addWidget(add);
  row->addWidget(remove);
  grid->addLayout(row, 5, 0);
  auto store = [this] {
    if (currentTemplate_ < 0 || currentTemplate_ >= static_cast<int>(work_.Templates.size()))
      return;
    TSM_CodeTemplate &t = work_.Templates[static_cast<size_t>(currentTemplate_)];
    t.Name = ToCp1252(templateName_->text());
    t.Description = ToCp1252(templateDescription_->text());
    std::string text = ToCp1252(templateText_->toPlainText());
    std::replace(text.begin(), text.end(), '\n', '\r');
    t.Text = text;
    if (QListWidgetItem *it = templateList_->item(currentTemplate_))
      it->setText(FromCp1252(t.Name));
  };
  connect(templateName_, &QLineEdit::textEdited, this, store);
  connect(templateDescription_, &QLineEdit::textEdited, this, store);
  connect(templateText_, &QPlainTextEdit::textChanged, this, store);
  connect(templateList_, &QListWidget::currentRowChanged, this, [this](int row) {
    currentTemplate_ = -1; // no store while the fields are filled
    if (row >= 0 && row < static_cast<int>(work_.Templates.size())) {
      const TSM_CodeTemplate &t = work_.Templates[static_cast<size_t>(row)];
      templateName_->setText(FromCp1252(t.Name));
      templateDescription_->setText(FromCp1252(t.Description));
      std::string text = t.Text;
      std::replace(text.begin(), text.end(), '\r', '\n');
      templateText_->setPlainText(FromCp1252(text));
    }
    currentTemplate_ = row;
  });
  connect(add, &QPushButton::clicked, this, [this] {
    work_.Templates.push_back({"new", "", "|"});
    FillTemplateList();
    templateList_->setCurrentRow(templateList_->count() - 1);
  });
  connect(remove, &QPushButton::clicked, this, [this] {
    const int r = templateList_->currentRow();
    if (r < 0 || r >= static_cast<int>(work_.Templates.size()))
      return;
    currentTemplate_ = -1;
    work_.Templates.erase(work_.Templates.begin() + r);
    FillTemplateList();
  });
  FillTemplateList();
  pages_->addTab(page, tr("Code templates"));
}

void TEditorOptionsDialog::FillTemplateList() {
  currentTemplate_ = -1;
  templateList_->clear();
  for (const TSM_CodeTemplate &t : work_.Templates)
    templateList_->addItem(FromCp1252(t.Name));
}

void TEditorOptionsDialog::BuildAutoReplacePage() {
  auto *page = new QWidget;
  auto *layout = new QVBoxLayout(page);
  replaceTable_ = new QTableWidget(0, 2);
  replaceTable_->setHorizontalHeaderLabels({tr("Typed word"), tr("Replaced by")});
  replaceTable_->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(replaceTable_);
  auto *row = new QHBoxLayout;
  auto *add = new QPushButton(tr("&Add"));
  auto *remove = new QPushButton(tr("&Remove"));
  row->addWidget(add);
  row->addWidget(remove);
  row->addStretch();
  layout->addLayout(row);
  connect(add, &QPushButton::clicked, this, [this] {
    const int r = replaceTable_->rowCount();
    replaceTable_->insertRow(r);
    replaceTable_->setItem(r, 0, new QTableWidgetItem);
    replaceTable_->setItem(r, 1, new QTableWidgetItem);
    replaceTable_->editItem(replaceTable_->item(r, 0));
  });
  connect(remove, &QPushButton::clicked, this, [this] {
    if (replaceTable_->currentRow() >= 0)
      replaceTable_->removeRow(replaceTable_->currentRow());
  });
  FillAutoReplaceTable();
  pages_->addTab(page, tr("Auto-replace"));
}

void TEditorOptionsDialog::FillAutoReplaceTable() {
  replaceTable_->setRowCount(0);
  for (const TSM_AutoReplace &a : work_.AutoReplace) {
    const int r = replaceTable_->rowCount();
    replaceTable_->insertRow(r);
    replaceTable_->setItem(r, 0, new QTableWidgetItem(FromCp1252(a.Word)));
    replaceTable_->setItem(r, 1, new QTableWidgetItem(FromCp1252(a.Replacement)));
  }
}

bool TEditorOptionsDialog::Collect() {
  TTabStops stops;
  try {
    stops.SetDefault(tabDefault_->value());
    stops.SetColumns(ToCp1252(tabColumns_->text()));
  } catch (const EKorvexError &e) {
    Prompter().Message(e.what(), TMsgDlgType::mtError, mbOK);
    pages_->setCurrentIndex(3);
    return false;
  }
  for (size_t i = 0; i < work_.TabColumns.size(); ++i)
    work_.TabColumns[i] = i < static_cast<size_t>(TTabStops::kMaxStops) ? stops.Table()[i] : -1;
  work_.FontName = fontName_->currentFont().family().toStdString();
  work_.FontSize = fontSize_->value();
  work_.GutterFont.Name = gutterFontName_->currentFont().family().toStdString();
  work_.GutterFont.Size = gutterFontSize_->value();
  auto options = static_cast<uint32_t>(work_.Options);
  for (const auto &[box, bit] : optionBoxes_)
    options = box->isChecked() ? options | bit : options & ~bit;
  work_.Options = static_cast<int32_t>(options);
  work_.Numeric[nsTabDefault] = tabDefault_->value();
  work_.Numeric[nsIndentStep] = indentStep_->value();
  work_.Numeric[nsRightMargin] = rightMargin_->value();
  work_.Numeric[nsWordWrapColumn] = wrapColumn_->value();
  work_.Numeric[nsGutterWidth] = gutterWidth_->value();
  work_.Numeric[nsMarginWidth] = marginWidth_->value();
  work_.KeyMap = keys_.ToData();
  work_.AutoReplace.clear();
  for (int r = 0; r < replaceTable_->rowCount(); ++r) {
    const QTableWidgetItem *w = replaceTable_->item(r, 0);
    const QTableWidgetItem *t = replaceTable_->item(r, 1);
    if (w && !w->text().isEmpty())
      work_.AutoReplace.push_back({ToCp1252(w->text()), t ? ToCp1252(t->text()) : std::string()});
  }
  return true;
}

void TEditorOptionsDialog::accept() {
  if (Collect())
    QDialog::accept();
}

// ---------------------------------------------------------------------------
// TSyntaxMemo::ModifyProperties

namespace {
std::function<void(TSyntaxMemoParser &)> &SavedHook() {
  static std::function<void(TSyntaxMemoParser &)> hook;
  return hook;
}
} // namespace

void SetSchemeSettingsSaver(std::function<void(TSyntaxMemoParser &)> saver) {
  SavedHook() = std::move(saver);
}

void ApplyEditedSettings(TSyntaxMemoParser &parser, const TSM_Settings &edited) {
  CopyEditable(edited, parser.Settings);
  for (TSyntaxMemo *m : TSyntaxMemo::ControlsOf(&parser))
    m->Perform(SM_APPLYSETTINGS);
  if (parser.UseRegistry && !parser.RegistryKey.empty() && SavedHook())
    SavedHook()(parser);
}

bool TSyntaxMemo::ModifyProperties() {
  if (!parser_)
    return false;
  TEditorOptionsDialog d(parser_, parser_->Settings, this);
  if (d.exec() != QDialog::Accepted)
    return false;
  ApplyEditedSettings(*parser_, d.Settings());
  return true;
}
