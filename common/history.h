// The history log: one tab-separated line per event in history.txt beside
// the program, shared by both programs.
#pragma once

#include <windows.h>

#include <string>

#include "history_lines.h"

namespace sentrel {

std::string HistoryFile();

// The date field: "MM/DD/YYYY  h:mm AM".
std::string HistoryDate(const SYSTEMTIME& localTime);
// One whole record with its CR LF, cut to fit kHistoryRecordWidth.
std::string FormatHistoryRecord(const SYSTEMTIME& localTime, const char* title, const char* path, const char* data,
                                int type, int action);

int AppendHistory(const char* title, const char* path, const char* data, int type, int action);
int ClearHistory();

}  // namespace sentrel
