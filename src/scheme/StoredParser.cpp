// Writer and reader of the stored scheme form. Every count and length read is
// checked against what the stream can still hold before anything is
// allocated, and the tables are left empty when a load fails.
#include "StoredParser.h"

#include "Compressor.h"
#include "EditorFeatures.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <unordered_map>

using namespace kxio;

namespace {

const char kCorrupt[] = "Corrupt table stream";
// Tag of the otherwise-token block that may follow the custom-handlers flag.
// Schemes without otherwise tokens write no block, so their stored form is
// the one older readers know; a stream without one reads as having none.
const char kOtherwiseTag[4] = {'O', 'T', 'H', 'W'};

[[noreturn]] void Corrupt() {
  throw EReadError(kCorrupt);
}

// Smallest stored sizes, for checking counts against the bytes left.
constexpr int64_t kGroupMin = 32 + 4 + 1;
constexpr int64_t kPartMin = 1 + kGroupMin + 1;
constexpr int64_t kEndMin = 1 + 1 + 1;
constexpr int64_t kTokenDefMin = kPartMin + 32 + kPartMin + kEndMin + 1;
constexpr int64_t kStyleRecordSize = 16;
constexpr uint32_t kMaxTableStream = 64u << 20;

void WriteSet(TStream &s, const TStateSet &set) {
  uint8_t b[32];
  set.ToBytes(b);
  s.WriteBuffer(b, 32);
}

TStateSet ReadSet(TStream &s) {
  uint8_t b[32];
  s.ReadBuffer(b, 32);
  return TStateSet::FromBytes(b);
}

void WriteBool(TStream &s, bool v) {
  WriteU8(s, v ? 1 : 0);
}

class TableWriter {
public:
  TableWriter(const TSyntaxMemoParser &p, TStream &s, int version)
      : p_(p), s_(s), version_(version) {}

  void All() {
    Settings();
    Keywords();
    HandlerTable();
    DefaultStartTable();
    ContextStates();
    Transitions();
    StateTables();
    WriteSet(s_, p_.AnchorSet);
    WriteSet(s_, p_.BoundSet);
    WriteSet(s_, p_.StartSet);
    WriteBool(s_, p_.UsesCustomHandlers);
    OtherwiseTokens();
  }

private:
  void Group(uint16_t index) {
    const TSM_CharGroup &g = p_.Groups.Get(index);
    uint8_t b[32];
    g.BitsToBytes(b);
    s_.WriteBuffer(b, 32);
    WriteI32(s_, static_cast<int32_t>(g.Ranges.size()));
    WriteU8(s_, g.Flag);
    for (const TSM_CharRange &r : g.Ranges) {
      WriteU16(s_, r.Low);
      WriteU16(s_, r.High);
    }
  }

  void Handler(const TSM_HandlerRef &h) {
    WriteBool(s_, h.Custom);
    WriteI32(s_, h.Number);
  }

  void Part(const TSM_Part &part) {
    WriteU8(s_, part.Flag);
    Group(part.Group);
    WriteBool(s_, part.IsHandler);
    if (part.IsHandler)
      Handler(part.Handler);
  }

  void End(const TSM_EndPart &end) {
    WriteBool(s_, end.IncludeEnd);
    WriteBool(s_, end.IsHandler);
    if (end.IsHandler) {
      Handler(end.Handler);
      return;
    }
    const uint8_t n = std::min<uint8_t>(end.Count, 4);
    WriteU8(s_, n);
    for (int k = 0; k < n; ++k)
      Group(end.Groups[k]);
  }

  void TokenDef(const TSM_TokenDef &d) {
    Part(d.Start);
    WriteSet(s_, d.Valid);
    Part(d.Body);
    End(d.End);
    WriteU8(s_, d.Token);
  }

  void Settings() {
    const TSM_Settings &t = p_.Settings;
    WriteLStr(s_, t.ExampleText);
    WriteLStr(s_, t.LanguageName);
    WriteLStr(s_, t.ThirdString);
    WriteI32(s_, t.Options);
    for (int32_t v : t.Numeric)
      WriteI32(s_, v);

    WriteI32(s_, static_cast<int32_t>(t.StyleCount()));
    for (int n = 0; n < 256; ++n) {
      const TSM_StyleRecord &r = t.Styles[n];
      if (!r.InUse)
        continue;
      WriteU8(s_, static_cast<uint8_t>(n));
      WriteU8(s_, r.FontStyle);
      WriteI32(s_, r.Foreground);
      WriteI32(s_, r.Background);
      WriteBool(s_, r.ForegroundDefault);
      WriteBool(s_, r.BackgroundDefault);
      WriteBool(s_, r.Hotspot);
      WriteI32(s_, r.InUse);
    }

    int32_t mapped = 0;
    for (int16_t st : t.TokenStyle)
      mapped += st >= 0;
    WriteI32(s_, mapped);
    for (int v = 0; v < 256; ++v)
      if (t.TokenStyle[v] >= 0) {
        WriteU8(s_, static_cast<uint8_t>(v));
        WriteU8(s_, static_cast<uint8_t>(t.TokenStyle[v]));
      }

    if (t.EditableStyles.size() > kMaxEditableStyles)
      throw EWriteError("Too many editable styles");
    WriteI32(s_, static_cast<int32_t>(t.EditableStyles.size()));
    for (const TSM_EditableStyle &e : t.EditableStyles) {
      WriteLStr(s_, e.Name);
      WriteU8(s_, e.Style);
    }

    for (int32_t c : t.TabColumns)
      WriteI32(s_, c);
    WriteLStr(s_, t.FontName);
    WriteI32(s_, t.FontSize);
    for (uint8_t f : t.Flags)
      WriteU8(s_, f);

    if (t.KwTables.size() > kMaxKwTables)
      throw EWriteError("Too many keyword tables");
    WriteI32(s_, static_cast<int32_t>(t.KwTables.size()));
    for (const TSM_KwTableDef &k : t.KwTables) {
      WriteSet(s_, k.States);
      WriteLStr(s_, k.Terminator);
      WriteI32(s_, k.Flag);
      WriteI32(s_, static_cast<int32_t>(k.Words.size()));
      for (const auto &[word, token] : k.Words) {
        WriteLStr(s_, word);
        WriteI32(s_, token);
      }
    }

    WriteAutoReplace(s_, t.AutoReplace);
    WriteTemplates(s_, t.Templates);
    t.KeyMap.WriteTo(s_);

    if (version_ > 50) {
      WriteLStr(s_, t.GutterFont.Name);
      WriteI32(s_, t.GutterFont.Size);
      WriteU8(s_, t.GutterFont.Charset);
      WriteI32(s_, t.GutterFont.Color);
      WriteU8(s_, t.GutterFont.Style);
    }
  }

  void Keywords() {
    WriteI32(s_, p_.Keywords.IsCaseSensitive() ? 1 : 0);
    WriteI32(s_, static_cast<int32_t>(p_.Keywords.WordCount()));
    for (const TSM_Word &w : p_.Keywords.WordList()) {
      // A length byte cannot carry more; cutting the word would change the scheme.
      if (w.Word.size() > 255)
        throw EWriteError("Keyword longer than 255 characters: " + w.Word.substr(0, 40) + "...");
      WriteSStr(s_, w.Word);
      Group(w.Terminator);
      WriteSet(s_, w.States);
      WriteI32(s_, w.Token);
    }
    WriteU8(s_, 0);
  }

  void HandlerTable() {
    int32_t n = 0;
    for (const auto &h : p_.Handlers)
      n += h.has_value();
    WriteI32(s_, n);
    for (int v = 0; v < 256; ++v)
      if (p_.Handlers[v]) {
        WriteU8(s_, static_cast<uint8_t>(v));
        Part(p_.Handlers[v]->Body);
        End(p_.Handlers[v]->End);
      }
  }

  void DefaultStartTable() {
    const TSM_StartTable &t = p_.DefaultTable;
    int32_t n = 0;
    for (int32_t e : t.Entry)
      n += e >= 0;
    WriteI32(s_, n);
    for (int c = 0; c < 256; ++c)
      if (t.Entry[c] >= 0) {
        WriteU8(s_, static_cast<uint8_t>(c));
        TokenDef(t.Defs[t.Entry[c]]);
      }
  }

  void ContextStates() {
    int32_t n = 0;
    for (const TStateSet &s : p_.ContextStates)
      n += !(s == p_.StartSet);
    WriteI32(s_, n);
    for (int v = 0; v < 256; ++v)
      if (!(p_.ContextStates[v] == p_.StartSet)) {
        WriteU8(s_, static_cast<uint8_t>(v));
        WriteSet(s_, p_.ContextStates[v]);
      }
  }

  void Transitions() {
    int32_t n = 0;
    for (const auto &t : p_.Transitions)
      n += t.has_value();
    WriteI32(s_, n);
    for (int v = 0; v < 256; ++v)
      if (const auto &t = p_.Transitions[v]) {
        WriteU8(s_, static_cast<uint8_t>(v));
        WriteSet(s_, t->Valid);
        WriteSet(s_, t->Enter);
        WriteSet(s_, t->Leave);
        WriteBool(s_, t->Container);
        WriteBool(s_, t->NoChange);
        WriteU8(s_, t->StackOps);
      }
  }

  void StateTables() {
    int32_t n = 0;
    for (const auto &t : p_.StateTables)
      n += t != nullptr;
    WriteI32(s_, n);
    for (int state = 0; state < 256; ++state) {
      const TSM_StartTable *t = p_.StateTables[state].get();
      if (!t)
        continue;
      WriteU8(s_, static_cast<uint8_t>(state));
      int32_t entries = 0;
      for (int32_t e : t->Entry)
        entries += e >= 0;
      WriteI32(s_, entries);
      for (int c = 0; c < 256; ++c) {
        if (t->Entry[c] < 0)
          continue;
        WriteU8(s_, static_cast<uint8_t>(c));
        TokenDef(t->Defs[t->Entry[c]]);
        WriteI32(s_, static_cast<int32_t>(t->Ranges.size()));
        for (const TSM_RangeEntry &r : t->Ranges) {
          WriteU16(s_, r.Low);
          WriteU16(s_, r.High);
          TokenDef(t->Defs[r.Def]);
        }
      }
    }
  }

  // Per entry: byte 0 (the default table) or 1 (a state's table), byte
  // state, the token definition.
  void OtherwiseTokens() {
    std::vector<std::pair<int, const TSM_TokenDef *>> all;
    if (const TSM_TokenDef *d = p_.DefaultTable.OtherwiseDef())
      all.emplace_back(-1, d);
    for (int state = 0; state < 256; ++state)
      if (const TSM_StartTable *t = p_.StateTables[state].get(); t && t->OtherwiseDef())
        all.emplace_back(state, t->OtherwiseDef());
    if (all.empty())
      return;
    s_.WriteBuffer(kOtherwiseTag, 4);
    WriteI32(s_, static_cast<int32_t>(all.size()));
    for (const auto &[state, d] : all) {
      WriteBool(s_, state >= 0);
      WriteU8(s_, static_cast<uint8_t>(state >= 0 ? state : 0));
      TokenDef(*d);
    }
  }

  const TSyntaxMemoParser &p_;
  TStream &s_;
  int version_;
};

class TableReader {
public:
  TableReader(TSyntaxMemoParser &p, TStream &s, int version) : p_(p), s_(s), version_(version) {
    for (size_t i = 0; i < p_.Groups.Groups.size(); ++i)
      interned_.emplace(Key(p_.Groups.Groups[i]), static_cast<uint16_t>(i));
  }

  void All() {
    Settings();
    Keywords();
    HandlerTable();
    DefaultStartTable();
    ContextStates();
    Transitions();
    StateTables();
    p_.AnchorSet = ReadSet(s_);
    p_.BoundSet = ReadSet(s_);
    p_.StartSet = ReadSet(s_);
    p_.UsesCustomHandlers = ReadU8(s_) != 0;
    if (s_.Position() < s_.Size())
      OtherwiseTokens();
    for (int v = 0; v < 256; ++v)
      if (!contextGiven_[v])
        p_.ContextStates[v] = p_.StartSet;
  }

private:
  // Equal groups have equal keys: membership bits, flag and ranges.
  static std::string Key(const TSM_CharGroup &g) {
    std::string k(33 + 4 * g.Ranges.size(), '\0');
    g.BitsToBytes(reinterpret_cast<uint8_t *>(k.data()));
    k[32] = static_cast<char>(g.Flag);
    size_t at = 33;
    for (const TSM_CharRange &r : g.Ranges) {
      k[at++] = static_cast<char>(r.Low);
      k[at++] = static_cast<char>(r.Low >> 8);
      k[at++] = static_cast<char>(r.High);
      k[at++] = static_cast<char>(r.High >> 8);
    }
    return k;
  }

  // Reads a group and interns it; a hash keeps this linear in the stream size.
  uint16_t Group() {
    uint8_t bits[32];
    s_.ReadBuffer(bits, 32);
    const int32_t n = ReadCount(s_, 4);
    TSM_CharGroup g;
    g.BitsFromBytes(bits);
    g.Flag = ReadU8(s_);
    g.Ranges.reserve(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
      TSM_CharRange r;
      r.Low = ReadU16(s_);
      r.High = ReadU16(s_);
      if (r.Low > r.High)
        Corrupt();
      g.Ranges.push_back(r);
    }
    std::string key = Key(g);
    const auto found = interned_.find(key);
    if (found != interned_.end())
      return found->second;
    if (p_.Groups.Groups.size() >= 0xFFFF)
      Corrupt();
    p_.Groups.Groups.push_back(std::move(g));
    const auto index = static_cast<uint16_t>(p_.Groups.Groups.size() - 1);
    interned_.emplace(std::move(key), index);
    return index;
  }

  TSM_HandlerRef Handler() {
    TSM_HandlerRef h;
    h.Custom = ReadU8(s_) != 0;
    h.Number = ReadI32(s_);
    return h;
  }

  TSM_Part Part() {
    TSM_Part part;
    part.Flag = ReadU8(s_);
    part.Group = Group();
    part.IsHandler = ReadU8(s_) != 0;
    if (part.IsHandler)
      part.Handler = Handler();
    return part;
  }

  TSM_EndPart End() {
    TSM_EndPart end;
    end.IncludeEnd = ReadU8(s_) != 0;
    end.IsHandler = ReadU8(s_) != 0;
    if (end.IsHandler) {
      end.Handler = Handler();
      return end;
    }
    end.Count = ReadU8(s_);
    if (end.Count > 4)
      Corrupt();
    for (int k = 0; k < end.Count; ++k)
      end.Groups[k] = Group();
    return end;
  }

  TSM_TokenDef TokenDef() {
    TSM_TokenDef d;
    d.Start = Part();
    d.Valid = ReadSet(s_);
    d.Body = Part();
    d.End = End();
    d.Token = ReadU8(s_);
    return d;
  }

  void Settings() {
    TSM_Settings &t = p_.Settings;
    t.ExampleText = ReadLStr(s_);
    t.LanguageName = ReadLStr(s_);
    t.ThirdString = ReadLStr(s_);
    t.Options = ReadI32(s_);
    for (int32_t &v : t.Numeric)
      v = ReadI32(s_);

    const int32_t styles = ReadCount(s_, 1 + kStyleRecordSize);
    for (int32_t i = 0; i < styles; ++i) {
      TSM_StyleRecord &r = t.Styles[ReadU8(s_)];
      r.FontStyle = ReadU8(s_);
      r.Foreground = ReadI32(s_);
      r.Background = ReadI32(s_);
      r.ForegroundDefault = ReadU8(s_) != 0;
      r.BackgroundDefault = ReadU8(s_) != 0;
      r.Hotspot = ReadU8(s_) != 0;
      r.InUse = ReadI32(s_);
    }

    const int32_t mapped = ReadCount(s_, 2);
    for (int32_t i = 0; i < mapped; ++i) {
      const uint8_t token = ReadU8(s_);
      t.TokenStyle[token] = ReadU8(s_);
    }

    const int32_t editable = ReadCount(s_, 5);
    if (static_cast<size_t>(editable) > kMaxEditableStyles)
      Corrupt();
    t.EditableStyles.resize(static_cast<size_t>(editable));
    for (TSM_EditableStyle &e : t.EditableStyles) {
      e.Name = ReadLStr(s_);
      e.Style = ReadU8(s_);
    }

    for (int32_t &c : t.TabColumns)
      c = ReadI32(s_);
    t.FontName = ReadLStr(s_);
    t.FontSize = ReadI32(s_);
    for (uint8_t &f : t.Flags)
      f = ReadU8(s_);

    const int32_t tables = ReadCount(s_, 32 + 4 + 4 + 4);
    if (static_cast<size_t>(tables) > kMaxKwTables)
      Corrupt();
    t.KwTables.resize(static_cast<size_t>(tables));
    for (TSM_KwTableDef &k : t.KwTables) {
      k.States = ReadSet(s_);
      k.Terminator = ReadLStr(s_);
      k.Flag = ReadI32(s_);
      const int32_t words = ReadCount(s_, 8);
      k.Words.reserve(static_cast<size_t>(words));
      for (int32_t i = 0; i < words; ++i) {
        std::string word = ReadLStr(s_);
        k.Words.emplace_back(std::move(word), ReadI32(s_));
      }
    }

    t.AutoReplace = ReadAutoReplace(s_);
    t.Templates = ReadTemplates(s_);
    t.KeyMap.ReadFrom(s_);

    if (version_ > 50) {
      t.GutterFont.Name = ReadLStr(s_);
      t.GutterFont.Size = ReadI32(s_);
      t.GutterFont.Charset = ReadU8(s_);
      t.GutterFont.Color = ReadI32(s_);
      t.GutterFont.Style = ReadU8(s_);
    }
  }

  void Keywords() {
    p_.Keywords.SetCaseSensitive(ReadI32(s_) != 0);
    const int32_t words = ReadCount(s_, 1 + kGroupMin + 32 + 4);
    for (int32_t i = 0; i < words; ++i) {
      const std::string word = ReadSStr(s_);
      const uint16_t terminator = Group();
      const TStateSet states = ReadSet(s_);
      const int32_t token = ReadI32(s_);
      if (token < 0 || token > 255 ||
          !p_.Keywords.AddWord(word, terminator, states, static_cast<uint8_t>(token)))
        Corrupt();
    }
    if (ReadU8(s_) != 0)
      Corrupt();
  }

  void HandlerTable() {
    const int32_t n = ReadCount(s_, 1 + kPartMin + kEndMin);
    for (int32_t i = 0; i < n; ++i) {
      const uint8_t token = ReadU8(s_);
      TSM_HandlerEntry e;
      e.Body = Part();
      e.End = End();
      p_.Handlers[token] = e;
    }
  }

  // Gives c the definition d in table t.
  static void Put(TSM_StartTable &t, uint8_t c, TSM_TokenDef d) {
    t.Defs.push_back(std::move(d));
    t.Entry[c] = static_cast<int32_t>(t.Defs.size() - 1);
  }

  void DefaultStartTable() {
    const int32_t n = ReadCount(s_, 1 + kTokenDefMin);
    for (int32_t i = 0; i < n; ++i) {
      const uint8_t c = ReadU8(s_);
      Put(p_.DefaultTable, c, TokenDef());
    }
  }

  void ContextStates() {
    const int32_t n = ReadCount(s_, 1 + 32);
    for (int32_t i = 0; i < n; ++i) {
      const uint8_t token = ReadU8(s_);
      p_.ContextStates[token] = ReadSet(s_);
      contextGiven_[token] = true;
    }
  }

  void Transitions() {
    const int32_t n = ReadCount(s_, 1 + 99);
    for (int32_t i = 0; i < n; ++i) {
      const uint8_t token = ReadU8(s_);
      TSM_Transition t;
      t.Valid = ReadSet(s_);
      t.Enter = ReadSet(s_);
      t.Leave = ReadSet(s_);
      t.Container = ReadU8(s_) != 0;
      t.NoChange = ReadU8(s_) != 0;
      t.StackOps = ReadU8(s_);
      p_.Transitions[token] = t;
    }
  }

  void StateTables() {
    const int32_t tables = ReadCount(s_, 1 + 4);
    for (int32_t i = 0; i < tables; ++i) {
      const uint8_t state = ReadU8(s_);
      auto table = std::make_unique<TSM_StartTable>();
      const int32_t n = ReadCount(s_, 1 + kTokenDefMin + 4);
      std::vector<std::pair<TSM_CharRange, TSM_TokenDef>> ranges;
      for (int32_t k = 0; k < n; ++k) {
        const uint8_t c = ReadU8(s_);
        Put(*table, c, TokenDef());
        // Each character entry repeats the range list; the last copy counts.
        const int32_t m = ReadCount(s_, 4 + kTokenDefMin);
        ranges.clear();
        for (int32_t j = 0; j < m; ++j) {
          TSM_CharRange r;
          r.Low = ReadU16(s_);
          r.High = ReadU16(s_);
          ranges.emplace_back(r, TokenDef());
        }
      }
      for (auto &[r, d] : ranges) {
        table->Defs.push_back(std::move(d));
        table->Ranges.push_back({r.Low, r.High, static_cast<int32_t>(table->Defs.size() - 1)});
      }
      p_.StateTables[state] = std::move(table);
      p_.StatesWithTables.Include(state);
    }
  }

  void OtherwiseTokens() {
    // Anything else after the tables is damage, not a block.
    char tag[4];
    if (s_.Read(tag, 4) != 4 || !std::equal(tag, tag + 4, kOtherwiseTag))
      Corrupt();
    const int32_t n = ReadCount(s_, 2 + kTokenDefMin);
    for (int32_t i = 0; i < n; ++i) {
      const bool inState = ReadU8(s_) != 0;
      const uint8_t state = ReadU8(s_);
      TSM_StartTable *t = inState ? p_.StateTables[state].get() : &p_.DefaultTable;
      // Only a table the stream holds, and one otherwise token each.
      if (!t || t->Otherwise >= 0)
        Corrupt();
      t->Defs.push_back(TokenDef());
      t->Otherwise = static_cast<int32_t>(t->Defs.size() - 1);
    }
  }

  TSyntaxMemoParser &p_;
  TStream &s_;
  int version_;
  std::unordered_map<std::string, uint16_t> interned_;
  bool contextGiven_[256] = {};
};

[[noreturn]] void Rethrow(const TSyntaxMemoParser &p, const std::exception &e) {
  throw ESyntaxMemoParserError(p.Name + ": " + e.what());
}

std::string Hex(int32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%08X", static_cast<uint32_t>(v));
  return b;
}

std::string States(const TStateSet &s) {
  std::string out = "{";
  for (unsigned i = 0; i < 256; ++i)
    if (s.Has(i)) {
      if (out.size() > 1)
        out += ',';
      out += std::to_string(i);
    }
  out += '}';
  return out;
}

} // namespace

void TStoredParser::WriteTables(const TSyntaxMemoParser &p, TStream &out, int version) {
  TableWriter(p, out, version).All();
}

void TStoredParser::ReadTables(TSyntaxMemoParser &p, TStream &in, int version) {
  TableReader(p, in, version).All();
  if (in.Position() != in.Size())
    Corrupt();
  p.TablesLoaded();
}

void TStoredParser::Write(const TSyntaxMemoParser &p, TStream &out) {
  try {
    TMemoryStream tables;
    WriteTables(p, tables, kStoredParserVersion);
    if (tables.Size() > INT32_MAX)
      throw EWriteError("Stream write error");
    WriteU16(out, kStoredParserVersion);
    WriteI32(out, static_cast<int32_t>(tables.Size()));
    tables.SetPosition(0);
    TCompressor c;
    c.StreamMode = true;
    c.Method = TCompressor::cmBlock;
    c.InputStream = &tables;
    c.OutputStream = &out;
    c.Compress();
  } catch (const std::exception &e) {
    Rethrow(p, e);
  }
}

std::string TStoredParser::Store(const TSyntaxMemoParser &p) {
  TMemoryStream m;
  Write(p, m);
  return std::move(m.Bytes());
}

std::string TStoredParser::VersionMessage(const std::string &name, int readVersion) {
  return name +
         ": DFM file saved by different version of TSyntaxMemoParser.\n\rRecompile script to "
         "update "
         "DFM file.\n\rExpected version was " +
         std::to_string(kStoredParserVersion) + " read version was " + std::to_string(readVersion);
}

bool TStoredParser::Read(TSyntaxMemoParser &p, TStream &in, const TStoredParserLoad &how) {
  p.ClearTables();
  int version = 0;
  try {
    version = ReadU16(in);
  } catch (const std::exception &e) {
    Rethrow(p, e);
  }
  // A newer layout cannot be read as this one any more than an older one can.
  if (version < kOldestStoredParserVersion || version > kStoredParserVersion) {
    const std::string message = VersionMessage(p.Name, version);
    if (how.Loading)
      throw ESyntaxMemoParserError(message);
    if (how.OnParserVersionError)
      how.OnParserVersionError(p, version, kStoredParserVersion);
    else if (how.ShowInformation)
      how.ShowInformation(message);
    return false;
  }
  try {
    ReadI32(in); // the table stream's length; the compressor's header says it again
    // A real table stream is some hundred kilobytes; a header claiming far
    // more is refused before anything is decoded.
    uint8_t header[8];
    const int64_t at = in.Position();
    if (in.Read(header, 8) == 8) {
      const uint32_t size =
          header[4] | (header[5] << 8) | (header[6] << 16) | (uint32_t(header[7]) << 24);
      if (size > kMaxTableStream)
        Corrupt();
    }
    in.SetPosition(at);
    TMemoryStream tables;
    TCompressor c;
    c.StreamMode = true;
    c.InputStream = &in;
    c.OutputStream = &tables;
    c.Decompress();
    tables.SetPosition(0);
    ReadTables(p, tables, version);
  } catch (const std::exception &e) {
    p.ClearTables();
    Rethrow(p, e);
  }
  return true;
}

bool TStoredParser::Load(TSyntaxMemoParser &p, const std::string &stored,
                         const TStoredParserLoad &how) {
  TReadOnlyMemoryStream in(stored.data(), static_cast<int64_t>(stored.size()));
  return Read(p, in, how);
}

bool TStoredParser::LooksStored(const std::string &bytes) {
  return bytes.size() >= 14 && bytes.compare(6, 4, "WRZL") == 0;
}

std::string TStoredParser::Describe(const TSyntaxMemoParser &p) {
  const TSM_Settings &t = p.Settings;
  std::ostringstream o;
  o << "language: " << t.LanguageName << "\n";
  o << "options: " << Hex(t.Options) << "\n";
  o << "numeric settings:";
  for (int32_t v : t.Numeric)
    o << " " << v;
  o << "\nfont: " << t.FontName << " " << t.FontSize << "\n";
  o << "gutter font: " << t.GutterFont.Name << " " << t.GutterFont.Size << "\n";
  o << "styles: " << t.StyleCount() << "\n";
  for (int n = 0; n < 256; ++n)
    if (t.Styles[n].InUse)
      o << "  style " << n << ": fg " << Hex(t.Styles[n].Foreground) << " bg "
        << Hex(t.Styles[n].Background) << " font style " << int(t.Styles[n].FontStyle) << "\n";
  int mapped = 0;
  for (int16_t s : t.TokenStyle)
    mapped += s >= 0;
  o << "token styles: " << mapped << "\n";
  o << "editable styles: " << t.EditableStyles.size() << "\n";
  o << "keyword tables for the user: " << t.KwTables.size() << "\n";
  o << "auto-replace entries: " << t.AutoReplace.size() << "\n";
  o << "templates: " << t.Templates.size() << "\n";
  o << "key bindings: " << t.KeyMap.Bindings.size() << "\n";
  o << "character groups: " << p.Groups.Count() << "\n";
  o << "keywords: " << p.Keywords.WordCount()
    << (p.Keywords.IsCaseSensitive() ? " (case sensitive)" : "") << "\n";
  int handlers = 0, transitions = 0, context = 0, starts = 0, tables = 0;
  for (const auto &h : p.Handlers)
    handlers += h.has_value();
  for (const auto &tr : p.Transitions)
    transitions += tr.has_value();
  for (const TStateSet &s : p.ContextStates)
    context += !(s == p.StartSet);
  for (int32_t e : p.DefaultTable.Entry)
    starts += e >= 0;
  for (const auto &st : p.StateTables)
    tables += st != nullptr;
  o << "handlers: " << handlers << "\n";
  o << "default start characters: " << starts << "\n";
  o << "context states: " << context << "\n";
  o << "transitions: " << transitions << "\n";
  o << "per-state start tables: " << tables << " " << States(p.StatesWithTables) << "\n";
  std::ostringstream otherwise;
  if (const TSM_TokenDef *d = p.DefaultTable.OtherwiseDef())
    otherwise << " default:" << int(d->Token);
  for (int s = 0; s < 256; ++s)
    if (const TSM_TokenDef *d = p.StateTables[s] ? p.StateTables[s]->OtherwiseDef() : nullptr)
      otherwise << " " << s << ":" << int(d->Token);
  if (!otherwise.str().empty())
    o << "otherwise tokens:" << otherwise.str() << "\n";
  o << "start states: " << States(p.StartSet) << "\n";
  o << "anchor states: " << States(p.AnchorSet) << "\n";
  o << "bound states: " << States(p.BoundSet) << "\n";
  o << "custom handlers: " << (p.UsesCustomHandlers ? "yes" : "no") << "\n";
  return o.str();
}

void LoadParserFile(TSyntaxMemoParser &p, const std::string &path) {
  const std::string bytes = ReadWholeFile(path);
  if (TStoredParser::LooksStored(bytes)) {
    TStoredParserLoad how;
    how.Loading = true;
    TStoredParser::Load(p, bytes, how);
  } else {
    p.CompileFile(path);
  }
}
