// The stored scheme form: write/read/write gives identical bytes, every table
// survives, version 50 and the version error, and refusal of damaged streams.
#include "StoredParser.h"

#include "Compressor.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TSM_CharGroup GroupOf(const std::string &chars) {
  TSM_CharGroup g;
  for (unsigned char c : chars)
    g.Add(c);
  return g;
}

TSM_TokenDef Def(TSyntaxMemoParser &p, const std::string &start, const std::string &body,
                 const std::string &end, uint8_t token) {
  TSM_TokenDef d;
  d.Start.Group = p.Groups.Intern(GroupOf(start));
  d.Valid = TStateSet::Of(0);
  d.Body.Group = p.Groups.Intern(GroupOf(body));
  d.Body.Flag = 1;
  d.End.Count = 1;
  d.End.Groups[0] = p.Groups.Intern(GroupOf(end));
  d.Token = token;
  return d;
}

void Put(TSM_StartTable &t, const std::string &chars, const TSM_TokenDef &d) {
  t.Defs.push_back(d);
  for (unsigned char c : chars)
    t.Entry[c] = static_cast<int32_t>(t.Defs.size() - 1);
}

void SetOtherwise(TSM_StartTable &t, uint8_t token, const TStateSet &valid) {
  TSM_TokenDef d;
  d.Valid = valid;
  d.Token = token;
  t.Defs.push_back(d);
  t.Otherwise = static_cast<int32_t>(t.Defs.size() - 1);
}

// A parser with something in every table and every settings field.
void FillRich(TSyntaxMemoParser &p) {
  p.Name = "RICH";
  TSM_Settings &s = p.Settings;
  s.ExampleText = "FOR I = 1 TO 10\r\nNEXT";
  s.LanguageName = "Rich";
  s.Options = 0x03FFDBF0;
  s.Numeric = {4,          72,         60, 40, 8, 0x00112233, static_cast<int32_t>(0x8000000F),
               0x00FFFFFF, 0x00682400, 3};
  s.Styles[0] = {0, 0, 0x00FFFFFF, false, false, false, 1};
  s.Styles[3] = {fsBoldBit | fsUnderlineBit,
                 0x000000FF,
                 static_cast<int32_t>(0x80000005),
                 true,
                 false,
                 true,
                 1};
  s.Styles[200] = {fsStrikeoutBit, 0x00123456, 0, false, true, false, 1};
  s.TokenStyle[1] = 3;
  s.TokenStyle[7] = 200;
  s.TokenStyle[255] = 0;
  s.EditableStyles = {{"Default text", 0}, {"Keyword", 3}};
  s.TabColumns[0] = 4;
  s.TabColumns[1] = 8;
  s.FontName = "Courier New";
  s.FontSize = 11;
  s.Flags = {1, 1, 0, 0, 7};
  TSM_KwTableDef kw;
  kw.States = TStateSet::Of(0);
  kw.Terminator = "[^A-Za-z0-9_]";
  kw.Flag = 1;
  kw.Words = {{"myproc", 7}, {"other", 9}};
  s.KwTables = {kw};
  s.AutoReplace = {{"teh", "the"}, {"adn", "and"}};
  s.Templates = {{"for", "FOR loop", "FOR | = 0 TO 10\r\n\r\nNEXT"}};
  s.KeyMap.Commands = {{0, "Cursor left"}, {41, "Undo"}};
  s.KeyMap.Bindings = {{37, 0, 0}, {scCtrl | 'K', 'U', 41}};
  s.GutterFont = {"Arial", 9, 0, 0x00808080, fsItalicBit};

  p.Keywords.SetCaseSensitive(false);
  const uint16_t term = p.Groups.Intern(GroupOf(" \t\r\n"));
  p.Keywords.AddWord("for", term, TStateSet::Of(0), 7);
  p.Keywords.AddWord("format", term, TStateSet::Of(0), 8);
  p.Keywords.AddWord("endasm", 0, TStateSet::Of(2), 40);
  TStateSet both = TStateSet::Of(0);
  both.Include(2);
  p.Keywords.AddWord("rem", term, both, 19);

  TSM_HandlerEntry h;
  h.Body.Group = p.Groups.Intern(GroupOf("abc"));
  h.Body.Flag = 1;
  h.End.IsHandler = true;
  h.End.Handler = {true, 3};
  p.Handlers[19] = h;
  TSM_HandlerEntry h2;
  h2.Body.IsHandler = true;
  h2.Body.Handler = {false, 2};
  h2.End.IncludeEnd = true;
  h2.End.Count = 2;
  h2.End.Groups[0] = p.Groups.Intern(GroupOf("*"));
  h2.End.Groups[1] = p.Groups.Intern(GroupOf(")"));
  p.Handlers[20] = h2;

  Put(p.DefaultTable, "0123456789", Def(p, "0123456789", "0123456789", " ", 3));
  TSM_TokenDef id;
  id.Start.IsHandler = true;
  id.Start.Handler = {false, hnStdIdentifier};
  id.Valid = TStateSet::Of(0);
  id.Token = 6;
  Put(p.DefaultTable, "ABCDEFGHIJKLMNOPQRSTUVWXYZ_", id);
  TSM_TokenDef str = Def(p, "\"", "abcdefghijklmnopqrstuvwxyz ", "\"", 2);
  str.End.IncludeEnd = true;
  str.End.Count = 0;
  Put(p.DefaultTable, "\"", str);

  auto table = std::make_unique<TSM_StartTable>();
  Put(*table, ";", Def(p, ";", "abcdefghijklmnopqrstuvwxyz ", "\r\n", 30));
  Put(*table, "0123456789", Def(p, "0123456789", "0123456789ABCDEF", " ", 34));
  table->Defs.push_back(Def(p, "x", "y", "z", 50));
  table->Ranges.push_back({0x100, 0x17F, static_cast<int32_t>(table->Defs.size() - 1)});
  p.StateTables[2] = std::move(table);
  p.StateTables[5] = std::make_unique<TSM_StartTable>(); // a state with an empty table
  Put(*p.StateTables[5], "!", Def(p, "!", "", "", 51));
  p.StatesWithTables.Include(2);
  p.StatesWithTables.Include(5);
  // Otherwise tokens in the default table and in state 2's, none in state 5's.
  SetOtherwise(p.DefaultTable, 60, TStateSet::Of(0));
  SetOtherwise(*p.StateTables[2], 61, TStateSet::Of(0) | TStateSet::Of(2));

  TSM_Transition enterAsm;
  enterAsm.Valid = TStateSet::Of(0);
  enterAsm.Enter = TStateSet::Of(2);
  enterAsm.Leave = TStateSet::Of(0);
  enterAsm.NoChange = false;
  enterAsm.StackOps = soPushBefore;
  p.Transitions[16] = enterAsm;
  TSM_Transition container;
  container.Valid = TStateSet::Of(2);
  container.Container = true;
  container.StackOps = soPopAfter;
  p.Transitions[40] = container;

  p.StartSet = TStateSet::Of(0);
  p.StartSet.Include(1);
  p.ContextStates.fill(p.StartSet);
  p.ContextStates[30] = TStateSet::Of(2);
  p.ContextStates[31] = TStateSet::Of(2);
  p.AnchorSet = TStateSet::Of(1);
  p.BoundSet = TStateSet::Of(2);
  p.UsesCustomHandlers = true;
  p.TablesLoaded();
}

std::string Tables(const TSyntaxMemoParser &p, int version = kStoredParserVersion) {
  TMemoryStream m;
  TStoredParser::WriteTables(p, m, version);
  return m.Bytes();
}

// A stored form around a table stream, as an older or newer writer would make it.
std::string Wrap(const std::string &tables, uint16_t version) {
  TMemoryStream out;
  kxio::WriteU16(out, version);
  kxio::WriteI32(out, static_cast<int32_t>(tables.size()));
  out.Bytes() += TCompressor::Pack(tables, TCompressor::cmBlock);
  return out.Bytes();
}

std::string LoadError(const std::string &stored) {
  TSyntaxMemoParser p;
  p.Name = "TARNIC";
  try {
    TStoredParser::Load(p, stored);
  } catch (const ESyntaxMemoParserError &e) {
    EXPECT_EQ(p.Keywords.WordCount(), 0u) << "tables left half-filled";
    EXPECT_EQ(p.Settings.LanguageName, "");
    return e.what();
  }
  return "<loaded>";
}

} // namespace

TEST(StoredParser, WriteReadWriteGivesIdenticalBytesAndEqualTables) {
  TSyntaxMemoParser a;
  FillRich(a);
  const std::string stored = TStoredParser::Store(a);
  ASSERT_EQ(stored.substr(0, 2), std::string("\x33\x00", 2)); // version 51
  EXPECT_EQ(stored.substr(6, 4), "WRZL");
  const int32_t tableLength =
      static_cast<uint8_t>(stored[2]) | (static_cast<uint8_t>(stored[3]) << 8);
  EXPECT_EQ(static_cast<size_t>(tableLength), Tables(a).size());

  TSyntaxMemoParser b;
  b.Name = "COPY";
  ASSERT_TRUE(TStoredParser::Load(b, stored));
  EXPECT_EQ(TStoredParser::Store(b), stored);

  const TSM_Settings &s = b.Settings;
  EXPECT_EQ(s.ExampleText, a.Settings.ExampleText);
  EXPECT_EQ(s.LanguageName, "Rich");
  EXPECT_EQ(s.ThirdString, ">|:");
  EXPECT_EQ(s.Options, 0x03FFDBF0);
  EXPECT_EQ(s.Numeric, a.Settings.Numeric);
  EXPECT_EQ(s.Styles, a.Settings.Styles);
  EXPECT_EQ(s.TokenStyle, a.Settings.TokenStyle);
  EXPECT_EQ(s.EditableStyles, a.Settings.EditableStyles);
  EXPECT_EQ(s.TabColumns, a.Settings.TabColumns);
  EXPECT_EQ(s.FontName, "Courier New");
  EXPECT_EQ(s.FontSize, 11);
  EXPECT_EQ(s.Flags, a.Settings.Flags);
  EXPECT_EQ(s.KwTables, a.Settings.KwTables);
  EXPECT_EQ(s.AutoReplace, a.Settings.AutoReplace);
  EXPECT_EQ(s.Templates, a.Settings.Templates);
  EXPECT_EQ(s.KeyMap, a.Settings.KeyMap);
  EXPECT_EQ(s.GutterFont, a.Settings.GutterFont);
  ASSERT_TRUE(s.UserKeywords); // rebuilt from the keyword tables after loading

  EXPECT_FALSE(b.Keywords.IsCaseSensitive());
  ASSERT_EQ(b.Keywords.WordCount(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    const TSM_Word &x = a.Keywords.WordList()[i], &y = b.Keywords.WordList()[i];
    EXPECT_EQ(y.Word, x.Word);
    EXPECT_EQ(y.States, x.States);
    EXPECT_EQ(y.Token, x.Token);
    EXPECT_EQ(b.Groups.Get(y.Terminator), a.Groups.Get(x.Terminator));
  }
  for (int v = 0; v < 256; ++v) {
    ASSERT_EQ(b.Handlers[v].has_value(), a.Handlers[v].has_value()) << v;
    ASSERT_EQ(b.Transitions[v], a.Transitions[v]) << v;
    EXPECT_EQ(b.ContextStates[v], a.ContextStates[v]) << v;
  }
  EXPECT_EQ(b.Handlers[19]->End, a.Handlers[19]->End);
  EXPECT_EQ(b.Handlers[20]->Body.Handler, a.Handlers[20]->Body.Handler);
  for (unsigned c = 0; c < 256; ++c) {
    const TSM_TokenDef *x = a.DefaultTable.Find(c), *y = b.DefaultTable.Find(c);
    ASSERT_EQ(x == nullptr, y == nullptr) << c;
    if (x) {
      EXPECT_EQ(y->Token, x->Token);
      EXPECT_EQ(y->Start.Handler, x->Start.Handler);
      EXPECT_EQ(b.Groups.Get(y->Body.Group), a.Groups.Get(x->Body.Group));
    }
  }
  EXPECT_EQ(b.StatesWithTables, a.StatesWithTables);
  ASSERT_TRUE(b.StateTables[2] && b.StateTables[5]);
  ASSERT_EQ(b.StateTables[2]->Ranges.size(), 1u);
  EXPECT_EQ(b.StateTables[2]->Find(0x120)->Token, 50);
  EXPECT_EQ(b.StateTables[2]->Find(';')->Token, 30);
  EXPECT_EQ(b.StateTables[5]->Find('!')->Token, 51);
  const std::pair<const TSM_StartTable *, const TSM_StartTable *> tables[] = {
      {&a.DefaultTable, &b.DefaultTable},
      {a.StateTables[2].get(), b.StateTables[2].get()},
      {a.StateTables[5].get(), b.StateTables[5].get()}};
  for (const auto &[x, y] : tables) {
    ASSERT_EQ(y->OtherwiseDef() == nullptr, x->OtherwiseDef() == nullptr);
    if (x->OtherwiseDef()) {
      EXPECT_EQ(y->OtherwiseDef()->Token, x->OtherwiseDef()->Token);
      EXPECT_EQ(y->OtherwiseDef()->Valid, x->OtherwiseDef()->Valid);
    }
  }
  // Otherwise tokens are no first characters.
  for (unsigned c = 0; c < 256; ++c) {
    const TSM_TokenDef *d = b.StateTables[2]->Find(c);
    EXPECT_TRUE(!d || d->Token != 61) << c;
  }
  EXPECT_EQ(b.AnchorSet, a.AnchorSet);
  EXPECT_EQ(b.BoundSet, a.BoundSet);
  EXPECT_EQ(b.StartSet, a.StartSet);
  EXPECT_TRUE(b.UsesCustomHandlers);
}

TEST(StoredParser, GroupsAreInternedOnRead) {
  TSyntaxMemoParser a;
  FillRich(a);
  TSyntaxMemoParser b;
  TStoredParser::Load(b, TStoredParser::Store(a));
  // Every distinct group once: as many as the writer's manager holds.
  EXPECT_EQ(b.Groups.Count(), a.Groups.Count());
  for (size_t i = 0; i < b.Groups.Count(); ++i)
    for (size_t j = i + 1; j < b.Groups.Count(); ++j)
      EXPECT_FALSE(b.Groups.Groups[i] == b.Groups.Groups[j]) << i << " " << j;
  // The ten digit entries of the default table share one body group.
  EXPECT_EQ(b.DefaultTable.Find('0')->Body.Group, b.DefaultTable.Find('9')->Body.Group);
}

TEST(StoredParser, EmptyParserRoundTripsAndWritesZeroStateTables) {
  TSyntaxMemoParser a;
  const std::string tables = Tables(a);
  // ... state tables count, then anchor, bound and start sets, then the custom flag.
  const size_t tail = 4 + 3 * 32 + 1;
  ASSERT_GT(tables.size(), tail);
  EXPECT_EQ(tables.substr(tables.size() - tail, 4), std::string(4, '\0'));
  TSyntaxMemoParser b;
  TStoredParser::Load(b, TStoredParser::Store(a));
  EXPECT_EQ(Tables(b), tables);
}

TEST(StoredParser, ContextEntriesEqualToTheStartSetAreNotWrittenAndReadBackAsIt) {
  TSyntaxMemoParser a;
  FillRich(a);
  const std::string before = Tables(a);
  a.ContextStates[99] = a.StartSet; // explicitly equal: nothing more is written
  EXPECT_EQ(Tables(a), before);
  TSyntaxMemoParser b;
  TStoredParser::Load(b, TStoredParser::Store(a));
  // The start set ({0,1}) comes after the context table in the stream.
  EXPECT_EQ(b.ContextStates[99], a.StartSet);
  EXPECT_EQ(b.ContextStates[0], a.StartSet);
  EXPECT_EQ(b.ContextStates[30], TStateSet::Of(2));
}

TEST(StoredParser, Version50LoadsWithoutGutterFontAndIsWrittenBackAs51) {
  TSyntaxMemoParser a;
  FillRich(a);
  const std::string v50 = Tables(a, 50);
  EXPECT_LT(v50.size(), Tables(a).size());
  TSyntaxMemoParser b;
  ASSERT_TRUE(TStoredParser::Load(b, Wrap(v50, 50)));
  EXPECT_EQ(b.Settings.GutterFont, TSM_GutterFont{}); // not in the stream: defaults
  EXPECT_EQ(b.Settings.KeyMap, a.Settings.KeyMap);
  EXPECT_EQ(b.StartSet, a.StartSet);

  const std::string back = TStoredParser::Store(b);
  EXPECT_EQ(back.substr(0, 2), std::string("\x33\x00", 2));
  a.Settings.GutterFont = TSM_GutterFont{};
  EXPECT_EQ(back, TStoredParser::Store(a)); // the same as 51 with the default gutter font
}

TEST(StoredParser, OtherVersionsGiveTheVersionErrorInItsThreeForms) {
  TSyntaxMemoParser a;
  FillRich(a);
  const std::string expected49 =
      "TARNIC: DFM file saved by different version of TSyntaxMemoParser.\n\r"
      "Recompile script to update DFM file.\n\r"
      "Expected version was 51 read version was 49";
  for (uint16_t version : {49, 0, 52}) {
    const std::string stored = Wrap(Tables(a), version);
    TSyntaxMemoParser p;
    p.Name = "TARNIC";
    TStoredParserLoad loading;
    loading.Loading = true;
    int events = 0, boxes = 0;
    loading.OnParserVersionError = [&](TSyntaxMemoParser &, int, int) { ++events; };
    try {
      TStoredParser::Load(p, stored, loading);
      ADD_FAILURE() << version;
    } catch (const ESyntaxMemoParserError &e) {
      if (version == 49)
        EXPECT_EQ(e.what(), expected49);
      else
        EXPECT_EQ(e.what(), TStoredParser::VersionMessage("TARNIC", version));
    }
    EXPECT_EQ(events, 0);

    TStoredParserLoad viaEvent;
    viaEvent.OnParserVersionError = [&](TSyntaxMemoParser &q, int read, int wanted) {
      EXPECT_EQ(&q, &p);
      EXPECT_EQ(read, version);
      EXPECT_EQ(wanted, 51);
      ++events;
    };
    viaEvent.ShowInformation = [&](const std::string &) { ++boxes; };
    EXPECT_FALSE(TStoredParser::Load(p, stored, viaEvent));
    EXPECT_EQ(events, 1);
    EXPECT_EQ(boxes, 0);

    TStoredParserLoad viaBox;
    std::string shown;
    viaBox.ShowInformation = [&](const std::string &m) { shown = m; };
    EXPECT_FALSE(TStoredParser::Load(p, stored, viaBox));
    EXPECT_EQ(shown, TStoredParser::VersionMessage("TARNIC", version));
    EXPECT_EQ(p.Keywords.WordCount(), 0u); // the old tables were freed first
  }
}

TEST(StoredParser, DamagedStreamsAreRefusedWithTheComponentName) {
  TSyntaxMemoParser a;
  FillRich(a);
  const std::string stored = TStoredParser::Store(a);
  // Every cut: the version, the length, the compressor's header and blocks.
  for (size_t keep = 0; keep < stored.size(); ++keep) {
    const std::string m = LoadError(stored.substr(0, keep));
    EXPECT_EQ(m.rfind("TARNIC: ", 0), 0u) << keep << ": " << m;
  }
  EXPECT_EQ(LoadError(stored.substr(0, 20)), "TARNIC: Compressor (decompression Compressor/BK) : "
                                             "Original and compressed sizes do not match !");
  std::string badMagic = stored;
  badMagic[6] = 'X';
  EXPECT_EQ(LoadError(badMagic),
            "TARNIC: Compressor decompression : input stream contains no valid header !");

  // A well-compressed table stream that is itself cut short or too long.
  const std::string tables = Tables(a);
  for (size_t keep : {size_t{0}, size_t{3}, tables.size() / 2, tables.size() - 1})
    EXPECT_EQ(LoadError(Wrap(tables.substr(0, keep), 51)), "TARNIC: Stream read error") << keep;
  EXPECT_EQ(LoadError(Wrap(tables + "x", 51)), "TARNIC: Corrupt table stream");
  // A compressed header claiming a gigabyte of tables is refused before decoding.
  std::string huge = Wrap(tables, 51);
  huge[6 + 7] = 0x40;
  EXPECT_EQ(LoadError(huge), "TARNIC: Corrupt table stream");
}

TEST(StoredParser, OtherwiseTokensFollowTheTablesInATaggedBlockOnlyWhenThereAreAny) {
  TSyntaxMemoParser a;
  FillRich(a);
  const std::string with = Tables(a);
  a.DefaultTable.Otherwise = -1;
  a.StateTables[2]->Otherwise = -1;
  const std::string without = Tables(a);
  // Without otherwise tokens the stream ends with the custom-handlers flag, as
  // it always has; with them the block follows it.
  ASSERT_GT(with.size(), without.size());
  EXPECT_EQ(with.substr(0, without.size()), without);
  const size_t block = without.size();
  EXPECT_EQ(with.substr(block, 4), "OTHW");
  EXPECT_EQ(with.substr(block + 4, 4), std::string("\x02\x00\x00\x00", 4));

  // Damaged blocks are refused; the first entry is the default table's.
  auto refused = [&](std::string t) { return LoadError(Wrap(t, 51)); };
  std::string t = with;
  t[block] = 'X';
  EXPECT_EQ(refused(t), "TARNIC: Corrupt table stream") << "tag";
  EXPECT_EQ(refused(without + "OTH"), "TARNIC: Corrupt table stream") << "short tag";
  const size_t second = block + 8 + (with.size() - block - 8) / 2; // entries are equal in size
  ASSERT_EQ(with.substr(second, 2), std::string("\x01\x02", 2));
  t = with;
  t[second + 1] = 7; // state 7 has no table
  EXPECT_EQ(refused(t), "TARNIC: Corrupt table stream") << "no such table";
  t = with;
  t[second] = 0; // the default table twice
  EXPECT_EQ(refused(t), "TARNIC: Corrupt table stream") << "twice";
  EXPECT_EQ(refused(with.substr(0, with.size() - 1)), "TARNIC: Stream read error");
}

TEST(StoredParser, LyingCountsAndLengthsNeverAllocateWildly) {
  TSyntaxMemoParser a;
  FillRich(a);
  const std::string tables = Tables(a);
  // Overwrite each aligned 4 bytes in turn with huge, negative and boundary
  // values; the load must fail cleanly or succeed, never crash or hang.
  std::mt19937 rng(4);
  int loaded = 0, refused = 0;
  for (size_t at = 0; at + 4 <= tables.size(); at += 1 + rng() % 7) {
    for (uint32_t v : {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0x00010000u, 300u}) {
      std::string t = tables;
      for (int i = 0; i < 4; ++i)
        t[at + i] = static_cast<char>(v >> (8 * i));
      TSyntaxMemoParser p;
      try {
        TStoredParser::Load(p, Wrap(t, 51));
        ++loaded;
      } catch (const ESyntaxMemoParserError &) {
        ++refused;
      }
    }
  }
  EXPECT_GT(refused, 0);
}

TEST(StoredParser, DescribeNamesTheTables) {
  TSyntaxMemoParser a;
  FillRich(a);
  const std::string d = TStoredParser::Describe(a);
  EXPECT_NE(d.find("language: Rich"), std::string::npos);
  EXPECT_NE(d.find("keywords: 4"), std::string::npos);
  EXPECT_NE(d.find("per-state start tables: 2 {2,5}"), std::string::npos);
  EXPECT_TRUE(TStoredParser::LooksStored(TStoredParser::Store(a)));
  EXPECT_FALSE(TStoredParser::LooksStored("%%language\nname = 'x'\n"));
}
