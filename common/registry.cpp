// The registry layer.
#include "registry.h"

#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

#include "library.h"

namespace sentrel {
namespace {

void IgnoreDiagnostic(const char*, const char*) {}
DiagnosticHook g_hook = IgnoreDiagnostic;

bool IsTextType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

void CopyText(char* dest, const char* text, size_t length) {
  std::memcpy(dest, text, length);
  dest[length] = '\0';
}

// RegDeleteKeyA cannot name the other view; RegDeleteKeyExA (XP x64 and
// later) can, and exists wherever there is another view.
LONG DeleteKeyInView(HKEY root, const char* path) {
  const auto [viewPath, view] = ViewPath(path ? path : "");
  if (view) {
    using DeleteKeyExFn = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
    static const auto deleteKeyEx = FunctionOf<DeleteKeyExFn>("advapi32.dll", "RegDeleteKeyExA");
    if (deleteKeyEx) return deleteKeyEx(root, viewPath.c_str(), view, 0);
  }
  return RegDeleteKeyA(root, path);
}

int DeleteKeyTreeIn(HKEY root, std::string& path) {
  if (DeleteKeyInView(root, path.c_str()) == ERROR_SUCCESS) return 1;

  RegKey key;
  LONG opened = key.Open(root, path.c_str(), KEY_READ);
  if (opened != ERROR_SUCCESS) return opened == ERROR_FILE_NOT_FOUND ? 1 : 0;

  const size_t base = path.size();
  if (path.empty() || path.back() != '\\') path += '\\';
  const size_t prefix = path.size();
  std::string previous;
  for (;;) {
    char name[261];
    DWORD length = sizeof name;
    if (RegEnumKeyExA(key.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    // A child that is listed again after a "successful" delete would loop
    // for ever; treat it as a failure.
    if (previous == name) break;
    previous = name;
    path.resize(prefix);
    if (prefix + length + 1 > static_cast<size_t>(kMaxKeyPath)) break;  // would not fit the working path
    path += name;
    if (!DeleteKeyTreeIn(root, path)) break;
  }
  path.resize(base);
  key.Close();
  return DeleteKeyInView(root, path.c_str()) == ERROR_SUCCESS ? 1 : 0;
}

}  // namespace

int IsWow64() {
  static const int wow64 = [] {
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto isWow64Process = FunctionOf<IsWow64ProcessFn>("kernel32.dll", "IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64Process && isWow64Process(GetCurrentProcess(), &wow64) && wow64 ? 1 : 0;
  }();
  return wow64;
}

std::pair<std::string, REGSAM> ViewPath(const std::string& path) {
  if (!IsWow64()) return {path, 0};
  // The documented way to the 32-bit view is its flag, not the node's name.
  std::string lower = path;
  CharLowerBuffA(&lower[0], static_cast<DWORD>(lower.size()));
  const size_t node = lower.find("wow6432node");
  if (node == std::string::npos) return {path, KEY_WOW64_64KEY};
  std::string rest = path.substr(node + 11);
  if (!rest.empty() && rest[0] == '\\') rest.erase(0, 1);
  std::string before = path.substr(0, node);
  if (!before.empty() && !rest.empty() && before.back() != '\\') before += '\\';
  if (rest.empty() && !before.empty() && before.back() == '\\') before.pop_back();
  return {before + rest, KEY_WOW64_32KEY};
}

void SetDiagnosticHook(DiagnosticHook hook) { g_hook = hook ? hook : IgnoreDiagnostic; }
void Diagnose(const char* text, const char* detail) { g_hook(text ? text : "", detail ? detail : ""); }

RegKey& RegKey::operator=(RegKey&& other) noexcept {
  if (this != &other) {
    Close();
    key_ = other.key_;
    other.key_ = nullptr;
  }
  return *this;
}

LONG RegKey::Open(HKEY root, const char* path, REGSAM access) {
  Close();
  const auto [viewPath, view] = ViewPath(path ? path : "");
  LONG result = RegOpenKeyExA(root, viewPath.c_str(), 0, access | view, &key_);
  if (result != ERROR_SUCCESS) key_ = nullptr;
  return result;
}

LONG RegKey::Create(HKEY root, const char* path, REGSAM access) {
  Close();
  DWORD disposition = 0;
  const auto [viewPath, view] = ViewPath(path ? path : "");
  LONG result = RegCreateKeyExA(root, viewPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access | view, nullptr,
                                &key_, &disposition);
  if (result != ERROR_SUCCESS) key_ = nullptr;
  return result;
}

void RegKey::Close() {
  if (key_) RegCloseKey(key_);
  key_ = nullptr;
}

int CreateSettingsKey(HKEY root, const char* path) {
  RegKey key;
  if (key.Create(root, path, KEY_ALL_ACCESS) != ERROR_SUCCESS) {
    Diagnose("ERROR RegCreateKey", path);
    return 0;
  }
  return 1;
}

int ReadStringValue(HKEY root, const char* path, const char* name, char* dest, int capacity) {
  if (!dest || capacity <= 0) return 0;
  dest[0] = '\0';
  RegKey key;
  if (key.Open(root, path, KEY_READ) != ERROR_SUCCESS) return 0;
  return ReadStringValueFrom(key.get(), name, dest, capacity);
}

int ReadStringValueFrom(HKEY key, const char* name, char* dest, int capacity) {
  if (!dest || capacity <= 0) return 0;
  dest[0] = '\0';
  if (!key) return 0;

  // One spare byte, so text stored without its terminator is still ended.
  char text[kMaxValueBytes + 1];
  DWORD type = 0;
  DWORD size = kMaxValueBytes;
  if (RegQueryValueExA(key, name ? name : "", nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
      !IsTextType(type) || size > static_cast<DWORD>(kMaxValueBytes))
    return 0;
  text[size] = '\0';
  size_t length = strnlen(text, size);
  // The limit includes the terminator: 1024 bytes of text without one is too long.
  if (length >= static_cast<size_t>(kMaxValueBytes)) return 0;

  char expanded[kMaxValueBytes];
  const char* result = text;
  if (type == REG_EXPAND_SZ) {
    DWORD needed = ExpandEnvironmentStringsA(text, expanded, sizeof expanded);
    if (needed == 0 || needed > sizeof expanded) {
      Diagnose("Registry Error #1023: String can not be expanded", text);
    } else {
      expanded[sizeof expanded - 1] = '\0';
      result = expanded;
      length = std::strlen(expanded);
    }
  }

  if (length <= static_cast<size_t>(capacity - 1)) {
    CopyText(dest, result, length);
    return static_cast<int>(length);
  }
  Diagnose("Registry Error #1024: Buffer overflow contained", result);
  return 0;
}

std::string ReadString(HKEY root, const char* path, const char* name) {
  char text[kMaxValueBytes];
  int length = ReadStringValue(root, path, name, text, sizeof text);
  return std::string(text, length);
}

namespace {
int OpenForWriting(RegKey& key, HKEY root, const char* path, REGSAM access) {
  if (key.Open(root, path, access) == ERROR_SUCCESS) return 1;
  if (!CreateSettingsKey(root, path)) return 0;
  return key.Open(root, path, access) == ERROR_SUCCESS;
}
}  // namespace

int WriteStringValue(HKEY root, const char* path, const char* name, const char* text) {
  RegKey key;
  if (!OpenForWriting(key, root, path, KEY_ALL_ACCESS)) return 0;
  if (!text) text = "";
  return RegSetValueExA(key.get(), name ? name : "", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                        static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS;
}

LONG ReadDwordValueOr(HKEY root, const char* path, const char* name) {
  RegKey key;
  if (key.Open(root, path, KEY_READ) != ERROR_SUCCESS) return -1;
  DWORD type = 0, value = 0, size = sizeof value;
  if (RegQueryValueExA(key.get(), name ? name : "", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value)
    return -1;
  return static_cast<LONG>(value);
}

DWORD ReadDwordValue(HKEY root, const char* path, const char* name) {
  RegKey key;
  if (key.Open(root, path, KEY_READ) != ERROR_SUCCESS) return 0;
  DWORD type = 0, value = 0, size = sizeof value;
  if (RegQueryValueExA(key.get(), name ? name : "", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value)
    return 0;
  return value;
}

int WriteDwordValue(HKEY root, const char* path, const char* name, DWORD value) {
  RegKey key;
  if (!OpenForWriting(key, root, path, KEY_WRITE)) return 0;
  return RegSetValueExA(key.get(), name ? name : "", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                        sizeof value) == ERROR_SUCCESS;
}

int DeleteValue(HKEY root, const char* path, const char* name) {
  RegKey key;
  if (key.Open(root, path, KEY_WRITE) != ERROR_SUCCESS) return 0;
  if (RegDeleteValueA(key.get(), name ? name : "") != ERROR_SUCCESS) {
    Diagnose("ERROR RegDeleteValue", name);
    return 0;
  }
  return 1;
}

int DeleteKeyTree(HKEY root, const char* path) {
  // A path that does not fit the working buffer fails rather than being cut.
  if (!path || strnlen(path, kMaxKeyPath) >= static_cast<size_t>(kMaxKeyPath)) return 0;
  std::string working(path);
  return DeleteKeyTreeIn(root, working);
}

namespace {

// The Unicode registry calls, looked up by name on the NT family only: the
// programs must load where they are missing (95/98/Me), and there the ANSI
// calls are exact. In Unicode a value name or command the ANSI code page
// cannot hold comes back unchanged.
struct WideRegistry {
  using QueryInfo = LONG(WINAPI*)(HKEY, LPWSTR, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD,
                                  LPDWORD, PFILETIME);
  using EnumValue = LONG(WINAPI*)(HKEY, DWORD, LPWSTR, LPDWORD, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
  using DeleteValue = LONG(WINAPI*)(HKEY, LPCWSTR);
  using QueryValue = LONG(WINAPI*)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
  using SetValue = LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD);
  QueryInfo queryInfo = nullptr;
  EnumValue enumValue = nullptr;
  DeleteValue deleteValue = nullptr;
  QueryValue query = nullptr;
  SetValue set = nullptr;
};
const WideRegistry& Wide() {
  static const WideRegistry calls = [] {
    WideRegistry found;
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    if (!advapi || !GetVersionExA(&version) || version.dwPlatformId != VER_PLATFORM_WIN32_NT) return found;
    found.queryInfo = FunctionOf<WideRegistry::QueryInfo>(advapi, "RegQueryInfoKeyW");
    found.enumValue = FunctionOf<WideRegistry::EnumValue>(advapi, "RegEnumValueW");
    found.deleteValue = FunctionOf<WideRegistry::DeleteValue>(advapi, "RegDeleteValueW");
    found.query = FunctionOf<WideRegistry::QueryValue>(advapi, "RegQueryValueExW");
    found.set = FunctionOf<WideRegistry::SetValue>(advapi, "RegSetValueExW");
    if (!found.query || !found.set) {
      found.query = nullptr;
      found.set = nullptr;
    }
    return found;
  }();
  return calls;
}

std::wstring WideName(const char* name) {
  std::string text = name ? name : "";
  if (text.empty()) return {};
  int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
  return wide;
}

}  // namespace

int ReadStoredValue(HKEY key, const char* name, StoredValue& value) {
  value = StoredValue{};
  if (!key) return 0;
  const WideRegistry& wide = Wide();
  const std::wstring wideName = WideName(name);
  auto query = [&](DWORD* type, BYTE* data, DWORD* size) {
    return wide.query ? wide.query(key, wideName.c_str(), nullptr, type, data, size)
                      : RegQueryValueExA(key, name ? name : "", nullptr, type, data, size);
  };
  DWORD type = 0, size = 0;
  if (query(&type, nullptr, &size) != ERROR_SUCCESS) return 0;
  // The value may grow between the two calls: ask again until it fits.
  for (int attempt = 0; attempt < 4; ++attempt) {
    std::string bytes(size + 2, '\0');
    DWORD got = size + 2;
    LONG result = query(&type, reinterpret_cast<BYTE*>(&bytes[0]), &got);
    if (result == ERROR_SUCCESS) {
      bytes.resize(got);
      value.type = type;
      value.bytes = std::move(bytes);
      value.wide = wide.query != nullptr;
      return 1;
    }
    if (result != ERROR_MORE_DATA) return 0;
    size = got;
  }
  return 0;
}

int ReadStoredValue(HKEY root, const char* path, const char* name, StoredValue& value) {
  value = StoredValue{};
  RegKey key;
  if (key.Open(root, path, KEY_READ) != ERROR_SUCCESS) return 0;
  return ReadStoredValue(key.get(), name, value);
}

int SetStoredValue(HKEY key, const char* name, const StoredValue& value) {
  const auto* data = reinterpret_cast<const BYTE*>(value.bytes.data());
  const auto size = static_cast<DWORD>(value.bytes.size());
  if (value.wide) {
    const WideRegistry& wide = Wide();
    return wide.set && wide.set(key, WideName(name).c_str(), 0, value.type, data, size) == ERROR_SUCCESS ? 1 : 0;
  }
  return RegSetValueExA(key, name ? name : "", 0, value.type, data, size) == ERROR_SUCCESS ? 1 : 0;
}

int WriteStoredValue(HKEY root, const char* path, const char* name, const StoredValue& value) {
  RegKey key;
  if (!OpenForWriting(key, root, path, KEY_ALL_ACCESS)) return 0;
  return SetStoredValue(key.get(), name, value);
}

StoredValue TextValue(const std::string& text) {
  StoredValue value;
  value.type = REG_SZ;
  value.bytes = text + std::string(1, '\0');
  return value;
}

std::string TextOfValue(const StoredValue& value) {
  if (!IsTextType(value.type)) return {};
  if (!value.wide) return std::string(value.bytes.data(), strnlen(value.bytes.data(), value.bytes.size()));
  const auto* text = reinterpret_cast<const wchar_t*>(value.bytes.data());
  size_t chars = value.bytes.size() / sizeof(wchar_t), length = 0;
  while (length < chars && text[length]) ++length;
  if (length == 0) return {};
  int size = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), &ansi[0], size, nullptr, nullptr);
  return ansi;
}

namespace {

// ANSI text of a Unicode text; exact tells whether every character had an
// ANSI form.
std::string AnsiOf(const wchar_t* text, size_t length, bool* exact) {
  if (exact) *exact = true;
  if (length == 0) return {};
  BOOL lossy = FALSE;
  int size = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (size <= 0) {
    if (exact) *exact = false;
    return {};
  }
  std::string ansi(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), &ansi[0], size, nullptr, exact ? &lossy : nullptr);
  if (exact && lossy) *exact = false;
  return ansi;
}

// One walk for both character widths: Unicode on the NT family, where names
// outside the code page exist, ANSI on 95/98/Me.
template <typename Char>
std::vector<ListedValue> Snapshot(HKEY key) {
  constexpr bool kWide = std::is_same<Char, wchar_t>::value;
  std::vector<ListedValue> values;
  DWORD count = 0, longestName = 0, longestData = 0;
  LONG queried = kWide ? Wide().queryInfo(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                                          &longestName, &longestData, nullptr, nullptr)
                       : RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                                          &longestName, &longestData, nullptr, nullptr);
  if (queried != ERROR_SUCCESS) return values;
  std::vector<Char> name(longestName + 2);
  std::vector<BYTE> data(longestData + 4);
  for (DWORD index = 0; index <= count + 16; ++index) {
    DWORD nameLength = static_cast<DWORD>(name.size()), dataLength = static_cast<DWORD>(data.size()), type = 0;
    LONG result;
    if constexpr (kWide)
      result = Wide().enumValue(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &dataLength);
    else
      result = RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &dataLength);
    if (result == ERROR_MORE_DATA) {
      // Written to while walked: grow and read this index again.
      if (name.size() > (1u << 20) || data.size() > (1u << 24)) break;
      name.resize(name.size() * 2 + 256);
      data.resize(data.size() * 2 + 1024);
      --index;
      continue;
    }
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) continue;
    ListedValue value;
    value.type = type;
    const Char* text = reinterpret_cast<const Char*>(data.data());
    size_t chars = dataLength / sizeof(Char), length = 0;
    while (length < chars && text[length]) ++length;
    // No command line is longer; a hostile value of megabytes is listed by
    // its start and never kept whole.
    if (length > kMaxListedText) length = kMaxListedText;
    if constexpr (kWide) {
      value.wideName.assign(name.data(), nameLength);
      bool exact = true;
      value.name = AnsiOf(name.data(), nameLength, &exact);
      // An embedded NUL makes the ANSI name a different (shorter) name.
      value.exactName = exact && value.wideName.find(L'\0') == std::wstring::npos;
      if (IsTextType(type)) value.text = AnsiOf(text, length, nullptr);
    } else {
      value.name.assign(name.data(), strnlen(name.data(), nameLength));
      if (IsTextType(type)) value.text.assign(text, length);
    }
    values.push_back(std::move(value));
  }
  return values;
}

struct CountedUnicode {
  USHORT Length;
  USHORT MaximumLength;
  PWSTR Buffer;
};

}  // namespace

std::vector<ListedValue> SnapshotValues(HKEY key) {
  if (!key) return {};
  const bool wide = Wide().queryInfo && Wide().enumValue;
  return wide ? Snapshot<wchar_t>(key) : Snapshot<char>(key);
}

int DeleteListedValue(HKEY key, const ListedValue& value) {
  if (!key) return 0;
  if (value.exactName || value.wideName.empty())
    return RegDeleteValueA(key, value.name.c_str()) == ERROR_SUCCESS ? 1 : 0;
  if (value.wideName.find(L'\0') == std::wstring::npos)
    return Wide().deleteValue && Wide().deleteValue(key, value.wideName.c_str()) == ERROR_SUCCESS ? 1 : 0;
  // A name holding a NUL can only be named with its length, which only the
  // native call takes.
  using NtDeleteValueKeyFn = LONG(WINAPI*)(HANDLE, CountedUnicode*);
  auto deleteValue = FunctionOf<NtDeleteValueKeyFn>("ntdll.dll", "NtDeleteValueKey");
  if (!deleteValue || value.wideName.size() * sizeof(wchar_t) > 0xFFFC) return 0;
  std::wstring name = value.wideName;
  CountedUnicode counted = {static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                            static_cast<USHORT>(name.size() * sizeof(wchar_t)), &name[0]};
  return deleteValue(key, &counted) == 0 ? 1 : 0;
}

int KeyExists(HKEY root, const char* path) {
  RegKey key;
  return key.Open(root, path, KEY_READ) == ERROR_SUCCESS;
}

int ValueExists(HKEY root, const char* path, const char* name) {
  RegKey key;
  if (key.Open(root, path, KEY_READ) != ERROR_SUCCESS) return 0;
  return RegQueryValueExA(key.get(), name ? name : "", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

}  // namespace sentrel

namespace sentrel {
int DwordValueExists(HKEY root, const char* path, const char* name) {
  RegKey key;
  if (key.Open(root, path, KEY_READ) != ERROR_SUCCESS) return 0;
  DWORD type = 0;
  return RegQueryValueExA(key.get(), name ? name : "", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
         type == REG_DWORD;
}
}  // namespace sentrel
