// The scheduled tasks of the Windows Task Scheduler (its 1.0 interfaces):
// starting and stopping the scheduler, the task list, one task's texts,
// deleting a task, and the task baseline.
#pragma once

#include <windows.h>

#include <string>

#include "catalogue.h"

namespace sentrel {

constexpr const char* kTaskBaselineKey = "Software\\Orvane Works\\Sentrel\\Tasks";
constexpr const char* kTaskFirstSeenArea = "Tasks";
// Tasks whose name holds this are a security vendor's own web-service
// updates: the monitor never asks about them.
constexpr const char* kExemptTaskFragment = "Symantec NetDetect";

// 0 when the scheduler runs afterwards, else the GetLastError code. Sets the
// scheduler-started mark when this program had to start it.
DWORD StartScheduler();
int IsSchedulerRunning();  // 1 or 0; starts nothing
// Stops the scheduler this program started: 0 on success or when there was
// nothing to stop, 1 when the stop request failed, else a GetLastError code.
DWORD StopScheduler();
bool SchedulerStartedHere();

// Fills the catalogue entry list (title = the name as enumerated, path = the
// program, data = next run text, description = last run text, type 800);
// the count, 0 when the scheduler or its interfaces are not available.
int EnumerateTasks();

// One task, found by its title (case-insensitive; the first one enumerated).
std::string TaskComment(const char* title);
std::string TaskStatus(const char* title);
std::string TaskNextRunTime(const char* title);
// The deletion's result code (negative on failure), 0 when not found.
HRESULT DeleteTask(const char* title);
// The same for a listed task: deleted by its exact name.
HRESULT DeleteTask(const CatalogueEntry& entry);

// "MM/DD/YYYY  h:mm AM"; string 686 ("Never") for an all-zero date.
std::string RunTimeText(const SYSTEMTIME& time);
// The status text of an IScheduledWorkItem::GetStatus result.
std::string TaskStatusText(HRESULT status);
// The name the scheduler's Activate and Delete take: without ".job".
std::wstring WorkItemName(const std::wstring& enumerated);

// The baseline: known when the value of the task's name reads non-zero.
int IsTaskKnown(const CatalogueEntry& entry);
int AcceptTask(const CatalogueEntry& entry);
int ForgetTask(const CatalogueEntry& entry);
// Writes every task into the baseline (existing values stay).
int InitTaskBaseline();
// Records a first-seen date for every task's program.
int RecordTaskFirstSeen();

}  // namespace sentrel
