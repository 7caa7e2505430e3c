// Which source line a line of the compiler's report names. The pattern is a
// regular expression (ECMAScript syntax) from the settings file; the first
// group that took part in the match holds the line number.
#pragma once

#include <cstdint>
#include <string>

// "line 12", "Line 12:", "(12)" and "file.bas:12:", in any case.
inline constexpr const char *DefaultReportLinePattern =
    R"([Ll][Ii][Nn][Ee]\s*(\d+)|\((\d+)\)|:(\d+):)";
// Where the pattern is kept: [REPORT_FORM] LINE_PATTERN in "KORVEX.INI".
inline constexpr const char *ReportLinePatternSection = "REPORT_FORM";
inline constexpr const char *ReportLinePatternKey = "LINE_PATTERN";

// The line number (from 1) the report line names, or 0 for none. An empty
// pattern, or one that is no valid expression, counts as the default. Only
// the first 4096 characters of a line are searched.
int64_t ReportLineNumber(const std::string &line, const std::string &pattern);

// Whether `pattern` is a valid expression.
bool ValidReportLinePattern(const std::string &pattern);
