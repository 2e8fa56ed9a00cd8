// Helpers for tests that start the real programs: processes, their windows
// and the message boxes they show.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "test_support.h"

namespace sentrel_test {

// The programs are built beside the test programs' folder.
inline std::string ProgramPath(const char* file) { return TestFolder() + "\\..\\bin\\" + file; }

// A started program, ended (if still running) when the test is done.
class Program {
 public:
  Program(const std::string& file, const std::string& arguments) {
    std::string commandLine = "\"" + file + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string folder = file.substr(0, file.rfind('\\'));
    started_ = CreateProcessA(file.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                              &startup, &info_) != 0;
    // Rare under Wine: say why, so that a failed start can be told apart
    // from a program that started and showed nothing.
    if (!started_) std::fprintf(stderr, "CreateProcess %s failed: error %lu\n", file.c_str(), GetLastError());
  }
  ~Program() {
    if (!started_) return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 5000);
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool started() const { return started_; }
  DWORD id() const { return info_.dwProcessId; }
  // Exit code, or STILL_ACTIVE when it did not end in time.
  DWORD WaitForExit(DWORD milliseconds) const {
    WaitForSingleObject(info_.hProcess, milliseconds);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
  }
  bool Running() const { return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

 private:
  bool started_ = false;
  PROCESS_INFORMATION info_{};
};

struct WindowSearch {
  DWORD process;
  const char* className;
  HWND found;
  bool visibleOnly = false;
};
inline BOOL CALLBACK MatchWindow(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<WindowSearch*>(lParam);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char cls[64] = "";
  GetClassNameA(window, cls, sizeof cls);
  if ((search->process == 0 || process == search->process) && lstrcmpA(cls, search->className) == 0 &&
      (!search->visibleOnly || IsWindowVisible(window))) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}
// Polls for a top-level window of the class in the process (0 = any).
inline HWND WaitForWindow(DWORD process, const char* className, DWORD milliseconds) {
  for (DWORD waited = 0;; waited += 50) {
    WindowSearch search = {process, className, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found || waited >= milliseconds) return search.found;
    Sleep(50);
  }
}

inline BOOL CALLBACK CollectStaticText(HWND child, LPARAM lParam) {
  char cls[32] = "", text[1024] = "";
  GetClassNameA(child, cls, sizeof cls);
  if (lstrcmpiA(cls, "Static") == 0 && GetWindowTextA(child, text, sizeof text) > 0)
    *reinterpret_cast<std::string*>(lParam) += text;
  return TRUE;
}

// Polls for a shown top-level window of the class in the process.
inline HWND WaitForVisibleWindow(DWORD process, const char* className, DWORD milliseconds) {
  for (DWORD waited = 0;; waited += 20) {
    WindowSearch search = {process, className, nullptr, true};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found || waited >= milliseconds) return search.found;
    Sleep(20);
  }
}

// Answers the message box that the process shows; returns its text (the
// texts of its static controls).
inline std::string AnswerMessageBox(DWORD process, int button, DWORD milliseconds = 10000) {
  HWND box = WaitForWindow(process, "#32770", milliseconds);
  if (!box) return "<no box>";
  // The box exists before its controls: wait until it is shown and filled.
  std::string text;
  for (int i = 0; i < 100 && text.empty(); ++i) {
    if (IsWindowVisible(box)) EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&text));
    if (text.empty()) Sleep(20);
  }
  char caption[256] = "";
  GetWindowTextA(box, caption, sizeof caption);
  PostMessageA(box, WM_COMMAND, button, 0);
  return text.empty() ? std::string("<box without text: ") + caption + ">" : text;
}

// A window any program can make, standing for a running AOL client.
inline HWND StandInAolClient() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "AOL Frame25";
  RegisterClassA(&windowClass);
  return CreateWindowA("AOL Frame25", "AOL", 0, 0, 0, 0, 0, nullptr, nullptr, windowClass.hInstance, nullptr);
}

}  // namespace sentrel_test
