// TSyntaxMemoParser: one compiled language scheme. It owns the tables the
// scheme compiler builds (or the stored form loads) and splits text into
// tokens with GetToken; token values map to display styles in the settings.
#pragma once

#include "CharGroup.h"
#include "EdStream.h"
#include "Keywords.h"
#include "SchemeErrors.h"
#include "Settings.h"
#include "StateSet.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Built-in handler numbers as scripts write them.
enum : int32_t {
  hnPascalChar = 0,
  hnWebChar = 1,
  hnOriginalChar = 2,
  hnStdIdentifier = 10,
  hnStdNumberOrFp = 11,
  hnStdPascalString = 12,
  hnStdCString = 13,
  hnStdCChar = 14,
  hnStdCNumberOrFpSigned = 15,
  hnStdNumber = 16,
  hnStdMailUrl = 17,
  hnStdHtmlString = 18,
  hnStdJsLineComment = 19,
  hnStdCStringSq = 20,
};
constexpr int kBuiltinHandlerCount = 14;

struct TSM_HandlerRef {
  bool Custom = false; // custom: passed to OnCustomParse
  int32_t Number = 0;
  bool operator==(const TSM_HandlerRef &) const = default;
};

// Start part or body part of a token definition.
struct TSM_Part {
  uint8_t Flag = 0;   // body part: early-end flag (the end may follow at once)
  uint16_t Group = 0; // group index when not a handler
  bool IsHandler = false;
  TSM_HandlerRef Handler;
  bool operator==(const TSM_Part &) const = default;
};

struct TSM_EndPart {
  bool IncludeEnd = false; // matched end characters belong to the token
  bool IsHandler = false;
  TSM_HandlerRef Handler;
  uint8_t Count = 0;                // 0..4 groups; an empty sequence matches at once
  std::array<uint16_t, 4> Groups{}; // matched one character each, in order
  bool operator==(const TSM_EndPart &) const = default;
};

struct TSM_TokenDef {
  TSM_Part Start;
  TStateSet Valid;
  TSM_Part Body;
  TSM_EndPart End;
  uint8_t Token = 0;
  bool operator==(const TSM_TokenDef &) const = default;
};

struct TSM_HandlerEntry {
  TSM_Part Body;
  TSM_EndPart End;
  bool operator==(const TSM_HandlerEntry &) const = default;
};

struct TSM_RangeEntry {
  uint16_t Low = 0, High = 0;
  int32_t Def = -1; // index into the table's Defs
};

// A start table: a definition per first character, plus ranges above 255.
struct TSM_StartTable {
  TSM_StartTable() { Entry.fill(-1); }
  std::array<int32_t, 256> Entry; // index into Defs, -1 none
  std::vector<TSM_TokenDef> Defs;
  std::vector<TSM_RangeEntry> Ranges;
  // The table's otherwise token (script: a start of ''), index into Defs or
  // -1: where nothing else is a token in these states, it is taken without a
  // character, its transition changes the states and the position is read again.
  int32_t Otherwise = -1;
  const TSM_TokenDef *OtherwiseDef() const {
    return static_cast<size_t>(Otherwise) < Defs.size() ? &Defs[Otherwise] : nullptr;
  }
  // An index that names no definition (only a damaged table has one) finds nothing.
  const TSM_TokenDef *Find(unsigned c) const {
    if (c < 256)
      return static_cast<size_t>(Entry[c]) < Defs.size() ? &Defs[Entry[c]] : nullptr;
    for (const TSM_RangeEntry &r : Ranges)
      if (c >= r.Low && c <= r.High)
        return static_cast<size_t>(r.Def) < Defs.size() ? &Defs[r.Def] : nullptr;
    return nullptr;
  }
};

// Stack operation bits of a transition.
constexpr uint8_t soPushBefore = 1, soPopBefore = 2, soPushAfter = 4, soPopAfter = 8;

struct TSM_Transition {
  TStateSet Valid; // the token value is accepted only in these states
  TStateSet Enter;
  TStateSet Leave;
  bool Container = false;
  bool NoChange = true; // enter and leave both empty
  uint8_t StackOps = 0;
  // Whether taking the transition in the states cur leaves them as they are:
  // it touches no stack and enters only states cur has, leaves only ones it lacks.
  bool Idle(const TStateSet &cur) const {
    return StackOps == 0 && (NoChange || (Enter.Within(cur) && !Leave.Intersects(cur)));
  }
  bool operator==(const TSM_Transition &) const = default;
};

class TSyntaxMemoParser;
// (parser, handler number, source, token length in/out) -> accepted
using TCustomParseEvent = std::function<bool(TSyntaxMemoParser &, int, TEdStream &, int &)>;
// Called once per editor control the parser has not served before.
using TEditorRegisterEvent = std::function<void(TSyntaxMemoParser &, void *)>;

class TSyntaxMemoParser {
public:
  TSyntaxMemoParser();
  ~TSyntaxMemoParser();
  TSyntaxMemoParser(const TSyntaxMemoParser &) = delete;
  TSyntaxMemoParser &operator=(const TSyntaxMemoParser &) = delete;

  // --- scanning -----------------------------------------------------------
  // A negative context (the start of the text, no token before it) gives the
  // start set.
  void Reset(int contextToken);
  // Reads one token (at least one character) and returns its value; the
  // source is left after it and length holds its length.
  int GetToken(void *editor, TEdStream &src, int &length);
  bool InBoundState() const { return Current.Intersects(BoundSet); }
  const TStateSet &CurrentStates() const { return Current; }

  // --- compiling ----------------------------------------------------------
  // Compile a script file (includes relative to its folder) or a text. Raise
  // ESyntaxMemoParserError with the compiler's message; the tables are then
  // half-filled until the next compile or load.
  void CompileFile(const std::string &path);
  void CompileText(const std::string &text, const std::string &folder = ".");
  int LastLine() const { return LastLine_; }
  int LastColumn() const { return LastColumn_; }
  // The entry a failed compile was reading ("%%Tokens - 5"), empty otherwise.
  const std::string &LastEntry() const { return LastEntry_; }

  // After the component's properties are loaded: compiles Script when
  // AutoScriptUpdate is set, then lets every registered editor re-apply it.
  void Loaded();
  // Raises the options dialog through OnModifyProperties; when it reports OK
  // every registered editor re-applies the parser.
  bool ModifyProperties();

  // Frees every table and restores the created state.
  void ClearTables();
  // Re-derives what the tables imply (per-state table use, the user keyword
  // table, the start table); call after filling tables directly.
  void TablesLoaded();

  // --- properties ---------------------------------------------------------
  std::string Name = "SyntaxMemoParser1"; // component name, for messages
  std::string Script;
  bool AutoScriptUpdate = false;
  bool UseRegistry = false;
  std::string RegistryKey;
  bool DesignMode = false; // custom handlers do not accept in design mode
  TCustomParseEvent OnCustomParse;
  TEditorRegisterEvent OnRegisterEditor;
  // Called for each registered editor when the tables or settings changed.
  TEditorRegisterEvent OnApplyToEditor;
  // The editor-options dialog: edits Settings, returns true on OK.
  std::function<bool(TSyntaxMemoParser &)> OnModifyProperties;
  void UnregisterEditor(void *editor);
  const std::vector<void *> &Editors() const { return Editors_; }

  // --- tables (filled by the compiler and by the stored form) -------------
  TSM_Settings Settings;
  TSM_CharGroupManager Groups;
  TSyntaxKeywords Keywords;
  std::array<std::optional<TSM_HandlerEntry>, 256> Handlers;
  TSM_StartTable DefaultTable;
  std::array<std::unique_ptr<TSM_StartTable>, 256> StateTables;
  TStateSet StatesWithTables;
  std::array<std::optional<TSM_Transition>, 256> Transitions;
  std::array<TStateSet, 256> ContextStates; // equal to StartSet where not given
  TStateSet AnchorSet, BoundSet, StartSet;
  bool UsesCustomHandlers = false;

  // Built-in handler routine: (parser, source, length in/out) -> accepted.
  using THandlerProc = bool (*)(TSyntaxMemoParser &, TEdStream &, int &);
  static const std::array<THandlerProc, kBuiltinHandlerCount> BuiltinHandlers;
  // First characters of the whole-token handlers 10..20 (entries 3..13).
  static TSM_CharGroup HandlerStartGroup(int number);

private:
  friend class TStoredParser;
  friend class TSchemeSections;

  void SelectStartTable();
  // True when the current set changed.
  bool ApplyTransition(const TSM_Transition &t);
  bool CallHandler(const TSM_HandlerRef &h, bool wholeToken, TEdStream &src, int &length);
  bool RunBodyEnd(const TSM_Part &body, const TSM_EndPart &end, bool handlerEntry, TEdStream &src,
                  int &length);
  bool MatchEnd(const TSM_EndPart &end, TEdStream &src, int &length);
  // Whether a token must reach its end part to be one: the end's characters
  // belong to it and the end of the text cannot stand for them.
  bool EndRequired(const TSM_EndPart &end) const;
  // Takes the current table's otherwise token when it is valid here; true
  // when its transition changed the current set, so the position is read again.
  bool TakeOtherwise();
  void NoteEditor(void *editor);

  // Scanning state.
  TStateSet Current;
  std::vector<TStateSet> Stack;
  const TSM_StartTable *Table = &DefaultTable;
  bool UseStateTables = false;
  bool BoundMode = false;
  int64_t BoundEnd = 0;
  int BoundToken = 0;
  TStateSet BoundSaved;
  void *LastEditor = nullptr;
  std::vector<void *> Editors_;
  int LastLine_ = 0, LastColumn_ = 0;
  std::string LastEntry_;
};

// Most sets pushed on the state stack; deeper pushes are dropped so that a
// scheme that pushes on every token cannot exhaust memory on a large text.
constexpr size_t kMaxStateStack = 1024;
// Most otherwise tokens taken before one real token: tables whose otherwise
// tokens lead back to each other cannot make a scan run in circles.
constexpr int kMaxOtherwiseSteps = 16;
