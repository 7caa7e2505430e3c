// The editor-options dialog: edits a copy of a scheme's settings (fonts,
// colours and styles with a live preview, options, tabs and wrap, key map,
// code templates, auto-replace) and hands it back on OK. Also the
// key-assignment dialog that reads one or two keystrokes.
#pragma once

#include "KeyMap.h"
#include "Settings.h"

#include <QDialog>

#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTabWidget;
class QFontComboBox;
class TSyntaxMemo;
class TSyntaxMemoParser;
class TPreviewHighlighter;

// Reads a key sequence: the first keystroke, optionally a second one.
class TKeyAssignDialog : public QDialog {
  Q_OBJECT
public:
  explicit TKeyAssignDialog(const QString &commandName, QWidget *parent = nullptr);
  uint16_t First() const { return first_; }
  uint16_t Second() const { return second_; }
  // Feeds a keystroke as the capture field would see it (tests, and the field).
  void TakeKey(uint16_t shortcut);
  void Clear();

protected:
  bool eventFilter(QObject *o, QEvent *e) override;

private:
  void Show();
  QLineEdit *field_ = nullptr;
  uint16_t first_ = 0;
  uint16_t second_ = 0;
};

class TEditorOptionsDialog : public QDialog {
  Q_OBJECT
public:
  // parser: whose tokenizer the preview uses (may be null); settings: copied.
  TEditorOptionsDialog(TSyntaxMemoParser *parser, const TSM_Settings &settings,
                       QWidget *parent = nullptr);
  ~TEditorOptionsDialog() override;

  // The edited copy (valid after OK, and live while the dialog runs).
  TSM_Settings &Settings() { return work_; }
  TKeyboardActionContoller &KeyMap() { return keys_; }

  // Adds a key binding to the copy of the key map; a conflicting sequence
  // shows the key map's error and adds nothing. Returns whether it was added.
  bool AddBinding(int32_t code, uint16_t first, uint16_t second);
  void RemoveBindings(int32_t code);
  // Selects an editable style on the colours page.
  void SelectStyle(int index);
  void SetStyleForeground(uint32_t colour);
  void SetStyleFontBits(uint8_t bits);
  TSyntaxMemo *Preview() const { return preview_; }
  QTabWidget *Pages() const { return pages_; }
  QLineEdit *TabColumnsField() const { return tabColumns_; }
  // Copies the pages into the settings; false (with the message shown) when
  // a value is not acceptable.
  bool Collect();

  void accept() override;

private:
  void BuildFontsPage();
  void BuildStylesPage();
  void BuildOptionsPage();
  void BuildTabsPage();
  void BuildKeysPage();
  void BuildTemplatesPage();
  void BuildAutoReplacePage();
  void LoadStyle();
  void StoreStyle();
  void RefreshPreview();
  void FillKeyTable();
  void FillTemplateList();
  void FillAutoReplaceTable();

  TSyntaxMemoParser *parser_;
  TSM_Settings work_;
  TKeyboardActionContoller keys_;
  std::unique_ptr<TPreviewHighlighter> previewHighlighter_;
  QTabWidget *pages_ = nullptr;
  TSyntaxMemo *preview_ = nullptr;
  // Fonts.
  QFontComboBox *fontName_ = nullptr;
  QSpinBox *fontSize_ = nullptr;
  QFontComboBox *gutterFontName_ = nullptr;
  QSpinBox *gutterFontSize_ = nullptr;
  // Styles.
  QListWidget *styleList_ = nullptr;
  QPushButton *foreButton_ = nullptr;
  QPushButton *backButton_ = nullptr;
  QCheckBox *foreDefault_ = nullptr;
  QCheckBox *backDefault_ = nullptr;
  QCheckBox *bold_ = nullptr;
  QCheckBox *italic_ = nullptr;
  QCheckBox *underline_ = nullptr;
  QCheckBox *strike_ = nullptr;
  int currentStyle_ = -1; // index into EditableStyles
  bool loadingStyle_ = false;
  // Options.
  std::vector<std::pair<QCheckBox *, uint32_t>> optionBoxes_;
  // Tabs and wrap.
  QSpinBox *tabDefault_ = nullptr;
  QLineEdit *tabColumns_ = nullptr;
  QSpinBox *indentStep_ = nullptr;
  QSpinBox *rightMargin_ = nullptr;
  QSpinBox *wrapColumn_ = nullptr;
  QSpinBox *gutterWidth_ = nullptr;
  QSpinBox *marginWidth_ = nullptr;
  // Keys.
  QTableWidget *keyTable_ = nullptr;
  // Templates.
  QListWidget *templateList_ = nullptr;
  QLineEdit *templateName_ = nullptr;
  QLineEdit *templateDescription_ = nullptr;
  QPlainTextEdit *templateText_ = nullptr;
  int currentTemplate_ = -1;
  // Auto-replace.
  QTableWidget *replaceTable_ = nullptr;
};

// Copies the edited settings into the scheme and makes every control it
// serves re-apply them; then, when the scheme keeps its settings in the
// registry, calls the installed saver.
void ApplyEditedSettings(TSyntaxMemoParser &parser, const TSM_Settings &edited);
void SetSchemeSettingsSaver(std::function<void(TSyntaxMemoParser &)> saver);
