// Functions looked up by name at run time: whatever a Windows version may
// lack is never imported, so the programs load on the oldest systems.
#pragma once

#include <windows.h>

namespace sentrel {

// The function of a loaded module; null when the module or the function is
// missing.
template <typename Fn>
Fn FunctionOf(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// The same for a library the program has loaded already (kernel32, user32, ...).
template <typename Fn>
Fn FunctionOf(const char* library, const char* name) {
  return FunctionOf<Fn>(GetModuleHandleA(library), name);
}

}  // namespace sentrel
