// Fuzz target: HEX files written from any list of records, as a compiler
// writes them (INHX8M data records with their checksums, an end record),
// mixed with lines the loader must pass over (no colon, a wrong checksum, an
// address record and the data it moves out of reach). Loading the file gives
// exactly the image the slot rules compute from the records: program words
// whole, EEPROM bytes low byte only, ID and configuration words whole, every
// other address dropped, a later record winning. A bad pair of characters at
// the end stops the load with its message and keeps what came before.
// KX_FUZZ_LINK: src/toolchain/core
#include "HexImage.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Hex2(unsigned v) {
  char b[3];
  std::snprintf(b, sizeof b, "%02X", v & 0xFF);
  return b;
}

// One record with its checksum; lower-case digits now and then.
std::string Record(unsigned type, unsigned address, const std::string &data, bool lower) {
  unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFF) + type;
  std::string s = ":" + Hex2(static_cast<unsigned>(data.size())) + Hex2(address >> 8) +
                  Hex2(address) + Hex2(type);
  for (unsigned char c : data) {
    s += Hex2(c);
    sum += c;
  }
  s += Hex2(0x100 - (sum & 0xFF));
  if (lower)
    for (char &c : s)
      if (c >= 'A' && c <= 'F')
        c = static_cast<char>(c + 32);
  return s;
}

// The slot rules, written out: word address to slot and what the slot keeps.
void Expect(std::array<uint16_t, THexImage::SlotCount> &image, uint32_t word, uint16_t value) {
  if (word < 0x2000)
    image[word] = value;
  else if (word < 0x2008)
    image[word + 0x100] = value;
  else if (word >= 0x2100 && word < 0x2200)
    image[word - 0x100] = value & 0xFF;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FuzzedDataProvider in(data, size);
  std::array<uint16_t, THexImage::SlotCount> expected;
  for (int i = 0; i < THexImage::SlotCount; ++i)
    expected[i] = i < THexImage::ProgramSlots ? THexImage::ProgramBlank : THexImage::ByteBlank;

  std::string file;
  const char *breaks[] = {"\r\n", "\n", "\r"};
  const char *eol = breaks[in.ConsumeIntegralInRange(0, 2)];
  while (in.remaining_bytes() > 4) {
    const int kind = in.ConsumeIntegralInRange(0, 9);
    if (kind < 6) {
      // A data record: byte address (often in the EEPROM and configuration
      // areas), an even or odd count of data bytes.
      static const unsigned areas[] = {0x0000, 0x3F00, 0x4000, 0x400E, 0x4200, 0x43F0, 0x4010};
      const unsigned address =
          kind < 3 ? in.ConsumeIntegral<uint16_t>()
                   : (areas[in.ConsumeIntegralInRange(0, 6)] + in.ConsumeIntegralInRange(0, 31)) &
                         0xFFFF;
      const std::string bytes = in.ConsumeBytesAsString(in.ConsumeIntegralInRange(0, 32));
      file += Record(0, address, bytes, in.ConsumeBool()) + eol;
      for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        Expect(expected, address / 2 + static_cast<uint32_t>(i / 2),
               static_cast<uint16_t>(static_cast<uint8_t>(bytes[i]) |
                                     static_cast<uint8_t>(bytes[i + 1]) << 8));
    } else if (kind == 6) {
      // Not a record: no colon, so nothing in it counts.
      std::string junk = in.ConsumeRandomLengthString(40);
      for (char &c : junk)
        if (c == '\r' || c == '\n' || c == ':')
          c = ' ';
      if (!junk.empty() && junk[0] != ':')
        file += junk + eol;
    } else if (kind == 7) {
      // A record with a wrong checksum stores nothing.
      std::string r = Record(0, in.ConsumeIntegral<uint16_t>(),
                             in.ConsumeBytesAsString(in.ConsumeIntegralInRange(1, 16)), false);
      const unsigned last = static_cast<unsigned>(std::stoul(r.substr(r.size() - 2), nullptr, 16));
      r.replace(r.size() - 2, 2, Hex2(last + 1 + in.ConsumeIntegralInRange(0, 254)));
      file += r + eol;
    } else if (kind == 8) {
      // An extended address record moves the data after it out of every
      // slot; a second one with base 0 brings them back.
      // (a segment base from 0x1000 up is 64 KB or more, past every slot).
      const bool segment = in.ConsumeBool();
      const unsigned base = in.ConsumeIntegralInRange<unsigned>(segment ? 0x1000 : 1, 0xFFFF);
      file += Record(segment ? 2 : 4, 0, std::string{char(base >> 8), char(base)}, false) + eol;
      file += Record(0, in.ConsumeIntegral<uint16_t>() & 0x3FFE,
                     in.ConsumeBytesAsString(in.ConsumeIntegralInRange(0, 16)), false) +
              eol;
      file += Record(4, 0, std::string(2, '\0'), false) + eol;
    } else {
      file += Record(1, 0, std::string(), false) + eol; // end record: stores nothing
    }
  }

  THexImage image;
  image.LoadBytes(file);
  if (image.Slots() != expected)
    std::abort();

  // A bad pair after all that: the message names it, the image keeps the rest.
  const std::string bad = ":02000000" + std::string("G1") + "00FE";
  try {
    image.LoadBytes(file + bad + eol + Record(0, 0, std::string(2, '\x55'), false));
    std::abort();
  } catch (const EHexConvertError &e) {
    if (std::string(e.what()) != "'$G1' is not a valid integer value")
      std::abort();
  }
  if (image.Slots() != expected)
    std::abort();
  return 0;
}
