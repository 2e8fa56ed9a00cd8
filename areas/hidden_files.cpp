// Hidden files: listing, baseline, deletion into the vault and restore.
#include "hidden_files.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "catalogue.h"
#include "fileid.h"
#include "history.h"
#include "processes.h"
#include "registry.h"
#include "settings.h"
#include "startup.h"

namespace sentrel {
namespace {

std::string WithoutTrailingBackslash(std::string folder) {
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  return folder;
}

// The name of a listed file for the ANSI calls. A name the code page cannot
// hold comes with '?' or look-alike letters in it (a fullwidth "n" becomes
// "n"), and names no file or another one beside it: its short form still
// names this one.
std::string NameOf(const std::string& folder, const WIN32_FIND_DATAA& found) {
  if (!found.cAlternateFileName[0]) return found.cFileName;
  if (std::strchr(found.cFileName, '?')) return found.cAlternateFileName;
  WIN32_FIND_DATAA named;
  HANDLE search = FindFirstFileA((folder + "\\" + found.cFileName).c_str(), &named);
  if (search == INVALID_HANDLE_VALUE) return found.cAlternateFileName;
  FindClose(search);
  return lstrcmpiA(named.cAlternateFileName, found.cAlternateFileName) == 0 ? found.cFileName
                                                                            : found.cAlternateFileName;
}

// Lists one folder, its subfolders first while depth allows; false once the
// list takes no more entries.
bool WalkFolder(const std::string& folder, int depth, bool withTitles) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*.*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return true;
  bool more = true;
  do {
    // Only the folder's own "." and ".." entries: a file named ".x" is a
    // file like any other and must not escape the listing.
    if (lstrcmpA(found.cFileName, ".") == 0 || lstrcmpA(found.cFileName, "..") == 0) continue;
    const DWORD attributes = found.dwFileAttributes;
    // A linked folder may lead anywhere, even back here: not walked.
    const bool walk =
        (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) && depth > 0;
    const bool take = (attributes & FILE_ATTRIBUTE_HIDDEN) && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (!walk && !take) continue;  // most names: no look at them beyond the listing
    const std::string path = folder + "\\" + NameOf(folder, found);
    if (walk) more = WalkFolder(path, depth - 1, withTitles);
    if (!more || !take) continue;
    CatalogueEntry entry;
    if (withTitles) entry.title = HiddenFileTitle(path);
    entry.path = entry.data = entry.command = path;
    entry.type = kTypeHidden;
    entry.value = (attributes & FILE_ATTRIBUTE_SYSTEM) ? 0 : 1;
    more = AddCatalogueEntry(std::move(entry)) != 0;
  } while (more && FindNextFileA(search, &found));
  FindClose(search);
  return more;
}

// Whether a folder on the way to a full path is missing or a link
// (junction, mount point, symbolic link): one swapped in for a folder of a
// listed file, or put in a history line, would send a deletion or a restore
// anywhere else.
bool LinkOnTheWay(const std::string& path) {
  for (size_t cut = path.find('\\', 3); cut != std::string::npos; cut = path.find('\\', cut + 1)) {
    const DWORD attributes = GetFileAttributesA(path.substr(0, cut).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
      return true;
  }
  return false;
}

// The vault copy of a deleted file: a name directly in the vault, whatever
// the history line holds; "" when the name could lead anywhere else.
std::string VaultCopyNamed(const std::string& name) {
  if (name.empty() || name.find_first_of(":\\/") != std::string::npos || name == "." || name == "..") return "";
  const std::string copy = VaultFolder() + "\\" + name;
  return InVault(copy) && !LinkOnTheWay(copy) ? copy : std::string();
}

// A place a file may be put back at: a full local path as written, no
// relative steps, no forward slashes, no link on the way.
bool RestorablePath(const std::string& path) {
  if (path.size() < 4 || path.size() >= MAX_PATH || path[1] != ':' || path[2] != '\\' ||
      path.find('/') != std::string::npos || path.find("..") != std::string::npos ||
      path.find(':', 2) != std::string::npos)
    return false;
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  return length > 0 && length < sizeof full && lstrcmpiA(full, path.c_str()) == 0 && !LinkOnTheWay(path);
}

}  // namespace

std::string HiddenFileTitle(const std::string& path) {
  VersionFields fields;
  ReadVersionInfo(path.c_str(), fields);
  return fields.slot[kProductName];
}

int ScanHiddenFiles(bool withTitles) {
  ClearCatalogueEntries();
  struct Walk {
    std::string folder;
    int depth;
  };
  char temp[MAX_PATH] = "";
  const DWORD tempLength = GetTempPathA(sizeof temp, temp);
  // A 32-bit program on 64-bit Windows sees the 32-bit files as System32:
  // the machine's own folder is walked, named by its Sysnative alias so that
  // every action on an entry reaches that very file.
  const std::string nativeSystem = NativeFilePath(SystemFolder() + "\\*");
  const Walk walks[] = {
      {"C:", 0},
      {WindowsFolder(), 0},
      {nativeSystem.substr(0, nativeSystem.size() - 2), 1},
      {ReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir"), 1},
      {tempLength > 0 && tempLength < sizeof temp ? std::string(temp) : std::string(), 1},
  };
  for (const Walk& walk : walks) {
    const std::string folder = WithoutTrailingBackslash(walk.folder);
    if (folder.empty()) continue;
    if (!WalkFolder(folder, walk.depth, withTitles)) break;
  }
  return CatalogueCount();
}

bool IsKnownHiddenFile(HKEY baseline, const std::string& path) {
  char date[32];
  return baseline && ReadStringValueFrom(baseline, path.c_str(), date, sizeof date) > 0;
}

int WriteHiddenBaseline(const std::string& path) {
  return WriteStringValue(HKEY_CURRENT_USER, kHiddenBaselineKey, path.c_str(), NowText().c_str());
}

int DeleteHiddenFile(HWND owner, const char* title, const char* path) {
  if (!path || !*path) return 0;
  const std::string file = path;
  int gone = 0;
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
      !(file.size() > 3 && file[1] == ':' && file[2] == '\\' && LinkOnTheWay(file))) {
    KillProgram(owner, path, title ? title : "", false);
    // A name of its own in the vault: two deleted files of one name (there
    // are many desktop.ini) must not give each other's content back.
    CreateDirectoryA(DataFolder().c_str(), nullptr);
    CreateDirectoryA(VaultFolder().c_str(), nullptr);
    const std::string slot = FreeVaultSlot(file);
    // A vault reached through a link would put the copy anywhere.
    if (!slot.empty() && !LinkOnTheWay(slot) && CopyFileA(path, slot.c_str(), TRUE)) {
      SetFileAttributesA(slot.c_str(), FILE_ATTRIBUTE_NORMAL);
      SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
      gone = DeleteFileA(path) ? 1 : 0;
      if (gone) {
        AppendHistory(title ? title : "", path, FileNamePart(slot).c_str(), kTypeHidden, kActionHiddenDeleteFile);
      } else {
        SetFileAttributesA(path, attributes);
        DeleteFileA(slot.c_str());
      }
    }
  }
  DeleteValue(HKEY_CURRENT_USER, kHiddenBaselineKey, path);
  return gone;
}

int RestoreHiddenFile(const char* path, const char* keptAs) {
  const std::string target = path ? path : "";
  if (!RestorablePath(target)) return 0;
  const std::string saved = VaultCopyNamed(keptAs && *keptAs ? keptAs : FileNamePart(target));
  const DWORD attributes = saved.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(saved.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
    return 0;
  // Whatever stands at the path now, a file or a link, stays: the copy fails.
  if (!CopyFileA(saved.c_str(), target.c_str(), TRUE)) return 0;
  SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_HIDDEN);
  DeleteFileA(saved.c_str());
  WriteHiddenBaseline(target);
  return 1;
}

int CreateHiddenBaseline() {
  const std::string marker = ReadString(HKEY_CURRENT_USER, kHiddenBaselineKey, "");
  if (!marker.empty() && marker[0] == 'P') return 1;
  if (!marker.empty()) DeleteKeyTree(HKEY_CURRENT_USER, kHiddenBaselineKey);
  CreateSettingsKey(HKEY_CURRENT_USER, kHiddenBaselineKey);
  CreateSettingsKey(HKEY_CURRENT_USER, kDetectedKey);
  InitRegStartups();
  RegKey baseline;
  if (baseline.Create(HKEY_CURRENT_USER, kHiddenBaselineKey, KEY_ALL_ACCESS) != ERROR_SUCCESS) return 0;
  SetStoredValue(baseline.get(), "", TextValue("P"));
  const std::string today = NowText();
  {
    WholeCatalogue whole;
    ScanHiddenFiles(false);
    for (int i = 0; i < CatalogueCount(); ++i)
      if (!CatalogueAt(i).command.empty())
        SetStoredValue(baseline.get(), CatalogueAt(i).command.c_str(), TextValue(today));
  }
  ClearCatalogueEntries();
  return 1;
}

}  // namespace sentrel
