// The main window of the document tests with helpers for the editing and
// search tests: documents written as "one |two" (caret) or "one <two> three"
// (anchor at '<', caret at '>') with "\n" for a line break, the find and
// replace dialogs, modal dialogs driven from inside their own event loop, and
// the pixels the editor shows.
#pragma once

#include "FileCommandsTestFixture.h"

#include "DocNotation.h"
#include "EditCommands.h"
#include "FindDialog.h"
#include "GotoLineDialog.h"
#include "ReplaceDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <functional>

namespace kxedit {

using namespace kxdocs;

class EditTest : public DocsTest {
protected:
  void SetDoc(const std::string &doc) { kxtest::SetDoc(*Memo(), doc); }
  std::string Doc() { return kxtest::Doc(*Memo()); }

  // A key on the editor, with the main window active as a window manager
  // makes it when the user returns to it from a dialog.
  void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    if (QApplication::activeWindow() != form.get() || !Memo()->hasFocus()) {
      form->activateWindow();
      QApplication::setActiveWindow(form.get());
      Memo()->setFocus();
      QApplication::processEvents();
    }
    QTest::keyClick(Memo(), key, mods);
  }

  // Messages shown since the last call.
  std::vector<TPromptRecord> NewMessages() {
    std::vector<TPromptRecord> out;
    for (size_t i = seen_; i < rec->Records.size(); ++i)
      if (rec->Records[i].Kind == "MESSAGE")
        out.push_back(rec->Records[i]);
    seen_ = rec->Records.size();
    return out;
  }
  std::vector<std::string> NewMessageTexts() {
    std::vector<std::string> out;
    for (const TPromptRecord &r : NewMessages())
      out.push_back(r.Text);
    return out;
  }

  TEdFindDlg *FindDlg() { return form->FindDialog(); }
  TEdReplDlg *ReplDlg() { return form->ReplaceDialog(); }

  // Types into a dialog's text box (replacing what is selected there).
  void TypeInto(QComboBox *box, const QString &text) {
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), text);
  }
  // Enter and Escape as the user presses them: a completion list that the
  // typing opened takes the key first and closes (no entry of it chosen).
  void Enter(QWidget *w) {
    ClosePopups();
    QTest::keyClick(w, Qt::Key_Return);
  }
  void Escape(QWidget *w) {
    ClosePopups();
    QTest::keyClick(w, Qt::Key_Escape);
  }
  void ClosePopups() {
    while (QWidget *popup = QApplication::activePopupWidget())
      popup->hide();
  }

  // Runs f once the next modal dialog's event loop runs; a dialog f leaves
  // open is cancelled, so a failing test never hangs in it.
  void WhenModal(std::function<void(QWidget *)> f) {
    QTimer::singleShot(0, [f] {
      QWidget *modal = QApplication::activeModalWidget();
      f(modal);
      if (QWidget *still = QApplication::activeModalWidget())
        if (auto *d = qobject_cast<QDialog *>(still))
          d->reject();
    });
  }

  // The editor's viewport as painted now.
  QImage Shown() {
    QApplication::processEvents();
    return Memo()->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  }
  // The client point of the cell of a position.
  QPoint CellOf(int64_t pos) {
    TSMPoint pt;
    Memo()->Perform(EM_POSFROMCHAR, reinterpret_cast<intptr_t>(&pt), static_cast<intptr_t>(pos));
    return QPoint(pt.X, pt.Y);
  }

private:
  size_t seen_ = 0;
};

} // namespace kxedit
