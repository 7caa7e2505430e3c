// Character groups and their interning.
#include "CharGroup.h"

#include <algorithm>
#include <cstdio>

void TSM_CharGroup::AddRange(unsigned lo, unsigned hi) {
  if (lo > hi)
    std::swap(lo, hi);
  for (unsigned c = lo; c <= hi && c < 256; ++c)
    Bits[c >> 6] |= uint64_t(1) << (c & 63);
  if (hi < 256)
    return;
  lo = std::max(lo, 256u);
  hi = std::min(hi, 0xFFFFu);
  if (lo > hi)
    return;
  TSM_CharRange r{static_cast<uint16_t>(lo), static_cast<uint16_t>(hi)};
  if (std::find(Ranges.begin(), Ranges.end(), r) == Ranges.end())
    Ranges.push_back(r);
}

void TSM_CharGroup::BitsToBytes(uint8_t out[32]) const {
  for (int i = 0; i < 32; ++i)
    out[i] = static_cast<uint8_t>(Bits[i / 8] >> ((i % 8) * 8));
}

void TSM_CharGroup::BitsFromBytes(const uint8_t in[32]) {
  for (uint64_t &w : Bits)
    w = 0;
  for (int i = 0; i < 32; ++i)
    Bits[i / 8] |= uint64_t(in[i]) << ((i % 8) * 8);
}

static void AppendChar(std::string &s, unsigned c) {
  if (c > 32 && c < 127 && c != '[' && c != ']' && c != '-' && c != '^' && c != '\\')
    s += static_cast<char>(c);
  else {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\x%02X", c);
    s += buf;
  }
}

std::string TSM_CharGroup::Describe() const {
  std::string s = "[";
  for (unsigned c = 0; c < 256;) {
    if (!Contains(c)) {
      ++c;
      continue;
    }
    unsigned e = c;
    while (e + 1 < 256 && Contains(e + 1))
      ++e;
    AppendChar(s, c);
    if (e > c) {
      if (e > c + 1)
        s += '-';
      AppendChar(s, e);
    }
    c = e + 1;
  }
  for (const TSM_CharRange &r : Ranges) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "\\u%04X-\\u%04X", r.Low, r.High);
    s += buf;
  }
  return s + "]";
}

void TSM_CharGroupManager::Clear() {
  Groups.clear();
  Groups.emplace_back();
}

uint16_t TSM_CharGroupManager::Intern(const TSM_CharGroup &g) {
  for (size_t i = 0; i < Groups.size(); ++i)
    if (Groups[i] == g)
      return static_cast<uint16_t>(i);
  // More distinct groups than an index can name cannot come from a real
  // scheme; the empty group stands in rather than overflowing the index.
  if (Groups.size() >= 0xFFFF)
    return 0;
  Groups.push_back(g);
  return static_cast<uint16_t>(Groups.size() - 1);
}

static bool NamedClass(const std::string &name, TSM_CharGroup &g) {
  auto add = [&](int (*pred)(unsigned)) {
    for (unsigned c = 0; c < 256; ++c)
      if (pred(c))
        g.Add(c);
  };
  if (name == "alpha")
    add([](unsigned c) -> int { return (c | 32) >= 'a' && (c | 32) <= 'z'; });
  else if (name == "digit")
    add([](unsigned c) -> int { return c >= '0' && c <= '9'; });
  else if (name == "alnum")
    add([](unsigned c) -> int {
      return ((c | 32) >= 'a' && (c | 32) <= 'z') || (c >= '0' && c <= '9');
    });
  else if (name == "ident")
    add([](unsigned c) -> int {
      return ((c | 32) >= 'a' && (c | 32) <= 'z') || (c >= '0' && c <= '9') || c == '_';
    });
  else if (name == "upper")
    add([](unsigned c) -> int { return c >= 'A' && c <= 'Z'; });
  else if (name == "lower")
    add([](unsigned c) -> int { return c >= 'a' && c <= 'z'; });
  else if (name == "xdigit")
    add([](unsigned c) -> int {
      return (c >= '0' && c <= '9') || ((c | 32) >= 'a' && (c | 32) <= 'f');
    });
  else if (name == "space")
    add([](unsigned c) -> int { return c == ' ' || (c >= 9 && c <= 13); });
  else if (name == "punct")
    add([](unsigned c) -> int {
      return c > 32 && c < 127 && !(((c | 32) >= 'a' && (c | 32) <= 'z') || (c >= '0' && c <= '9'));
    });
  else if (name == "eol")
    add([](unsigned c) -> int { return c == 10 || c == 13; });
  else
    return false;
  return true;
}

bool ParseCharSpec(const std::string &spec, std::vector<TSM_CharGroup> &groups) {
  std::vector<TSM_CharGroup> out;
  const size_t n = spec.size();
  auto at = [&](size_t i) { return static_cast<unsigned char>(spec[i]); };
  size_t i = 0;
  while (i < n) {
    TSM_CharGroup g;
    if (at(i) != '[') {
      g.Add(at(i++));
      out.push_back(std::move(g));
      continue;
    }
    ++i;
    bool negate = false;
    if (i < n && at(i) == '^') {
      negate = true;
      ++i;
    }
    if (negate && i < n && at(i) == ']') {
      g.Invert(); // [^]: every character
      out.push_back(std::move(g));
      ++i;
      continue;
    }
    bool first = true;
    bool closed = false;
    while (i < n) {
      unsigned c = at(i);
      if (c == ']' && !first) {
        closed = true;
        ++i;
        break;
      }
      first = false;
      if (c == '[' && i + 1 < n && at(i + 1) == ':') {
        const size_t e = spec.find(":]", i + 2);
        if (e == std::string::npos || !NamedClass(spec.substr(i + 2, e - i - 2), g))
          return false;
        i = e + 2;
        continue;
      }
      if (i + 2 < n && at(i + 1) == '-' && at(i + 2) != ']') {
        const unsigned hi = at(i + 2);
        if (hi < c)
          return false;
        g.AddRange(c, hi);
        i += 3;
        continue;
      }
      g.Add(c);
      ++i;
    }
    if (!closed)
      return false;
    if (negate)
      g.Invert();
    out.push_back(std::move(g));
  }
  groups.insert(groups.end(), out.begin(), out.end());
  return true;
}
