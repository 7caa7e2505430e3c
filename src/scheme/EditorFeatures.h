// Plain data of the editor features a language scheme carries in its settings:
// the key map, the code templates and the auto-replace list, with their stored
// forms. The scheme compiler fills them, the stored scheme format reads and
// writes them, and the editor's key map, template and auto-replace engines are
// built from them, so none of those needs to know the others.
#pragma once

#include "Streams.h"

#include <cstdint>
#include <string>
#include <vector>

// A 16-bit shortcut: virtual-key code in the low byte plus these modifier bits.
constexpr uint16_t scShift = 0x2000;
constexpr uint16_t scCtrl = 0x4000;
constexpr uint16_t scAlt = 0x8000;
constexpr uint16_t scModifiers = scShift | scCtrl | scAlt;

struct TSM_KeyBinding {
  uint16_t First = 0;  // first keystroke
  uint16_t Second = 0; // second keystroke, stored without modifiers; 0 for a one-key binding
  int32_t Command = -1;
  bool operator==(const TSM_KeyBinding &) const = default;
};

struct TSM_KeyCommandName {
  int32_t Code = -1;
  std::string Name;
  bool operator==(const TSM_KeyCommandName &) const = default;
};

// A key map as data. Stored form (little-endian): int32 command count; per
// command int32 code and its name as a length byte and that many characters;
// int32 binding count; per binding uint16 first, uint16 second, int32 code.
struct TSM_KeyMapData {
  std::vector<TSM_KeyCommandName> Commands;
  std::vector<TSM_KeyBinding> Bindings;
  bool operator==(const TSM_KeyMapData &) const = default;

  void WriteTo(TStream &s) const;
  // Raises EReadError on a truncated stream; counts are checked against what
  // the stream can still hold, so a corrupt count cannot make us allocate wildly.
  void ReadFrom(TStream &s);
};

struct TSM_CodeTemplate {
  std::string Name;        // what is typed before the hot key
  std::string Description; // shown in the template list
  std::string Text;        // inserted text; '|' marks where the caret goes
  bool operator==(const TSM_CodeTemplate &) const = default;
};

struct TSM_AutoReplace {
  std::string Word;
  std::string Replacement;
  bool operator==(const TSM_AutoReplace &) const = default;
};

// Stored forms: int32 count, then per entry its strings, each as int32 length
// and bytes (name, description, text / word, replacement).
void WriteTemplates(TStream &s, const std::vector<TSM_CodeTemplate> &list);
std::vector<TSM_CodeTemplate> ReadTemplates(TStream &s);
void WriteAutoReplace(TStream &s, const std::vector<TSM_AutoReplace> &list);
std::vector<TSM_AutoReplace> ReadAutoReplace(TStream &s);

// Little-endian primitives shared by the stored forms.
namespace kxio {
void WriteI32(TStream &s, int32_t v);
void WriteU16(TStream &s, uint16_t v);
void WriteU8(TStream &s, uint8_t v);
void WriteLStr(TStream &s, const std::string &v); // int32 length + bytes
void WriteSStr(TStream &s, const std::string &v); // length byte + bytes (longer texts are cut at 255)
int32_t ReadI32(TStream &s);
uint16_t ReadU16(TStream &s);
uint8_t ReadU8(TStream &s);
std::string ReadLStr(TStream &s); // EReadError on a negative or impossible length
std::string ReadSStr(TStream &s);
// A count read from the stream, refused (EReadError) when it is negative or
// when that many items of at least minItemSize bytes cannot fit in what is left.
int32_t ReadCount(TStream &s, int64_t minItemSize);
} // namespace kxio
