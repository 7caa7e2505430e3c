// The clipboard as the editor core sees it: plain text plus the registered
// formats "Rich Text Format" and "HTML Format". The widget layer implements it
// over the toolkit's clipboard; tests use an in-memory one.
#pragma once

#include <string>
#include <utility>
#include <vector>

enum class TClipFormat { cfText, cfRTF, cfHTML };

// Registered names of the rich formats.
inline const char *ClipFormatName(TClipFormat f) {
  switch (f) {
  case TClipFormat::cfRTF:
    return "Rich Text Format";
  case TClipFormat::cfHTML:
    return "HTML Format";
  default:
    return "Text";
  }
}

class TClipboard {
public:
  virtual ~TClipboard() = default;
  // Empties the clipboard and puts all the given formats on it in one step.
  virtual void SetContents(const std::vector<std::pair<TClipFormat, std::string>> &data) = 0;
  virtual bool HasFormat(TClipFormat f) const = 0;
  // The data of one format; empty when the format is not there.
  virtual std::string GetData(TClipFormat f) const = 0;
};

// Source-type bits handed to OnDataDrop.
constexpr int kDropText = 4;
constexpr int kDropHTML = 256;
constexpr int kDropFromPaste = 512;
