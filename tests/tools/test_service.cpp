// A real service for the tests: it runs until it is stopped. Started with
// the argument "nostop" it accepts no control but interrogation, as the
// services Wine brings do; with "shutdownonly" it accepts shutdown but no stop.
#include <windows.h>

#include <cstring>

namespace {

SERVICE_STATUS_HANDLE g_handle = nullptr;
SERVICE_STATUS g_status = {};
HANDLE g_stop = nullptr;
DWORD g_accepted = SERVICE_ACCEPT_STOP;

void Report(DWORD state) {
  g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  g_status.dwCurrentState = state;
  g_status.dwControlsAccepted = state == SERVICE_RUNNING ? g_accepted : 0;
  SetServiceStatus(g_handle, &g_status);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP && (g_accepted & SERVICE_ACCEPT_STOP)) {
    Report(SERVICE_STOP_PENDING);
    SetEvent(g_stop);
    return NO_ERROR;
  }
  if (control == SERVICE_CONTROL_INTERROGATE) {
    SetServiceStatus(g_handle, &g_status);
    return NO_ERROR;
  }
  return ERROR_CALL_NOT_IMPLEMENTED;
}

void WINAPI ServiceMain(DWORD count, LPSTR* arguments) {
  for (DWORD i = 1; i < count; ++i) {
    if (std::strcmp(arguments[i], "nostop") == 0) g_accepted = 0;
    if (std::strcmp(arguments[i], "shutdownonly") == 0) g_accepted = SERVICE_ACCEPT_SHUTDOWN;
  }
  g_handle = RegisterServiceCtrlHandlerExA(count > 0 ? arguments[0] : "", Handler, nullptr);
  if (!g_handle) return;
  g_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  Report(SERVICE_RUNNING);
  // A service that cannot be stopped still ends after a while: no test
  // leaves it behind.
  WaitForSingleObject(g_stop, (g_accepted & SERVICE_ACCEPT_STOP) ? INFINITE : 60000);
  Report(SERVICE_STOPPED);
}

}  // namespace

int main() {
  char empty[] = "";
  SERVICE_TABLE_ENTRYA table[] = {{empty, ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
