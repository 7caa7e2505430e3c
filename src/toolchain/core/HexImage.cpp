// Loading INHX8M records into the slot table. Every byte of the file is
// untrusted: reads stay inside their line, and a bad pair gives the
// conversion message the user sees.
#include "HexImage.h"

#include "Streams.h"

#include <sys/stat.h>

THexImage HexImage;

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

[[noreturn]] void NotAnInteger(std::string_view chars) {
  throw EHexConvertError("'$" + std::string(chars) + "' is not a valid integer value");
}

// Reads the byte at `pos` of the line and moves on by two. The text read is
// "$" followed by what stands there, so past the line's end fewer than two
// characters are read: one hexadecimal digit still counts as a number, none
// is not one.
class TPairReader {
public:
  TPairReader(std::string_view line, size_t pos) : line_(line), pos_(pos) {}

  uint32_t Next() {
    const std::string_view chars = pos_ < line_.size() ? line_.substr(pos_, 2) : std::string_view();
    pos_ += 2;
    if (chars.empty())
      NotAnInteger(chars);
    uint32_t value = 0;
    for (char c : chars) {
      const int d = HexDigit(c);
      if (d < 0)
        NotAnInteger(chars);
      value = value * 16 + static_cast<uint32_t>(d);
    }
    return value;
  }

private:
  std::string_view line_;
  size_t pos_;
};

} // namespace

void THexImage::Clear() {
  for (int i = 0; i < SlotCount; ++i)
    slots_[static_cast<size_t>(i)] = i < ProgramSlots ? ProgramBlank : ByteBlank;
  addressBase_ = 0;
}

int THexImage::SlotOfWordAddress(uint32_t wordAddress) {
  if (wordAddress < 0x2000)
    return static_cast<int>(wordAddress);
  if (wordAddress < 0x2008)
    return static_cast<int>(wordAddress + 0x100);
  if (wordAddress >= 0x2100 && wordAddress < 0x2200)
    return static_cast<int>(wordAddress - 0x100);
  return -1;
}

void THexImage::Store(uint32_t wordAddress, uint16_t word) {
  const int slot = SlotOfWordAddress(wordAddress);
  if (slot < 0)
    return;
  const bool eeprom = slot >= EepromFirstSlot && slot < EepromFirstSlot + EepromSlots;
  slots_[static_cast<size_t>(slot)] = eeprom ? (word & 0x00FF) : word;
}

bool THexImage::RecordValid(std::string_view line) {
  if (line.empty() || line[0] != ':')
    return false;
  uint32_t sum = 0;
  TPairReader reader(line, 1);
  for (size_t pos = 1; pos + 1 < line.size(); pos += 2)
    sum += reader.Next();
  return (sum & 0xFF) == 0;
}

void THexImage::LoadLine(std::string_view line) {
  if (!RecordValid(line))
    return;
  TPairReader reader(line, 1);
  const uint32_t count = reader.Next();
  const uint32_t high = reader.Next();
  const uint32_t low = reader.Next();
  const uint32_t address = high * 256 + low;
  const uint32_t type = reader.Next();
  switch (type) {
  case 0x00: {
    // The whole record is read before any of it is stored: a record that
    // stops the load leaves nothing of itself behind.
    uint16_t words[128];
    const uint32_t n = count / 2;
    for (uint32_t i = 0; i < n; ++i) {
      const uint32_t lowByte = reader.Next();
      const uint32_t highByte = reader.Next();
      words[i] = static_cast<uint16_t>(highByte * 256 + lowByte);
    }
    const uint32_t wordAddress = (addressBase_ + address) / 2;
    for (uint32_t i = 0; i < n; ++i)
      Store(wordAddress + i, words[i]);
    break;
  }
  case 0x02: // extended segment address: the base is the value times 16
  case 0x04: // extended linear address: the upper 16 bits of the address
    if (count == 2) {
      const uint32_t value = reader.Next() * 256;
      const uint32_t base = value + reader.Next();
      addressBase_ = type == 0x02 ? base * 16 : base << 16;
    }
    break;
  default: // end of file (stores nothing), start addresses and unknown types
    break;
  }
}

void THexImage::Load(const std::vector<std::string_view> &lines) {
  Clear();
  for (std::string_view line : lines)
    LoadLine(line);
}

void THexImage::Load(const std::vector<std::string> &lines) {
  Clear();
  for (const std::string &line : lines)
    LoadLine(line);
}

void THexImage::LoadBytes(std::string_view bytes) {
  Clear();
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = start;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
      ++end;
    LoadLine(bytes.substr(start, end - start));
    if (end < bytes.size() && bytes[end] == '\r' && end + 1 < bytes.size() &&
        bytes[end + 1] == '\n')
      ++end;
    start = end + 1;
  }
}

void THexImage::LoadFile(const std::string &path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > MaxFileSize)
    throw EHexFileTooLarge("File \"" + path + "\" is too large for a HEX file (" +
                           std::to_string(st.st_size) + " bytes)");
  const std::string bytes = ReadWholeFile(path);
  if (static_cast<int64_t>(bytes.size()) > MaxFileSize)
    throw EHexFileTooLarge("File \"" + path + "\" is too large for a HEX file (" +
                           std::to_string(bytes.size()) + " bytes)");
  LoadBytes(bytes);
}
