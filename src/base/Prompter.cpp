// The prompter registry, the message helpers and the recording prompter.
#include "Prompter.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::unique_ptr<TPrompter> &Installed() {
  static std::unique_ptr<TPrompter> prompter = std::make_unique<TRecordingPrompter>();
  return prompter;
}

std::string Escape(const std::string &s) {
  std::string out;
  out.reserve(s.size());
  for (const char c : s) {
    switch (c) {
    case '\\':
      out += "\\\\";
      break;
    case '\t':
      out += "\\t";
      break;
    case '\r':
      out += "\\r";
      break;
    case '\n':
      out += "\\n";
      break;
    default:
      out += c;
    }
  }
  return out;
}

std::string Unescape(const std::string &s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    switch (s[++i]) {
    case 't':
      out += '\t';
      break;
    case 'r':
      out += '\r';
      break;
    case 'n':
      out += '\n';
      break;
    default:
      out += s[i];
    }
  }
  return out;
}

constexpr struct {
  TMsgDlgBtn button;
  TModalResult result;
  const char *name;
} kButtons[] = {{mbYes, TModalResult::mrYes, "Yes"},
                {mbNo, TModalResult::mrNo, "No"},
                {mbOK, TModalResult::mrOk, "OK"},
                {mbCancel, TModalResult::mrCancel, "Cancel"},
                {mbAbort, TModalResult::mrAbort, "Abort"},
                {mbRetry, TModalResult::mrRetry, "Retry"},
                {mbIgnore, TModalResult::mrIgnore, "Ignore"}};

TMsgDlgBtn ButtonOf(TModalResult r) {
  for (const auto &b : kButtons)
    if (b.result == r)
      return b.button;
  return static_cast<TMsgDlgBtn>(0);
}

} // namespace

TPrompter &Prompter() {
  return *Installed();
}

std::unique_ptr<TPrompter> SetPrompter(std::unique_ptr<TPrompter> prompter) {
  if (!prompter)
    prompter = std::make_unique<TRecordingPrompter>();
  std::swap(prompter, Installed());
  return prompter;
}

TModalResult MessageDlg(const std::string &text, TMsgDlgType type, TMsgDlgButtons buttons) {
  return Prompter().Message(text, type, buttons);
}

void ShowMessage(const std::string &text) {
  Prompter().Message(text, TMsgDlgType::mtCustom, mbOK, ApplicationTitle);
}

std::string DefaultCaption(TMsgDlgType type) {
  switch (type) {
  case TMsgDlgType::mtWarning:
    return "Warning";
  case TMsgDlgType::mtError:
    return "Error";
  case TMsgDlgType::mtInformation:
    return "Information";
  case TMsgDlgType::mtConfirmation:
    return "Confirm";
  case TMsgDlgType::mtCustom:
    break;
  }
  return ApplicationTitle;
}

std::string TypeName(TMsgDlgType type) {
  switch (type) {
  case TMsgDlgType::mtWarning:
    return "Warning";
  case TMsgDlgType::mtError:
    return "Error";
  case TMsgDlgType::mtInformation:
    return "Information";
  case TMsgDlgType::mtConfirmation:
    return "Confirmation";
  case TMsgDlgType::mtCustom:
    break;
  }
  return "None";
}

std::string ButtonNames(TMsgDlgButtons buttons) {
  std::string out;
  for (const auto &b : kButtons)
    if (buttons & b.button) {
      if (!out.empty())
        out += ',';
      out += b.name;
    }
  return out;
}

std::string ResultName(TModalResult result) {
  for (const auto &b : kButtons)
    if (b.result == result)
      return b.name;
  return "None";
}

TModalResult ResultFromName(const std::string &name) {
  for (const auto &b : kButtons)
    if (name == b.name)
      return b.result;
  return TModalResult::mrNone;
}

TRecordingPrompter::TRecordingPrompter(std::string logPath, const std::string &scriptPath)
    : logPath_(std::move(logPath)) {
  if (scriptPath.empty())
    return;
  std::ifstream in(scriptPath, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    Answers.push_back(Unescape(line));
  }
}

bool TRecordingPrompter::NextAnswer(std::string &answer) {
  if (Answers.empty())
    return false;
  answer = Answers.front();
  Answers.pop_front();
  return true;
}

void TRecordingPrompter::Record(TPromptRecord record) {
  if (!logPath_.empty()) {
    // Opened per record so that the log is complete whenever the process ends.
    if (std::FILE *f = std::fopen(logPath_.c_str(), "ab")) {
      const std::string line = FormatRecord(record) + "\n";
      std::fwrite(line.data(), 1, line.size(), f);
      std::fclose(f);
    }
  }
  Records.push_back(std::move(record));
}

TModalResult TRecordingPrompter::Message(const std::string &text, TMsgDlgType type,
                                         TMsgDlgButtons buttons, const std::string &caption) {
  TModalResult result = TModalResult::mrNone;
  std::string answer;
  if (NextAnswer(answer)) {
    const TModalResult wanted = ResultFromName(answer);
    if (buttons & ButtonOf(wanted))
      result = wanted;
  }
  if (result == TModalResult::mrNone) {
    for (const TModalResult r :
         {TModalResult::mrOk, TModalResult::mrYes, TModalResult::mrRetry, TModalResult::mrIgnore,
          TModalResult::mrAbort, TModalResult::mrNo, TModalResult::mrCancel})
      if (buttons & ButtonOf(r)) {
        result = r;
        break;
      }
  }
  if (result == TModalResult::mrNone)
    result = TModalResult::mrOk; // a box without buttons still closes with OK
  Record({"MESSAGE", caption.empty() ? DefaultCaption(type) : caption, TypeName(type),
          ButtonNames(buttons), text, ResultName(result)});
  return result;
}

bool TRecordingPrompter::FileDialog(const char *kind, TFileDialogRequest &request) {
  std::string answer;
  const bool accepted = NextAnswer(answer) && !answer.empty() && answer != "Cancel";
  Record({kind, request.Title, request.Filter, request.InitialDir, request.FileName,
          accepted ? answer : "Cancel"});
  if (accepted)
    request.FileName = answer;
  return accepted;
}

bool TRecordingPrompter::OpenFileDialog(TFileDialogRequest &request) {
  return FileDialog("OPEN", request);
}

bool TRecordingPrompter::SaveFileDialog(TFileDialogRequest &request) {
  return FileDialog("SAVE", request);
}

bool TRecordingPrompter::FontDialog(TFontChoice &font) {
  std::string answer;
  bool accepted = NextAnswer(answer) && answer != "Cancel";
  if (accepted) {
    const auto comma = answer.find(',');
    if (comma == std::string::npos || comma == 0) {
      accepted = false;
    } else {
      int size = 0;
      try {
        size = std::stoi(answer.substr(comma + 1));
      } catch (const std::exception &) {
        size = 0;
      }
      accepted = size > 0;
      if (accepted) {
        font.Name = answer.substr(0, comma);
        font.Size = size;
      }
    }
  }
  Record({"FONT", "", "", "", font.Name + "," + std::to_string(font.Size),
          accepted ? answer : "Cancel"});
  return accepted;
}

bool TRecordingPrompter::PrintDialog(TPrintChoice &choice) {
  std::string answer;
  bool accepted = NextAnswer(answer) && answer != "Cancel" && !answer.empty();
  if (accepted && answer != "OK") {
    int from = 0, to = 0;
    if (std::sscanf(answer.c_str(), "%d-%d", &from, &to) == 2 && from >= choice.MinPage &&
        to <= choice.MaxPage && from <= to) {
      choice.AllPages = false;
      choice.FromPage = from;
      choice.ToPage = to;
    } else {
      accepted = false;
    }
  }
  Record({"PRINT", "", "", "",
          std::to_string(choice.MinPage) + "-" + std::to_string(choice.MaxPage),
          accepted ? answer : "Cancel"});
  return accepted;
}

bool TRecordingPrompter::PageSetupDialog(TPageSetupChoice &setup) {
  (void)setup;
  std::string answer;
  const bool accepted = NextAnswer(answer) && answer == "OK";
  Record({"PAGESETUP", "", "", "", "", accepted ? "OK" : "Cancel"});
  return accepted;
}

int TPrompter::Ask(const std::string &text, TMsgDlgType type,
                   const std::vector<std::string> &buttons, int defaultButton,
                   const std::string &caption) {
  (void)text, (void)type, (void)buttons, (void)caption;
  return defaultButton;
}

bool TPrompter::ChooseItems(const std::string &caption, const std::string &text,
                            const std::vector<std::string> &items, std::vector<bool> &chosen) {
  (void)caption, (void)text, (void)items, (void)chosen;
  return false;
}

int TRecordingPrompter::Ask(const std::string &text, TMsgDlgType type,
                            const std::vector<std::string> &buttons, int defaultButton,
                            const std::string &caption) {
  int result = defaultButton;
  std::string answer;
  if (NextAnswer(answer))
    for (size_t i = 0; i < buttons.size(); ++i)
      if (buttons[i] == answer)
        result = static_cast<int>(i);
  std::string names;
  for (const std::string &b : buttons)
    names += (names.empty() ? "" : ",") + b;
  const bool valid = result >= 0 && static_cast<size_t>(result) < buttons.size();
  Record({"ASK", caption.empty() ? DefaultCaption(type) : caption, TypeName(type), names, text,
          valid ? buttons[static_cast<size_t>(result)] : "None"});
  return result;
}

bool TRecordingPrompter::ChooseItems(const std::string &caption, const std::string &text,
                                     const std::vector<std::string> &items,
                                     std::vector<bool> &chosen) {
  chosen.resize(items.size(), false);
  std::string answer;
  bool accepted = NextAnswer(answer) && answer != "Cancel";
  if (accepted && answer == "All")
    chosen.assign(items.size(), true);
  else if (accepted && answer != "OK") {
    std::vector<bool> picked(items.size(), false);
    if (answer != "None") {
      size_t start = 0;
      while (start <= answer.size()) {
        const size_t comma = std::min(answer.find(',', start), answer.size());
        const std::string item = answer.substr(start, comma - start);
        const size_t n = item.empty() ? 0 : std::strtoul(item.c_str(), nullptr, 10);
        if (n < 1 || n > items.size()) {
          accepted = false;
          break;
        }
        picked[n - 1] = true;
        start = comma + 1;
      }
    }
    if (accepted)
      chosen = picked;
  }
  std::string list;
  for (size_t i = 0; i < items.size(); ++i)
    list += (chosen[i] ? "[x] " : "[ ] ") + items[i] + "\n";
  Record({"CHOOSE", caption, "", list, text, accepted ? answer : "Cancel"});
  return accepted;
}

void TRecordingPrompter::Trace(const std::string &event) {
  Record({"EVENT", "", "", "", event, ""});
}

std::string TRecordingPrompter::FormatRecord(const TPromptRecord &r) {
  return Escape(r.Kind) + '\t' + Escape(r.Caption) + '\t' + Escape(r.Type) + '\t' +
         Escape(r.Buttons) + '\t' + Escape(r.Text) + '\t' + Escape(r.Answer);
}

TPromptRecord TRecordingPrompter::ParseRecord(const std::string &line) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (true) {
    const size_t tab = line.find('\t', start);
    fields.push_back(Unescape(line.substr(start, tab == std::string::npos ? tab : tab - start)));
    if (tab == std::string::npos)
      break;
    start = tab + 1;
  }
  fields.resize(6);
  return {fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]};
}

std::vector<TPromptRecord> TRecordingPrompter::ReadLog(const std::string &logPath) {
  std::vector<TPromptRecord> out;
  std::ifstream in(logPath, std::ios::binary);
  std::string line;
  while (std::getline(in, line))
    if (!line.empty())
      out.push_back(ParseRecord(line));
  return out;
}
