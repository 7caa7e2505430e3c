// TSyntaxMemo: keyboard, mouse, wheel, focus, drag and drop, template list.
#include "SyntaxMemo.h"

#include "SchemeHighlighter.h"

#include <QApplication>
#include <QDrag>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QUrl>

#include <algorithm>

// ---------------------------------------------------------------------------
// Keyboard.

uint16_t TSyntaxMemo::TranslateKey(const QKeyEvent *e) const {
  const int k = e->key();
  uint16_t vk = 0;
  switch (k) {
  case Qt::Key_Left:
    vk = vk::Left;
    break;
  case Qt::Key_Right:
    vk = vk::Right;
    break;
  case Qt::Key_Up:
    vk = vk::Up;
    break;
  case Qt::Key_Down:
    vk = vk::Down;
    break;
  case Qt::Key_PageUp:
    vk = vk::Prior;
    break;
  case Qt::Key_PageDown:
    vk = vk::Next;
    break;
  case Qt::Key_Home:
    vk = vk::Home;
    break;
  case Qt::Key_End:
    vk = vk::End;
    break;
  case Qt::Key_Insert:
    vk = vk::Insert;
    break;
  case Qt::Key_Delete:
    vk = vk::Delete;
    break;
  case Qt::Key_Backspace:
    vk = vk::Back;
    break;
  case Qt::Key_Tab:
  case Qt::Key_Backtab:
    vk = vk::Tab;
    break;
  case Qt::Key_Return:
  case Qt::Key_Enter:
    vk = vk::Return;
    break;
  case Qt::Key_Escape:
    vk = vk::Escape;
    break;
  case Qt::Key_Space:
    vk = vk::Space;
    break;
  default:
    if (k >= Qt::Key_A && k <= Qt::Key_Z)
      vk = static_cast<uint16_t>('A' + (k - Qt::Key_A));
    else if (k >= Qt::Key_0 && k <= Qt::Key_9)
      vk = static_cast<uint16_t>('0' + (k - Qt::Key_0));
    else if (k >= Qt::Key_F1 && k <= Qt::Key_F12)
      vk = static_cast<uint16_t>(vk::F1 + (k - Qt::Key_F1));
    break;
  }
  if (!vk)
    return 0;
  const Qt::KeyboardModifiers m = e->modifiers();
  if ((m & Qt::ShiftModifier) || k == Qt::Key_Backtab)
    vk |= scShift;
  if (m & Qt::ControlModifier)
    vk |= scCtrl;
  if (m & Qt::AltModifier)
    vk |= scAlt;
  return vk;
}

bool TSyntaxMemo::KeyIsBound(uint16_t key) const {
  const TKeyboardActionContoller &map = KeyMap();
  if (map.Keys().Pending())
    return true;
  if (key == TemplateHotKey)
    return true;
  for (const TSM_KeyBinding &b : map.Keys().Bindings())
    if (b.First == key)
      return true;
  return false;
}

bool TSyntaxMemo::event(QEvent *e) {
  // Keys the key map binds reach the editor before any menu shortcut.
  if (e->type() == QEvent::ShortcutOverride) {
    auto *k = static_cast<QKeyEvent *>(e);
    const uint16_t key = TranslateKey(k);
    if (key && KeyIsBound(key)) {
      e->accept();
      return true;
    }
  }
  return QAbstractScrollArea::event(e);
}

bool TSyntaxMemo::focusNextPrevChild(bool next) {
  if (WantTab)
    return false;
  return QAbstractScrollArea::focusNextPrevChild(next);
}

void TSyntaxMemo::keyPressEvent(QKeyEvent *e) {
  const uint16_t key = TranslateKey(e);
  bool used = false;
  try {
    if (key)
      used = KeyDown(key);
    if (!used) {
      const Qt::KeyboardModifiers m = e->modifiers();
      if ((m & Qt::AltModifier) && !(m & Qt::ControlModifier)) {
        e->ignore(); // menu accelerators
        return;
      }
      if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        KeyPress((m & Qt::ControlModifier) ? '\n' : '\r');
      } else if (e->key() == Qt::Key_Tab) {
        if (WantTab)
          KeyPress('\t');
      } else if (!(m & Qt::ControlModifier)) {
        const std::string bytes = ToCp1252(e->text());
        for (char c : bytes)
          KeyPress(c);
      }
    }
  } catch (const std::exception &) {
    // A failing command ends the command; the event loop carries on.
    QApplication::beep();
  }
  e->accept();
}

void TSyntaxMemo::inputMethodEvent(QInputMethodEvent *e) {
  const std::string bytes = ToCp1252(e->commitString());
  try {
    for (char c : bytes)
      KeyPress(c);
  } catch (const std::exception &) {
    QApplication::beep();
  }
  e->accept();
}

void TSyntaxMemo::focusInEvent(QFocusEvent *e) {
  QAbstractScrollArea::focusInEvent(e);
  caretOn_ = true;
  caretTimer_.start();
  viewport()->update();
}

void TSyntaxMemo::focusOutEvent(QFocusEvent *e) {
  QAbstractScrollArea::focusOutEvent(e);
  caretTimer_.stop();
  ResetPendingKey();
  viewport()->update();
}

// ---------------------------------------------------------------------------
// Mouse.

int TSyntaxMemo::ColumnAtX(int x) const {
  const int col = LeftColumn() + (x - TextLeft() + charWidth_ / 2) / charWidth_;
  return std::max(0, col);
}

int64_t TSyntaxMemo::PosAtPoint(const QPoint &pt, int *column, int64_t *line) {
  const int64_t last = LineFromPos(TextLength());
  int64_t l = TopLine() + (pt.y() >= 0 ? pt.y() / lineHeight_ : -1);
  l = std::clamp<int64_t>(l, 0, last);
  const int col = ColumnAtX(pt.x());
  if (column)
    *column = col;
  if (line)
    *line = l;
  return ColumnToPos(l, col);
}

bool TSyntaxMemo::InsideSelection(int64_t pos) const {
  return SelAvail() && pos >= SelStart() && pos < SelEnd();
}

bool TSyntaxMemo::IsHotspotAt(const QPoint &pt) {
  if (!HighlightingActive() || pt.x() < TextLeft())
    return false;
  const int64_t line = TopLine() + pt.y() / lineHeight_;
  if (line >= LineCount())
    return false;
  TLinePos lp = Store()->LocateLine(line);
  const int col = LeftColumn() + (pt.x() - TextLeft()) / charWidth_;
  const int off = ColumnToOffset(lp.Node, col, Tabs());
  if (off >= lp.Node->TextLength() || !lp.Node->Attributes())
    return false;
  const auto *scheme = dynamic_cast<TSchemeHighlighter *>(Highlighter);
  return scheme && scheme->IsHotspot(lp.Node->Attributes()[off]);
}

void TSyntaxMemo::mousePressEvent(QMouseEvent *e) {
  const QPoint pt = e->position().toPoint();
  if (e->button() != Qt::LeftButton) {
    QAbstractScrollArea::mousePressEvent(e);
    return;
  }
  if (pt.x() < GutterWidth()) {
    const int64_t line = TopLine() + pt.y() / lineHeight_;
    if (OnGutterClick)
      OnGutterClick(this, line);
    return;
  }
  int col = 0;
  int64_t line = 0;
  const int64_t pos = PosAtPoint(pt, &col, &line);
  pressPoint_ = pt;
  wordSelecting_ = false;
  if (e->modifiers() & Qt::ShiftModifier) {
    SetCaretAtColumn(line, col, true);
    drag_ = TDrag::Selecting;
  } else if (InsideSelection(pos) && !ReadOnly()) {
    drag_ = TDrag::MaybeMove;
  } else {
    SetCaretAtColumn(line, col, false);
    drag_ = TDrag::Selecting;
  }
}

void TSyntaxMemo::mouseMoveEvent(QMouseEvent *e) {
  const QPoint pt = e->position().toPoint();
  switch (drag_) {
  case TDrag::None:
    viewport()->setCursor(pt.x() < GutterWidth() ? Qt::ArrowCursor
                          : IsHotspotAt(pt)      ? HyperCursor
                                                 : Qt::IBeamCursor);
    return;
  case TDrag::Selecting: {
    // Dragging past an edge scrolls by a line.
    if (pt.y() < 0 && TopLine() > 0)
      SetTopLine(TopLine() - 1);
    else if (pt.y() >= VisibleRows() * lineHeight_)
      SetTopLine(TopLine() + 1);
    int col = 0;
    int64_t line = 0;
    const int64_t pos = PosAtPoint(pt, &col, &line);
    if (wordSelecting_) {
      const int64_t s = WordLeftOf(std::min<int64_t>(pos + 1, TextLength()));
      const int64_t w = WordRightOf(pos);
      if (pos < wordAnchorStart_)
        SetSelection(wordAnchorEnd_, std::min(s, pos));
      else
        SetSelection(wordAnchorStart_, std::max(w, wordAnchorEnd_));
    } else {
      SetCaretAtColumn(line, col, true);
    }
    return;
  }
  case TDrag::MaybeMove:
    if ((pt - pressPoint_).manhattanLength() < QApplication::startDragDistance())
      return;
    drag_ = TDrag::Moving;
    [[fallthrough]];
  case TDrag::Moving:
    if (!viewport()->rect().contains(pt) && (OptionsMask() & smoOLEDragSource)) {
      // Leaving the window: hand the text to whoever takes it.
      drag_ = TDrag::None;
      auto *d = new QDrag(this);
      auto *mime = new QMimeData;
      mime->setText(FromCp1252(SelText()));
      d->setMimeData(mime);
      const Qt::DropAction a = d->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
      if (a == Qt::MoveAction && !ReadOnly() && d->target() != viewport())
        ReplaceSel(std::string());
      return;
    }
    MoveDropCaret(pt);
    return;
  }
}

void TSyntaxMemo::MoveDropCaret(const QPoint &pt) {
  const int64_t old = dropPos_;
  dropPos_ = PosAtPoint(pt);
  if (old != dropPos_)
    viewport()->update();
}

void TSyntaxMemo::mouseReleaseEvent(QMouseEvent *e) {
  const TDrag d = drag_;
  drag_ = TDrag::None;
  wordSelecting_ = false;
  if (e->button() != Qt::LeftButton)
    return;
  try {
    if (d == TDrag::Moving) {
      dropPos_ = PosAtPoint(e->position().toPoint());
      MoveText(dropPos_, e->modifiers() & Qt::ControlModifier);
    } else if (d == TDrag::MaybeMove) {
      // A click inside the selection without a drag places the caret.
      int col = 0;
      int64_t line = 0;
      PosAtPoint(e->position().toPoint(), &col, &line);
      SetCaretAtColumn(line, col, false);
    }
  } catch (const std::exception &) {
    QApplication::beep();
  }
  dropPos_ = -1;
  viewport()->update();
}

void TSyntaxMemo::mouseDoubleClickEvent(QMouseEvent *e) {
  const QPoint pt = e->position().toPoint();
  if (e->button() != Qt::LeftButton || pt.x() < GutterWidth())
    return;
  if (!(OptionsMask() & smoWordSelect)) {
    mousePressEvent(e);
    return;
  }
  SelectWordAt(PosAtPoint(pt));
  wordAnchorStart_ = SelStart();
  wordAnchorEnd_ = SelEnd();
  wordSelecting_ = true;
  drag_ = TDrag::Selecting;
}

void TSyntaxMemo::MoveText(int64_t to, bool copy) {
  if (!SelAvail() || ReadOnly())
    return;
  const int64_t s = SelStart(), e = SelEnd();
  if (to > s && to < e)
    return; // dropped onto itself
  if (!copy && (to == s || to == e))
    return;
  const std::string text = SelText();
  const auto len = static_cast<int64_t>(text.size());
  BeginGroup(ugDragMove);
  if (!copy) {
    ReplaceSel(std::string(), false);
    if (to >= e)
      to -= len;
  }
  SetSelection(to, to, false);
  ReplaceSel(text, false);
  SetSelection(to, to + len, false);
  EndGroup(ugDragMove);
  ViewCaretMoved();
  Change();
}

void TSyntaxMemo::InsertDropped(int64_t pos, const std::string &text) {
  if (ReadOnly() || text.empty())
    return;
  BeginGroup(ugDragMove);
  SetSelection(pos, pos, false);
  ReplaceSel(text, false);
  EndGroup(ugDragMove);
  ViewCaretMoved();
  Change();
}

void TSyntaxMemo::wheelEvent(QWheelEvent *e) {
  wheelRemainder_ += e->angleDelta().y();
  const int notches = wheelRemainder_ / 120;
  wheelRemainder_ -= notches * 120;
  if (notches == 0) {
    e->accept();
    return;
  }
  const int delta = -notches * QApplication::wheelScrollLines();
  if (OnMouseWheel && OnMouseWheel(this, delta)) {
    e->accept();
    return;
  }
  LineScroll(0, delta);
  e->accept();
}

// ---------------------------------------------------------------------------
// Drag and drop from other windows.

void TSyntaxMemo::dragEnterEvent(QDragEnterEvent *e) {
  const QMimeData *m = e->mimeData();
  // Files are offered only when the owner processes them, never as text.
  if (m->hasUrls() ? (OptionsMask() & smoProcessDroppedFiles) != 0 : (m->hasText() && !ReadOnly()))
    e->acceptProposedAction();
  else
    e->ignore();
}

void TSyntaxMemo::dragMoveEvent(QDragMoveEvent *e) {
  if (e->mimeData()->hasText() && !e->mimeData()->hasUrls())
    MoveDropCaret(e->position().toPoint());
  e->acceptProposedAction();
}

void TSyntaxMemo::dropEvent(QDropEvent *e) {
  const QMimeData *m = e->mimeData();
  try {
    if (m->hasUrls()) {
      if (!(OptionsMask() & smoProcessDroppedFiles)) {
        e->ignore();
        return;
      }
      std::vector<std::string> files;
      for (const QUrl &u : m->urls())
        if (u.isLocalFile())
          files.push_back(u.toLocalFile().toStdString());
      if (!files.empty() && OnFilesDropped)
        OnFilesDropped(this, files);
      e->acceptProposedAction();
    } else if (m->hasText()) {
      const int64_t pos = PosAtPoint(e->position().toPoint());
      if (e->source() == viewport() || e->source() == this) {
        MoveText(pos, e->dropAction() == Qt::CopyAction);
        e->setDropAction(Qt::CopyAction); // moved here already; the source must not delete
      } else {
        InsertDropped(pos, ToCp1252(m->text()));
      }
      e->accept();
    }
  } catch (const std::exception &) {
    QApplication::beep();
  }
  dropPos_ = -1;
  viewport()->update();
}

// ---------------------------------------------------------------------------
// Code-template list.

void TSyntaxMemo::ShowTemplateList(const std::vector<int> &candidates, const std::string &word) {
  (void)word;
  if (candidates.empty())
    return;
  int chosen = -1;
  if (ChooseTemplate) {
    chosen = ChooseTemplate(this, candidates);
  } else {
    QMenu menu(this);
    for (size_t i = 0; i < candidates.size(); ++i) {
      const TSM_CodeTemplate &t = CodeTemplates[static_cast<size_t>(candidates[i])];
      QString label = FromCp1252(t.Name);
      if (!t.Description.empty())
        label += QStringLiteral("\t") + FromCp1252(t.Description);
      menu.addAction(label)->setData(static_cast<int>(i));
    }
    const TSMPoint pt = PosFromChar(Caret());
    const QAction *a = menu.exec(viewport()->mapToGlobal(QPoint(pt.X, pt.Y + lineHeight_)));
    if (a)
      chosen = a->data().toInt();
  }
  if (chosen >= 0 && chosen < static_cast<int>(candidates.size()))
    InsertCodeTemplate(candidates[static_cast<size_t>(chosen)]);
}
