// The current document's result file names.
#include "ResultNames.h"

#include "ToolLookup.h"

std::string HexFileName;
std::string AsmFileName;

std::string DocumentResultFile(const std::string &documentPath, const std::string &extension) {
  return documentPath.empty() ? std::string() : ResultFileName(documentPath, extension);
}

void SetHexFileName(const std::string &documentPath) {
  HexFileName = DocumentResultFile(documentPath, ".HEX");
}

void SetAsmFileName(const std::string &documentPath) {
  AsmFileName = DocumentResultFile(documentPath, ".ASM");
}
