// The critical system files (HOSTS, Autoexec.bat, Config.sys): the register
// in the machine hive with a saved copy of each, the change rule the patrol
// applies, and accepting or rejecting a change.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace sentrel {

constexpr const char* kSysfilesKey = "Software\\Orvane Works\\Sentrel\\Sysfiles";

// NT: the system folder's drivers\etc\HOSTS; 95/98/Me: the Windows folder's.
std::string HostsPath();
// Notepad on the HOSTS file, or message 736 when there is none.
int ViewHostsFile(HWND owner);
// Notepad on any file; a missing file or a failed start shows "%d  %s".
int ViewFile(HWND owner, const std::string& path);
// "%d  %s": the error number and the system's text for it, in a topmost box
// (captioned by the program unless a caption is given).
void ShowSystemError(HWND owner, DWORD error, const char* caption);

// The saved copy of a registered file: the data folder and the register name.
std::string SavedCopyPath(const std::string& name);

// Registers a file (its subkey, Date, Size, Type, Comment, Location) and
// saves a copy; 1 when the copy was written, 0 when the file is missing.
int RegisterSystemFile(const char* name, const char* path, const char* comment, int type);
// The settings initialisation's builder: the three standard files, once.
int CreateSystemFileRegister();

// A registered file whose change must be put to the user.
struct ChangedSystemFile {
  std::string name;  // register name (subkey)
  std::string path;  // Location
};
// Walks the register, completes missing Size and Date, and returns the files
// that changed: another size, or another date unless the file is a standard
// one (type 0), whose new date alone is no change.
std::vector<ChangedSystemFile> ChangedSystemFiles();

// The answers of the file change alert. With stopMonitoring the file leaves
// the register. Accept refreshes Date, Size and the saved copy; Reject puts
// the saved copy back over the file. 1 when the copy succeeded; otherwise 0
// with the system's error code as the last error.
int AcceptFileChange(const std::string& name, const std::string& path, bool stopMonitoring);
int RejectFileChange(const std::string& name, const std::string& path, bool stopMonitoring);

// Copies a file over another through a temporary file beside the target, so
// that a copy failing midway leaves the target whole; the target's
// read-only attribute is cleared for the copy and its attributes put back.
bool CopyOverKeepingAttributes(const std::string& from, const std::string& to);

}  // namespace sentrel
