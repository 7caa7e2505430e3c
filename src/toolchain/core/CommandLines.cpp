// Template expansion, word splitting and the fixed argument lists.
#include "CommandLines.h"

#include <cctype>

namespace {

bool EqualsIgnoringCaseAt(const std::string &text, size_t pos, const char *macro) {
  for (size_t i = 0; macro[i]; ++i) {
    if (pos + i >= text.size())
      return false;
    if (std::toupper(static_cast<unsigned char>(text[pos + i])) != macro[i])
      return false;
  }
  return true;
}

// Every occurrence of the (upper-case) macro, ignoring case, by `value`;
// the scan goes on after the inserted text, as a replace-all does.
std::string ReplaceAll(const std::string &text, const char *macro, const std::string &value) {
  const size_t length = std::char_traits<char>::length(macro);
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] == '%' && EqualsIgnoringCaseAt(text, pos, macro)) {
      out += value;
      pos += length;
    } else {
      out += text[pos++];
    }
  }
  return out;
}

// A Windows form (for wine) has only backslashes; a native path has slashes,
// and a backslash there is part of a name.
std::string NamePart(const std::string &path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos)
    slash = path.find_last_of('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

std::string TemplateDevice(const std::string &deviceName) {
  return deviceName.empty() ? std::string("16F84") : deviceName;
}

std::string ExpandMacros(const std::string &text, const std::string &hexFileName,
                         const std::string &deviceName) {
  std::string s = ReplaceAll(text, "%FILENAME", NamePart(hexFileName));
  s = ReplaceAll(s, "%FULL", hexFileName);
  return ReplaceAll(s, "%PIC", TemplateDevice(deviceName));
}

std::string ExpandCommandTemplate(const std::string &commandTemplate,
                                  const std::string &hexFileName, const std::string &deviceName) {
  return hexFileName + " " + ExpandMacros(commandTemplate, hexFileName, deviceName);
}

std::vector<std::string> SplitCommandWords(const std::string &commandLine) {
  std::vector<std::string> words;
  std::string word;
  int quotes = 0;
  bool inQuote = false;
  for (char c : commandLine) {
    if (c == '"') {
      if (++quotes == 3) {
        quotes = 0;
        word += c;
      }
      continue;
    }
    if (quotes == 1)
      inQuote = !inQuote;
    quotes = 0;
    if (!inQuote && IsBlank(c)) {
      if (!word.empty())
        words.push_back(std::move(word));
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty())
    words.push_back(std::move(word));
  return words;
}

TCommandArgs CommandTemplateArguments(const std::string &commandTemplate,
                                      const std::string &hexFileName, const std::string &deviceName,
                                      const TPathForm &form) {
  const std::string hex = form ? form(hexFileName) : hexFileName;
  TCommandArgs args{TCommandArg::Word(hex)};
  for (const std::string &word : SplitCommandWords(commandTemplate))
    args.push_back(TCommandArg::Word(ExpandMacros(word, hex, deviceName)));
  return args;
}

TArgumentBuilder FixedArguments(TCommandArgs args) {
  return [args = std::move(args)](const TPathForm &) { return args; };
}

TArgumentBuilder TemplateArgumentBuilder(std::string commandTemplate, std::string hexFileName,
                                         std::string deviceName) {
  return [t = std::move(commandTemplate), hex = std::move(hexFileName),
          device = std::move(deviceName)](const TPathForm &form) {
    return CommandTemplateArguments(t, hex, device, form);
  };
}

TCommandArgs CompilerArguments(const std::string &documentPath) {
  return {TCommandArg::Path(documentPath), TCommandArg::Word("-m"), TCommandArg::Word("-q")};
}

TCommandArgs AssemblerArguments(const std::string &asmPath, bool inhx8m) {
  TCommandArgs args{TCommandArg::Path(asmPath)};
  if (inhx8m)
    args.push_back(TCommandArg::Word("/aINHX8M"));
  for (const char *s : {"/e+", "/l+", "/x-", "/w2", "/c-", "/m-", "/q"})
    args.push_back(TCommandArg::Word(s));
  return args;
}

TCommandArgs GpasmArguments(const std::string &asmPath) {
  TCommandArgs args;
  // -a inhx8m: the HEX form the windows read; -k: the error file (/e+);
  // -w 2: errors only (/w2); -i: symbols ignore case (/c-); -e OFF: macros
  // not expanded in the listing (/m-); -q: quiet (/q). The listing (/l+) is
  // written by default and no cross reference (/x-) is made.
  for (const char *s : {"-a", "inhx8m", "-k", "-w", "2", "-i", "-e", "OFF", "-q"})
    args.push_back(TCommandArg::Word(s));
  args.push_back(TCommandArg::Path(asmPath));
  return args;
}

TCommandArgs EpicArguments(const std::string &hexFileName, const std::string &deviceName) {
  return {TCommandArg::Path(hexFileName), TCommandArg::Word("-dPIC" + deviceName)};
}

TCommandArgs LoaderArguments(const std::string &hexFileName) {
  return {TCommandArg::Path(hexFileName)};
}

std::string ParameterString(const TCommandArgs &args) {
  std::string s;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i)
      s += ' ';
    s += args[i].Text;
  }
  return s;
}
