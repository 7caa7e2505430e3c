// The windowed prompter: real message boxes (answered by a timer the way a
// user would click), and the file dialog filters.
#include "QtPrompter.h"

#include "IniFile.h"
#include "Streams.h"

#include "ShellTestApp.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

namespace {

QApplication &App() {
  return ShellTestApp();
}

struct Seen {
  QString title, text;
  QStringList buttons;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Shows a message through the prompter and presses the button captioned
// `press` (or closes the box with Escape when empty).
TModalResult Answer(const std::string &text, TMsgDlgType type, TMsgDlgButtons buttons,
                    const QString &press, Seen &seen, const std::string &caption = {}) {
  App();
  QTimer::singleShot(0, [&] {
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box)
      return;
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    for (QAbstractButton *b : box->buttons())
      seen.buttons << b->text().remove(QLatin1Char('&'));
    if (press.isEmpty()) {
      box->reject();
      return;
    }
    for (QAbstractButton *b : box->buttons())
      if (b->text().remove(QLatin1Char('&')) == press)
        b->click();
  });
  TQtPrompter p;
  return p.Message(text, type, buttons, caption);
}

TEST(QtPrompter, FatalTextReadsAsLines) {
  Seen seen;
  const auto r = Answer("Could not Find KORVEX.INI\rMake sure it is in the KX_INC folder and is "
                        "not Write Protected\rThe Compiler will now Close",
                        TMsgDlgType::mtCustom, mbOK | mbCancel, "OK", seen, "FATAL ERROR!");
  EXPECT_EQ(r, TModalResult::mrOk);
  EXPECT_EQ(seen.title, "FATAL ERROR!");
  EXPECT_EQ(seen.text.split(QLatin1Char('\n')).size(), 3);
  EXPECT_TRUE(seen.text.startsWith("Could not Find KORVEX.INI\nMake sure"));
  EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
  EXPECT_EQ(seen.buttons.size(), 2);
}

TEST(QtPrompter, QuestionsReturnTheButtonPressed) {
  Seen seen;
  EXPECT_EQ(Answer("File \"a.bas\" has been modified\r\nSave changes ?",
                   TMsgDlgType::mtConfirmation, mbYes | mbNo | mbCancel, "No", seen),
            TModalResult::mrNo);
  EXPECT_EQ(seen.title, "Confirm");
  EXPECT_EQ(seen.text, "File \"a.bas\" has been modified\nSave changes ?");
  EXPECT_EQ(seen.icon, QMessageBox::Question);
  Seen closed;
  EXPECT_EQ(Answer("x", TMsgDlgType::mtConfirmation, mbYes | mbNo | mbCancel, {}, closed),
            TModalResult::mrCancel);
  Seen error;
  EXPECT_EQ(Answer("<b>not markup</b>", TMsgDlgType::mtError, mbOK, {}, error), TModalResult::mrOk);
  EXPECT_EQ(error.icon, QMessageBox::Critical);
  EXPECT_EQ(error.title, "Error");
}

TEST(QtPrompter, FilterTextsBecomeNameFilters) {
  EXPECT_EQ(FileDialogFilters("TARNIC files|*.bas;|INCLUDE files|*.inc;|All files|*.*"),
            (QStringList{"TARNIC files (*.bas)", "INCLUDE files (*.inc)", "All files (*)"}));
  EXPECT_EQ(FileDialogFilters("EXE Files|*.EXE;"), (QStringList{"EXE Files (*.EXE)"}));
  EXPECT_EQ(FileDialogFilters("Two|*.a; *.b"), (QStringList{"Two (*.a *.b)"}));
  EXPECT_TRUE(FileDialogFilters("").isEmpty());
  EXPECT_TRUE(FileDialogFilters("*.*").isEmpty());
  EXPECT_TRUE(FileDialogFilters("Empty|;;").isEmpty());
}

// Opens the prompter's open dialog, records its size and list header, makes
// it `resizeTo` (when valid) the way a user drags its edge, and cancels it.
struct DialogSeen {
  QSize size;
  bool wholeColumns = false;
};
DialogSeen OpenAndCancel(TQtPrompter &p, const std::string &folder, QSize resizeTo = {}) {
  DialogSeen seen;
  QTimer::singleShot(0, [&] {
    auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
    if (!d)
      return;
    seen.size = d->size();
    if (auto *list = d->findChild<QTreeView *>()) {
      const QHeaderView *h = list->header();
      seen.wholeColumns = h->count() >= 4 && h->sectionResizeMode(0) == QHeaderView::Stretch;
      for (int i = 1; i < h->count(); ++i)
        seen.wholeColumns &= h->sectionResizeMode(i) == QHeaderView::ResizeToContents;
    }
    if (resizeTo.isValid())
      d->resize(resizeTo);
    d->reject();
  });
  TFileDialogRequest r;
  r.Filter = "TARNIC files|*.bas;|All files|*.*";
  r.InitialDir = folder;
  EXPECT_FALSE(p.OpenFileDialog(r));
  return seen;
}

TEST(QtPrompter, FileDialogsOpenLargeEnoughAndRememberTheSizeTheUserGaveThem) {
  App();
  QTemporaryDir dir;
  const std::string ini = dir.filePath(QStringLiteral("KORVEX.INI")).toStdString();
  WriteFileAtomic(ini, "[PROGRAMMER]\r\nTYPE=EPIC\r\n");
  const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
  {
    TQtPrompter p;
    p.SettingsFile = ini;
    const DialogSeen first = OpenAndCancel(p, dir.path().toStdString(), QSize(640, 420));
    EXPECT_EQ(first.size, QSize(900, 560).boundedTo(screen));
    EXPECT_TRUE(first.wholeColumns);
    // The next dialog of this run, and of the next run, opens at that size.
    EXPECT_EQ(OpenAndCancel(p, dir.path().toStdString()).size, QSize(640, 420));
  }
  EXPECT_EQ(TIniFile(ini).ReadInteger("FILE_DIALOG", "WIDTH", 0), 640);
  EXPECT_EQ(TIniFile(ini).ReadInteger("FILE_DIALOG", "HEIGHT", 0), 420);
  EXPECT_EQ(TIniFile(ini).ReadString("PROGRAMMER", "TYPE", "?"), "EPIC");
  TQtPrompter next;
  next.SettingsFile = ini;
  EXPECT_EQ(OpenAndCancel(next, dir.path().toStdString()).size, QSize(640, 420));
  // A size nobody changed is not written again; junk in the file is ignored.
  const std::string before = ReadWholeFile(ini);
  OpenAndCancel(next, dir.path().toStdString());
  EXPECT_EQ(ReadWholeFile(ini), before);
  TIniFile(ini).WriteString("FILE_DIALOG", "WIDTH", "-5");
  TQtPrompter junk;
  junk.SettingsFile = ini;
  EXPECT_EQ(junk.FileDialogSize(), QSize(900, 560).boundedTo(screen));
}

} // namespace
