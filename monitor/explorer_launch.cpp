// Starting the explorer, SentrelEx.exe, from the monitor's own folder.
#include <windows.h>

#include <shellapi.h>

#include "fileid.h"
#include "monitor.h"
#include "resource.h"
#include "strings.h"

namespace sentrel {

int StartExplorer(const char* switchText) {
  // By its full path: a bare name would be looked for elsewhere too.
  const std::string explorer = FileBesideProgram("SentrelEx.exe");
  const std::string folder = FolderOfProgram();
  HINSTANCE result = explorer.empty() ? nullptr
                                      : ShellExecuteA(Monitor().window, "open", explorer.c_str(), switchText,
                                                      folder.c_str(), SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(result) >= 32) return 1;
  ShowMessageId(nullptr, IDS_EXPLORER_NOT_FOUND, MB_OK | MB_ICONERROR);
  return 0;
}

}  // namespace sentrel
