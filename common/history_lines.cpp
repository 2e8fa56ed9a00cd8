// History lines: the action names, one record's text and the reading of
// the file's text.
#include "history_lines.h"

#include <algorithm>
#include <cstring>

#include "command_text.h"
#include "type_codes.h"

namespace sentrel {
namespace {

struct ActionRow {
  int code;
  const char* name;
};
// In lookup order; the second rows for 12 and 23 are never found by code.
constexpr ActionRow kActions[] = {
    {0, "*START_Remove"},
    {1, "START_Disable"},
    {2, "START_Enable"},
    {3, "IEHELPER_Remove"},
    {4, "TASK_Remove"},
    {5, "TASK_Kill"},
    {6, "START_Alert"},
    {7, "TASK_Alert"},
    {8, "IEHELPER_Alert"},
    {9, "SERVICE_Stop"},
    {10, "SERVICE_Automatic"},
    {11, "SERVICE_Manual"},
    {12, "SERVICE_Disabled"},
    {12, "START_Restore"},
    {13, "TASK_Restore"},
    {14, "IEHELPER_Restore"},
    {15, "ScheduledTask_Remove"},
    {17, "SERVICE_from_Automatic"},
    {18, "SERVICE_from_Manual"},
    {19, "SERVICE_from_Disabled"},
    {20, "SERVICE__from_Disabled"},
    {21, "RESET_USERINIT"},
    {22, "RESET_SHELL"},
    {23, "REMOVE_TaskScheduler"},
    {24, "REMOVE_DELAYLOAD"},
    {23, "REMOVE_TASKSCHEDULER"},
    {25, "REMOVE_SHELLEXECUTEHOOK"},
    {26, "REMOVE_APPINIT"},
    {28, "HIDDEN_Alert"},
    {29, "*HIDDEN_DeleteFile"},
    {30, "REMOVE_WinLogonNotify"},
    {31, "LOG_UNKNOWN"},
};
static_assert(sizeof kActions / sizeof kActions[0] == 32, "the action table has 32 rows");

std::string Field(const std::string& text, size_t width) { return text.size() > width ? text.substr(0, width) : text; }

}  // namespace

const char* ActionName(int action) {
  for (const ActionRow& row : kActions)
    if (row.code == action) return row.name;
  return "";
}

int ActionOfName(const char* name) {
  for (const ActionRow& row : kActions)
    if (name && std::strcmp(row.name, name) == 0) return row.code;
  return 0;
}

bool IsRestorableAction(int action) { return ActionName(action)[0] == '*'; }

std::string FormatHistoryLine(const std::string& date, const char* title, const char* path, const char* data, int type,
                              int action) {
  std::string fields[6] = {
      date, ActionName(action), TypeName(type), title ? title : "", path ? path : "", data ? data : ""};
  // Tabs or line ends inside a field would split the record when read back.
  for (std::string& field : fields)
    for (char& c : field)
      if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  // Too long for one record: the free-text fields give way, longest first,
  // so that the line still ends with CR LF.
  const size_t limit = kHistoryRecordWidth - 2 - 5;  // CR LF and five tabs
  size_t total = 0;
  for (const std::string& field : fields) total += field.size();
  while (total > limit) {
    std::string* longest = &fields[3];
    for (int i = 4; i < 6; ++i)
      if (fields[i].size() > longest->size()) longest = &fields[i];
    size_t cut = std::min(total - limit, longest->size());
    longest->resize(longest->size() - cut);
    total -= cut;
  }
  return fields[0] + "\t" + fields[1] + "\t" + fields[2] + "\t" + fields[3] + "\t" + fields[4] + "\t" + fields[5] +
         "\r\n";
}

std::vector<HistoryEvent> ParseHistory(const std::string& whole) {
  std::vector<HistoryEvent> events;
  const std::string text = whole.substr(0, kHistoryReadLimit);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::string fields[6];
    size_t from = 0;
    for (int i = 0; i < 6; ++i) {
      size_t tab = i < 5 ? line.find('\t', from) : std::string::npos;
      // The command is kept whole: a restore must write back all of it.
      fields[i] = Field(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from),
                        i == 4 ? kHistoryRecordWidth : kPathWidth - 1);
      if (tab == std::string::npos) break;
      from = tab + 1;
    }
    HistoryEvent event;
    event.date = fields[0].size() < 32 ? fields[0] : std::string();
    event.action = fields[1];
    event.type = fields[2];
    event.title = fields[3].size() < 128 ? fields[3] : std::string();
    event.path = fields[4];
    event.data = fields[5];
    event.typeCode = TypeOfName(event.type.c_str());
    event.actionCode = ActionOfName(event.action.c_str());
    events.push_back(std::move(event));
  }
  return events;
}

}  // namespace sentrel
