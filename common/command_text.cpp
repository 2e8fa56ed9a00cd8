// Command-line normalisation and splitting.
#include "command_text.h"

#include <algorithm>
#include <cstring>

namespace sentrel {
namespace {

constexpr size_t kSplitWidth = kPathWidth - 1;

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string CutTo(std::string text, size_t width) {
  if (text.size() > width) text.resize(width);
  return text;
}

}  // namespace

std::string ExpandLeadingFolder(const std::string& text, const std::string& windowsFolder,
                                const std::string& programFilesFolder) {
  // Only where a path begins (after its opening quote) does such a name
  // stand for a folder: anywhere else it is an argument, and replacing it
  // there would make another program's path out of the command.
  const size_t at = !text.empty() && text[0] == '"' ? 1 : 0;
  const struct {
    const char* name;
    const std::string& folder;
  } names[] = {
      {"%SYSTEMROOT%", windowsFolder}, {"\\SYSTEMROOT", windowsFolder}, {"%PROGRAMFILES%", programFilesFolder}};
  for (const auto& name : names) {
    const size_t length = std::strlen(name.name);
    if (text.size() < at + length) continue;
    bool same = true;
    for (size_t i = 0; i < length && same; ++i) same = Upper(text[at + i]) == name.name[i];
    if (same) return text.substr(0, at) + name.folder + text.substr(at + length);
  }
  return text;
}

std::string NormalizeFilePathWith(const char* text, const char* windowsFolder, const char* programFilesFolder) {
  if (!text) return {};
  const std::string source = ExpandLeadingFolder(text, windowsFolder, programFilesFolder);

  std::string upper;
  for (size_t i = 0; i < source.size(); ++i) {
    char c = Upper(source[i]);
    // An ".EXE"- or ".DLL"-like extension ends the program path; what follows
    // is its arguments.
    if (c == '.' && i + 2 < source.size()) {
      char second = Upper(source[i + 2]);
      if (second == 'X' || second == 'L') {
        for (size_t k = i; k < i + 4 && k < source.size(); ++k) upper += Upper(source[k]);
        break;
      }
    }
    upper += c;
  }
  size_t colon = upper.rfind(':');
  if (colon != std::string::npos) upper.erase(0, colon == 0 ? 0 : colon - 1);
  return CutTo(upper, kPathWidth - 1);
}

std::string StripQuotes(const std::string& text) {
  std::string result;
  for (size_t i = 0; i < text.size() && i < 511; ++i)
    if (text[i] != '"') result += text[i];
  return result;
}

size_t SplitCommandText(const std::string& command, const std::string& windowsFolder,
                        const std::string& programFilesFolder, std::string& program, std::string& arguments) {
  const std::string copy = ExpandLeadingFolder(command, windowsFolder, programFilesFolder);
  std::string upper;
  size_t length = copy.size();
  for (size_t i = 0; i < copy.size(); ++i) {
    if (copy[i] == '.' && i + 2 < copy.size()) {
      const char second = Upper(copy[i + 2]);
      if (second == 'X' || second == 'L' || second == 'P') {
        length = std::min(i + 4, copy.size());
        break;
      }
    }
  }
  for (size_t i = 0; i < length; ++i) upper += Upper(copy[i]);
  const size_t colon = upper.rfind(':');
  std::string path = colon == std::string::npos || colon == 0 ? upper : upper.substr(colon - 1);
  program = CutTo(StripQuotes(path), kSplitWidth);
  arguments = CutTo(length < copy.size() ? copy.substr(length) : std::string(), kSplitWidth);
  return length;
}

std::vector<std::string> SplitAppInitList(const std::string& list) {
  std::vector<std::string> pieces;
  std::string piece;
  for (char c : list + " ") {
    if (c == ',' || c == ' ') {
      if (!piece.empty()) pieces.push_back(piece);
      piece.clear();
    } else {
      piece += c;
    }
  }
  return pieces;
}

}  // namespace sentrel
