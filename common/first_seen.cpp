// The first-seen store: the date each program, file or item was first seen.
#include "first_seen.h"

#include <string>

#include "fileid.h"
#include "registry.h"

namespace sentrel {

const char* FirstSeenArea(int type) {
  if (type < 300 || type == 1070) return "Startup";
  if (type == 370 || type == 1030) return "Hidden";
  if (type == 400) return "FileTypes";
  if (type == 700 || type == 701 || type == 1060) return "Services";
  if (type == 800 || type == 1050) return "Tasks";
  if ((type >= 900 && type <= 902) || type == 1040) return "IEHelper";
  if (type == 1020 || type == 1200) return "ActiveX";
  return "ActiveTasks";
}

int RecordFirstSeen(const char* text, const char* area) {
  if (!text || !*text) return 0;
  if (lstrcmpiA(area, "ActiveX") != 0 && !FileExists(NormalizeFilePath(text).c_str())) return 0;
  std::string key = std::string(kDetectedKey) + "\\" + area;
  char date[32];
  if (ReadStringValue(HKEY_CURRENT_USER, key.c_str(), text, date, sizeof date) > 0) return 1;
  WriteStringValue(HKEY_CURRENT_USER, key.c_str(), text, NowText().c_str());
  return 0;
}

int ReadFirstSeen(const char* text, int type, char* dest) {
  std::string key = std::string(kDetectedKey) + "\\" + FirstSeenArea(type);
  return ReadStringValue(HKEY_CURRENT_USER, key.c_str(), text, dest, 24);
}

}  // namespace sentrel
