// The registry layer: every read and write of settings, baselines and watched
// locations goes through these functions. Reads check type and size, always
// terminate, and leave an empty destination on failure.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace sentrel {

// Longest string value the layer reads, in bytes with its terminator.
constexpr int kMaxValueBytes = 1024;
// Working width of DeleteKeyTree's path, with its terminator.
constexpr int kMaxKeyPath = 520;

// Failures are passed as (text, detail); the default hook records nothing.
using DiagnosticHook = void (*)(const char* text, const char* detail);
void SetDiagnosticHook(DiagnosticHook hook);
void Diagnose(const char* text, const char* detail);

// On 64-bit Windows the programs (32-bit) would see the 32-bit copies of the
// machine's keys: every key is opened in the machine's own view there, and
// a path through Wow6432Node in the 32-bit view. 0 elsewhere (the flags are
// unknown to older systems).
// The path to open and the view flag: a Wow6432Node path is opened without
// that node, in the 32-bit view.
std::pair<std::string, REGSAM> ViewPath(const std::string& path);
// 1 when this 32-bit program runs on 64-bit Windows (IsWow64Process, looked
// up by name: missing or failing, the answer is no).
int IsWow64();

// An open registry key, closed when it goes out of scope.
class RegKey {
 public:
  RegKey() = default;
  ~RegKey() { Close(); }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  RegKey(RegKey&& other) noexcept : key_(other.key_) { other.key_ = nullptr; }
  RegKey& operator=(RegKey&& other) noexcept;

  LONG Open(HKEY root, const char* path, REGSAM access);
  LONG Create(HKEY root, const char* path, REGSAM access);
  void Close();
  HKEY get() const { return key_; }
  explicit operator bool() const { return key_ != nullptr; }

 private:
  HKEY key_ = nullptr;
};

int CreateSettingsKey(HKEY root, const char* path);
// Text of a REG_SZ, REG_EXPAND_SZ (expanded) or REG_MULTI_SZ (first string)
// value; anything else, or text that does not fit, reads as missing.
int ReadStringValue(HKEY root, const char* path, const char* name, char* dest, int capacity);
// The same from a key already open (for many reads of one key).
int ReadStringValueFrom(HKEY key, const char* name, char* dest, int capacity);
std::string ReadString(HKEY root, const char* path, const char* name);
int WriteStringValue(HKEY root, const char* path, const char* name, const char* text);
DWORD ReadDwordValue(HKEY root, const char* path, const char* name);
LONG ReadDwordValueOr(HKEY root, const char* path, const char* name);
int WriteDwordValue(HKEY root, const char* path, const char* name, DWORD value);
int DeleteValue(HKEY root, const char* path, const char* name);
int DeleteKeyTree(HKEY root, const char* path);

// A value exactly as stored: its type and all of its bytes.
struct StoredValue {
  DWORD type = REG_NONE;
  std::string bytes;
  bool wide = false;  // bytes as the Unicode calls give them (the NT family)
};
// Reads a value of any size; 0 when it is missing (output left empty).
int ReadStoredValue(HKEY key, const char* name, StoredValue& value);
int ReadStoredValue(HKEY root, const char* path, const char* name, StoredValue& value);
// Writes type and bytes unchanged (creating the key when needed).
int WriteStoredValue(HKEY root, const char* path, const char* name, const StoredValue& value);
// Writes a value into an open key.
int SetStoredValue(HKEY key, const char* name, const StoredValue& value);
// A REG_SZ value holding text.
StoredValue TextValue(const std::string& text);
// The text of a string value: its bytes up to the first NUL ("" for other types).
std::string TextOfValue(const StoredValue& value);

// Characters of a value's text a walk keeps (the longest command line).
constexpr size_t kMaxListedText = 32767;

// One value of a key as a walk over it saw it.
struct ListedValue {
  std::string name;       // in the ANSI code page; "?" where a character has no ANSI form
  std::wstring wideName;  // NT family: the exact name (it may hold a NUL)
  bool exactName = true;  // name is the value's real name, usable with the ANSI calls
  DWORD type = REG_NONE;
  std::string text;  // string values: the data up to its first NUL, in the ANSI code page
};
// Every value of an open key, read before anything is acted on, whatever the
// length of names and data. On the NT family names are read in full Unicode,
// so a name the ANSI code page cannot hold, or one that starts with a NUL,
// can still be named exactly.
std::vector<ListedValue> SnapshotValues(HKEY key);
// Deletes the value a walk saw, by its exact name.
int DeleteListedValue(HKEY key, const ListedValue& value);

// Small conveniences built on the layer.
int KeyExists(HKEY root, const char* path);
int ValueExists(HKEY root, const char* path, const char* name);

}  // namespace sentrel

namespace sentrel {
// 1 when the value exists and is a REG_DWORD.
int DwordValueExists(HKEY root, const char* path, const char* name);
}  // namespace sentrel
