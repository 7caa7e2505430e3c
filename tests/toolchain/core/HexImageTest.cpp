// The HEX loader: the images gpasm's own tools read from real INHX8M files,
// slot for slot; the documented edge cases; damaged files; and random
// records against a plain reference loader.
#include "HexImage.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <regex>

namespace {

const std::string DataDir = KX_TESTDATA_DIR "/hex/";

using TImage = std::array<uint16_t, THexImage::SlotCount>;

TImage BlankImage() {
  TImage img;
  for (int i = 0; i < THexImage::SlotCount; ++i)
    img[static_cast<size_t>(i)] = i < 0x2000 ? 0x3FFF : 0x00FF;
  return img;
}

// ---- the vectors' expected images -----------------------------------------

// The "0xAAAA": "0xVVVV" pairs of one section of an expected-image file.
std::map<uint32_t, uint32_t> Section(const std::string &json, const std::string &name) {
  std::map<uint32_t, uint32_t> out;
  const size_t at = json.find("\"" + name + "\": {");
  if (at == std::string::npos)
    return out;
  const size_t end = json.find('}', at);
  const std::string body = json.substr(at, end - at);
  static const std::regex pair("\"0x([0-9A-Fa-f]+)\": \"0x([0-9A-Fa-f]+)\"");
  for (std::sregex_iterator it(body.begin(), body.end(), pair), stop; it != stop; ++it)
    out[static_cast<uint32_t>(std::stoul((*it)[1], nullptr, 16))] =
        static_cast<uint32_t>(std::stoul((*it)[2], nullptr, 16));
  return out;
}

// The image the loader must produce for a vector: program words at their
// addresses, ID and configuration words 0x2000-0x2007 after the EEPROM area,
// EEPROM bytes 0x2100-0x21FF in front of them; other words are not kept.
TImage ExpectedImage(const std::string &stem) {
  const std::string json = ReadFileBytes(DataDir + stem + ".json");
  EXPECT_FALSE(json.empty()) << stem;
  TImage img = BlankImage();
  for (auto [address, word] : Section(json, "program"))
    img[address] = static_cast<uint16_t>(word);
  for (const char *name : {"id", "config"})
    for (auto [address, word] : Section(json, name))
      if (address <= 0x2007)
        img[0x2100 + (address - 0x2000)] = static_cast<uint16_t>(word);
  for (auto [address, byte] : Section(json, "eeprom"))
    img[0x2000 + (address - 0x2100)] = static_cast<uint16_t>(byte);
  return img;
}

TImage Load(const std::string &bytes) {
  THexImage image;
  image.LoadBytes(bytes);
  return image.Slots();
}

::testing::AssertionResult SameImage(const TImage &want, const TImage &got) {
  for (size_t i = 0; i < want.size(); ++i)
    if (want[i] != got[i]) {
      char buf[96];
      std::snprintf(buf, sizeof buf, "slot 0x%04zX: want 0x%04X, got 0x%04X", i, want[i], got[i]);
      return ::testing::AssertionFailure() << buf;
    }
  return ::testing::AssertionSuccess();
}

const char *const Vectors[] = {"p01_16f84a_blink",    "p02_16f628a_uart",    "p03_16f877a_pages",
                               "p04_16f876a_crlf",    "p05_12f675_osccal",   "p06_16f88_config2",
                               "p07_16f648a_strings", "p08_16f877a_minimal", "p09_16f628a_dataonly",
                               "p10_16f876a_bulk"};

TEST(HexVectors, EveryGpasmFileLoadsToItsExpectedImageSlotForSlot) {
  for (const char *stem : Vectors) {
    SCOPED_TRACE(stem);
    const std::string hex = ReadFileBytes(DataDir + stem + ".hex");
    ASSERT_FALSE(hex.empty());
    EXPECT_TRUE(SameImage(ExpectedImage(stem), Load(hex)));
    // The same through the line-list interface, line ends removed.
    std::vector<std::string> lines;
    std::string line;
    for (char c : hex) {
      if (c == '\n') {
        lines.push_back(line);
        line.clear();
      } else if (c != '\r') {
        line += c;
      }
    }
    LoadHexImage(lines);
    EXPECT_TRUE(SameImage(ExpectedImage(stem), HexImage.Slots()));
  }
}

TEST(HexVectors, DamagedCopiesOfTheBlinkFile) {
  const TImage p01 = ExpectedImage("p01_16f84a_blink");
  const auto bad = [](const char *name) { return Load(ReadFileBytes(DataDir + "bad/" + name)); };
  const auto without = [&](int first, int count) {
    TImage img = p01;
    for (int w = first; w < first + count; ++w)
      img[static_cast<size_t>(w)] = 0x3FFF;
    return img;
  };

  // Read as the blink file: lower-case digits; records of other types, which
  // are never taken as data; words without a slot; no end record.
  EXPECT_TRUE(SameImage(p01, bad("lowercase_digits_ok.hex")));
  EXPECT_TRUE(SameImage(p01, bad("type04_upper_zero_inhx32.hex")));
  EXPECT_TRUE(SameImage(p01, bad("start_address_03_05.hex")));
  EXPECT_TRUE(SameImage(p01, bad("config_gap_2008_20ff.hex")));
  EXPECT_TRUE(SameImage(p01, bad("beyond_eeprom_2200.hex")));
  EXPECT_TRUE(SameImage(p01, bad("no_eof.hex")));
  EXPECT_TRUE(SameImage(ExpectedImage("p03_16f877a_pages"), bad("shuffled_records_p03_ok.hex")));
  EXPECT_TRUE(SameImage(BlankImage(), bad("eof_only.hex")));
  EXPECT_TRUE(SameImage(BlankImage(), bad("empty.hex")));

  // Records after the end record are loaded like any other.
  TImage afterEnd = p01;
  afterEnd[0x30] = 0x0000;
  afterEnd[0x31] = 0x0063;
  EXPECT_TRUE(SameImage(afterEnd, bad("data_after_eof.hex")));

  // A wrong checksum or a missing colon skips only that line (line 3 holds
  // words 0x08-0x0F, line 4 words 0x10-0x17).
  EXPECT_TRUE(SameImage(without(0x08, 8), bad("bad_checksum.hex")));
  EXPECT_TRUE(SameImage(without(0x10, 8), bad("missing_colon.hex")));

  // A segment or upper-address record never reaches word 0 as data, and the
  // records after a base beyond 64 KB have no slot.
  TImage highBase = p01;
  highBase[0x2107] = 0x00FF;
  for (int i = 0; i < 6; ++i)
    highBase[static_cast<size_t>(0x2000 + i)] = 0x00FF;
  EXPECT_TRUE(SameImage(highBase, bad("type02_segment.hex")));
  EXPECT_TRUE(SameImage(highBase, bad("type04_upper_nonzero.hex")));
}

TEST(HexVectors, BadCharactersStopTheLoadWithTheConversionMessage) {
  const TImage p01 = ExpectedImage("p01_16f84a_blink");
  const auto loadFails = [](const char *name, const char *message) {
    THexImage image;
    try {
      image.LoadBytes(ReadFileBytes(DataDir + "bad/" + name));
      ADD_FAILURE() << name << ": no error";
    } catch (const EHexConvertError &e) {
      EXPECT_STREQ(e.what(), message) << name;
    }
    return image.Slots();
  };
  // Lines 1 to 3 (words 0x00-0x0F) stay loaded; line 4 and the rest are not.
  TImage kept = BlankImage();
  std::copy(p01.begin(), p01.begin() + 0x10, kept.begin());
  EXPECT_TRUE(
      SameImage(kept, loadFails("non_hex_chars.hex", "'$G8' is not a valid integer value")));

  // Line 5 counts 16 bytes and carries 8 with a checksum that fits them: its
  // data runs out past the line, and none of it is stored.
  std::copy(p01.begin(), p01.begin() + 0x18, kept.begin());
  EXPECT_TRUE(
      SameImage(kept, loadFails("count_field_too_large.hex", "'$' is not a valid integer value")));
}

// ---- the documented edge cases --------------------------------------------

// A record with its checksum.
std::string Record(unsigned address, unsigned type, const std::vector<unsigned> &data) {
  std::vector<unsigned> bytes = {static_cast<unsigned>(data.size()), address >> 8, address & 0xFF,
                                 type};
  bytes.insert(bytes.end(), data.begin(), data.end());
  unsigned sum = 0;
  std::string line = ":";
  for (unsigned b : bytes) {
    sum += b;
    char buf[3];
    std::snprintf(buf, sizeof buf, "%02X", b & 0xFF);
    line += buf;
  }
  char buf[3];
  std::snprintf(buf, sizeof buf, "%02X", (256 - sum % 256) % 256);
  return line + buf;
}

TEST(HexImage, ClearGivesTheBlankValueOfEveryRegion) {
  THexImage image;
  image.LoadBytes(":0400000001280000D3\n");
  image.Clear();
  EXPECT_TRUE(SameImage(BlankImage(), image.Slots()));
  EXPECT_EQ(THexImage::SlotCount, 8456);
}

TEST(HexImage, RecordsStoreLowByteFirstWordsByRegion) {
  THexImage image;
  image.LoadBytes(":0400000001280000D3");
  EXPECT_EQ(image.ProgramWord(0), 0x2801);
  EXPECT_EQ(image.ProgramWord(1), 0x0000);
  EXPECT_EQ(image.ProgramWord(2), 0x3FFF);

  // EEPROM word 0x2100 (byte 0x4200) with data bytes 12 00.
  image.LoadBytes(Record(0x4200, 0, {0x12, 0x00}));
  EXPECT_EQ(image.EepromByte(0), 0x12);
  EXPECT_EQ(image.Slot(0x2000), 0x0012);
  // Only the low byte of an EEPROM word is kept.
  image.LoadBytes(Record(0x4202, 0, {0x34, 0x12}));
  EXPECT_EQ(image.EepromByte(1), 0x34);
  // The last EEPROM slot is word 0x21FF.
  image.LoadBytes(Record(0x43FE, 0, {0x77, 0x00}));
  EXPECT_EQ(image.EepromByte(255), 0x77);

  // ID words at 0x2000 and the configuration word 0x2007 (byte 0x400E) land
  // after the EEPROM slots; the configuration word in the last slot.
  image.LoadBytes(Record(0x4000, 0, {0x01, 0x00, 0x02, 0x00}) + "\n:02400E00F13F80");
  EXPECT_EQ(image.ConfigWord(0), 0x0001);
  EXPECT_EQ(image.ConfigWord(1), 0x0002);
  EXPECT_EQ(image.ConfigWord(7), 0x3FF1);
  EXPECT_EQ(image.Slot(8455), 0x3FF1);
  // One checksum digit changed: the record is skipped.
  image.LoadBytes(":02400E00F13F81");
  EXPECT_EQ(image.ConfigWord(7), 0x00FF);

  // Words 0x2008 to 0x20FF and from 0x2200 on have no slot.
  for (unsigned byteAddress : {0x4010u, 0x4100u, 0x41FEu, 0x4400u, 0x8000u, 0xFFFEu}) {
    image.LoadBytes(Record(byteAddress, 0, {0x34, 0x12}));
    EXPECT_TRUE(SameImage(BlankImage(), image.Slots())) << std::hex << byteAddress;
  }
  // The low bit of the byte address is dropped.
  image.LoadBytes(Record(0x0003, 0, {0x34, 0x12}));
  EXPECT_EQ(image.ProgramWord(1), 0x1234);
}

TEST(HexImage, CheckedAndSkippedLines) {
  // The first character must be ":".
  EXPECT_FALSE(THexImage::RecordValid(""));
  EXPECT_FALSE(THexImage::RecordValid(" :00000001FF"));
  EXPECT_FALSE(THexImage::RecordValid("00000001FF"));
  EXPECT_TRUE(THexImage::RecordValid(":00000001FF"));
  EXPECT_TRUE(THexImage::RecordValid(":00000001ff"));
  EXPECT_FALSE(THexImage::RecordValid(":00000001FE"));
  // A single character left at the end is not read, whatever it is.
  EXPECT_TRUE(THexImage::RecordValid(":00000001FFZ"));
  // Every pair is read: a bad one raises the message.
  EXPECT_THROW(THexImage::RecordValid(":00000001FFZZ"), EHexConvertError);
  EXPECT_THROW(THexImage::RecordValid(":0 000001FF"), EHexConvertError);
  EXPECT_THROW(THexImage::RecordValid(":+1000001FF"), EHexConvertError);

  THexImage image;
  image.LoadBytes("junk\r\n\r\n:0400000001280000D3\r\n; comment\r\n" +
                  Record(2, 0, {0xFF, 0xFF}).substr(0, 13) + "00\r\n");
  EXPECT_EQ(image.ProgramWord(0), 0x2801);
  EXPECT_EQ(image.ProgramWord(1), 0x0000) << "a record with a wrong checksum wrote here";

  // ":" alone is a valid record without a count: reading the count fails.
  try {
    image.LoadBytes("\n:0400000001280000D3\n:\n");
    FAIL() << "no error";
  } catch (const EHexConvertError &e) {
    EXPECT_STREQ(e.what(), "'$' is not a valid integer value");
  }
  EXPECT_EQ(image.ProgramWord(0), 0x2801);
}

TEST(HexImage, OddCountsAndCountsBeyondTheLine) {
  THexImage image;
  // Three data bytes: one word, the third byte is not stored.
  image.LoadBytes(Record(0, 0, {0x01, 0x28, 0x55}));
  EXPECT_EQ(image.ProgramWord(0), 0x2801);
  EXPECT_EQ(image.ProgramWord(1), 0x3FFF);

  // A count larger than the line: the data read runs past the checksum into
  // nothing, which is not a number. Earlier lines stay, nothing of that one.
  std::string tooLong = Record(2, 0, {0x01, 0x02, 0x03});
  tooLong.replace(1, 2, "06");
  tooLong.replace(tooLong.size() - 2, 2, "F2"); // the sum of what is there
  try {
    image.LoadBytes(Record(0, 0, {0x01, 0x28}) + "\n" + tooLong + "\n");
    FAIL() << "no error";
  } catch (const EHexConvertError &e) {
    EXPECT_STREQ(e.what(), "'$' is not a valid integer value");
  }
  EXPECT_EQ(image.ProgramWord(0), 0x2801);
  EXPECT_EQ(image.ProgramWord(1), 0x3FFF);

  // One character left over past the checksum is read as a one-digit
  // number: count 2, data FE, and "3" as the high byte.
  image.LoadBytes(":02000000FE3");
  EXPECT_EQ(image.ProgramWord(0), 0x03FE);
}

TEST(HexImage, LaterRecordsOverwriteEarlierOnesAndEachLoadStartsBlank) {
  THexImage image;
  image.LoadBytes(":0400000001280000D3\n" + Record(2, 0, {0x34, 0x12}));
  EXPECT_EQ(image.ProgramWord(1), 0x1234);
  image.LoadBytes(Record(4, 0, {0x34, 0x12}));
  EXPECT_EQ(image.ProgramWord(0), 0x3FFF);
  EXPECT_EQ(image.ProgramWord(2), 0x1234);
}

TEST(HexImage, ExtendedAddressRecordsAreNeverData) {
  THexImage image;
  // An upper address of zero (INHX32 files start with one) changes nothing.
  image.LoadBytes(Record(0, 4, {0x00, 0x00}) + "\n" + Record(0, 0, {0x01, 0x28}));
  EXPECT_EQ(image.ProgramWord(0), 0x2801);
  // A non-zero one puts the records after it out of reach until it is reset.
  image.LoadBytes(Record(0, 4, {0x00, 0x01}) + "\n" + Record(0, 0, {0x01, 0x28}) + "\n" +
                  Record(0, 4, {0x00, 0x00}) + "\n" + Record(2, 0, {0x02, 0x28}));
  EXPECT_EQ(image.ProgramWord(0), 0x3FFF);
  EXPECT_EQ(image.ProgramWord(1), 0x2802);
  // Start-address and unknown records store nothing.
  image.LoadBytes(Record(0, 3, {0x12, 0x34, 0x56, 0x78}) + "\n" + Record(0, 5, {1, 2, 3, 4}) +
                  "\n" + Record(0, 6, {1, 2}) + "\n" + Record(0, 1, {1, 2}));
  EXPECT_TRUE(SameImage(BlankImage(), image.Slots()));
}

TEST(HexImage, HugeAndBinaryInputNeitherCrashesNorReadsPastALine) {
  THexImage image;
  std::string big(4 * 1024 * 1024, 'A');
  big[0] = ':';
  EXPECT_NO_THROW(image.LoadBytes(big)); // pairs "AA" sum to a non-zero checksum
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    std::string junk(static_cast<size_t>(rng() % 300), '\0');
    for (char &c : junk)
      c = static_cast<char>(rng());
    if (!junk.empty())
      junk[0] = ':';
    try {
      image.LoadBytes(junk);
    } catch (const EHexConvertError &) {
    }
  }
}

// ---- random records against a reference ------------------------------------

// The loader as plainly as it can be written: substrings and std::stoul.
class TReference {
public:
  TImage Slots = BlankImage();
  std::string Error;

  void Load(const std::vector<std::string> &lines) {
    Slots = BlankImage();
    Error.clear();
    base_ = 0;
    for (const std::string &line : lines) {
      try {
        Line(line);
      } catch (const std::string &message) {
        Error = message;
        return;
      }
    }
  }

private:
  static unsigned Byte(const std::string &line, size_t pos) {
    const std::string two = pos < line.size() ? line.substr(pos, 2) : std::string();
    if (two.empty() || two.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos)
      throw "'$" + two + "' is not a valid integer value";
    return static_cast<unsigned>(std::stoul(two, nullptr, 16));
  }
  void Line(const std::string &line) {
    if (line.empty() || line[0] != ':')
      return;
    unsigned sum = 0;
    for (size_t pos = 1; pos + 2 <= line.size(); pos += 2)
      sum += Byte(line, pos);
    if (sum % 256 != 0)
      return;
    const unsigned n = Byte(line, 1);
    const unsigned address = Byte(line, 3) * 256 + Byte(line, 5);
    const unsigned type = Byte(line, 7);
    if ((type == 2 || type == 4) && n == 2) {
      const unsigned value = Byte(line, 9) * 256 + Byte(line, 11);
      base_ = type == 2 ? value * 16 : value * 65536;
      return;
    }
    if (type != 0)
      return;
    std::vector<unsigned> lo, hi;
    for (unsigned i = 0; i < n / 2; ++i) {
      lo.push_back(Byte(line, 9 + 4 * i));
      hi.push_back(Byte(line, 11 + 4 * i));
    }
    for (unsigned i = 0; i < n / 2; ++i) {
      const unsigned word = (base_ + address) / 2 + i;
      if (word <= 0x1FFF)
        Slots[word] = static_cast<uint16_t>(hi[i] * 256 + lo[i]);
      else if (word >= 0x2000 && word <= 0x2007)
        Slots[word + 0x100] = static_cast<uint16_t>(hi[i] * 256 + lo[i]);
      else if (word >= 0x2100 && word <= 0x21FF)
        Slots[word - 0x100] = static_cast<uint16_t>(lo[i]);
    }
  }
  unsigned base_ = 0;
};

std::string Hex2(unsigned v) {
  char buf[3];
  std::snprintf(buf, sizeof buf, "%02X", v & 0xFF);
  return buf;
}

std::string RandomRecord(std::mt19937 &rng) {
  const unsigned kind = rng() % 100;
  if (kind < 3)
    return "; not a record";
  if (kind < 5)
    return ":00000001FF";
  const unsigned count = rng() % 20;
  unsigned address;
  switch (rng() % 4) {
  case 0:
    address = rng() % 0x4000; // program
    break;
  case 1:
    address = 0x4000 + rng() % 0x20; // ID, configuration and the gap after them
    break;
  case 2:
    address = 0x4200 + rng() % 0x220; // EEPROM and beyond
    break;
  default:
    address = rng() % 0x10000;
  }
  unsigned type = kind < 8 ? (rng() % 2 ? 4 : 2) : kind < 10 ? rng() % 7 : 0;
  std::vector<unsigned> bytes = {count, address >> 8, address & 0xFF, type};
  const unsigned data = type == 4 || type == 2 ? 2 : count;
  if (type == 4 || type == 2)
    bytes[0] = 2;
  for (unsigned i = 0; i < data; ++i)
    bytes.push_back(type == 4 || type == 2 ? (rng() % 3 == 0 ? rng() % 2 : 0) : rng() % 256);
  unsigned sum = 0;
  for (unsigned b : bytes)
    sum += b;
  bytes.push_back((256 - sum % 256) % 256);
  std::string line = ":";
  for (unsigned b : bytes)
    line += Hex2(b);
  switch (rng() % 40) {
  case 0: // checksum off by one
    line.back() = line.back() == '0' ? '1' : '0';
    break;
  case 1: // lower case
    for (char &c : line)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    break;
  case 2: // a bad character
    line[1 + rng() % (line.size() - 1)] = "GZ -x"[rng() % 5];
    break;
  case 3: // cut short
    line.resize(1 + rng() % (line.size() - 1));
    break;
  case 4: // a stray character at the end
    line += "F";
    break;
  default:
    break;
  }
  return line;
}

TEST(HexImageProperty, RandomRecordsLoadAsTheReferenceLoadsThem) {
  std::mt19937 rng(20240601);
  TReference reference;
  THexImage image;
  int errors = 0;
  for (int round = 0; round < 400; ++round) {
    std::vector<std::string> lines;
    const int n = 1 + static_cast<int>(rng() % 60);
    for (int i = 0; i < n; ++i)
      lines.push_back(RandomRecord(rng));
    reference.Load(lines);
    std::string error;
    try {
      image.Load(lines);
    } catch (const EHexConvertError &e) {
      error = e.what();
    }
    errors += !error.empty();
    ASSERT_EQ(error, reference.Error) << "round " << round;
    ASSERT_TRUE(SameImage(reference.Slots, image.Slots())) << "round " << round;
  }
  EXPECT_GT(errors, 10) << "the random files should reach the error path";
}

} // namespace
