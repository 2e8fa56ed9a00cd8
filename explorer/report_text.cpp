// The report texts.
#include "report_text.h"

#include <cstdarg>
#include <cstdio>

namespace sentrel {

std::string FormatList(const char* format, va_list arguments) {
  va_list copy;
  va_copy(copy, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(&text[0], text.size(), format, arguments);
    text.resize(static_cast<size_t>(length));
  }
  return text;
}

std::string Format(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::string text = FormatList(format, arguments);
  va_end(arguments);
  return text;
}

std::string HtmlEscaped(const std::string& text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '&':
        escaped += "&amp;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&#39;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string SpreadsheetField(std::string text, bool commasToBlanks) {
  if (commasToBlanks)
    for (char& c : text)
      if (c == ',') c = ' ';
  // A spreadsheet program runs a field that begins like a formula; a hostile
  // entry's name must stay text, so it gets the program's text mark.
  if (!text.empty() && std::string("=+-@\t\r").find(text[0]) != std::string::npos) text.insert(0, "'");
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string TabField(std::string text) {
  for (char& c : text)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return text;
}

std::string Cut(const std::string& text, size_t count) { return text.size() > count ? text.substr(0, count) : text; }

// The lines of a text, each without its line break; the last one counts
// even without a final line break.
std::vector<std::string> TextLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

// The HOSTS lines worth naming: control characters dropped, no comment, 5 to
// 499 characters, and not one of the loopback or blocking entries.
std::vector<std::string> ListedHostsLines(const std::string& text) {
  std::vector<std::string> listed;
  for (const std::string& raw : TextLines(text)) {
    std::string line;
    for (char c : raw)
      if (static_cast<unsigned char>(c) >= 32) line += c;
    if (line.empty() || line[0] == '#' || line.size() <= 4 || line.size() >= 500) continue;
    if (line.find("127.0.0.1") != std::string::npos || line.find("::1") != std::string::npos ||
        line.find("0.0.0") != std::string::npos)
      continue;
    listed.push_back(line);
  }
  return listed;
}

}  // namespace sentrel
