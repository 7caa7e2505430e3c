// Editor settings carried by a scheme.
#include "Settings.h"

void TSM_Settings::Clear() {
  ExampleText.clear();
  LanguageName.clear();
  ThirdString = ">|:";
  Options = kDefaultOptions;
  Numeric = {2,          80,         0, 34, 8, 0x00FFFFFF, static_cast<int32_t>(0x8000000F),
             0x00FFFFFF, 0x00682400, 8};
  Styles.fill(TSM_StyleRecord{});
  TokenStyle.fill(-1);
  EditableStyles.clear();
  TabColumns.fill(-1);
  FontName = "Courier New";
  FontSize = 10;
  Flags = {1, 0, 0, 0, 0};
  KwTables.clear();
  AutoReplace.clear();
  Templates.clear();
  KeyMap = TSM_KeyMapData{};
  GutterFont = TSM_GutterFont{};
  UserKeywords.reset();
  UserGroups.Clear();
}

size_t TSM_Settings::StyleCount() const {
  size_t n = 0;
  for (const TSM_StyleRecord &s : Styles)
    n += s.InUse != 0;
  return n;
}

void TSM_Settings::RebuildUserKeywords(bool caseSensitive) {
  UserKeywords.reset();
  UserGroups.Clear();
  if (KwTables.empty())
    return;
  auto kw = std::make_unique<TSyntaxKeywords>(caseSensitive);
  for (const TSM_KwTableDef &t : KwTables) {
    std::vector<TSM_CharGroup> g;
    uint16_t term = 0;
    if (ParseCharSpec(t.Terminator, g) && g.size() == 1)
      term = UserGroups.Intern(g[0]);
    TStateSet states = t.States.Empty() ? TStateSet::Of(0) : t.States;
    for (const auto &[word, token] : t.Words)
      kw->AddWord(word, term, states,
                  static_cast<uint8_t>(token)); // a repeated word keeps its first value
  }
  if (kw->WordCount())
    UserKeywords = std::move(kw);
}
