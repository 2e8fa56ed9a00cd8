// Registry reads the browser add-on modules share: the subkey names of a
// key, taken before anything is acted on, and a value's text at any length.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "fileid.h"
#include "registry.h"

namespace sentrel {

// The names of the subkeys (at most 255 characters each) of an open key. An
// index that fails is passed over; the walk ends at the end of the list or
// after the count the key reported.
inline std::vector<std::string> SubkeyNames(HKEY key) {
  std::vector<std::string> names;
  DWORD count = 0;
  if (!key || RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr) != ERROR_SUCCESS)
    return names;
  for (DWORD index = 0; index < count; ++index) {
    char name[256];
    DWORD length = sizeof name;
    const LONG result = RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || length >= sizeof name) continue;
    names.emplace_back(name, length);
  }
  return names;
}

inline std::vector<std::string> SubkeyNames(HKEY root, const char* path) {
  RegKey key;
  if (key.Open(root, path, KEY_READ) != ERROR_SUCCESS) return {};
  return SubkeyNames(key.get());
}

// The text of a string value of an open key, however long, with its
// variables expanded when it is stored as expandable; "" for other types.
inline std::string KeyText(HKEY key, const char* name) {
  // Most values are short: one read; a long one (or none) is asked again.
  char shortText[kMaxValueBytes];
  const int length = ReadStringValueFrom(key, name, shortText, sizeof shortText);
  if (length > 0) return std::string(shortText, static_cast<size_t>(length));
  StoredValue value;
  if (!key || !ReadStoredValue(key, name, value)) return {};
  std::string text = TextOfValue(value);
  if (value.type == REG_EXPAND_SZ) {
    std::string expanded;
    if (ExpandEnvironment(text, expanded)) text = expanded;
  }
  return text;
}

// The same for a subkey of an open key.
inline std::string SubkeyText(HKEY key, const std::string& subkey, const char* name) {
  RegKey sub;
  if (!key || sub.Open(key, subkey.c_str(), KEY_READ) != ERROR_SUCCESS) return {};
  return KeyText(sub.get(), name);
}

// The version fields of an add-on's file, read again only when the file
// changed (its size or time of last write): the patrol lists the same few
// files on every round, and a version resource costs more than the rest.
const VersionFields& AddOnVersionOf(const std::string& file);

}  // namespace sentrel
