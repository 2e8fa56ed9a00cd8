// The lines of a registry script ("Windows Registry Editor Version 5.00")
// as plain text, so that the registry editor merges back exactly what was
// written. No Windows types: the text rules stand on their own.
#pragma once

#include <cstdint>
#include <string>

namespace sentrel {

// Longest name or data, in characters, that the settings export writes.
constexpr size_t kRegFileMaxText = 255;

// The first line of the script and the empty line after it.
std::string RegFileHeader();

// A name or data as the registry editor writes it between double quotes:
// every backslash doubled and every double quote preceded by a backslash.
std::string RegFileEscaped(const std::string& text);

// True when the text can stand inside a quoted string of the script: a line
// break (CR or LF) or a NUL would end the line early or cut the text.
bool RegFileQuotable(const std::string& text);

// "[root\path]" and its line end.
std::string RegFileKeyLine(const std::string& root, const std::string& path);

// One string value: "name"="data", or @="data" for the unnamed value (an
// empty name). Empty when the name or the data is longer than
// kRegFileMaxText or cannot be quoted.
std::string RegFileStringLine(const std::string& name, const std::string& data);

// One REG_DWORD value: "name"=dword:0000002a (or @=dword:...). Empty when
// the name is too long or cannot be quoted.
std::string RegFileDwordLine(const std::string& name, std::uint32_t value);

}  // namespace sentrel
