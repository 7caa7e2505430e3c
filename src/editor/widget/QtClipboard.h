// The editor's clipboard over the system clipboard: plain text (through
// Windows-1252, line breaks as given), rich text as "text/rtf" and HTML as
// "text/html".
#pragma once

#include "Clipboard.h"

#include <QString>

class TQtClipboard : public TClipboard {
public:
  void SetContents(const std::vector<std::pair<TClipFormat, std::string>> &data) override;
  bool HasFormat(TClipFormat f) const override;
  std::string GetData(TClipFormat f) const override;
};

// Windows-1252 bytes <-> text. Characters without a Windows-1252 byte become '?'.
QString FromCp1252(const char *bytes, size_t n);
inline QString FromCp1252(const std::string &s) {
  return FromCp1252(s.data(), s.size());
}
std::string ToCp1252(const QString &text);
// The character a byte shows as.
QChar Cp1252Char(unsigned char byte);
