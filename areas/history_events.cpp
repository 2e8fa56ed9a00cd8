// Listing and restoring history events.
#include "history_events.h"

#include <windows.h>

#include <string>

#include "catalogue.h"
#include "fileid.h"
#include "hidden_files.h"
#include "history.h"
#include "registry.h"
#include "settings.h"
#include "startup.h"

namespace sentrel {

int LoadHistory() {
  ClearCatalogueEntries();
  HANDLE file = CreateFileA(HistoryFile().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  std::string text(kHistoryReadLimit, '\0');
  DWORD read = 0;
  if (!ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &read, nullptr)) read = 0;
  CloseHandle(file);
  text.resize(read);
  for (const HistoryEvent& event : ParseHistory(text)) {
    CatalogueEntry entry;
    entry.title = event.title;
    entry.path = entry.command = event.path;  // the listing cuts and unquotes the path; a restore needs it whole
    entry.data = event.data;
    entry.description = event.date;
    entry.type = event.typeCode;
    entry.value = event.actionCode;
    AddCatalogueEntry(std::move(entry));
  }
  return CatalogueCount();
}

namespace {

// Registers a library again with the system's own regsvr32: never one found
// on the search path, and never a path that could close our quotes and add
// arguments of its own.
int RegisterLibrary(const std::string& path) {
  const std::string folder = SystemFolder();
  if (folder.empty() || path.empty() || path.find('"') != std::string::npos) return 0;
  const std::string program = folder + "\\regsvr32.exe";
  std::string command = "\"" + program + "\" /s \"" + path + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
    return 0;
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return 1;
}

}  // namespace

int RestoreHistoryEvent(int index) {
  if (index < 0 || index >= CatalogueCount()) return 0;
  const CatalogueEntry entry = CatalogueAt(index);
  switch (entry.value) {
    case kActionStartRemove:
      return RestoreRemovedEntry(entry.title.c_str(), entry.command.c_str(), entry.data.c_str(), entry.type);
    case kActionStartDisable:
    case kActionStartEnable:
      return ToggleStartupEntry(entry.title.c_str(), entry.command.c_str(), entry.data.c_str(), entry.type);
    case kActionIEHelperRemove:
      return RegisterLibrary(entry.command);  // as recorded: a quote in it is refused
    case kActionHiddenDeleteFile:
      return RestoreHiddenFile(entry.path.c_str(), entry.data.c_str());
    default:
      return 0;
  }
}

}  // namespace sentrel
