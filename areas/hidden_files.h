// Hidden files in the watched folders: the listing, the baseline of known
// ones, deleting one into the vault and restoring it from there.
#pragma once

#include <windows.h>

#include <string>

namespace sentrel {

constexpr const char* kHiddenBaselineKey = "Software\\Orvane Works\\Sentrel\\Hidden";

// Fills the catalogue entry list with the hidden files (type 370; value 1
// for a file without the system attribute) of C:\, the Windows folder, the
// system folder and one level below it, Common Files and one level below,
// and the temporary folder and one level below; returns the count. The
// entry's command holds the path whole. Titles (product names) are read
// only when asked for.
int ScanHiddenFiles(bool withTitles = true);

// The product name of a file's version information ("" when none).
std::string HiddenFileTitle(const std::string& path);

// Whether the baseline knows the path (a value that is not empty).
bool IsKnownHiddenFile(HKEY baseline, const std::string& path);
int WriteHiddenBaseline(const std::string& path);

// Ends the file's program if it runs, keeps a copy in the vault, deletes the
// file and records history event 29 (the vault copy's name as its data);
// the baseline forgets the path either way. 1 when the file is gone. A file
// that cannot be kept in the vault is not deleted.
int DeleteHiddenFile(HWND owner, const char* title, const char* path);

// Puts a deleted file back from the vault (history event 29): hidden, known
// again, the vault copy removed. Never over a file or link standing at the
// path, never from outside the vault. keptAs is the vault copy's name as
// recorded ("" for the file's own name).
int RestoreHiddenFile(const char* path, const char* keptAs);

// The settings initialisation's builder: unless the baseline is marked "P",
// builds it from the files hidden now.
int CreateHiddenBaseline();

}  // namespace sentrel
