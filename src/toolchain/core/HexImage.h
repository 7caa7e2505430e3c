// The in-memory image of a mid-range PIC loaded from an INHX8M Intel HEX file:
// program words, EEPROM bytes and ID/configuration words in one slot table.
#pragma once

#include "KorvexError.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A pair of characters that is not a hexadecimal number:
// "'$XY' is not a valid integer value".
KX_DECLARE_ERROR(EHexConvertError, EKorvexError);
// A file far larger than any HEX file: "File "%s" is too large for a HEX file (%d bytes)".
KX_DECLARE_ERROR(EHexFileTooLarge, EKorvexError);

class THexImage {
public:
  // Slot layout. The HEX word address of a slot differs by region: EEPROM
  // words 0x2100..0x21FF go to slots 0x2000..0x20FF, ID/configuration words
  // 0x2000..0x2007 to slots 0x2100..0x2107. Other word addresses have no slot.
  static constexpr int ProgramSlots = 0x2000;
  static constexpr int EepromFirstSlot = 0x2000;
  static constexpr int EepromSlots = 0x100;
  static constexpr int ConfigFirstSlot = 0x2100;
  static constexpr int ConfigSlots = 8;
  static constexpr int SlotCount = ConfigFirstSlot + ConfigSlots; // 8456
  static constexpr uint16_t ProgramBlank = 0x3FFF;
  static constexpr uint16_t ByteBlank = 0x00FF;

  THexImage() { Clear(); }

  // Every slot to its blank value.
  void Clear();
  // Clears the image, then stores every valid record of `lines` (line ends
  // removed) in file order; a later record overwrites an earlier one. A line
  // without ":" or with a wrong checksum is skipped. A pair of characters
  // that is not a hexadecimal number raises EHexConvertError and ends the
  // load: the image keeps the records before that line, none of that one. Records of a type
  // other than data (00) and end (01) are skipped, so an address record never
  // lands in program memory; the base an extended address record (02 or 04)
  // sets is added to the data records after it, which puts a non-zero base
  // beyond every slot.
  void Load(const std::vector<std::string_view> &lines);
  void Load(const std::vector<std::string> &lines);
  // The lines of a file's bytes (CR LF, LF or CR ends), then Load.
  void LoadBytes(std::string_view bytes);
  // The same for a file. Raises EFOpenError when it cannot be read, and
  // EHexFileTooLarge beyond MaxFileSize: a full image is some 25 KB of
  // records, and a file of gigabytes is nothing to hold in memory.
  void LoadFile(const std::string &path);
  static constexpr int64_t MaxFileSize = 64 * 1024 * 1024;

  // A record whose checksum is right: ":" first, then every pair of
  // characters that starts before the last character of the line, summed
  // modulo 256, gives 0. A single character left at the end is not read.
  // Raises EHexConvertError for a pair that is not a hexadecimal number.
  static bool RecordValid(std::string_view line);

  uint16_t Slot(int index) const { return slots_[static_cast<size_t>(index)]; }
  uint16_t ProgramWord(int address) const { return slots_[static_cast<size_t>(address)]; }
  // EEPROM byte `index` (0..255).
  uint16_t EepromByte(int index) const {
    return slots_[static_cast<size_t>(EepromFirstSlot + index)];
  }
  // ID locations 0..3, configuration word at 7.
  uint16_t ConfigWord(int index) const {
    return slots_[static_cast<size_t>(ConfigFirstSlot + index)];
  }
  const std::array<uint16_t, SlotCount> &Slots() const { return slots_; }

  // The slot of a HEX word address, or -1 when it has none.
  static int SlotOfWordAddress(uint32_t wordAddress);

private:
  void LoadLine(std::string_view line);
  void Store(uint32_t wordAddress, uint16_t word);

  std::array<uint16_t, SlotCount> slots_;
  uint32_t addressBase_ = 0; // byte address from the last extended address record
};

// The one image the program data and EEPROM windows show.
extern THexImage HexImage;

inline void ClearHexImage() {
  HexImage.Clear();
}
inline void LoadHexImage(const std::vector<std::string> &lines) {
  HexImage.Load(lines);
}
inline bool HexRecordValid(std::string_view line) {
  return THexImage::RecordValid(line);
}
