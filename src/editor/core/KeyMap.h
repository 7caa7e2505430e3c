// The editor's keyboard command map: one- and two-keystroke sequences bound to
// numbered editor commands, the command names, the default bindings and the
// stored form (through TSM_KeyMapData).
#pragma once

#include "EditorFeatures.h"
#include "KorvexError.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

KX_DECLARE_ERROR(EAmbigiousKeyPair, EKorvexError);

// Virtual-key codes the editor deals in (low byte of a shortcut).
namespace vk {
constexpr uint16_t Back = 8, Tab = 9, Return = 13, Shift = 16, Control = 17, Menu = 18, Escape = 27,
                   Space = 32, Prior = 33, Next = 34, End = 35, Home = 36, Left = 37, Up = 38,
                   Right = 39, Down = 40, Insert = 45, Delete = 46, F1 = 112, F12 = 123;
} // namespace vk

// Editor command codes (the command executor's numbering).
enum TEditorCommand : int32_t {
  ecLeft = 0,
  ecRight = 1,
  ecLineStart = 2,
  ecLineEnd = 3,
  ecUp = 4,
  ecDown = 5,
  ecPageUp = 6,
  ecPageDown = 7,
  ecWordLeft = 8,
  ecWordRight = 9,
  ecDocStart = 10,
  ecDocEnd = 11,
  ecCut = 12,
  ecCopy = 13,
  ecPaste = 14,
  ecDeleteChar = 15,
  ecBackspace = 16,
  ecIndent = 17,
  ecUnindent = 18,
  ecToggleInsert = 19,
  ecSetBookmark0 = 20,  // .. 29
  ecGotoBookmark0 = 30, // .. 39
  ecDeleteLine = 40,
  ecUndo = 41,
  ecRedo = 42,
  ecDeleteWordBack = 43,
  ecPrintSelection = 44,
  ecDeleteWordForward = 45,
  ecScrollUp = 46,
  ecScrollDown = 47,
};
constexpr int32_t kEditorCommandCount = 48;
// The names of the commands are string-table entries kCommandNameBase + code.
constexpr int kCommandNameBase = 4146;
// Text of string-table entry kCommandNameBase + code; empty for other codes.
std::string EditorCommandName(int32_t code);

enum class TKeyLookup { klNoMatch, klPending, klRecognised };

class TKeyboardActionContoller;

// The tree of bound keystrokes. Top-level nodes are first keystrokes; their
// children are the second keystrokes of two-key sequences, held without modifiers.
class TKeyStore {
public:
  explicit TKeyStore(const TKeyboardActionContoller &owner) : owner_(owner) {}
  ~TKeyStore();
  TKeyStore(const TKeyStore &) = delete;
  TKeyStore &operator=(const TKeyStore &) = delete;

  void Clear();
  // Raises EAmbigiousKeyPair when the sequence collides with an existing one;
  // the bindings added before stay.
  void AddBinding(uint16_t first, uint16_t second, int32_t code);
  // One keystroke against the current level; see TKeyLookup.
  TKeyLookup LookUp(uint16_t key, int32_t &code);
  void ResetLookUp() { level_ = nullptr; }
  bool Pending() const { return level_ != nullptr; }
  int BindingCount() const;
  // Bindings depth-first, siblings before children.
  std::vector<TSM_KeyBinding> Bindings() const;
  bool FindBinding(int32_t code, int n, uint16_t &first, uint16_t &second) const;

private:
  struct TKeyNode {
    uint16_t Shortcut = 0;
    TKeyNode *Parent = nullptr;
    TKeyNode *Next = nullptr;
    TKeyNode *FirstChild = nullptr;
    bool EndsBinding = false;
    int32_t Command = -1;
  };
  TKeyNode *FindOrAppend(TKeyNode *&head, TKeyNode *parent, uint16_t key);
  static void FreeList(TKeyNode *n);
  [[noreturn]] void Ambiguous(int32_t existing, int32_t added) const;

  const TKeyboardActionContoller &owner_;
  TKeyNode *top_ = nullptr;
  TKeyNode *level_ = nullptr; // look-up cursor: first node of the current level
};

// The key map a control uses: the command names and the binding tree.
class TKeyboardActionContoller {
public:
  TKeyboardActionContoller();
  TKeyboardActionContoller(const TKeyboardActionContoller &other);
  TKeyboardActionContoller &operator=(const TKeyboardActionContoller &other);

  void Clear();
  void AddBinding(uint16_t first, uint16_t second, int32_t code) {
    keys_->AddBinding(first, second, code);
  }
  void SetCommandName(int32_t code, const std::string &name);
  std::string GetCommandName(int32_t code) const;
  const std::vector<TSM_KeyCommandName> &Commands() const { return names_; }
  // The n-th (0-based) binding of a command; false and empty shortcuts when none.
  bool FindBinding(int32_t code, int n, uint16_t &first, uint16_t &second) const {
    return keys_->FindBinding(code, n, first, second);
  }
  TKeyStore &Keys() { return *keys_; }
  const TKeyStore &Keys() const { return *keys_; }

  TSM_KeyMapData ToData() const;
  // Replaces the map; conflicting bindings raise EAmbigiousKeyPair.
  void FromData(const TSM_KeyMapData &d);
  void WriteTo(TStream &s) const { ToData().WriteTo(s); }
  void ReadFrom(TStream &s);

  // Loads the 48 command names and their default bindings.
  void LoadDefaults();

private:
  std::vector<TSM_KeyCommandName> names_;
  std::unique_ptr<TKeyStore> keys_;
};

// The process-wide default key map, built at first use.
TKeyboardActionContoller &DefaultKeyMap();

// Key names of language schemes ("backspace", "f1", "pageup", ...), sorted by name.
const std::vector<std::pair<std::string, uint16_t>> &KeyNames();
// Virtual-key code of a key name (any case); 0 when unknown.
uint16_t KeyNameToVirtualKey(const std::string &name);

// Readable form of a shortcut ("Shift+Ctrl+Left", "Ctrl+K"), for dialogs and tests.
std::string ShortcutToText(uint16_t shortcut);
