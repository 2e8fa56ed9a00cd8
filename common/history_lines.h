// History lines: one tab-separated line per event (date, action, type,
// title, path, data). Pure text work: the same source is also built natively
// and fuzzed (tests/fuzz).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace sentrel {

constexpr size_t kHistoryReadLimit = 131072;
constexpr size_t kHistoryRecordWidth = 1024;  // characters of one line, CR LF included

// Action codes of the events.
enum HistoryAction : int {
  kActionStartRemove = 0,
  kActionStartDisable = 1,
  kActionStartEnable = 2,
  kActionIEHelperRemove = 3,
  kActionTaskRemove = 4,
  kActionTaskKill = 5,
  kActionStartAlert = 6,
  kActionTaskAlert = 7,
  kActionIEHelperAlert = 8,
  kActionResetUserinit = 21,
  kActionResetShell = 22,
  kActionRemoveTaskScheduler = 23,
  kActionRemoveDelayLoad = 24,
  kActionRemoveShellExecuteHook = 25,
  kActionHiddenAlert = 28,
  kActionHiddenDeleteFile = 29,
  kActionRemoveWinlogonNotify = 30,
};

const char* ActionName(int action);  // "" for a code not in the table
int ActionOfName(const char* name);  // 0 for a name not in the table
bool IsRestorableAction(int action);

// One whole record with its CR LF, cut to fit kHistoryRecordWidth: tabs and
// line ends inside a field become blanks.
std::string FormatHistoryLine(const std::string& date, const char* title, const char* path, const char* data, int type,
                              int action);

struct HistoryEvent {
  std::string date, action, type, title, path, data;
  int typeCode = 0;
  int actionCode = 0;
};
// Splits file text into events (at most the first 131072 bytes count).
std::vector<HistoryEvent> ParseHistory(const std::string& text);

}  // namespace sentrel
