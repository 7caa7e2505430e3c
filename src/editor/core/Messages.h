// The editor control's message protocol: the standard edit-control messages it
// answers and its private messages. Pointers travel in wParam / lParam.
#pragma once

#include <cstdint>

// Standard messages.
constexpr uint32_t WM_SETREDRAW = 11;     // wParam: 0 off, 1 on (repaints when turned on)
constexpr uint32_t WM_SETTEXT = 12;       // lParam: const char * or null
constexpr uint32_t WM_GETTEXT = 13;       // wParam: buffer size, lParam: char *; returns count
constexpr uint32_t WM_GETTEXTLENGTH = 14; // length under SelLineStyle
constexpr uint32_t EM_GETSEL = 176;       // wParam, lParam: int32_t * (start, end) or null
constexpr uint32_t EM_SETSEL = 177;       // start, end; (0, -1) selects all
constexpr uint32_t EM_LINESCROLL = 182;   // columns, lines
constexpr uint32_t EM_SCROLLCARET = 183;
constexpr uint32_t EM_GETMODIFY = 184;
constexpr uint32_t EM_GETLINECOUNT = 186;
constexpr uint32_t EM_LINEINDEX = 187;  // line or -1
constexpr uint32_t EM_LINELENGTH = 193; // line
constexpr uint32_t EM_REPLACESEL = 194; // lParam: const char *
constexpr uint32_t EM_GETLINE = 196;    // line, buffer whose first uint16_t gives its size
constexpr uint32_t EM_CANUNDO = 198;
constexpr uint32_t EM_UNDO = 199;
constexpr uint32_t EM_LINEFROMCHAR = 201; // position or -1
constexpr uint32_t EM_EMPTYUNDOBUFFER = 205;
constexpr uint32_t EM_GETFIRSTVISIBLELINE = 206;
constexpr uint32_t EM_POSFROMCHAR = 214; // wParam: TSMPoint * out, lParam: position
constexpr uint32_t EM_CHARFROMPOS = 215; // lParam: const TSMPoint *; -1 outside the text area
constexpr uint32_t WM_CUT = 768;
constexpr uint32_t WM_COPY = 769;
constexpr uint32_t WM_PASTE = 770;
constexpr uint32_t WM_UNDO = 772;
constexpr uint32_t EM_CANPASTE = 1074;

// Private messages.
constexpr uint32_t SM_SELECTION = 0x0C00;   // flags, TSMPoint * (start, end)
constexpr uint32_t SM_OPTIONS = 3073;       // bit 0 set: lParam is the new mask; else read
constexpr uint32_t SM_REPLACESEL = 3074;    // flags (bit 1: no repaint), const char *
constexpr uint32_t SM_UPDATING = 3077;      // bit 0: set to lParam; else read
constexpr uint32_t SM_LOADSTREAM = 3078;    // flags, TStream *
constexpr uint32_t SM_SAVESTREAM = 3079;    // format (TSaveFormat), TStream *
constexpr uint32_t SM_MODIFIED = 3080;      // bit 0: set (false only) to lParam; else read
constexpr uint32_t SM_TOPLINE = 3081;       // bit 0 set (bit 1: no repaint), line
constexpr uint32_t SM_LEFTCOLUMN = 3082;    // as SM_TOPLINE, column
constexpr uint32_t SM_FIND = 3083;          // search flags, const char * pattern
constexpr uint32_t SM_REPLACE = 3084;       // search flags
constexpr uint32_t SM_GETTEXTSTREAM = 3085; // format (TSaveFormat), std::string * out
constexpr uint32_t SM_CANREDO = 3086;
constexpr uint32_t SM_REDO = 3087;
constexpr uint32_t SM_INDENT = 3088;   // count (0 = IndentStep), bit 0: allow TAB
constexpr uint32_t SM_UNINDENT = 3089; // count (0 = IndentStep)
constexpr uint32_t SM_APPLYSETTINGS = 3090;
constexpr uint32_t SM_SETATTRIBUTES = 3091; // null or int32_t[2] (first, last node), bytes
constexpr uint32_t SM_GETATTRIBUTES = 3092; // as above, buffer
constexpr uint32_t SM_UNDOSTACK = 3093;     // bit 0 set: lParam is the TUndoStack * (or null)
constexpr uint32_t SM_TEXTSTORE = 3096;     // 0: read (lParam TTextStore ** or return); 1: attach
constexpr uint32_t SM_CHANGEDLINE = 3105;   // bit 0 set: lParam is the TLineNode *; else read
constexpr uint32_t SM_VERSION = 3136;       // const char * version text

// SM_SELECTION flags.
constexpr intptr_t smsSet = 0x1;
constexpr intptr_t smsNoNotify = 0x2;

// A point in client coordinates, or a (start, end) pair for SM_SELECTION.
struct TSMPoint {
  int32_t X = 0;
  int32_t Y = 0;
};
