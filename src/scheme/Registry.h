// The registry seam: string and binary values under a key of the current
// user, where a scheme keeps the user's copy of its display settings. The
// program's implementation is a settings file (QtRegistry); tests use the
// in-memory one.
#pragma once

#include "KorvexError.h"
#include "Settings.h"

#include <map>
#include <optional>
#include <string>
#include <utility>

KX_DECLARE_ERROR(ERegistryError, EKorvexError);

class TRegistry {
public:
  virtual ~TRegistry() = default;
  // Writing creates the key when needed; failures raise ERegistryError.
  virtual void WriteString(const std::string &key, const std::string &name,
                           const std::string &value) = 0;
  virtual void WriteBinary(const std::string &key, const std::string &name,
                           const std::string &bytes) = 0;
  // Nothing when the value is absent; a value of the other kind raises ERegistryError.
  virtual std::optional<std::string> ReadString(const std::string &key,
                                                const std::string &name) = 0;
  virtual std::optional<std::string> ReadBinary(const std::string &key,
                                                const std::string &name) = 0;
};

class TMemoryRegistry : public TRegistry {
public:
  void WriteString(const std::string &key, const std::string &name,
                   const std::string &value) override;
  void WriteBinary(const std::string &key, const std::string &name,
                   const std::string &bytes) override;
  std::optional<std::string> ReadString(const std::string &key, const std::string &name) override;
  std::optional<std::string> ReadBinary(const std::string &key, const std::string &name) override;

  struct TValue {
    bool Binary = false;
    std::string Data;
  };
  std::map<std::pair<std::string, std::string>, TValue> Values;
};

// The style string of the registry copy: "Vendel6:" then one entry per defined
// style, separated by ";": "#<number>=<foreground>,<background>,<flags>" with
// the flag letters B, I, U, S (font style), X, Y (foreground, background as
// default), H (hotspot), and "F<n>" when the font style has bits beyond those four.
std::string StyleString(const TSM_Settings &s);
// Applies a style string to s's styles (all or nothing); raises
// ESyntaxMemoParserError "Invalid data in style string" when it does not parse.
void ApplyStyleString(const std::string &text, TSM_Settings &s);
