// Key map: binding tree, look-up with a pending second keystroke, names and
// default bindings.
#include "KeyMap.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace {

const std::array<const char *, kEditorCommandCount> kCommandNames = {
    "Cursor left",
    "Cursor right",
    "Line start",
    "Line end",
    "Up one line",
    "Down one line",
    "Up one page",
    "Down one page",
    "Move to word before",
    "Move to word after",
    "Document start",
    "Document end",
    "Cut to clipboard",
    "Copy to clipboard",
    "Paste from clipboard",
    "Delete character at cursor",
    "Delete character before caret",
    "Indent selected block",
    "Un-indent selected block",
    "Toggle insert/overwrite mode",
    "Set Bookmark 0",
    "Set Bookmark 1",
    "Set Bookmark 2",
    "Set Bookmark 3",
    "Set Bookmark 4",
    "Set Bookmark 5",
    "Set Bookmark 6",
    "Set Bookmark 7",
    "Set Bookmark 8",
    "Set Bookmark 9",
    "Goto Bookmark 0",
    "Goto Bookmark 1",
    "Goto Bookmark 2",
    "Goto Bookmark 3",
    "Goto Bookmark 4",
    "Goto Bookmark 5",
    "Goto Bookmark 6",
    "Goto Bookmark 7",
    "Goto Bookmark 8",
    "Goto Bookmark 9",
    "Delete current line",
    "Undo",
    "Redo",
    "Delete previous word",
    "Print selection",
    "Delete next word",
    "Scroll display up one line",
    "Scroll display down one line",
};

std::vector<TSM_KeyBinding> DefaultBindings() {
  std::vector<TSM_KeyBinding> b = {
      {vk::Left, 0, ecLeft},
      {vk::Right, 0, ecRight},
      {vk::Home, 0, ecLineStart},
      {vk::End, 0, ecLineEnd},
      {vk::Up, 0, ecUp},
      {vk::Down, 0, ecDown},
      {vk::Prior, 0, ecPageUp},
      {vk::Next, 0, ecPageDown},
      {scCtrl | vk::Left, 0, ecWordLeft},
      {scCtrl | vk::Right, 0, ecWordRight},
      {scCtrl | vk::Home, 0, ecDocStart},
      {scCtrl | vk::End, 0, ecDocEnd},
      {scCtrl | 'X', 0, ecCut},
      {scCtrl | 'C', 0, ecCopy},
      {scCtrl | 'V', 0, ecPaste},
      {vk::Delete, 0, ecDeleteChar},
      {vk::Back, 0, ecBackspace},
      {scCtrl | 'K', 'I', ecIndent},
      {scCtrl | 'K', 'U', ecUnindent},
      {vk::Insert, 0, ecToggleInsert},
  };
  for (int i = 0; i < 10; ++i)
    b.push_back({scCtrl | 'K', static_cast<uint16_t>('0' + i), ecSetBookmark0 + i});
  for (int i = 0; i < 10; ++i)
    b.push_back({scCtrl | 'Q', static_cast<uint16_t>('0' + i), ecGotoBookmark0 + i});
  const std::vector<TSM_KeyBinding> rest = {
      {scCtrl | 'Y', 0, ecDeleteLine},       {scCtrl | 'Z', 0, ecUndo},
      {scShift | scCtrl | 'Z', 0, ecRedo},   {scCtrl | vk::Back, 0, ecDeleteWordBack},
      {scCtrl | 'K', 'P', ecPrintSelection}, {scCtrl | vk::Delete, 0, ecDeleteWordForward},
      {scCtrl | vk::Up, 0, ecScrollUp},      {scCtrl | vk::Down, 0, ecScrollDown},
  };
  b.insert(b.end(), rest.begin(), rest.end());
  return b;
}

} // namespace

std::string EditorCommandName(int32_t code) {
  if (code < 0 || code >= kEditorCommandCount)
    return {};
  return kCommandNames[static_cast<size_t>(code)];
}

// ---------------------------------------------------------------------------
// TKeyStore

TKeyStore::~TKeyStore() {
  FreeList(top_);
}

void TKeyStore::FreeList(TKeyNode *n) {
  while (n) {
    FreeList(n->FirstChild);
    TKeyNode *next = n->Next;
    delete n;
    n = next;
  }
}

void TKeyStore::Clear() {
  FreeList(top_);
  top_ = nullptr;
  level_ = nullptr;
}

void TKeyStore::Ambiguous(int32_t existing, int32_t added) const {
  throw EAmbigiousKeyPair("Duplicate key sequence definition for\r\n\"" +
                          owner_.GetCommandName(existing) + "\" and \"" +
                          owner_.GetCommandName(added) + "\"");
}

TKeyStore::TKeyNode *TKeyStore::FindOrAppend(TKeyNode *&head, TKeyNode *parent, uint16_t key) {
  TKeyNode **link = &head;
  while (*link) {
    if ((*link)->Shortcut == key)
      return *link;
    link = &(*link)->Next;
  }
  auto *n = new TKeyNode;
  n->Shortcut = key;
  n->Parent = parent;
  *link = n;
  return n;
}

void TKeyStore::AddBinding(uint16_t first, uint16_t second, int32_t code) {
  if (first == 0)
    return; // the empty shortcut cannot be pressed
  second = static_cast<uint16_t>(second & ~scModifiers);
  const bool twoKeys = second != 0;

  // Check every conflict before touching the tree, so a refused binding leaves nothing behind.
  TKeyNode *node = top_;
  while (node && node->Shortcut != first)
    node = node->Next;
  if (node) {
    if (!twoKeys && node->FirstChild) {
      TKeyNode *c = node->FirstChild;
      while (c && !c->EndsBinding)
        c = c->Next;
      Ambiguous(c ? c->Command : -1, code);
    }
    if (twoKeys && node->EndsBinding)
      Ambiguous(node->Command, code);
    if (!twoKeys && node->EndsBinding)
      Ambiguous(node->Command, code);
    if (twoKeys) {
      for (TKeyNode *c = node->FirstChild; c; c = c->Next)
        if (c->Shortcut == second && c->EndsBinding)
          Ambiguous(c->Command, code);
    }
  }

  node = FindOrAppend(top_, nullptr, first);
  if (twoKeys)
    node = FindOrAppend(node->FirstChild, node, second);
  node->Command = code;
  node->EndsBinding = true;
}

TKeyLookup TKeyStore::LookUp(uint16_t key, int32_t &code) {
  TKeyNode *level = level_;
  if (!level)
    level = top_;
  else
    key = static_cast<uint16_t>(key & ~scModifiers);
  TKeyNode *n = level;
  while (n && n->Shortcut != key)
    n = n->Next;
  if (!n) {
    level_ = nullptr;
    return TKeyLookup::klNoMatch;
  }
  if (n->FirstChild) {
    level_ = n->FirstChild;
    return TKeyLookup::klPending;
  }
  code = n->Command;
  level_ = nullptr;
  return TKeyLookup::klRecognised;
}

std::vector<TSM_KeyBinding> TKeyStore::Bindings() const {
  // Each level's own bindings first, then the levels below it in sibling order,
  // so writing what was read gives the same bytes.
  std::vector<TSM_KeyBinding> out;
  std::vector<const TKeyNode *> levels{top_};
  for (size_t i = 0; i < levels.size(); ++i) {
    for (const TKeyNode *n = levels[i]; n; n = n->Next)
      if (n->EndsBinding)
        out.push_back({n->Parent ? n->Parent->Shortcut : n->Shortcut,
                       n->Parent ? n->Shortcut : uint16_t(0), n->Command});
    for (const TKeyNode *n = levels[i]; n; n = n->Next)
      if (n->FirstChild)
        levels.push_back(n->FirstChild);
  }
  return out;
}

int TKeyStore::BindingCount() const {
  return static_cast<int>(Bindings().size());
}

bool TKeyStore::FindBinding(int32_t code, int n, uint16_t &first, uint16_t &second) const {
  first = second = 0;
  for (const TSM_KeyBinding &b : Bindings()) {
    if (b.Command != code)
      continue;
    if (n-- == 0) {
      first = b.First;
      second = b.Second;
      return true;
    }
  }
  return false;
}

// ---------------------------------------------------------------------------
// TKeyboardActionContoller

TKeyboardActionContoller::TKeyboardActionContoller() : keys_(std::make_unique<TKeyStore>(*this)) {}

TKeyboardActionContoller::TKeyboardActionContoller(const TKeyboardActionContoller &other)
    : keys_(std::make_unique<TKeyStore>(*this)) {
  FromData(other.ToData());
}

TKeyboardActionContoller &
TKeyboardActionContoller::operator=(const TKeyboardActionContoller &other) {
  if (this != &other)
    FromData(other.ToData());
  return *this;
}

void TKeyboardActionContoller::Clear() {
  names_.clear();
  keys_->Clear();
}

void TKeyboardActionContoller::SetCommandName(int32_t code, const std::string &name) {
  for (auto &c : names_)
    if (c.Code == code) {
      c.Name = name;
      return;
    }
  names_.push_back({code, name});
}

std::string TKeyboardActionContoller::GetCommandName(int32_t code) const {
  for (const auto &c : names_)
    if (c.Code == code)
      return c.Name;
  return {};
}

TSM_KeyMapData TKeyboardActionContoller::ToData() const {
  TSM_KeyMapData d;
  d.Commands = names_;
  d.Bindings = keys_->Bindings();
  return d;
}

void TKeyboardActionContoller::FromData(const TSM_KeyMapData &d) {
  Clear();
  for (const auto &c : d.Commands)
    SetCommandName(c.Code, c.Name);
  for (const auto &b : d.Bindings)
    keys_->AddBinding(b.First, b.Second, b.Command);
}

void TKeyboardActionContoller::ReadFrom(TStream &s) {
  TSM_KeyMapData d;
  d.ReadFrom(s);
  FromData(d);
}

void TKeyboardActionContoller::LoadDefaults() {
  Clear();
  for (int32_t i = 0; i < kEditorCommandCount; ++i)
    SetCommandName(i, EditorCommandName(i));
  for (const auto &b : DefaultBindings())
    keys_->AddBinding(b.First, b.Second, b.Command);
}

TKeyboardActionContoller &DefaultKeyMap() {
  static TKeyboardActionContoller *map = [] {
    auto *m = new TKeyboardActionContoller;
    m->LoadDefaults();
    return m;
  }();
  return *map;
}

// ---------------------------------------------------------------------------
// Key names

const std::vector<std::pair<std::string, uint16_t>> &KeyNames() {
  static const std::vector<std::pair<std::string, uint16_t>> names = [] {
    std::vector<std::pair<std::string, uint16_t>> v = {
        {"backspace", vk::Back}, {"delete", vk::Delete}, {"down", vk::Down},
        {"end", vk::End},        {"home", vk::Home},     {"insert", vk::Insert},
        {"left", vk::Left},      {"pagedown", vk::Next}, {"pageup", vk::Prior},
        {"return", vk::Return},  {"right", vk::Right},   {"space", vk::Space},
        {"up", vk::Up},          {"tab", vk::Tab},
    };
    for (int i = 1; i <= 12; ++i) {
      std::string name(1, 'f');
      name += std::to_string(i);
      v.push_back({name, static_cast<uint16_t>(vk::F1 + i - 1)});
    }
    std::sort(v.begin(), v.end());
    return v;
  }();
  return names;
}

uint16_t KeyNameToVirtualKey(const std::string &name) {
  std::string lower = name;
  for (char &c : lower)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const auto &v = KeyNames();
  auto it = std::lower_bound(v.begin(), v.end(), lower,
                             [](const auto &e, const std::string &k) { return e.first < k; });
  return it != v.end() && it->first == lower ? it->second : 0;
}

std::string ShortcutToText(uint16_t shortcut) {
  if (shortcut == 0)
    return {};
  std::string s;
  if (shortcut & scShift)
    s += "Shift+";
  if (shortcut & scCtrl)
    s += "Ctrl+";
  if (shortcut & scAlt)
    s += "Alt+";
  const uint16_t key = shortcut & 0xFF;
  static const std::pair<uint16_t, const char *> special[] = {
      {vk::Back, "BkSp"},   {vk::Tab, "Tab"},    {vk::Return, "Enter"}, {vk::Escape, "Esc"},
      {vk::Space, "Space"}, {vk::Prior, "PgUp"}, {vk::Next, "PgDn"},    {vk::End, "End"},
      {vk::Home, "Home"},   {vk::Left, "Left"},  {vk::Up, "Up"},        {vk::Right, "Right"},
      {vk::Down, "Down"},   {vk::Insert, "Ins"}, {vk::Delete, "Del"},
  };
  for (const auto &[k, n] : special)
    if (k == key)
      return s + n;
  if (key >= vk::F1 && key <= vk::F12)
    return s + 'F' + std::to_string(key - vk::F1 + 1);
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z'))
    return s + static_cast<char>(key);
  return s + "#" + std::to_string(key);
}
