// What the find and the replace dialog share: the text box with its history,
// the option boxes and direction buttons, OK and Cancel, how the dialog is
// shown for an editor and what it does when it closes, and the place on the
// screen it remembers.
#pragma once

#include <QDialog>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class TEdPersistent;
#include "SyntaxMemo.h"

// Tests of texts as the dialogs make them: letters compare ignoring case, as
// the caseless search does.
bool SameTextIgnoringCase(const std::string &a, const std::string &b);

// Before a search from the selection: when the selection is the text just
// searched for, the caret moves into it so that the same match is not found
// again (forwards one character after its start, backwards one before its
// end, so that a one-character match is passed over too).
void StepIntoSameMatch(TSyntaxMemo &editor, const std::string &text, bool caseSensitive,
                       bool backwards);
// "\"text\" not found" as a plain message.
void ShowNotFound(const std::string &text);

// When a selection counts as the match just found: holding the text in the
// letter case of the search, or exactly.
enum class TSameMatch { AsSearched, Exactly };
// One search from the selection, as the find dialog, the replace dialog's OK
// and Search Again run it: the same-match rule first (not for regular
// expressions), then `search`. When nothing is found the selection is given
// back (the last match stays selected) and "not found" is said; a bad
// regular expression is shown. True when a match is selected.
bool SearchFromSelection(TSyntaxMemo &editor, const std::string &text, uint32_t options,
                         TSameMatch rule, const std::function<bool()> &search);
// A bad regular expression: its three-line message under the program's title.
void ShowSearchError(const std::string &message);

class TSearchDialog : public QDialog {
  Q_OBJECT

public:
  // Shows the dialog without blocking, for this editor: the history boxes
  // are loaded, the start text goes into the text box, the options set the
  // boxes, and the editor shows its selection while the dialog has the focus.
  void Execute(const std::string &startText, uint32_t options, TEdPersistent *history,
               TSyntaxMemo *editor);

  // The options the boxes give (never the silent bit).
  uint32_t ReadOptions() const;
  // The text of the search box as the document's bytes.
  std::string SearchText() const;
  TSyntaxMemo *Editor() const { return editor_; }
  TEdPersistent *History() const { return history_; }

  // Called after every search the dialog ran (the last search text may have
  // changed): the main window refreshes its command states.
  std::function<void()> OnSearched;

  QLabel *FindLabel = nullptr;
  QComboBox *FindHistoryBox = nullptr;
  QGroupBox *OptionsGroup = nullptr;
  QCheckBox *UseCaseBox = nullptr;
  QCheckBox *RegExBox = nullptr;
  QCheckBox *WholeWordBox = nullptr;
  QGroupBox *DirectionGroup = nullptr;
  QRadioButton *FwdDirection = nullptr;
  QRadioButton *BackDirection = nullptr;
  QPushButton *OKButton = nullptr;
  QPushButton *CancelButton = nullptr;

protected:
  // The INI section and key prefix of the dialog's place ("FIND_DIALOG", "FIND").
  TSearchDialog(QWidget *parent, const char *name, const QString &caption,
                const char *geometrySection, const char *keyPrefix);

  // Loads the history boxes from the history object / writes them to it.
  virtual void LoadHistories();
  virtual void WriteHistories();
  // Enables the buttons that need a search text.
  virtual void UpdateButtons();

  // A history box's items as bytes, and its items set from bytes.
  static std::vector<std::string> Items(const QComboBox *box);
  static void SetItems(QComboBox *box, const std::vector<std::string> &items);
  static bool Contains(const QComboBox *box, const std::string &text);
  // What a box writes back: its items, then the stored entries it does not
  // hold, so that the other dialog's new texts (both share the find history)
  // survive whichever closes last.
  static std::vector<std::string> MergedWith(const QComboBox *box,
                                             const std::vector<std::string> &stored);
  // Inserts the text at the top unless the box holds it already.
  static void AddOnTop(QComboBox *box, const std::string &text);
  static QString Display(const std::string &bytes);
  static std::string Bytes(const QString &text);

  void Searched();

  void hideEvent(QHideEvent *e) override;
  // The dialog closes when its main window does, so that its lists are written.
  bool eventFilter(QObject *watched, QEvent *event) override;
  void showEvent(QShowEvent *e) override;

  QPointer<TSyntaxMemo> editor_;
  TEdPersistent *history_ = nullptr;

private:
  void RestorePlace();
  void StorePlace();

  const char *geometrySection_;
  const char *keyPrefix_;
  bool placeRestored_ = false;
};
