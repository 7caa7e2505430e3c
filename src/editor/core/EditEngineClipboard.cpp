// Editing engine, part 3: cut, copy and paste through the clipboard interface.
#include "CustomSyntaxMemo.h"
#include "Streams.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The fragment of Windows "HTML Format" data, or the data itself when it has
// no valid header.
std::string HtmlFragment(const std::string &data) {
  if (data.rfind("Version:", 0) != 0)
    return data;
  auto number = [&](const char *key) -> int64_t {
    const size_t at = data.find(key);
    if (at == std::string::npos)
      return -1;
    const char *p = data.c_str() + at + std::char_traits<char>::length(key);
    char *end = nullptr;
    const long long v = std::strtoll(p, &end, 10);
    return end == p ? -1 : v;
  };
  const int64_t s = number("StartFragment:"), e = number("EndFragment:");
  if (s < 0 || e < s || e > static_cast<int64_t>(data.size()))
    return data;
  return data.substr(static_cast<size_t>(s), static_cast<size_t>(e - s));
}

} // namespace

// ---------------------------------------------------------------------------
// Clipboard

void TCustomSyntaxMemo::CopyToClipboard() {
  if (!Clipboard || !SelAvail())
    return;
  std::vector<std::pair<TClipFormat, std::string>> data;
  if (ClipCopyFormats & smTEXT) {
    std::string text = GetTextRange(SelStart(), SelEnd());
    std::replace(text.begin(), text.end(), kCR, '\n');
    data.emplace_back(TClipFormat::cfText, std::move(text));
  }
  if (ClipCopyFormats & smRTF) {
    TMemoryStream rtf;
    WriteSelection(rtf, sfRTF);
    data.emplace_back(TClipFormat::cfRTF, rtf.Bytes());
  }
  if (!data.empty())
    Clipboard->SetContents(data);
}

void TCustomSyntaxMemo::CutToClipboard() {
  if (!Clipboard || !SelAvail() || ReadOnly())
    return;
  CopyToClipboard();
  BeginGroup(ugCut);
  try {
    ReplaceSel(std::string());
  } catch (...) {
    EndGroup(ugCut);
    throw;
  }
  EndGroup(ugCut);
  vcColumn_ = rcColumn_ = -1;
  ScrollCaret();
  Change();
}

void TCustomSyntaxMemo::PasteFromClipboard() {
  if (!Clipboard || ReadOnly())
    return;
  const bool hasText = Clipboard->HasFormat(TClipFormat::cfText);
  const bool hasHtml = Clipboard->HasFormat(TClipFormat::cfHTML);
  if (!hasText && !hasHtml)
    return;
  int types = (hasText ? kDropText : 0) | (hasHtml ? kDropHTML : 0) | kDropFromPaste;
  if (OnDataDrop)
    OnDataDrop(this, types);
  std::string data;
  if ((types & kDropText) && hasText)
    data = Clipboard->GetData(TClipFormat::cfText);
  else if ((types & kDropHTML) && hasHtml)
    data = HtmlFragment(Clipboard->GetData(TClipFormat::cfHTML));
  else
    return;
  BeginGroup(ugPaste);
  try {
    if (!SelAvail())
      FillVirtualSpace();
    ReplaceSel(data);
  } catch (...) {
    EndGroup(ugPaste);
    throw;
  }
  EndGroup(ugPaste);
  vcColumn_ = rcColumn_ = -1;
  ScrollCaret();
  Change();
}

bool TCustomSyntaxMemo::CanPaste(intptr_t format) {
  if (format != 0 && format != 1)
    return false;
  return Clipboard && Clipboard->HasFormat(TClipFormat::cfText);
}
