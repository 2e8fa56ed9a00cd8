// The three Unicode calls the compiler's runtime makes (the win32 thread
// model's mutexes, its locale and random-number helpers) answered through
// the ANSI calls. Windows 95/98/Me export these Unicode functions only as
// stubs that fail; defining the import slots here keeps them out of the
// import table, so the programs load and the runtime works there too.
// Linked as an object into each shipped i686 program (not from an archive),
// so the definitions are in place before the runtime libraries are searched.
#include <windows.h>

#include <string>

namespace {

std::string AnsiName(LPCWSTR name) {
  std::string ansi;
  if (!name) return ansi;
  int size = WideCharToMultiByte(CP_ACP, 0, name, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return ansi;
  ansi.resize(static_cast<size_t>(size));
  WideCharToMultiByte(CP_ACP, 0, name, -1, &ansi[0], size, nullptr, nullptr);
  ansi.resize(static_cast<size_t>(size) - 1);
  return ansi;
}

HANDLE WINAPI CreateSemaphoreThroughAnsi(LPSECURITY_ATTRIBUTES security, LONG initial, LONG maximum, LPCWSTR name) {
  if (!name) return CreateSemaphoreA(security, initial, maximum, nullptr);
  return CreateSemaphoreA(security, initial, maximum, AnsiName(name).c_str());
}

HMODULE WINAPI GetModuleHandleThroughAnsi(LPCWSTR name) {
  if (!name) return GetModuleHandleA(nullptr);
  return GetModuleHandleA(AnsiName(name).c_str());
}

HMODULE WINAPI LoadLibraryThroughAnsi(LPCWSTR name) { return LoadLibraryA(AnsiName(name).c_str()); }

}  // namespace

extern "C" {
// The import slots the runtime calls through, by their i686 decorated names.
void* create_semaphore_slot __asm__("__imp__CreateSemaphoreW@16") =
    reinterpret_cast<void*>(&CreateSemaphoreThroughAnsi);
void* get_module_handle_slot __asm__("__imp__GetModuleHandleW@4") =
    reinterpret_cast<void*>(&GetModuleHandleThroughAnsi);
void* load_library_slot __asm__("__imp__LoadLibraryW@4") = reinterpret_cast<void*>(&LoadLibraryThroughAnsi);
}
