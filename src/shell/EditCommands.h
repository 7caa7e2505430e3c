// What the main window's editing commands share with their tests: the tag of
// the "Show all" marks and the text conversions of Upper, Lower and Capitalise.
#pragma once

#include <cstdint>
#include <string>

class TSyntaxMemo;

// The tag the marks of "Show all" carry.
inline constexpr int32_t ShowAllTag = 0x123456;

// Only the letters a-z and A-Z change.
std::string UpperCaseText(const std::string &text);
std::string LowerCaseText(const std::string &text);
// The whole text in lower case with its first character in upper case.
std::string CapitaliseText(const std::string &text);

// Lines as the user counts them (a wrapped or cut line counts once): the
// number of lines, the line that holds a position (from 1), and the first row
// of a line (LineCount() for a line after the last).
int64_t LogicalLineCount(TSyntaxMemo &editor);
int64_t LogicalLineOfPos(TSyntaxMemo &editor, int64_t pos);
int64_t FirstRowOfLogicalLine(TSyntaxMemo &editor, int64_t line);
