// The names of the current document's result files, recomputed by each
// command that uses them.
#pragma once

#include <string>

// The document with the extension ".HEX", as it exists beside it (found
// ignoring case, see ResultFileName): what the programmer and the loaders
// receive, and what the data windows load.
extern std::string HexFileName;
// The document with the extension ".ASM" (found the same way); empty when
// there is no current document. Re-Assemble assembles this file.
extern std::string AsmFileName;

// The result file of a document with the given extension (".HEX", ".ASM",
// ".PBE"); empty for an empty document path.
std::string DocumentResultFile(const std::string &documentPath, const std::string &extension);
// Sets HexFileName / AsmFileName from the current document's path.
void SetHexFileName(const std::string &documentPath);
void SetAsmFileName(const std::string &documentPath);
