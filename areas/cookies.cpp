// The cookie area: finding the cookie folders, listing and removing cookies,
// the filters and the staged replacement of cookies.txt.
#include "cookies.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "catalogue.h"
#include "fileid.h"
#include "registry.h"
#include "resource.h"
#include "settings.h"
#include "strings.h"

namespace sentrel {
namespace {

constexpr const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* kUserShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr const char* kFirefoxAppPath = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\firefox.exe";
constexpr size_t kMaxFolderCandidate = 250;

std::vector<std::string> g_filters;
size_t g_longestFilter = 0;

class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  ~FindHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  void Reset(HANDLE handle) {
    Close();
    handle_ = handle;
  }
  bool Close() {
    const bool closed = handle_ == INVALID_HANDLE_VALUE || CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

// Letter case is folded for ASCII letters only: the same in every code page,
// and cheap enough for thousands of cookies per patrol.
char LowerOf(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lower(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) c = LowerOf(c);
  return lower;
}

bool EndsWithNoCase(const std::string& text, const char* end) {
  const size_t length = std::char_traits<char>::length(end);
  if (text.size() < length || text.find('\0') != std::string::npos) return false;
  for (size_t i = 0; i < length; ++i)
    if (LowerOf(text[text.size() - length + i]) != LowerOf(end[i])) return false;
  return true;
}

std::string Cut(const std::string& text, size_t width) { return text.size() > width ? text.substr(0, width) : text; }

std::string AppDataFolder() { return ReadString(HKEY_CURRENT_USER, kShellFolders, "AppData"); }

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The first folder in base (ending with a backslash) matching the pattern.
std::string FirstFolder(const std::string& base, const char* pattern, bool skipDotNames) {
  WIN32_FIND_DATAA found;
  FindHandle search(FindFirstFileA((base + pattern).c_str(), &found));
  if (!search.valid()) return "";
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    if (skipDotNames && found.cFileName[0] == '.') continue;
    if (!skipDotNames && (lstrcmpA(found.cFileName, ".") == 0 || lstrcmpA(found.cFileName, "..") == 0)) continue;
    return base + found.cFileName;
  } while (FindNextFileA(search.get(), &found));
  return "";
}

// The file's first bytes, at most the limit; whole is false when it holds more.
bool ReadCapped(const std::string& path, std::string& text, bool& whole) {
  text.clear();
  whole = true;
  FileHandle file(
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file.valid()) return false;
  text.resize(kMaxCookieFileBytes + 1);
  DWORD total = 0, got = 0;
  while (total < text.size() &&
         ReadFile(file.get(), &text[total], static_cast<DWORD>(text.size() - total), &got, nullptr) && got > 0)
    total += got;
  text.resize(total);
  if (total > kMaxCookieFileBytes) {
    whole = false;
    text.resize(kMaxCookieFileBytes);
  }
  return true;
}

bool WriteAll(HANDLE file, const char* data, size_t size) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

std::string ShortDateFormat() { return ReadString(HKEY_CURRENT_USER, "Control Panel\\International", "sShortDate"); }

// Local dates already written during one listing, by year, month and day:
// thousands of cookies share a few hundred expiry days.
// Windows turns every time into local time by today's offset: it is asked
// once per listing, not once per cookie.
struct LocalClock {
  long long offset = 0;
  bool known = false;
  bool ToLocal(const FILETIME& utc, FILETIME& local) {
    const unsigned long long ticks = static_cast<unsigned long long>(utc.dwHighDateTime) << 32 | utc.dwLowDateTime;
    if (!known) {
      if (!FileTimeToLocalFileTime(&utc, &local)) return false;
      offset = static_cast<long long>(
          (static_cast<unsigned long long>(local.dwHighDateTime) << 32 | local.dwLowDateTime) - ticks);
      known = true;
      return true;
    }
    const unsigned long long moved = ticks + static_cast<unsigned long long>(offset);
    local = FILETIME{static_cast<DWORD>(moved), static_cast<DWORD>(moved >> 32)};
    return true;
  }
};

struct DateTexts {
  std::map<int, std::string> byDay;
  LocalClock clock;
};

std::string ExpiryDateWith(const std::string& seconds, const std::string& shortDate, DateTexts* known = nullptr) {
  unsigned long long ticks = 0;
  if (!ExpiryTicks(seconds, ticks)) return "";
  FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)}, local;
  LocalClock once;
  if (!(known ? known->clock : once).ToLocal(utc, local)) return "";
  SYSTEMTIME t;
  if (!FileTimeToSystemTime(&local, &t)) return "";
  const int day = t.wYear * 10000 + t.wMonth * 100 + t.wDay;
  if (known) {
    auto found = known->byDay.find(day);
    if (found != known->byDay.end()) return found->second;
  }
  const std::string dateTime = FormatDateTimeWith(t, shortDate.c_str(), "");
  const std::string date = dateTime.substr(0, dateTime.find(' '));
  if (known) known->byDay.emplace(day, date);
  return date;
}

std::string CreationText(const FILETIME& created, LocalClock& clock) {
  FILETIME local;
  SYSTEMTIME t;
  if (!clock.ToLocal(created, local) || !FileTimeToSystemTime(&local, &t)) return "";
  char text[64];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute);
  return text;
}

// The names of the Nuts values (filters and one-time requests), lower case.
std::set<std::string> NutNames() {
  std::set<std::string> names;
  RegKey key;
  if (key.Open(HKEY_CURRENT_USER, kNutsKey, KEY_READ) != ERROR_SUCCESS) return names;
  for (const ListedValue& value : SnapshotValues(key.get()))
    if (value.exactName) names.insert(Lower(value.name));
  return names;
}

// A filter's test with a buffer the caller keeps: the walk tests thousands
// of paths.
bool IsFilteredWith(const std::string& text, std::string& lower) {
  if (text.size() > kMaxFilteredText || g_filters.empty()) return false;
  lower.assign(text);
  for (char& c : lower) c = LowerOf(c);
  for (const std::string& filter : g_filters)
    if (lower.find(filter) != std::string::npos) return true;
  return false;
}

int ListInternetExplorer(bool filter) {
  std::string folder;
  if (!FindIECookieFolder(folder)) return 0;
  WIN32_FIND_DATAA found;
  FindHandle search(FindFirstFileA((folder + "*").c_str(), &found));
  if (!search.valid()) return 0;
  int listed = 0;
  bool full = false;
  std::string path = folder, lower;
  LocalClock clock;
  // A filter found in a file's path lies in the folder, the same for every
  // file, or reaches into the file's name: only the folder's last characters
  // and the name are searched for each file.
  const bool inFolder = filter && IsFilteredWith(folder, lower);
  const size_t tail = g_longestFilter > 1 && g_longestFilter - 1 < folder.size() ? g_longestFilter - 1 : folder.size();
  std::string nearName;
  do {
    if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM)) continue;
    const size_t length = strnlen(found.cFileName, sizeof found.cFileName);
    if (length < 4 || found.cFileName[length - 4] != '.' || LowerOf(found.cFileName[length - 3]) != 't' ||
        LowerOf(found.cFileName[length - 2]) != 'x' || LowerOf(found.cFileName[length - 1]) != 't')
      continue;
    path.resize(folder.size());
    path.append(found.cFileName, length);
    nearName.assign(folder, folder.size() - tail, tail);
    nearName.append(found.cFileName, length);
    if (filter && path.size() <= kMaxFilteredText && (inFolder || IsFilteredWith(nearName, lower))) {
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (DeleteFileA(path.c_str())) continue;
      // A file that will not go (in use, a name outside the code page) keeps
      // its attributes and stays listed: a filter must not hide it.
      SetFileAttributesA(path.c_str(), found.dwFileAttributes);
    }
    if (full) continue;
    if (!AddCatalogueEntry(found.cFileName, path.c_str(), "", CreationText(found.ftCreationTime, clock).c_str(),
                           kTypeCookie, 0)) {
      // The list is full; a filter still reaches the cookies past it.
      full = true;
      if (!filter) break;
      continue;
    }
    ++listed;
  } while (FindNextFileA(search.get(), &found));
  return listed;
}

int ListMozilla(int kind, bool filter) {
  std::string folder;
  if (!FindMozillaProfileFolder(kind, folder)) return 0;
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  const std::string source = folder + "\\cookies.txt", staged = folder + "\\cookiesnew.txt";
  FileHandle out;
  if (filter) {
    out.Reset(CreateFileA(staged.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    // A staged file that cannot be made (read-only, a folder of that name)
    // must not hide the cookies: they are listed and nothing is staged.
    if (!out.valid()) filter = false;
  }
  std::string text;
  bool whole = true;
  if (!ReadCapped(source, text, whole) || text.empty()) {
    // An empty staged file left behind could replace cookies.txt on the
    // commit of an earlier staging: nothing staged is left.
    if (filter) {
      out.Close();
      DeleteFileA(staged.c_str());
    }
    return 0;
  }
  if (!whole) {
    // Only part of the file was read: a staged copy of that part would lose
    // the rest, so nothing is staged, and the cut last line is not listed.
    const size_t last = text.rfind('\n');
    text.resize(last == std::string::npos ? 0 : last + 1);
    if (filter) {
      out.Close();
      DeleteFileA(staged.c_str());
      filter = false;
    }
  }
  const std::set<std::string> requested = filter ? NutNames() : std::set<std::string>();
  const std::string shortDate = ShortDateFormat();
  DateTexts dates;
  int listed = 0;
  bool full = false;
  std::string kept;  // the staged file's text, written in one go
  if (filter) kept.reserve(text.size());
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find('\n', start);
    const size_t next = end == std::string::npos ? text.size() : end + 1;
    const std::string line = text.substr(start, (end == std::string::npos ? text.size() : end) - start);
    CookieLine cookie;
    const bool isCookie = ParseCookieLine(line, cookie);
    const std::string title = isCookie ? CookieTitle(cookie) : std::string();
    bool drop = false;
    if (filter) {
      drop = !line.empty() && line[0] != '#' &&
             (IsCookieFiltered(line) || (isCookie && requested.count(Lower(Cut(title, kTitleWidth)))));
      if (!drop) kept.append(text, start, next - start);
    }
    if (!drop && isCookie && !full) {
      CatalogueEntry entry;
      entry.title = title;
      entry.path = cookie.path;
      entry.data = cookie.value;
      entry.description = ExpiryDateWith(cookie.expiry, shortDate, &dates);
      entry.type = kTypeMozillaCookie;
      entry.value = cookie.secure == "TRUE" ? 1 : 0;
      if (AddCatalogueEntry(std::move(entry)))
        ++listed;
      else
        full = true;
    }
    start = next;
  }
  if (filter) {
    // A staged file that was not written whole must never replace cookies.txt.
    const bool written = WriteAll(out.get(), kept.data(), kept.size());
    if (!out.Close() || !written)
      DeleteFileA(staged.c_str());
    else
      WriteOption(kUpdateCookieFile, 1);
  }
  return listed;
}

unsigned long long LastWriteOf(const std::string& path) {
  WIN32_FIND_DATAA found{};
  FindHandle search(FindFirstFileA(path.c_str(), &found));
  if (!search.valid()) return 0;
  return static_cast<unsigned long long>(found.ftLastWriteTime.dwHighDateTime) << 32 |
         found.ftLastWriteTime.dwLowDateTime;
}

// Replaces target by the file temporary: in one step where Windows can,
// else by moving target aside first and back when the move fails.
bool ReplaceFileWith(const std::string& temporary, const std::string& target) {
  if (MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  if (IsNtFamily()) return false;
  const std::string aside = target + ".old";
  DeleteFileA(aside.c_str());
  const bool moved = MoveFileA(target.c_str(), aside.c_str()) != 0;
  if (MoveFileA(temporary.c_str(), target.c_str())) {
    DeleteFileA(aside.c_str());
    return true;
  }
  if (moved) MoveFileA(aside.c_str(), target.c_str());
  return false;
}

}  // namespace

bool IsMozillaKind(int kind) { return kind == 2 || kind == 3 || kind == 6; }

int FindIECookieFolder(std::string& folder) {
  const std::string candidates[] = {ReadString(HKEY_CURRENT_USER, kSentrelKey, "IECookieFolder"),
                                    ReadString(HKEY_CURRENT_USER, kShellFolders, "Cookies"),
                                    ReadString(HKEY_CURRENT_USER, kUserShellFolders, "Cookies"),
                                    WindowsFolder() + "\\Cookies"};
  for (std::string candidate : candidates) {
    if (candidate.empty() || candidate.size() > kMaxFolderCandidate) continue;
    if (candidate.back() != '\\') candidate += '\\';
    const DWORD attributes = GetFileAttributesA((candidate + "index.dat").c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    folder = candidate;
    return 1;
  }
  folder = LoadText(IDS_COOKIE_FOLDER_NOT_FOUND);
  return 0;
}

int FindMozillaProfileFolder(int kind, std::string& folder) {
  folder = ReadString(HKEY_CURRENT_USER, kSentrelKey, "CookieFolder");
  if (!folder.empty()) return 1;
  const std::string appData = AppDataFolder();
  if (appData.empty()) return 0;
  const std::string firefox = appData + "\\Mozilla\\FireFox\\Profiles\\";
  folder = FirstFolder(firefox, "*.default", false);
  if (folder.empty()) folder = FirstFolder(firefox, "default.*", false);
  if (folder.empty() && kind == 2) folder = FirstFolder(appData + "\\Mozilla\\Profiles\\default\\", "*", true);
  return folder.empty() ? 0 : 1;
}

int FirefoxMajorVersion() {
  std::string program = ReadString(HKEY_LOCAL_MACHINE, kFirefoxAppPath, "");
  if (program.empty() || !FileExists(program)) return 0;
  VersionFields fields;
  ReadVersionInfo(program.c_str(), fields);
  return ParseLeadingInt(fields.slot[kProductVersion].c_str());
}

bool MozillaSupported() {
  const std::string appData = AppDataFolder();
  return FirefoxMajorVersion() <= 2 && !appData.empty() && IsFolder(appData + "\\Mozilla");
}

std::string ExpiryDateText(const std::string& seconds) { return ExpiryDateWith(seconds, ShortDateFormat()); }

void LoadCookieFilters() {
  g_filters.clear();
  g_longestFilter = 0;
  RegKey key;
  if (key.Open(HKEY_CURRENT_USER, kNutsKey, KEY_READ) != ERROR_SUCCESS) return;
  for (const ListedValue& value : SnapshotValues(key.get())) {
    // No more than the user can add: a flood of values planted by another
    // program would make every filter run cost files times filters.
    if (g_filters.size() >= static_cast<size_t>(kMaxCookieFilters)) break;
    // An empty text would be found in every cookie.
    if (!value.exactName || value.name.empty()) continue;
    if (ParseLeadingInt(value.text.c_str()) == 2) continue;
    g_filters.push_back(Lower(Cut(value.name, kMaxFilterText)));
    if (g_filters.back().size() > g_longestFilter) g_longestFilter = g_filters.back().size();
  }
}

void FreeCookieFilters() {
  g_filters.clear();
  g_longestFilter = 0;
  g_filters.shrink_to_fit();
}

const std::vector<std::string>& CookieFilters() { return g_filters; }

bool IsCookieFiltered(const std::string& text) {
  std::string lower;
  return IsFilteredWith(text, lower);
}

int AddCookieFilter(const std::string& text, int kind) {
  const std::string filter = Cut(text.substr(0, text.find('\0')), kMaxFilterText);
  if (filter.empty()) return -1;
  LoadCookieFilters();
  if (g_filters.size() >= static_cast<size_t>(kMaxCookieFilters)) return IDS_M_SORRY_BUT_VE;
  if (!WriteStringValue(HKEY_CURRENT_USER, kNutsKey, filter.c_str(), "1")) return -1;
  LoadCookieFilters();
  ListCookies(kind, true);
  return 0;
}

int RemoveCookieFilter(const std::string& text) {
  const int removed = DeleteValue(HKEY_CURRENT_USER, kNutsKey, text.c_str());
  LoadCookieFilters();
  return removed;
}

int PurgeRemovalRequests() {
  RegKey key;
  if (key.Open(HKEY_CURRENT_USER, kNutsKey, KEY_READ | KEY_SET_VALUE) != ERROR_SUCCESS) return 0;
  int purged = 0;
  for (const ListedValue& value : SnapshotValues(key.get()))
    if (ParseLeadingInt(value.text.c_str()) == 2) purged += DeleteListedValue(key.get(), value) ? 1 : 0;
  return purged;
}

int ListCookies(int kind, bool filter) {
  ClearCatalogueEntries();
  return IsMozillaKind(kind) ? ListMozilla(kind, filter) : ListInternetExplorer(filter);
}

int CommitStagedCookies(const std::string& profileFolder) {
  if (ReadOption(kUpdateCookieFile, 0) <= 0) return 0;
  if (FindWindowA(LoadText(IDS_MOZILLA_WINDOW_CLASS).c_str(), nullptr)) return 0;
  std::string folder = profileFolder;
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  const std::string staged = folder + "\\cookiesnew.txt", target = folder + "\\cookies.txt";
  if (GetFileAttributesA(staged.c_str()) == INVALID_FILE_ATTRIBUTES) return -1;
  // The browser saves cookies.txt as it closes: one written after the staging
  // holds cookies the staged copy lacks, so the stale staging is dropped.
  if (LastWriteOf(target) > LastWriteOf(staged)) {
    DeleteFileA(staged.c_str());
    return -1;
  }
  // Copied under another name first: a copy that fails half-way must leave
  // cookies.txt as it was.
  const std::string temporary = folder + "\\cookiestmp.txt";
  if (!CopyFileA(staged.c_str(), temporary.c_str(), FALSE)) {
    DeleteFileA(temporary.c_str());
    return 0;
  }
  if (!ReplaceFileWith(temporary, target)) {
    DeleteFileA(temporary.c_str());
    return 0;
  }
  return 1;
}

bool IsCookieKept(const std::string& title) {
  return ValueExists(HKEY_CURRENT_USER, kKeptCookiesKey, Cut(title, kTitleWidth).c_str()) != 0;
}

std::string CookieKey(const std::string& title) { return Lower(Cut(title, kTitleWidth)); }

std::set<std::string> KeptCookieKeys() {
  std::set<std::string> keys;
  RegKey key;
  if (key.Open(HKEY_CURRENT_USER, kKeptCookiesKey, KEY_READ) != ERROR_SUCCESS) return keys;
  for (const ListedValue& value : SnapshotValues(key.get()))
    if (value.exactName) keys.insert(Lower(value.name));
  return keys;
}

int KeepCookie(const std::string& title, bool keep) {
  const std::string name = Cut(title, kTitleWidth);
  if (keep) return WriteStringValue(HKEY_CURRENT_USER, kKeptCookiesKey, name.c_str(), "1");
  return DeleteValue(HKEY_CURRENT_USER, kKeptCookiesKey, name.c_str());
}

int RemoveCookie(const CatalogueEntry& entry) {
  if (entry.type == kTypeMozillaCookie)
    return WriteStringValue(HKEY_CURRENT_USER, kNutsKey, Cut(entry.name, kTitleWidth).c_str(), "2");
  if (entry.type != kTypeCookie) return 0;
  // Only a cookie file of the cookie folder, by the whole name it was listed
  // under: a listed path cut short names another cookie's file.
  std::string folder;
  if (!FindIECookieFolder(folder)) return 0;
  const std::string& name = entry.name;
  if (name.find_first_of("\\/:") != std::string::npos || !EndsWithNoCase(name, ".txt")) return 0;
  const std::string path = folder + name;
  if (lstrcmpiA(Cut(path, kPathChars).c_str(), entry.path.c_str()) != 0) return 0;
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileA(path.c_str()) ? 1 : 0;
}

}  // namespace sentrel
