// Listing and restoring history events.
#include "history_events.h"

#include <windows.h>

#include <string>

#include "catalogue.h"
#include "fileid.h"
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

int RestoreHistoryEvent(int index) {
  if (index < 0 || index >= CatalogueCount()) return 0;
  const CatalogueEntry entry = CatalogueAt(index);
  switch (entry.value) {
    case kActionStartRemove:
      return RestoreRemovedEntry(entry.title.c_str(), entry.command.c_str(), entry.data.c_str(), entry.type);
    case kActionStartDisable:
    case kActionStartEnable:
      return ToggleStartupEntry(entry.title.c_str(), entry.command.c_str(), entry.data.c_str(), entry.type);
    case kActionIEHelperRemove: {
      // Quoted: a folder with blanks must not split the path into arguments.
      std::string command = "regsvr32 /s \"" + entry.path + "\"";
      return WinExec(command.c_str(), SW_SHOWNORMAL) > 31;
    }
    case kActionHiddenDeleteFile: {
      std::string saved = DataFolder() + "\\vault\\" + FileNamePart(entry.path);
      if (!CopyFileA(saved.c_str(), entry.path.c_str(), FALSE)) return 0;
      SetFileAttributesA(entry.path.c_str(), FILE_ATTRIBUTE_HIDDEN);
      DeleteFileA(saved.c_str());
      WriteStringValue(HKEY_CURRENT_USER, (std::string(kSentrelKey) + "\\Hidden").c_str(), entry.path.c_str(),
                       NowText().c_str());
      return 1;
    }
    default:
      return 0;
  }
}

}  // namespace sentrel
