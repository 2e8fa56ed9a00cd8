// Real scheduled tasks for the tests: made through the Task Scheduler's own
// interfaces and saved where Windows keeps them (the Tasks folder).
#pragma once

#include <windows.h>

#include <mstask.h>
#include <objbase.h>

#include <string>
#include <vector>

namespace sentrel_test {

inline std::wstring Wide(const std::string& text) {
  wchar_t wide[MAX_PATH * 2] = L"";
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, MAX_PATH * 2);
  return wide;
}

inline std::string TasksFolder() {
  char windows[MAX_PATH] = "";
  GetWindowsDirectoryA(windows, sizeof windows);
  return std::string(windows) + "\\Tasks";
}

inline std::string JobFile(const std::string& name) { return TasksFolder() + "\\" + name + ".job"; }

// A run once at the given local time (year 0: no trigger at all).
struct RunAt {
  WORD year = 0, month = 0, day = 0, hour = 0, minute = 0;
};

// Makes the task (name without ".job") running program; true when saved.
inline bool CreateTaskW(const std::wstring& name, const std::string& program, RunAt at = {},
                        const std::string& comment = "") {
  CoInitialize(nullptr);
  bool saved = false;
  ITaskScheduler* scheduler = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                                 reinterpret_cast<void**>(&scheduler)))) {
    ITask* task = nullptr;
    if (SUCCEEDED(scheduler->NewWorkItem(name.c_str(), CLSID_CTask, IID_ITask, reinterpret_cast<IUnknown**>(&task)))) {
      if (!program.empty()) task->SetApplicationName(Wide(program).c_str());
      if (!comment.empty()) task->SetComment(Wide(comment).c_str());
      if (at.year) {
        WORD index = 0;
        ITaskTrigger* trigger = nullptr;
        if (SUCCEEDED(task->CreateTrigger(&index, &trigger))) {
          TASK_TRIGGER when{};
          when.cbTriggerSize = sizeof when;
          when.wBeginYear = at.year;
          when.wBeginMonth = at.month;
          when.wBeginDay = at.day;
          when.wStartHour = at.hour;
          when.wStartMinute = at.minute;
          when.TriggerType = TASK_TIME_TRIGGER_ONCE;
          trigger->SetTrigger(&when);
          trigger->Release();
        }
      }
      IPersistFile* file = nullptr;
      if (SUCCEEDED(task->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        saved = SUCCEEDED(file->Save(nullptr, TRUE));
        file->Release();
      }
      task->Release();
    }
    scheduler->Release();
  }
  CoUninitialize();
  return saved;
}

inline bool CreateTask(const std::string& name, const std::string& program, RunAt at = {},
                       const std::string& comment = "") {
  DeleteFileA(JobFile(name).c_str());
  return CreateTaskW(Wide(name), program, at, comment) &&
         GetFileAttributesA(JobFile(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The names the scheduler enumerates, in its own order.
inline std::vector<std::wstring> EnumeratedNames() {
  std::vector<std::wstring> names;
  CoInitialize(nullptr);
  ITaskScheduler* scheduler = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                                 reinterpret_cast<void**>(&scheduler)))) {
    IEnumWorkItems* items = nullptr;
    if (SUCCEEDED(scheduler->Enum(&items))) {
      LPWSTR* batch = nullptr;
      ULONG fetched = 0;
      while (SUCCEEDED(items->Next(3, &batch, &fetched)) && fetched > 0) {
        for (ULONG i = 0; i < fetched; ++i) {
          names.push_back(batch[i]);
          CoTaskMemFree(batch[i]);
        }
        CoTaskMemFree(batch);
      }
      items->Release();
    }
    scheduler->Release();
  }
  CoUninitialize();
  return names;
}

inline bool TaskFileExists(const std::string& name) {
  return GetFileAttributesA(JobFile(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Writes bytes that are no task at all under a task's file name.
inline bool WriteJunkJob(const std::string& name) {
  HANDLE file = CreateFileA(JobFile(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const char junk[] = "\x01\x02not a task at all\xff\xfe\x00\x13garbage";
  DWORD written = 0;
  WriteFile(file, junk, sizeof junk, &written, nullptr);
  CloseHandle(file);
  return written == sizeof junk;
}

inline void DeleteTaskFile(const std::string& name) {
  for (int i = 0; i < 20; ++i) {
    if (DeleteFileA(JobFile(name).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) return;
    Sleep(100);
  }
}

}  // namespace sentrel_test
