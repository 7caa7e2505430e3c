// Fuzz target: the key map's stored form as any bytes (it comes back from the
// user's settings). What reads writes back to the very bytes it was read from;
// the map built from it recognises every binding it holds, two-key sequences
// whatever the modifiers of the second key; a refused binding names both
// commands and leaves the bindings before it in place; building the map from
// its own data changes nothing.
// KX_FUZZ_LINK: src/editor/core
#include "EditorFeatures.h"
#include "KeyMap.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Whether the map answers a binding with its command.
bool Recognises(TKeyboardActionContoller &map, const TSM_KeyBinding &b, uint16_t modifiers) {
  TKeyStore &keys = map.Keys();
  keys.ResetLookUp();
  int32_t code = -2;
  TKeyLookup r = keys.LookUp(b.First, code);
  if (b.Second != 0) {
    if (r != TKeyLookup::klPending)
      return false;
    r = keys.LookUp(static_cast<uint16_t>(b.Second | modifiers), code);
  }
  keys.ResetLookUp();
  return r == TKeyLookup::klRecognised && code == b.Command;
}

TSM_KeyBinding Normalised(const TSM_KeyBinding &b) {
  return {b.First, static_cast<uint16_t>(b.Second & ~scModifiers), b.Command};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string bytes(reinterpret_cast<const char *>(data), size);
  TMemoryStream in(bytes);
  TSM_KeyMapData d;
  try {
    d.ReadFrom(in);
  } catch (const EReadError &) {
    return 0;
  }
  // Byte for byte: the form has no slack and no field it drops.
  TMemoryStream out;
  d.WriteTo(out);
  if (out.Bytes() != bytes.substr(0, static_cast<size_t>(in.Position())))
    std::abort();

  TKeyboardActionContoller map;
  size_t added = d.Bindings.size();
  try {
    map.FromData(d);
  } catch (const EAmbigiousKeyPair &e) {
    const std::string what = e.what();
    if (what.rfind("Duplicate key sequence definition for\r\n\"", 0) != 0)
      std::abort();
    // The first binding the map refuses is the one that collides with those before it.
    TKeyboardActionContoller prefix;
    for (prefix.Clear(), added = 0; added < d.Bindings.size(); ++added) {
      const TSM_KeyBinding &b = d.Bindings[added];
      try {
        prefix.AddBinding(b.First, b.Second, b.Command);
      } catch (const EAmbigiousKeyPair &) {
        break;
      }
    }
    if (added == d.Bindings.size())
      std::abort();
  }
  for (size_t i = 0; i < added; ++i) {
    const TSM_KeyBinding b = Normalised(d.Bindings[i]);
    if (b.First == 0)
      continue; // the empty shortcut is never bound
    const uint16_t mods = static_cast<uint16_t>(size > 0 ? (data[i % size] & 7) << 13 : 0);
    if (!Recognises(map, b, mods))
      std::abort();
  }
  // The map's own data is a fixed point, and every binding it lists is one of
  // those it was given.
  const TSM_KeyMapData own = map.ToData();
  for (const TSM_KeyBinding &b : own.Bindings) {
    bool given = false;
    for (size_t i = 0; i < added && !given; ++i)
      given = Normalised(d.Bindings[i]) == b;
    if (!given || !Recognises(map, b, 0))
      std::abort();
  }
  TKeyboardActionContoller again;
  again.FromData(own);
  if (again.ToData() != own)
    std::abort();
  TMemoryStream stored;
  own.WriteTo(stored);
  stored.SetPosition(0);
  TKeyboardActionContoller reread;
  reread.ReadFrom(stored);
  if (reread.ToData() != own)
    std::abort();
  return 0;
}
