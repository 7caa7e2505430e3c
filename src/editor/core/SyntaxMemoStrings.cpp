// Lines through the control's messages only.
#include "SyntaxMemoStrings.h"

#include "CustomSyntaxMemo.h"
#include "Streams.h"

#include <cstring>

namespace {

constexpr int kMaxGetLine = 4096;

// Line breaks as CR LF, whatever the input used.
std::string ToCRLF(const std::string &s) {
  std::string out;
  out.reserve(s.size() + s.size() / 16);
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < s.size() && s[i + 1] == '\n')
        ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

} // namespace

intptr_t TSyntaxMemoStrings::Send(uint32_t msg, intptr_t w, intptr_t l) const {
  return memo_->Perform(msg, w, l);
}

int TSyntaxMemoStrings::Count() const {
  const auto n = static_cast<int>(Send(EM_GETLINECOUNT));
  if (n == 1 && Send(WM_GETTEXTLENGTH) == 0)
    return 0;
  return n;
}

std::string TSyntaxMemoStrings::Get(int index) const {
  std::vector<char> buf(kMaxGetLine + 2, 0);
  const uint16_t size = kMaxGetLine;
  std::memcpy(buf.data(), &size, sizeof size);
  const auto n = Send(EM_GETLINE, index, reinterpret_cast<intptr_t>(buf.data()));
  return std::string(buf.data(), static_cast<size_t>(n > 0 ? n : 0));
}

void TSyntaxMemoStrings::Put(int index, const std::string &s) {
  if (index < 0 || index >= Count())
    return;
  const intptr_t start = Send(EM_LINEINDEX, index);
  if (start < 0)
    return;
  const intptr_t len = Send(EM_LINELENGTH, index);
  Send(EM_SETSEL, start, start + len);
  Send(EM_REPLACESEL, 0, reinterpret_cast<intptr_t>(s.c_str()));
}

void TSyntaxMemoStrings::Insert(int index, const std::string &s) {
  if (index < 0)
    return;
  const int count = Count();
  if (count == 0) {
    if (index == 0) {
      Send(EM_SETSEL, 0, 0);
      Send(EM_REPLACESEL, 0, reinterpret_cast<intptr_t>(s.c_str()));
    }
    return;
  }
  if (index < count) {
    const intptr_t start = Send(EM_LINEINDEX, index);
    const std::string text = s + "\r\n";
    Send(EM_SETSEL, start, start);
    Send(EM_REPLACESEL, 0, reinterpret_cast<intptr_t>(text.c_str()));
  } else if (index == count) {
    // At the end of the last line's text, before any final line break.
    const intptr_t start = Send(EM_LINEINDEX, count - 1);
    const intptr_t end = start + Send(EM_LINELENGTH, count - 1);
    const std::string text = "\r\n" + s;
    Send(EM_SETSEL, end, end);
    Send(EM_REPLACESEL, 0, reinterpret_cast<intptr_t>(text.c_str()));
  }
}

void TSyntaxMemoStrings::Delete(int index) {
  const int count = Count();
  if (index < 0 || index >= count)
    return;
  const intptr_t start = Send(EM_LINEINDEX, index);
  intptr_t end;
  if (index + 1 < count)
    end = Send(EM_LINEINDEX, index + 1);
  else
    end = Send(WM_GETTEXTLENGTH) + 1; // clamped to the end of the text
  Send(EM_SETSEL, start, end < 0 ? -1 : end);
  Send(EM_REPLACESEL, 0, reinterpret_cast<intptr_t>(""));
}

void TSyntaxMemoStrings::Clear() {
  Send(WM_SETTEXT, 0, reinterpret_cast<intptr_t>(""));
}

void TSyntaxMemoStrings::BeginUpdate() {
  if (updateCount_++ == 0)
    Send(WM_SETREDRAW, 0);
}

void TSyntaxMemoStrings::EndUpdate() {
  if (updateCount_ == 0)
    return;
  if (--updateCount_ == 0)
    Send(WM_SETREDRAW, 1);
}

std::string TSyntaxMemoStrings::Text() const {
  const intptr_t len = Send(WM_GETTEXTLENGTH);
  std::string out(static_cast<size_t>(len) + 1, '\0');
  const intptr_t n = Send(WM_GETTEXT, len + 1, reinterpret_cast<intptr_t>(out.data()));
  out.resize(static_cast<size_t>(n > 0 ? n : 0));
  return out;
}

void TSyntaxMemoStrings::SetText(const std::string &text) {
  const std::string norm = ToCRLF(text);
  if (ToCRLF(Text()) == norm)
    return;
  Send(WM_SETTEXT, 0, reinterpret_cast<intptr_t>(norm.c_str()));
  if (OnChange)
    OnChange(this);
}

void TSyntaxMemoStrings::Assign(const std::vector<std::string> &list) {
  AddStrings(list);
}

void TSyntaxMemoStrings::AddStrings(const std::vector<std::string> &list) {
  TMemoryStream m;
  for (const std::string &s : list) {
    m.Write(s.data(), static_cast<int64_t>(s.size()));
    m.Write("\r\n", 2);
  }
  m.SetPosition(0);
  LoadFromStream(m);
}

void TSyntaxMemoStrings::LoadFromStream(TStream &s) {
  memo_->LoadFromStream(s);
}
void TSyntaxMemoStrings::LoadFromFile(const std::string &name) {
  memo_->LoadFromFile(name);
}
void TSyntaxMemoStrings::SaveToStream(TStream &s) {
  memo_->SaveToStream(&s);
}
void TSyntaxMemoStrings::SaveToFile(const std::string &name) {
  memo_->SaveToFile(name);
}
