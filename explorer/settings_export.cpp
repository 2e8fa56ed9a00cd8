// The settings export.
#include "settings_export.h"

#include <cstring>
#include <string>
#include <vector>

#include "fileid.h"
#include "library.h"
#include "reg_file_text.h"
#include "registry.h"
#include "resource.h"
#include "settings.h"
#include "strings.h"

namespace sentrel {
namespace {

struct ExportedKey {
  HKEY root;
  const char* rootName;
  const char* path;
};
const ExportedKey kExportedKeys[] = {
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER", kSentrelKey},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", "SOFTWARE\\Orvane Works"},
};

// A handle closed when it goes out of scope.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  bool Close() {
    if (!valid()) return true;
    const bool closed = CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

// The ANSI form of text read as Unicode, when the code page holds every
// character as itself (not as "?" or a look-alike of another letter).
bool ExactAnsi(const std::wstring& wide, std::string& ansi) {
  ansi = ExactAnsiForm(wide);
  return WidePath(ansi) == wide;
}

// The whole text of a string value. False when some of it would not come
// back from the script: text after a NUL (the further strings of a
// multi-string value among it) or a character the code page cannot hold.
bool WholeText(const StoredValue& value, std::string& text) {
  if (!value.wide) {
    text = value.bytes.substr(0, value.bytes.find_last_not_of('\0') + 1);
    return text.find('\0') == std::string::npos;
  }
  std::wstring wide(value.bytes.size() / sizeof(wchar_t), L'\0');
  if (!wide.empty()) std::memcpy(&wide[0], value.bytes.data(), wide.size() * sizeof(wchar_t));
  wide.erase(wide.find_last_not_of(L'\0') + 1);
  return wide.find(L'\0') == std::wstring::npos && ExactAnsi(wide, text);
}

// The lines of one key's values. Text values go as text (the registry
// editor's quoted form); the REG_DWORD values as dword, so that they come
// back as numbers; any other kind is left out, as is any value whose name or
// text does not fit, would break the line or would come back changed.
std::string ValueLines(HKEY key) {
  std::string lines;
  for (const ListedValue& value : SnapshotValues(key)) {
    std::string name;
    if (!value.exactName || (!value.wideName.empty() && !ExactAnsi(value.wideName, name))) continue;
    StoredValue stored;
    if (!ReadStoredValue(key, value.name.c_str(), stored) || stored.type != value.type) continue;
    std::string text;
    if ((stored.type == REG_SZ || stored.type == REG_EXPAND_SZ || stored.type == REG_MULTI_SZ) &&
        WholeText(stored, text)) {
      lines += RegFileStringLine(value.name, text);
    } else if (stored.type == REG_DWORD && stored.bytes.size() == 4) {
      DWORD number = 0;
      for (int i = 3; i >= 0; --i) number = (number << 8) | static_cast<unsigned char>(stored.bytes[i]);
      lines += RegFileDwordLine(value.name, number);
    }
  }
  return lines;
}

std::vector<std::string> SubKeyNames(HKEY key) {
  std::vector<std::string> names;
  char name[kRegFileMaxText + 2];
  for (DWORD index = 0;; ++index) {
    DWORD length = sizeof name;
    const LONG result = RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) continue;  // a name too long for a key line of the script
    names.emplace_back(name, length);
  }
  return names;
}

void AppendKey(std::string& text, const ExportedKey& exported) {
  text += RegFileKeyLine(exported.rootName, exported.path);
  RegKey key;
  if (key.Open(exported.root, exported.path, KEY_READ) != ERROR_SUCCESS) return;
  text += ValueLines(key.get());
  for (const std::string& name : SubKeyNames(key.get())) {
    if (!RegFileQuotable(name)) continue;
    const std::string path = std::string(exported.path) + "\\" + name;
    RegKey subKey;
    const LONG opened = subKey.Open(exported.root, path.c_str(), KEY_READ);
    // Not there by this name: one the code page cannot hold, read as "?"
    // or a look-alike, would come back as a key that never was.
    if (opened == ERROR_FILE_NOT_FOUND) continue;
    text += "\r\n" + RegFileKeyLine(exported.rootName, path);
    if (opened == ERROR_SUCCESS) text += ValueLines(subKey.get());
  }
}

// The logged-on user's name as a part of a file name, at most 228
// characters. A user name never holds the characters a file name refuses:
// any there ("?" above all, for a letter the code page lacks) stand for
// letters lost on the way and become "_".
std::string UserName() {
  using GetUserNameFn = BOOL(WINAPI*)(LPSTR, LPDWORD);
  static const auto getUserName = FunctionOf<GetUserNameFn>(LoadLibraryA("advapi32.dll"), "GetUserNameA");
  char name[260] = "";
  DWORD size = sizeof name;
  if (!getUserName || !getUserName(name, &size)) return "";
  std::string user(name, strnlen(name, 228));
  for (char& c : user)
    if (std::strchr("\\/:*?\"<>|", c) || static_cast<unsigned char>(c) < ' ') c = '_';
  return user;
}

// The finished file takes the place of the old one: on the NT family in one
// step, on the other family the old one goes first. An old one the user
// made read-only, or a folder of that name, is left alone.
bool PutInPlace(const std::string& from, const std::string& to) {
  const DWORD attributes = GetFileAttributesA(to.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
    return false;
  if (IsNtFamily()) return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  if (attributes != INVALID_FILE_ATTRIBUTES && !DeleteFileA(to.c_str())) return false;
  return MoveFileA(from.c_str(), to.c_str()) != 0;
}

bool WriteWhole(const std::string& path, const std::string& text) {
  FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  DWORD written = 0;
  const bool complete =
      WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
  return file.Close() && complete;
}

}  // namespace

std::string SettingsExportPath() {
  const std::string folder = FolderOfProgram();
  const std::string user = UserName();
  if (folder.empty() || user.empty()) return "";
  return folder + "\\" + user + "-Sentrel.reg";
}

std::string SettingsExportText() {
  std::string text = RegFileHeader();
  for (const ExportedKey& key : kExportedKeys) AppendKey(text, key);
  return text;
}

int ExportSettings(HWND owner) {
  const std::string path = SettingsExportPath();
  if (path.empty()) return 0;
  // Written beside the target first: a folder that takes no file, a full
  // disk or an old file that cannot be replaced leaves no half-written script
  // under the name the user restores from.
  // The user who asked is told when it fails: a silent failure would let
  // them count on a script that is not there.
  char temporary[MAX_PATH] = "";
  const bool made = GetTempFileNameA(FolderOfProgram().c_str(), "snt", 0, temporary) != 0;
  if (!made || !WriteWhole(temporary, SettingsExportText()) || !PutInPlace(temporary, path)) {
    if (made) DeleteFileA(temporary);
    ShowMessage(owner, FillText(LoadText(IDS_SETTINGS_NOT_SAVED), {path}).c_str(), MB_OK | MB_ICONEXCLAMATION);
    return 0;
  }
  ShowMessage(owner, FillText(LoadText(IDS_SENTREL_DATA_SETTINGS_HAVE), {LongPathOf(path)}).c_str(),
              MB_OK | MB_ICONINFORMATION);
  return 1;
}

}  // namespace sentrel
