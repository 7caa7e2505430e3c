// The in-memory registry and the style string of the registry copy.
#include "Registry.h"

#include "SchemeErrors.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

void TMemoryRegistry::WriteString(const std::string &key, const std::string &name,
                                  const std::string &value) {
  Values[{key, name}] = {false, value};
}

void TMemoryRegistry::WriteBinary(const std::string &key, const std::string &name,
                                  const std::string &bytes) {
  Values[{key, name}] = {true, bytes};
}

std::optional<std::string> TMemoryRegistry::ReadString(const std::string &key,
                                                       const std::string &name) {
  const auto it = Values.find({key, name});
  if (it == Values.end())
    return std::nullopt;
  if (it->second.Binary)
    throw ERegistryError("Invalid data in registry entry");
  return it->second.Data;
}

std::optional<std::string> TMemoryRegistry::ReadBinary(const std::string &key,
                                                       const std::string &name) {
  const auto it = Values.find({key, name});
  if (it == Values.end())
    return std::nullopt;
  if (!it->second.Binary)
    throw ERegistryError("Invalid data in registry entry");
  return it->second.Data;
}

namespace {

const char kPrefix[] = "Vendel6:";

[[noreturn]] void Invalid() {
  throw ESyntaxMemoParserError("Invalid data in style string");
}

// A decimal integer in [lo, hi] at text[at..], advancing at.
int64_t Number(const std::string &text, size_t &at, int64_t lo, int64_t hi) {
  size_t k = at;
  if (k < text.size() && text[k] == '-')
    ++k;
  const size_t digits = k;
  while (k < text.size() && text[k] >= '0' && text[k] <= '9' && k - digits < 12)
    ++k;
  if (k == digits)
    Invalid();
  const int64_t v = std::strtoll(text.c_str() + at, nullptr, 10);
  if (v < lo || v > hi)
    Invalid();
  at = k;
  return v;
}

void Expect(const std::string &text, size_t &at, char c) {
  if (at >= text.size() || text[at] != c)
    Invalid();
  ++at;
}

} // namespace

std::string StyleString(const TSM_Settings &s) {
  std::string out = kPrefix;
  bool first = true;
  for (int n = 0; n < 256; ++n) {
    const TSM_StyleRecord &r = s.Styles[n];
    if (!r.InUse)
      continue;
    if (!first)
      out += ';';
    first = false;
    out += '#';
    out += std::to_string(n);
    out += '=';
    out += std::to_string(r.Foreground);
    out += ',';
    out += std::to_string(r.Background);
    out += ',';
    if (r.FontStyle & fsBoldBit)
      out += 'B';
    if (r.FontStyle & fsItalicBit)
      out += 'I';
    if (r.FontStyle & fsUnderlineBit)
      out += 'U';
    if (r.FontStyle & fsStrikeoutBit)
      out += 'S';
    if (r.ForegroundDefault)
      out += 'X';
    if (r.BackgroundDefault)
      out += 'Y';
    if (r.Hotspot)
      out += 'H';
    if (r.FontStyle & 0xF0) {
      out += 'F';
      out += std::to_string(r.FontStyle);
    }
  }
  return out;
}

void ApplyStyleString(const std::string &text, TSM_Settings &s) {
  if (text.compare(0, sizeof kPrefix - 1, kPrefix) != 0)
    Invalid();
  std::vector<std::pair<int, TSM_StyleRecord>> parsed;
  size_t at = sizeof kPrefix - 1;
  while (at < text.size()) {
    if (!parsed.empty())
      Expect(text, at, ';');
    Expect(text, at, '#');
    const int n = static_cast<int>(Number(text, at, 0, 255));
    Expect(text, at, '=');
    TSM_StyleRecord r;
    r.InUse = 1;
    r.Foreground = static_cast<int32_t>(Number(text, at, INT32_MIN, INT32_MAX));
    Expect(text, at, ',');
    r.Background = static_cast<int32_t>(Number(text, at, INT32_MIN, INT32_MAX));
    Expect(text, at, ',');
    while (at < text.size() && text[at] != ';') {
      switch (text[at++]) {
      case 'B':
        r.FontStyle |= fsBoldBit;
        break;
      case 'I':
        r.FontStyle |= fsItalicBit;
        break;
      case 'U':
        r.FontStyle |= fsUnderlineBit;
        break;
      case 'S':
        r.FontStyle |= fsStrikeoutBit;
        break;
      case 'X':
        r.ForegroundDefault = true;
        break;
      case 'Y':
        r.BackgroundDefault = true;
        break;
      case 'H':
        r.Hotspot = true;
        break;
      case 'F':
        r.FontStyle |= static_cast<uint8_t>(Number(text, at, 0, 255));
        break;
      default:
        Invalid();
      }
    }
    parsed.emplace_back(n, r);
  }
  for (const auto &[n, r] : parsed)
    s.Styles[n] = r;
}
