// The message protocol: every message the control answers, decoded here and
// handed to the control's operations.
#include "CustomSyntaxMemo.h"

#include "Streams.h"

#include <algorithm>
#include <cstring>

namespace {

template <class T> T *Ptr(intptr_t v) {
  return reinterpret_cast<T *>(v);
}

intptr_t PackLowHigh(int64_t lo, int64_t hi) {
  if (lo < 0 || hi < 0 || lo > 0xFFFF || hi > 0xFFFF)
    return -1;
  return static_cast<intptr_t>(lo | (hi << 16));
}

} // namespace

intptr_t TCustomSyntaxMemo::Perform(uint32_t msg, intptr_t wParam, intptr_t lParam) {
  switch (msg) {
  case WM_SETREDRAW:
    SetRedraw(wParam != 0);
    return 0;
  case WM_SETTEXT: {
    const char *text = Ptr<const char>(lParam);
    TReadOnlyMemoryStream s(text ? text : "", text ? static_cast<int64_t>(std::strlen(text)) : 0);
    LoadFromStream(s);
    return 1;
  }
  case WM_GETTEXT: {
    char *buf = Ptr<char>(lParam);
    if (!buf || wParam <= 0)
      return 0;
    const std::string t = GetTextLS();
    const size_t n = std::min<size_t>(t.size(), static_cast<size_t>(wParam) - 1);
    std::memcpy(buf, t.data(), n);
    buf[n] = 0;
    return static_cast<intptr_t>(n);
  }
  case WM_GETTEXTLENGTH: {
    int64_t n = TextLength();
    if (SelLineStyle() == lsCRLF)
      for (TLineNode *node = Store()->First(); node; node = node->Next)
        n += node->EndsWithCR();
    return static_cast<intptr_t>(n);
  }
  case EM_GETSEL:
    if (auto *s = Ptr<int32_t>(wParam))
      *s = static_cast<int32_t>(anchor_);
    if (auto *e = Ptr<int32_t>(lParam))
      *e = static_cast<int32_t>(caret_);
    return PackLowHigh(anchor_, caret_);
  case EM_SETSEL:
    if (wParam == -1) {
      SetSelection(caret_, caret_);
      return 0;
    }
    SetSelection(wParam, lParam < 0 ? TextLength() : lParam);
    return 0;
  case EM_LINESCROLL:
    LineScroll(static_cast<int>(wParam), lParam);
    return 1;
  case EM_SCROLLCARET:
    ScrollCaret();
    return 1;
  case EM_GETMODIFY:
    return Modified();
  case EM_GETLINECOUNT:
    return static_cast<intptr_t>(std::max<int64_t>(1, LineCount()));
  case EM_LINEINDEX: {
    const int64_t line = wParam == -1 ? LineFromPos(caret_) : wParam;
    if (line < 0 || line >= std::max<int64_t>(1, LineCount()))
      return -1;
    return static_cast<intptr_t>(LineStart(line));
  }
  case EM_LINELENGTH:
    return LineLength(wParam == -1 ? LineFromPos(caret_) : wParam);
  case EM_REPLACESEL: {
    const char *text = Ptr<const char>(lParam);
    ReplaceSel(text, text ? std::strlen(text) : 0);
    return 0;
  }
  case EM_GETLINE: {
    char *buf = Ptr<char>(lParam);
    if (!buf || wParam < 0 || wParam >= LineCount())
      return 0;
    uint16_t size;
    std::memcpy(&size, buf, sizeof size);
    const TLineNode *n = Store()->LocateLine(wParam).Node;
    const size_t len = std::min<size_t>(static_cast<size_t>(n->TextLength()), size);
    std::memcpy(buf, n->Text(), len);
    return static_cast<intptr_t>(len);
  }
  case EM_CANUNDO:
    return CanUndo();
  case EM_UNDO:
  case WM_UNDO:
    Undo();
    return 1;
  case EM_LINEFROMCHAR:
    return static_cast<intptr_t>(LineFromPos(wParam == -1 ? caret_ : wParam));
  case EM_EMPTYUNDOBUFFER:
    ClearUndo();
    return 0;
  case EM_GETFIRSTVISIBLELINE:
    return static_cast<intptr_t>(topLine_);
  case EM_POSFROMCHAR: {
    const TSMPoint pt = PosFromChar(lParam);
    if (auto *out = Ptr<TSMPoint>(wParam))
      *out = pt;
    return static_cast<intptr_t>((pt.X & 0xFFFF) | ((pt.Y & 0xFFFF) << 16));
  }
  case EM_CHARFROMPOS: {
    const auto *pt = Ptr<const TSMPoint>(lParam);
    return pt ? static_cast<intptr_t>(CharFromPos(*pt)) : -1;
  }
  case WM_CUT:
    CutToClipboard();
    return 0;
  case WM_COPY:
    CopyToClipboard();
    return 0;
  case WM_PASTE:
    PasteFromClipboard();
    return 0;
  case EM_CANPASTE:
    return (wParam == 0 || wParam == 1) ? CanPaste(wParam) : 0;
  case SM_SELECTION: {
    auto *pt = Ptr<TSMPoint>(lParam);
    if (!(wParam & smsSet)) {
      if (pt) {
        pt->X = static_cast<int32_t>(anchor_);
        pt->Y = static_cast<int32_t>(caret_);
      }
      return 0;
    }
    if (!pt)
      return 0;
    const bool notify = !(wParam & smsNoNotify);
    if (pt->X == -1)
      SetSelection(0, TextLength(), notify);
    else
      SetSelection(pt->X, pt->Y, notify);
    return 1;
  }
  case SM_OPTIONS:
    if (wParam & 1)
      SetOptionsMask(static_cast<uint32_t>(lParam));
    return static_cast<intptr_t>(options_);
  case SM_REPLACESEL: {
    const char *text = Ptr<const char>(lParam);
    ReplaceSel(text, text ? std::strlen(text) : 0, !(wParam & 2));
    return 0;
  }
  case SM_UPDATING:
    if (wParam & 1)
      SetUpdating(lParam != 0);
    return updating_;
  case SM_LOADSTREAM:
    if (auto *s = Ptr<TStream>(lParam))
      InsertStream(*s);
    return 0;
  case SM_SAVESTREAM:
    if (auto *s = Ptr<TStream>(lParam))
      return static_cast<intptr_t>(WriteSelection(*s, static_cast<TSaveFormat>(wParam & 3)));
    return 0;
  case SM_MODIFIED:
    if ((wParam & 1) && !lParam)
      SetModified(false);
    return Modified();
  case SM_TOPLINE:
    if (wParam & 1)
      SetTopLine(lParam, !(wParam & 2));
    return static_cast<intptr_t>(topLine_);
  case SM_LEFTCOLUMN:
    if (wParam & 1)
      SetLeftColumn(static_cast<int>(std::clamp<intptr_t>(lParam, 0, kMaxNodeChars)),
                    !(wParam & 2));
    return leftColumn_;
  case SM_FIND:
    // No exception leaves a message: a bad regular expression is told to the
    // user here and the search finds nothing.
    try {
      return static_cast<intptr_t>(
          FindText(static_cast<uint32_t>(wParam), Ptr<const char>(lParam)));
    } catch (const ERegExpError &e) {
      ShowErrorMessage(e.what());
      return -1;
    }
  case SM_REPLACE:
    ReplaceDialog(static_cast<uint32_t>(wParam));
    return 0;
  case SM_GETTEXTSTREAM: {
    auto *out = Ptr<std::string>(lParam);
    if (!out)
      return 0;
    TMemoryStream m;
    WriteSelection(m, static_cast<TSaveFormat>(wParam & 3));
    *out = m.Bytes();
    return static_cast<intptr_t>(out->size());
  }
  case SM_CANREDO:
    return CanRedo();
  case SM_REDO:
    Redo();
    return 1;
  case SM_INDENT:
    IndentBlock(static_cast<int>(wParam), (lParam & 1) != 0);
    return 0;
  case SM_UNINDENT:
    UnindentBlock(static_cast<int>(wParam));
    return 0;
  case SM_APPLYSETTINGS:
    ApplySettings();
    Change();
    return 0;
  case SM_SETATTRIBUTES:
  case SM_GETATTRIBUTES: {
    auto *bytes = Ptr<uint8_t>(lParam);
    if (!bytes || LineCount() == 0)
      return 0;
    int64_t first = 0, last = LineCount() - 1;
    if (const auto *range = Ptr<const int32_t>(wParam)) {
      first = std::max<int64_t>(0, range[0]);
      last = std::min<int64_t>(last, range[1]);
    }
    if (first > last)
      return 0;
    TLineNode *n = Store()->LocateLine(first).Node;
    int64_t done = 0;
    for (int64_t i = first; n && i <= last; ++i, n = n->Next) {
      if (msg == SM_SETATTRIBUTES) {
        std::memcpy(n->AllocAttributes(), bytes + done, n->Length);
        n->Flags |= nfStale | nfRepaint;
      } else if (const uint8_t *a = n->Attributes()) {
        std::memcpy(bytes + done, a, n->Length);
      } else {
        std::memset(bytes + done, 0, n->Length);
      }
      done += n->Length;
    }
    if (msg == SM_SETATTRIBUTES)
      Repaint();
    return static_cast<intptr_t>(done);
  }
  case SM_UNDOSTACK:
    if (wParam & 1) {
      Store()->SetUndoStack(Ptr<TUndoStack>(lParam));
      txOpen_ = false;
    }
    return reinterpret_cast<intptr_t>(Store()->UndoStack());
  case SM_TEXTSTORE:
    if (wParam == 1) {
      AttachStore(Ptr<TTextStore>(lParam));
    } else if (auto **out = Ptr<TTextStore *>(lParam)) {
      *out = Store();
    }
    return reinterpret_cast<intptr_t>(Store());
  case SM_CHANGEDLINE:
    if (wParam & 1) {
      // The line index of a node: count the nodes before it.
      auto *node = Ptr<TLineNode>(lParam);
      if (!node) {
        changedLine_ = -1;
      } else {
        int64_t line = 0;
        for (TLineNode *p = node->Prev; p; p = p->Prev)
          ++line;
        changedLine_ = line;
      }
    }
    return changedLine_ < 0 || changedLine_ >= LineCount()
               ? 0
               : reinterpret_cast<intptr_t>(Store()->LocateLine(changedLine_).Node);
  case SM_VERSION:
    return reinterpret_cast<intptr_t>(VersionText());
  default:
    return 0;
  }
}
