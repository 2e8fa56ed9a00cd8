// The report texts: formatting, the escaping of hostile texts for HTML, a
// spreadsheet and a tab-separated line, and the HOSTS lines worth naming.
// Pure text work: the same source is also built natively and fuzzed
// (tests/fuzz).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <vector>

namespace sentrel {

// printf into a string of whatever length the result needs.
std::string Format(const char* format, ...);
std::string FormatList(const char* format, va_list arguments);
// A text made safe for HTML: <, >, &, " and ' as entities.
std::string HtmlEscaped(const std::string& text);
// A spreadsheet field: with commasToBlanks every comma becomes a blank;
// a field still holding a comma, a quote or a line break is quoted and its
// quotes doubled, as spreadsheet programs read it. A field that would begin
// like a formula (=, +, -, @) starts with a quote mark, so it stays text.
std::string SpreadsheetField(std::string text, bool commasToBlanks);
// A tab-separated field: tabs and line breaks would start another column or
// row, so they become blanks.
std::string TabField(std::string text);
// A text cut to at most count characters.
std::string Cut(const std::string& text, size_t count);

// The lines of a text without their line breaks; the last counts without one.
std::vector<std::string> TextLines(const std::string& text);
// The HOSTS lines the hijack log names.
std::vector<std::string> ListedHostsLines(const std::string& text);

}  // namespace sentrel
