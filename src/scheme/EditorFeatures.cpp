// Stored forms of the key map, code templates and auto-replace lists.
#include "EditorFeatures.h"

namespace kxio {

void WriteI32(TStream &s, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  const unsigned char b[4] = {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8),
                              static_cast<unsigned char>(u >> 16), static_cast<unsigned char>(u >> 24)};
  s.WriteBuffer(b, 4);
}

void WriteU16(TStream &s, uint16_t v) {
  const unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
  s.WriteBuffer(b, 2);
}

void WriteU8(TStream &s, uint8_t v) { s.WriteBuffer(&v, 1); }

void WriteLStr(TStream &s, const std::string &v) {
  WriteI32(s, static_cast<int32_t>(v.size()));
  s.WriteBuffer(v.data(), static_cast<int64_t>(v.size()));
}

void WriteSStr(TStream &s, const std::string &v) {
  const size_t n = v.size() > 255 ? 255 : v.size();
  WriteU8(s, static_cast<uint8_t>(n));
  s.WriteBuffer(v.data(), static_cast<int64_t>(n));
}

int32_t ReadI32(TStream &s) {
  unsigned char b[4];
  s.ReadBuffer(b, 4);
  return static_cast<int32_t>(b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24));
}

uint16_t ReadU16(TStream &s) {
  unsigned char b[2];
  s.ReadBuffer(b, 2);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint8_t ReadU8(TStream &s) {
  uint8_t b;
  s.ReadBuffer(&b, 1);
  return b;
}

std::string ReadLStr(TStream &s) {
  const int32_t n = ReadCount(s, 1);
  std::string v(static_cast<size_t>(n), '\0');
  s.ReadBuffer(v.data(), n);
  return v;
}

std::string ReadSStr(TStream &s) {
  const uint8_t n = ReadU8(s);
  std::string v(n, '\0');
  s.ReadBuffer(v.data(), n);
  return v;
}

int32_t ReadCount(TStream &s, int64_t minItemSize) {
  const int32_t n = ReadI32(s);
  const int64_t left = s.Size() - s.Position();
  if (n < 0 || (minItemSize > 0 && static_cast<int64_t>(n) * minItemSize > left))
    throw EReadError("Stream read error");
  return n;
}

} // namespace kxio

using namespace kxio;

void TSM_KeyMapData::WriteTo(TStream &s) const {
  WriteI32(s, static_cast<int32_t>(Commands.size()));
  for (const auto &c : Commands) {
    WriteI32(s, c.Code);
    WriteSStr(s, c.Name);
  }
  WriteI32(s, static_cast<int32_t>(Bindings.size()));
  for (const auto &b : Bindings) {
    WriteU16(s, b.First);
    WriteU16(s, b.Second);
    WriteI32(s, b.Command);
  }
}

void TSM_KeyMapData::ReadFrom(TStream &s) {
  TSM_KeyMapData d;
  const int32_t nc = ReadCount(s, 5);
  d.Commands.reserve(static_cast<size_t>(nc));
  for (int32_t i = 0; i < nc; ++i) {
    TSM_KeyCommandName c;
    c.Code = ReadI32(s);
    c.Name = ReadSStr(s);
    d.Commands.push_back(std::move(c));
  }
  const int32_t nb = ReadCount(s, 8);
  d.Bindings.reserve(static_cast<size_t>(nb));
  for (int32_t i = 0; i < nb; ++i) {
    TSM_KeyBinding b;
    b.First = ReadU16(s);
    b.Second = ReadU16(s);
    b.Command = ReadI32(s);
    d.Bindings.push_back(b);
  }
  *this = std::move(d);
}

void WriteTemplates(TStream &s, const std::vector<TSM_CodeTemplate> &list) {
  WriteI32(s, static_cast<int32_t>(list.size()));
  for (const auto &t : list) {
    WriteLStr(s, t.Name);
    WriteLStr(s, t.Description);
    WriteLStr(s, t.Text);
  }
}

std::vector<TSM_CodeTemplate> ReadTemplates(TStream &s) {
  std::vector<TSM_CodeTemplate> out;
  const int32_t n = ReadCount(s, 12);
  out.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    TSM_CodeTemplate t;
    t.Name = ReadLStr(s);
    t.Description = ReadLStr(s);
    t.Text = ReadLStr(s);
    out.push_back(std::move(t));
  }
  return out;
}

void WriteAutoReplace(TStream &s, const std::vector<TSM_AutoReplace> &list) {
  WriteI32(s, static_cast<int32_t>(list.size()));
  for (const auto &a : list) {
    WriteLStr(s, a.Word);
    WriteLStr(s, a.Replacement);
  }
}

std::vector<TSM_AutoReplace> ReadAutoReplace(TStream &s) {
  std::vector<TSM_AutoReplace> out;
  const int32_t n = ReadCount(s, 8);
  out.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    TSM_AutoReplace a;
    a.Word = ReadLStr(s);
    a.Replacement = ReadLStr(s);
    out.push_back(std::move(a));
  }
  return out;
}
