// The readable token listing of a text: one line per token with position,
// length, token value, style number and the token's text (CR, LF and TAB
// written as \r, \n and \t). kxscheme prints it; reference tests compare it.
#pragma once

#include "SyntaxMemoParser.h"

#include <functional>
#include <string>

std::string DumpTokens(TSyntaxMemoParser &parser, const std::string &text);
// The same handed out in pieces of about 64 KB, for texts of any size.
void DumpTokens(TSyntaxMemoParser &parser, const std::string &text,
                const std::function<void(const std::string &)> &sink);
