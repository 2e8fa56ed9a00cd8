// Helpers shared by the test programs: raw registry access that bypasses the
// layer under test, scratch keys that clean up after themselves, and the
// Windows family this test program was started as.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "registry.h"

namespace sentrel_test {

// A scratch key under HKCU, removed before and after each use.
constexpr const char* kScratch = "Software\\SentrelTests";

// Deletes a key and everything below it with the system's own tree delete,
// independent of the layer under test.
inline void RawDeleteTree(HKEY root, const char* path) {
  RegDeleteTreeA(root, path);
  RegDeleteKeyA(root, path);
}

inline bool RawSet(HKEY root, const char* path, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key;
  if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) return false;
  LONG result = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

inline bool RawSetText(HKEY root, const char* path, const char* name, const std::string& text) {
  return RawSet(root, path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// Type and bytes of a value, read without the layer; type 0 when missing.
struct RawValue {
  DWORD type = 0;
  std::vector<BYTE> data;
};
inline RawValue RawGet(HKEY root, const char* path, const char* name) {
  RawValue value;
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
    value.data.resize(size);
    RegQueryValueExA(key, name, nullptr, &value.type, value.data.data(), &size);
    value.data.resize(size);
  } else {
    value.type = 0;
  }
  RegCloseKey(key);
  return value;
}
inline std::string RawText(HKEY root, const char* path, const char* name) {
  RawValue value = RawGet(root, path, name);
  if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) return "<missing>";
  return std::string(reinterpret_cast<const char*>(value.data.data()),
                     strnlen(reinterpret_cast<const char*>(value.data.data()), value.data.size()));
}
inline bool RawKeyExists(HKEY root, const char* path) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// Records what the layer passes to its diagnostic hook.
struct Diagnostics {
  static std::vector<std::pair<std::string, std::string>>& Seen() {
    static std::vector<std::pair<std::string, std::string>> seen;
    return seen;
  }
  static void Hook(const char* text, const char* detail) { Seen().emplace_back(text, detail); }
  Diagnostics() {
    Seen().clear();
    sentrel::SetDiagnosticHook(Hook);
  }
  ~Diagnostics() { sentrel::SetDiagnosticHook(nullptr); }
  bool Saw(const std::string& text) const {
    for (const auto& entry : Seen())
      if (entry.first == text) return true;
    return false;
  }
};

inline OSVERSIONINFOA WindowsVersion() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  GetVersionExA(&info);
#pragma GCC diagnostic pop
  return info;
}
inline bool Is9xFamily() { return WindowsVersion().dwPlatformId == VER_PLATFORM_WIN32_WINDOWS; }

inline std::string TestFolder() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path, length);
  return folder.substr(0, folder.rfind('\\'));
}

// The whole file as text ("" when it cannot be read).
inline std::string ReadWholeFile(const std::string& path) {
  std::string text;
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return text;
  char block[4096];
  DWORD got = 0;
  while (ReadFile(handle, block, sizeof block, &got, nullptr) && got > 0) text.append(block, got);
  CloseHandle(handle);
  return text;
}

}  // namespace sentrel_test
