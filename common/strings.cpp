// The string loader.
#include "strings.h"

#include <cstdio>
#include <cstring>

#include "registry.h"
#include "settings.h"

namespace sentrel {
namespace {

constexpr int kMaxTranslation = 771;  // characters of an LString value that count

struct LanguageCode {
  const char* code;
  WORD id;
};
constexpr LanguageCode kLanguages[] = {
    {"us", 9},  {"de", 7},  {"fr", 12},           {"es", 10}, {"it", 16}, {"se", 29},
    {"nl", 19}, {"ru", 25}, {"\xEA\xE0\xEA", 25}, {"pt", 22}, {"pl", 21}, {"no", 20},
    {"gr", 8},  {"br", 22}, {"sq", 28},           {"tr", 31}, {"ar", 1},  {"fi", 11},
    {"cn", 4},
};

int LoadFromTable(UINT id, char* dest, int capacity) {
  if (capacity > 0) return LoadStringA(GetModuleHandleA(nullptr), id, dest, capacity);
  char text[4096];
  return LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text);
}

}  // namespace

WORD LanguageIdOfCode(const char* code) {
  if (!code) return 0;
  for (const LanguageCode& language : kLanguages)
    if (lstrcmpiA(code, language.code) == 0 || std::strcmp(code, language.code) == 0) return language.id;
  return 0;
}

void InitLanguageId() {
  char code[32];
  int length = LoadStringA(GetModuleHandleA(nullptr), 634, code, sizeof code);
  Process().languageId = length > 0 ? LanguageIdOfCode(code) : 0;
}

int LoadText(UINT id, char* dest, int capacity) {
  if (dest && capacity > 0) dest[0] = '\0';
  if (Process().languageId != 9) {
    char name[24];
    std::snprintf(name, sizeof name, "LString%u", id);
    char text[kMaxTranslation + 1];
    int length = ReadStringValue(HKEY_LOCAL_MACHINE, kSentrelKey, name, text, sizeof text);
    if (length > 0) {
      int cut = length > kMaxTranslation ? kMaxTranslation : length;
      if (capacity > 0 && cut > capacity - 1) cut = capacity - 1;
      text[cut] = '\0';
      if (dest && capacity > 0) {
        // "%n" stands for a line break in translations.
        int out = 0;
        for (int in = 0; in < cut && out < capacity - 1; ++in) {
          if (text[in] == '%' && text[in + 1] == 'n') {
            dest[out++] = '\n';
            ++in;
          } else {
            dest[out++] = text[in];
          }
        }
        dest[out] = '\0';
      }
      return cut;
    }
  }
  return LoadFromTable(id, dest, capacity);
}

std::string LoadText(UINT id) {
  char text[4096];
  int length = LoadText(id, text, sizeof text);
  return std::string(text, length > 0 ? std::strlen(text) : 0);
}

std::string FillText(const std::string& text, std::initializer_list<std::string> arguments) {
  std::string result;
  auto next = arguments.begin();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's' && next != arguments.end()) {
      result += *next++;
      ++i;
    } else {
      result += text[i];
    }
  }
  return result;
}

std::string ProgramCaption() {
  char caption[32];
  LoadText(2, caption, sizeof caption);
  return caption;
}

int ShowMessage(HWND owner, const char* text, UINT flags) {
  return MessageBoxExA(owner, text, ProgramCaption().c_str(), flags | MB_TOPMOST, Process().languageId);
}

int ShowMessageId(HWND owner, UINT id, UINT flags) { return ShowMessage(owner, LoadText(id).c_str(), flags); }

std::string ExactAnsiForm(const std::wstring& text) {
  std::string known;
  for (const wchar_t c : text) {
    char bytes[8];
    wchar_t back[2] = L"";
    const int size = WideCharToMultiByte(CP_ACP, 0, &c, 1, bytes, sizeof bytes, nullptr, nullptr);
    if (size > 0 && MultiByteToWideChar(CP_ACP, 0, bytes, size, back, 2) == 1 && back[0] == c) {
      known.append(bytes, static_cast<size_t>(size));
    } else {
      char code[8];
      std::snprintf(code, sizeof code, "?%04X", static_cast<unsigned>(c));
      known += code;
    }
  }
  return known;
}

}  // namespace sentrel
