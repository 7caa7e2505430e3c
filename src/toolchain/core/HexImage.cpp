// Loading INHX8M records into the slot table. Every byte of the file is
// untrusted: reads stay inside their line, and a bad pair gives the
// conversion message the user sees.
#include "HexImage.h"

#include "Streams.h"

#include <sys/stat.h>

THexImage HexImage;

namespace {

// Value of a hexadecimal digit in either case, -1 for any other byte.
struct TDigits {
  int8_t Value[256];
  constexpr TDigits() : Value() {
    for (int i = 0; i < 256; ++i)
      Value[i] = -1;
    for (int i = 0; i < 10; ++i)
      Value['0' + i] = static_cast<int8_t>(i);
    for (int i = 0; i < 6; ++i) {
      Value['A' + i] = static_cast<int8_t>(10 + i);
      Value['a' + i] = static_cast<int8_t>(10 + i);
    }
  }
};
constexpr TDigits Digits;

int Digit(char c) {
  return Digits.Value[static_cast<unsigned char>(c)];
}

[[noreturn]] void NotAnInteger(std::string_view chars) {
  throw EHexConvertError("'$" + std::string(chars) + "' is not a valid integer value");
}

// The bytes of one line: pair k stands at characters 1 + 2k and 2 + 2k. All
// full pairs are read (the checksum covers them, and a bad one raises); the
// first ones are kept for the record's fields. A byte past the full pairs is
// read as the text that stands there, "$" followed by fewer than two
// characters: one hexadecimal digit still counts as a number, none is not one.
class TRecordBytes {
public:
  // count, address (2), type and 255 data bytes at most
  static constexpr size_t Kept = 4 + 255;

  explicit TRecordBytes(std::string_view line) : line_(line), pairs_((line.size() - 1) / 2) {
    const char *p = line.data() + 1;
    for (size_t k = 0; k < pairs_; ++k, p += 2) {
      const int hi = Digit(p[0]), lo = Digit(p[1]);
      if ((hi | lo) < 0)
        NotAnInteger(std::string_view(p, 2));
      const unsigned v = static_cast<unsigned>(hi * 16 + lo);
      sum_ += v;
      if (k < Kept)
        kept_[k] = static_cast<uint8_t>(v);
    }
  }

  bool ChecksumRight() const { return (sum_ & 0xFF) == 0; }

  uint32_t At(size_t k) const {
    if (k < pairs_)
      return kept_[k];
    const size_t pos = 1 + 2 * k;
    if (k > pairs_ || pos >= line_.size())
      NotAnInteger(std::string_view());
    const int d = Digit(line_[pos]);
    if (d < 0)
      NotAnInteger(line_.substr(pos, 1));
    return static_cast<uint32_t>(d);
  }

private:
  std::string_view line_;
  size_t pairs_;
  unsigned sum_ = 0;
  uint8_t kept_[Kept];
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
  return !line.empty() && line[0] == ':' && TRecordBytes(line).ChecksumRight();
}

void THexImage::LoadLine(std::string_view line) {
  if (line.empty() || line[0] != ':')
    return;
  const TRecordBytes bytes(line);
  if (!bytes.ChecksumRight())
    return;
  const uint32_t count = bytes.At(0);
  const uint32_t address = bytes.At(1) * 256 + bytes.At(2);
  const uint32_t type = bytes.At(3);
  switch (type) {
  case 0x00: {
    // The whole record is read before any of it is stored: a record that
    // stops the load leaves nothing of itself behind.
    uint16_t words[128];
    const uint32_t n = count / 2;
    for (uint32_t i = 0; i < n; ++i) {
      const uint32_t low = bytes.At(4 + 2 * i); // low byte first
      const uint32_t high = bytes.At(5 + 2 * i);
      words[i] = static_cast<uint16_t>(high * 256 + low);
    }
    const uint32_t wordAddress = (addressBase_ + address) / 2;
    for (uint32_t i = 0; i < n; ++i)
      Store(wordAddress + i, words[i]);
    break;
  }
  case 0x02: // extended segment address: the base is the value times 16
  case 0x04: // extended linear address: the upper 16 bits of the address
    if (count == 2) {
      const uint32_t base = bytes.At(4) * 256 + bytes.At(5);
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
