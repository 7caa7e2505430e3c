// The editor settings a language scheme carries: texts, options, numeric
// settings, styles and their token map, fonts, tab columns, keyword tables
// for the user, auto-replace list, code templates and key map.
#pragma once

#include "CharGroup.h"
#include "EditorFeatures.h"
#include "Keywords.h"
#include "StateSet.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Font style bits of a style record.
constexpr uint8_t fsBoldBit = 1, fsItalicBit = 2, fsUnderlineBit = 4, fsStrikeoutBit = 8;

struct TSM_StyleRecord {
  uint8_t FontStyle = 0; // fsBoldBit | fsItalicBit | ...
  int32_t Foreground = 0;
  int32_t Background = 0x00FFFFFF;
  bool ForegroundDefault = false; // use the editor's default text colour
  bool BackgroundDefault = false; // use the editor's default background
  bool Hotspot = false;
  int32_t InUse = 0; // 1 for every defined style
  bool operator==(const TSM_StyleRecord &) const = default;
};

struct TSM_EditableStyle {
  std::string Name; // at most 25 characters
  uint8_t Style = 0;
  bool operator==(const TSM_EditableStyle &) const = default;
};

// One %%kwTables table: words the user may extend, valid in States and
// accepted when followed by a character of the Terminator set.
struct TSM_KwTableDef {
  TStateSet States;
  std::string Terminator; // character-set text as written
  int32_t Flag = 0;
  std::vector<std::pair<std::string, int32_t>> Words; // word, token value
  bool operator==(const TSM_KwTableDef &) const = default;
};

struct TSM_GutterFont {
  std::string Name = "MS Sans Serif";
  int32_t Size = 8;
  uint8_t Charset = 1; // DEFAULT_CHARSET
  int32_t Color = 0;
  uint8_t Style = 0; // font style bits
  bool operator==(const TSM_GutterFont &) const = default;
};

// The ten numeric settings after the option set, in stored order.
enum TSM_NumericSetting {
  nsIndentStep,     // indentstep
  nsRightMargin,    // rightmargin
  nsWordWrapColumn, // wordwrapcolumn
  nsGutterWidth,    // gutter
  nsTabDefault,     // tabdefault
  nsSelTextColor,   // seltextcolor
  nsGutterColor,    // guttercolor
  nsMarginColor,    // margincolor
  nsSelTextBack,    // seltextback
  nsMarginWidth,    // marginwidth
  nsCount
};

// The five flag bytes after the font.
enum TSM_FlagByte {
  flFontCharset,  // fontcharset
  flWrapOverride, // wrapoverride
  flReserved2,
  flReserved3,
  flReserved4,
  flCount
};

constexpr int32_t kDefaultOptions = 67099632; // __DEFAULT_OPTIONS
constexpr size_t kMaxEditableStyles = 50;
constexpr size_t kMaxKwTables = 21;

class TSM_Settings {
public:
  TSM_Settings() { Clear(); }
  void Clear();

  std::string ExampleText;
  std::string LanguageName;
  std::string ThirdString = ">|:";
  int32_t Options = kDefaultOptions;
  std::array<int32_t, nsCount> Numeric{};
  std::array<TSM_StyleRecord, 256> Styles; // by style number; InUse marks defined ones
  std::array<int16_t, 256> TokenStyle;     // token value -> style number, -1 unmapped
  std::vector<TSM_EditableStyle> EditableStyles;
  std::array<int32_t, 32> TabColumns; // unused entries -1
  std::string FontName = "Courier New";
  int32_t FontSize = 10;
  std::array<uint8_t, flCount> Flags{};
  std::vector<TSM_KwTableDef> KwTables;
  std::vector<TSM_AutoReplace> AutoReplace;
  std::vector<TSM_CodeTemplate> Templates;
  TSM_KeyMapData KeyMap;
  TSM_GutterFont GutterFont;

  // The style number of a token value (0 when unmapped).
  uint8_t StyleOf(uint8_t token) const {
    return TokenStyle[token] < 0 ? 0 : uint8_t(TokenStyle[token]);
  }
  size_t StyleCount() const;

  // The user keyword table built from KwTables (null when there are none);
  // the parser scans it when its own keywords do not match.
  std::unique_ptr<TSyntaxKeywords> UserKeywords;
  TSM_CharGroupManager UserGroups;
  // Rebuilds UserKeywords from KwTables. Terminators that do not parse as a
  // character-set text count as "anything may follow".
  void RebuildUserKeywords(bool caseSensitive);
};
