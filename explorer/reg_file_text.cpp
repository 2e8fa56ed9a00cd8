// The text of a registry script.
#include "reg_file_text.h"

#include <cstdio>

namespace sentrel {
namespace {

bool NameFits(const std::string& name) { return name.size() <= kRegFileMaxText && RegFileQuotable(name); }

std::string NamePart(const std::string& name) { return name.empty() ? "@" : "\"" + RegFileEscaped(name) + "\""; }

}  // namespace

std::string RegFileHeader() { return "Windows Registry Editor Version 5.00\r\n\r\n"; }

std::string RegFileEscaped(const std::string& text) {
  std::string escaped;
  escaped.reserve(text.size() + 8);
  for (char c : text) {
    if (c == '\\' || c == '"') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

bool RegFileQuotable(const std::string& text) {
  return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

std::string RegFileKeyLine(const std::string& root, const std::string& path) {
  return "[" + root + "\\" + path + "]\r\n";
}

std::string RegFileStringLine(const std::string& name, const std::string& data) {
  if (!NameFits(name) || data.size() > kRegFileMaxText || !RegFileQuotable(data)) return {};
  return NamePart(name) + "=\"" + RegFileEscaped(data) + "\"\r\n";
}

std::string RegFileDwordLine(const std::string& name, std::uint32_t value) {
  if (!NameFits(name)) return {};
  char digits[16];
  std::snprintf(digits, sizeof digits, "%08lx", static_cast<unsigned long>(value));
  return NamePart(name) + "=dword:" + digits + "\r\n";
}

}  // namespace sentrel
