// The runtime tokenizer: keyword trie, user keywords, handler extension,
// start tables, the body/end loop, transitions and bound mode.
#include "SyntaxMemoParser.h"

#include <algorithm>

TSyntaxMemoParser::TSyntaxMemoParser() {
  ClearTables();
}
TSyntaxMemoParser::~TSyntaxMemoParser() = default;

void TSyntaxMemoParser::ClearTables() {
  Settings.Clear();
  Groups.Clear();
  Keywords.Clear();
  Keywords.SetCaseSensitive(false);
  for (auto &h : Handlers)
    h.reset();
  DefaultTable = TSM_StartTable();
  for (auto &t : StateTables)
    t.reset();
  StatesWithTables = TStateSet();
  for (auto &t : Transitions)
    t.reset();
  StartSet = TStateSet::Of(0);
  AnchorSet = TStateSet();
  BoundSet = TStateSet();
  ContextStates.fill(StartSet);
  UsesCustomHandlers = false;
  UseStateTables = false;
  Current = StartSet;
  Stack.clear();
  BoundMode = false;
  Table = &DefaultTable;
}

void TSyntaxMemoParser::TablesLoaded() {
  // A state named as having a table but without one uses the default table.
  for (int s = 0; s < 256; ++s)
    if (StatesWithTables.Has(s) && !StateTables[s])
      StatesWithTables.Exclude(s);
  UseStateTables = !StatesWithTables.Empty();
  Settings.RebuildUserKeywords(Keywords.IsCaseSensitive());
  Current = StartSet;
  Stack.clear();
  BoundMode = false;
  SelectStartTable();
}

void TSyntaxMemoParser::SelectStartTable() {
  Table = &DefaultTable;
  if (UseStateTables) {
    const int s = (StatesWithTables & Current).Lowest();
    if (s >= 0 && StateTables[s])
      Table = StateTables[s].get();
  }
  if (Settings.UserKeywords)
    Settings.UserKeywords->CurrentStates = Current;
}

void TSyntaxMemoParser::Reset(int contextToken) {
  Current = StartSet;
  if (contextToken >= 0 && contextToken < 256 && !ContextStates[contextToken].Empty())
    Current = ContextStates[contextToken];
  BoundMode = false;
  Stack.clear();
  Stack.shrink_to_fit();
  SelectStartTable();
}

void TSyntaxMemoParser::Loaded() {
  if (AutoScriptUpdate && !Script.empty())
    CompileFile(Script);
  if (OnApplyToEditor)
    for (void *e : std::vector<void *>(Editors_))
      OnApplyToEditor(*this, e);
}

bool TSyntaxMemoParser::ModifyProperties() {
  if (!OnModifyProperties || !OnModifyProperties(*this))
    return false;
  // The user may have changed the keyword tables for the user.
  Settings.RebuildUserKeywords(Keywords.IsCaseSensitive());
  SelectStartTable();
  if (OnApplyToEditor)
    for (void *e : std::vector<void *>(Editors_))
      OnApplyToEditor(*this, e);
  return true;
}

void TSyntaxMemoParser::NoteEditor(void *editor) {
  LastEditor = editor;
  if (!editor || std::find(Editors_.begin(), Editors_.end(), editor) != Editors_.end())
    return;
  Editors_.push_back(editor);
  if (OnRegisterEditor)
    OnRegisterEditor(*this, editor);
}

void TSyntaxMemoParser::UnregisterEditor(void *editor) {
  Editors_.erase(std::remove(Editors_.begin(), Editors_.end(), editor), Editors_.end());
  if (LastEditor == editor)
    LastEditor = nullptr;
}

bool TSyntaxMemoParser::CallHandler(const TSM_HandlerRef &h, bool wholeToken, TEdStream &src,
                                    int &length) {
  if (h.Custom) {
    if (!OnCustomParse || DesignMode)
      return false;
    return OnCustomParse(*this, h.Number, src, length);
  }
  const int32_t entry = wholeToken ? h.Number - 7 : h.Number;
  if (entry < 0 || entry >= kBuiltinHandlerCount || (wholeToken && entry < 3))
    return false;
  return BuiltinHandlers[entry](*this, src, length);
}

bool TSyntaxMemoParser::MatchEnd(const TSM_EndPart &end, TEdStream &src, int &length) {
  const int64_t before = src.Position();
  if (end.IsHandler) {
    if (CallHandler(end.Handler, false, src, length) && src.Position() >= before)
      return true;
    src.SetPosition(before);
    return false;
  }
  const int n = std::min<int>(end.Count, 4);
  for (int k = 0; k < n; ++k) {
    if (src.AtEnd() || !Groups.Get(end.Groups[k]).Contains(src.Current())) {
      src.SetPosition(before);
      return false;
    }
    src.Advance();
  }
  if (!end.IncludeEnd)
    src.SetPosition(before);
  return true;
}

bool TSyntaxMemoParser::EndRequired(const TSM_EndPart &end) const {
  // The end of the text counts as character 0, which a negated class holds.
  return !end.IsHandler && end.IncludeEnd && end.Count > 0 &&
         !Groups.Get(end.Groups[0]).Contains(0);
}

namespace {

// The common shape of a token's rest (a group body, a one-group end): the
// steps of the general loop in RunBodyEnd, with the run of body characters
// that are no end character taken in one sweep over the text. Inline where
// tokens are read: it runs for most tokens.
inline bool IsSimpleBodyEnd(const TSM_Part &body, const TSM_EndPart &end) {
  return !body.IsHandler & !end.IsHandler & (end.Count == 1);
}

inline bool RunSimpleBodyEnd(const TSM_CharGroupManager &groups, const TSM_Part &body,
                             const TSM_EndPart &end, TEdStream &src) {
  const TSM_CharGroup &bodyGroup = groups.Get(body.Group);
  const TSM_CharGroup &endGroup = groups.Get(end.Groups[0]);
  // At the end of the text: a token whose end belongs to it and cannot be
  // the end of the text (see EndRequired) is no token.
  const bool atEndOk = !(end.IncludeEnd & !endGroup.Contains(0));
  if (!body.Flag) { // the first body character comes before any end
    if (src.AtEnd())
      return atEndOk;
    if (!bodyGroup.Contains(src.Current()))
      return false;
    src.Advance();
  }
  // Body characters that are no end character, as one set: one bit test a
  // character and no branch but the loop's own.
  uint64_t keep[4];
  for (int i = 0; i < 4; ++i)
    keep[i] = bodyGroup.Bits[i] & ~endGroup.Bits[i];
  src.AdvanceWhile([&](unsigned char c) { return (keep[c >> 6] >> (c & 63)) & 1; });
  if (src.AtEnd())
    return atEndOk;
  if (!endGroup.Contains(src.Current()))
    return false;
  if (end.IncludeEnd)
    src.Advance();
  return true;
}

} // namespace

bool TSyntaxMemoParser::RunBodyEnd(const TSM_Part &body, const TSM_EndPart &end, bool handlerEntry,
                                   TEdStream &src, int &length) {
  if (IsSimpleBodyEnd(body, end))
    return RunSimpleBodyEnd(Groups, body, end, src);
  const TSM_CharGroup &bodyGroup = Groups.Get(body.Group);
  const bool simpleEnd = !end.IsHandler && end.Count == 1;
  const TSM_CharGroup &endGroup = Groups.Get(end.Groups[0]);
  bool first = !body.Flag;
  for (;;) {
    if (!first) {
      if (simpleEnd) {
        if (!src.AtEnd() && endGroup.Contains(src.Current())) {
          if (end.IncludeEnd)
            src.Advance();
          return true;
        }
      } else if (MatchEnd(end, src, length))
        return true;
    }
    first = false;
    // The text ends before the end part: the token ends here, unless its end
    // belongs to it and cannot be the end of the text (a label's ":", a
    // closing quote): a token that needs its end is not one without it.
    if (src.AtEnd())
      return !EndRequired(end);
    if (!body.IsHandler) {
      if (!bodyGroup.Contains(src.Current()))
        return false;
      src.Advance();
      continue;
    }
    const int64_t before = src.Position();
    const int32_t n = body.Handler.Number;
    const bool whole = handlerEntry && !body.Handler.Custom && n >= 10 && n <= 20;
    if (!CallHandler(body.Handler, whole, src, length)) {
      src.SetPosition(before);
      return false;
    }
    if (src.Position() < before)
      return false;
    // A step that accepts without consuming would never end.
    if (src.Position() == before || whole || (!handlerEntry && body.Handler.Custom))
      return true;
  }
}

int TSyntaxMemoParser::GetToken(void *editor, TEdStream &src, int &length) {
  if (editor != LastEditor)
    NoteEditor(editor);
  const int64_t start = src.Position();
  if (src.AtEnd()) {
    length = 0;
    return 0;
  }
  const unsigned char c = src.Current();
  int otherwiseSteps = 0;
scan: // read again after an otherwise token changed the states
  int len = 0;
  int value = Keywords.Match(src, Current, Groups, len);
  bool fromUser = false;
  bool ok = value >= 0;
  if (!ok && Settings.UserKeywords) {
    value = Settings.UserKeywords->Match(src, Current, Settings.UserGroups, len);
    fromUser = ok = value >= 0;
  }
  if (ok) {
    if (const auto &h = Handlers[value])
      ok = IsSimpleBodyEnd(h->Body, h->End) ? RunSimpleBodyEnd(Groups, h->Body, h->End, src)
                                            : RunBodyEnd(h->Body, h->End, true, src, len);
  } else if (const TSM_TokenDef *d = Table->Find(c); d && d->Valid.Intersects(Current)) {
    value = d->Token;
    if (d->Start.IsHandler) {
      len = 0;
      ok = CallHandler(d->Start.Handler, true, src, len);
    } else {
      src.Advance();
      len = 1;
      ok = IsSimpleBodyEnd(d->Body, d->End) ? RunSimpleBodyEnd(Groups, d->Body, d->End, src)
                                            : RunBodyEnd(d->Body, d->End, false, src, len);
    }
  }
  const TSM_Transition *t = ok ? (Transitions[value] ? &*Transitions[value] : nullptr) : nullptr;
  if (ok && t && !fromUser && !t->Valid.Intersects(Current))
    ok = false;
  if (ok && src.Position() <= start)
    ok = false;
  if (!ok && otherwiseSteps < kMaxOtherwiseSteps && TakeOtherwise()) {
    ++otherwiseSteps;
    src.SetPosition(start);
    goto scan;
  }
  if (!ok) {
    // One character of the default token. Straight there: going back to
    // the start first would, for a token that failed across a line's end,
    // fetch the line before and then the next one again.
    src.SetPosition(start + 1);
    value = 0;
    t = nullptr;
  }
  // The states to return to after a container token's extent; saved only
  // for the token that starts one (nothing else reads them).
  if (!BoundMode && t && t->Container)
    BoundSaved = Current;
  // Most tokens' transitions change nothing: a scheme that leaves a line-start
  // state on every token other than blanks is outside it nearly all the time.
  if (t && !t->Idle(Current))
    ApplyTransition(*t);
  if (BoundMode) {
    if (src.Position() >= BoundEnd || src.AtEnd()) {
      Current = BoundSaved;
      BoundMode = false;
      SelectStartTable();
    }
  } else if (t && t->Container) {
    BoundEnd = src.Position();
    BoundToken = value;
    BoundMode = true;
  }
  length = static_cast<int>(src.Position() - start);
  return value;
}

bool TSyntaxMemoParser::TakeOtherwise() {
  const TSM_TokenDef *d = Table->OtherwiseDef();
  if (!d || !d->Valid.Intersects(Current))
    return false;
  const std::optional<TSM_Transition> &t = Transitions[d->Token];
  if (!t || !t->Valid.Intersects(Current))
    return false;
  return ApplyTransition(*t);
}

bool TSyntaxMemoParser::ApplyTransition(const TSM_Transition &t) {
  if (t.StackOps == 0) { // nearly every transition: states entered and left only
    if (t.NoChange)
      return false;
    TStateSet next = Current | t.Enter;
    next -= t.Leave;
    if (next == Current)
      return false;
    Current = next;
    SelectStartTable();
    return true;
  }
  const TStateSet before = Current;
  auto push = [&] {
    if (Stack.size() < kMaxStateStack)
      Stack.push_back(Current);
  };
  auto pop = [&] {
    // A pop with nothing pushed leaves the set as it is.
    if (!Stack.empty()) {
      Current = Stack.back();
      Stack.pop_back();
    }
  };
  if (t.StackOps & soPopBefore)
    pop();
  else if (t.StackOps & soPushBefore)
    push();
  if (!t.NoChange) {
    Current |= t.Enter;
    Current -= t.Leave;
  }
  if (t.StackOps & soPopAfter)
    pop();
  else if (t.StackOps & soPushAfter)
    push();
  // A line break after a line break changes nothing: keep the table.
  if (Current == before)
    return false;
  SelectStartTable();
  return true;
}
