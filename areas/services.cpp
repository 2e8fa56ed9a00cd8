// The Windows services area: listing, state, control, start type, baseline.
#include "services.h"

#include <winsvc.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "catalogue.h"
#include "fileid.h"
#include "history.h"
#include "library.h"
#include "registry.h"
#include "resource.h"
#include "settings.h"
#include "strings.h"

namespace sentrel {
namespace {

constexpr DWORD kDisplayNameChars = 4096;
constexpr DWORD kKeyNameChars = 256;
constexpr size_t kDescriptionReadBytes = 4096;

// ---- Service Control Manager, looked up by name -------------------------------

struct ScmCalls {
  using OpenManager = SC_HANDLE(WINAPI*)(LPCSTR, LPCSTR, DWORD);
  using OpenService = SC_HANDLE(WINAPI*)(SC_HANDLE, LPCSTR, DWORD);
  using Close = BOOL(WINAPI*)(SC_HANDLE);
  using Control = BOOL(WINAPI*)(SC_HANDLE, DWORD, LPSERVICE_STATUS);
  using NameA = BOOL(WINAPI*)(SC_HANDLE, LPCSTR, LPSTR, LPDWORD);
  using NameW = BOOL(WINAPI*)(SC_HANDLE, LPCWSTR, LPWSTR, LPDWORD);
  OpenManager openManager = nullptr;
  OpenService openService = nullptr;
  Close close = nullptr;
  Control control = nullptr;
  NameA displayName = nullptr;
  NameW displayNameWide = nullptr;
  NameA keyName = nullptr;
};

const ScmCalls& Scm() {
  static const ScmCalls calls = [] {
    ScmCalls found;
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    found.openManager = FunctionOf<ScmCalls::OpenManager>(advapi, "OpenSCManagerA");
    found.openService = FunctionOf<ScmCalls::OpenService>(advapi, "OpenServiceA");
    found.close = FunctionOf<ScmCalls::Close>(advapi, "CloseServiceHandle");
    found.control = FunctionOf<ScmCalls::Control>(advapi, "ControlService");
    found.displayName = FunctionOf<ScmCalls::NameA>(advapi, "GetServiceDisplayNameA");
    found.displayNameWide = FunctionOf<ScmCalls::NameW>(advapi, "GetServiceDisplayNameW");
    found.keyName = FunctionOf<ScmCalls::NameA>(advapi, "GetServiceKeyNameA");
    if (!found.close) found = ScmCalls{};  // a handle that cannot be closed is never opened
    return found;
  }();
  return calls;
}

class ScHandle {
 public:
  explicit ScHandle(SC_HANDLE handle = nullptr) : handle_(handle) {}
  ~ScHandle() {
    if (handle_) Scm().close(handle_);
  }
  ScHandle(const ScHandle&) = delete;
  ScHandle& operator=(const ScHandle&) = delete;
  SC_HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  SC_HANDLE handle_;
};

SC_HANDLE OpenManager(DWORD access) {
  return Scm().openManager ? Scm().openManager(nullptr, nullptr, access) : nullptr;
}

// The key name the manager gives for a display name; a name that is itself
// a key name (a service the manager knows by no other) is taken as it is.
SC_HANDLE OpenServiceByDisplayName(SC_HANDLE manager, const char* displayName, DWORD access,
                                   const char* serviceKey = nullptr) {
  const ScmCalls& scm = Scm();
  if (!manager || !scm.openService) return nullptr;
  // A listed service by its own key only: its display name may name another.
  if (serviceKey && *serviceKey) return scm.openService(manager, serviceKey, access);
  if (!displayName || !*displayName) return nullptr;
  char key[kKeyNameChars] = "";
  DWORD size = sizeof key;
  if (scm.keyName && scm.keyName(manager, displayName, key, &size) && key[0]) {
    key[sizeof key - 1] = '\0';
    if (SC_HANDLE service = scm.openService(manager, key, access)) return service;
  }
  return scm.openService(manager, displayName, access);
}

bool InterrogateWith(SC_HANDLE manager, const char* displayName, SERVICE_STATUS& status) {
  status = SERVICE_STATUS{};
  ScHandle service(OpenServiceByDisplayName(manager, displayName, GENERIC_READ));
  return service && Scm().control && Scm().control(service.get(), SERVICE_CONTROL_INTERROGATE, &status);
}

bool Interrogate(const char* displayName, SERVICE_STATUS& status, const char* serviceKey = nullptr) {
  status = SERVICE_STATUS{};
  ScHandle manager(OpenManager(GENERIC_READ));
  ScHandle service(OpenServiceByDisplayName(manager.get(), displayName, GENERIC_READ, serviceKey));
  return service && Scm().control && Scm().control(service.get(), SERVICE_CONTROL_INTERROGATE, &status);
}

std::string Lower(std::string text) {
  CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

// The display names of the services the manager lists as stopped, lower-case:
// a stopped service cannot be interrogated, so it need not be asked.
std::vector<std::string> StoppedServices(SC_HANDLE manager) {
  using EnumFn = BOOL(WINAPI*)(SC_HANDLE, DWORD, DWORD, LPENUM_SERVICE_STATUSA, DWORD, LPDWORD, LPDWORD, LPDWORD);
  static const auto enumerate = FunctionOf<EnumFn>(GetModuleHandleA("advapi32.dll"), "EnumServicesStatusA");
  std::vector<std::string> stopped;
  if (!manager || !enumerate) return stopped;
  DWORD needed = 0, count = 0, resume = 0;
  std::vector<unsigned char> buffer(64 * 1024);
  for (int round = 0; round < 64; ++round) {
    const BOOL done =
        enumerate(manager, SERVICE_WIN32, SERVICE_STATE_ALL, reinterpret_cast<LPENUM_SERVICE_STATUSA>(buffer.data()),
                  static_cast<DWORD>(buffer.size()), &needed, &count, &resume);
    if (!done && GetLastError() != ERROR_MORE_DATA) break;
    const auto* listed = reinterpret_cast<const ENUM_SERVICE_STATUSA*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
      if (listed[i].ServiceStatus.dwCurrentState == SERVICE_STOPPED && listed[i].lpDisplayName)
        stopped.push_back(Lower(listed[i].lpDisplayName));
    if (done) break;
    if (needed > buffer.size()) buffer.resize(needed);
  }
  return stopped;
}

// ---- The services key ---------------------------------------------------------

// The Unicode calls the NT family has (a service's key name may lie outside
// the ANSI code page); missing on 95/98/Me, where the ANSI names are exact.
struct WideKeyCalls {
  using EnumKey = LONG(WINAPI*)(HKEY, DWORD, LPWSTR, LPDWORD, LPDWORD, LPWSTR, LPDWORD, PFILETIME);
  using OpenKey = LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
  EnumKey enumKey = nullptr;
  OpenKey openKey = nullptr;
};
const WideKeyCalls& WideKeys() {
  static const WideKeyCalls calls = [] {
    WideKeyCalls found;
    if (!IsNtFamily()) return found;
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    found.enumKey = FunctionOf<WideKeyCalls::EnumKey>(advapi, "RegEnumKeyExW");
    found.openKey = FunctionOf<WideKeyCalls::OpenKey>(advapi, "RegOpenKeyExW");
    if (!found.enumKey || !found.openKey) found = WideKeyCalls{};
    return found;
  }();
  return calls;
}

// A service's key name: in the code page, and exactly when it has no ANSI form.
struct ServiceKeyName {
  std::string ansi;
  std::wstring wide;
  bool exact = true;
};

// An open sub-key, closed when it goes out of scope. Sub-keys are opened in
// the same registry view as the services key itself.
class SubKey {
 public:
  SubKey() = default;
  ~SubKey() {
    if (key_) RegCloseKey(key_);
  }
  SubKey(const SubKey&) = delete;
  SubKey& operator=(const SubKey&) = delete;
  bool Open(HKEY parent, const ServiceKeyName& name, REGSAM access) {
    const REGSAM view = ViewPath(kServicesKey).second;
    LONG result = ERROR_FILE_NOT_FOUND;
    if (name.exact)
      result = RegOpenKeyExA(parent, name.ansi.c_str(), 0, access | view, &key_);
    else if (WideKeys().openKey)
      result = WideKeys().openKey(parent, name.wide.c_str(), 0, access | view, &key_);
    if (result != ERROR_SUCCESS) key_ = nullptr;
    return key_ != nullptr;
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// The text of a string value, expanded when it is of the expandable kind;
// "" for a missing value or one of another kind. Any length is read.
std::string ReadText(HKEY key, const char* name) {
  StoredValue value;
  if (!ReadStoredValue(key, name, value)) return {};
  std::string text = TextOfValue(value);
  if (value.type == REG_EXPAND_SZ) {
    std::string expanded;
    if (ExpandEnvironment(text, expanded)) text = expanded;
  }
  return text;
}

// A Start value: 32 bits, or -1 when missing or of another kind.
long ReadStart(HKEY key) {
  StoredValue value;
  if (!ReadStoredValue(key, "Start", value) || value.type != REG_DWORD || value.bytes.size() < sizeof(DWORD)) return -1;
  DWORD start = 0;
  std::memcpy(&start, value.bytes.data(), sizeof start);
  return static_cast<long>(start);
}

// The ANSI form of a text; exact only when it turns back into the very same
// text: a best-fit character ("\x0141" read as "L") would name another key.
std::string AnsiOf(const std::wstring& text, bool* exact) {
  *exact = true;
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) {
    *exact = false;
    return {};
  }
  std::string ansi(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), length, &ansi[0], size, nullptr, nullptr);
  std::wstring back(text.size() + 1, L'\0');
  const int backLength = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, &back[0], static_cast<int>(back.size()));
  *exact = backLength == length && back.compare(0, text.size(), text) == 0;
  return ansi;
}

// Walks the services key: calls visit(key name, open sub-key) for each
// sub-key whose command is not empty, until visit returns false.
template <typename Visit>
void WalkServices(REGSAM access, Visit visit) {
  RegKey services;
  if (services.Open(HKEY_LOCAL_MACHINE, kServicesKey, KEY_READ) != ERROR_SUCCESS) return;
  DWORD count = 0;
  if (RegQueryInfoKeyA(services.get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS ||
      count == 0)
    return;
  const WideKeyCalls& wide = WideKeys();
  for (DWORD index = 0; index <= count; ++index) {
    ServiceKeyName name;
    LONG result;
    if (wide.enumKey) {
      wchar_t buffer[kKeyNameChars];
      DWORD length = kKeyNameChars;
      result = wide.enumKey(services.get(), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
      if (result == ERROR_SUCCESS) {
        name.wide.assign(buffer, length < kKeyNameChars ? length : 0);
        name.ansi = AnsiOf(name.wide, &name.exact);
      }
    } else {
      char buffer[kKeyNameChars];
      DWORD length = kKeyNameChars;
      result = RegEnumKeyExA(services.get(), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
      if (result == ERROR_SUCCESS) name.ansi.assign(buffer, length < kKeyNameChars ? length : 0);
    }
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || (name.ansi.empty() && name.wide.empty())) continue;
    SubKey service;
    if (!service.Open(services.get(), name, access)) continue;
    const std::string command = ReadText(service.get(), "ImagePath");
    if (command.empty()) continue;
    if (!visit(name, service.get(), command)) break;
  }
}

// Case-insensitive containment at any length (a long command still holds
// its ".exe").
bool Holds(const std::string& text, const char* part) {
  std::string lowerText = text, lowerPart = part;
  CharLowerBuffA(&lowerText[0], static_cast<DWORD>(lowerText.size()));
  CharLowerBuffA(&lowerPart[0], static_cast<DWORD>(lowerPart.size()));
  return lowerText.find(lowerPart) != std::string::npos;
}

std::string HostedLibrary(HKEY service) {
  RegKey parameters;
  if (parameters.Open(service, "Parameters", KEY_READ) != ERROR_SUCCESS) return {};
  return ReadText(parameters.get(), "ServiceDll");
}

// The manager's display name of a key, in the code page; known gets the
// form the baseline knows it by when that differs ("" otherwise).
std::string DisplayNameOf(SC_HANDLE manager, const ServiceKeyName& name, std::string& known) {
  const ScmCalls& scm = Scm();
  known.clear();
  if (!manager) return {};
  // Asked in Unicode where the key's name is: the ANSI call hands a best fit
  // back as if it were the name.
  if (!name.wide.empty() && scm.displayNameWide) {
    std::vector<wchar_t> text(kDisplayNameChars, L'\0');
    DWORD size = kDisplayNameChars;
    if (scm.displayNameWide(manager, name.wide.c_str(), text.data(), &size)) {
      text.back() = L'\0';
      bool exact = true;
      std::string ansi = AnsiOf(text.data(), &exact);
      if (!exact) known = ExactAnsiForm(text.data());
      return ansi;
    }
    return {};
  }
  if (name.exact && scm.displayName) {
    std::vector<char> text(kDisplayNameChars, '\0');
    DWORD size = kDisplayNameChars;
    if (scm.displayName(manager, name.ansi.c_str(), text.data(), &size)) {
      text.back() = '\0';
      return text.data();
    }
  }
  return {};
}

// The program files the last full listing left out as Microsoft's: the
// signature watches them, as a program replaced by another maker's would be
// listed.
std::vector<std::string> g_microsoftFiles;

// Whether a program file's maker is Microsoft (once per file per listing).
bool MadeByMicrosoft(const std::string& command, std::map<std::string, bool>& known) {
  const std::string file = NormalizeFilePath(command.c_str());
  auto found = known.find(file);
  if (found != known.end()) return found->second;
  VersionFields fields;
  ReadVersionInfo(file.c_str(), fields);
  const bool microsoft = Holds(fields.slot[kCompanyName], "Microsoft");
  known.emplace(file, microsoft);
  if (microsoft) g_microsoftFiles.push_back(file);
  return microsoft;
}

// A file's size and last change, "" when it cannot be read.
std::string FileStamp(const std::string& file) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data)) return {};
  return std::to_string(data.nFileSizeHigh) + "." + std::to_string(data.nFileSizeLow) + "." +
         std::to_string(data.ftLastWriteTime.dwHighDateTime) + "." + std::to_string(data.ftLastWriteTime.dwLowDateTime);
}

// The key of the service with that display name: the first whose
// DisplayName value matches; else the key the manager names for it; else a
// key of that very name (a service titled by its key name).
bool FindServiceKey(const char* displayName, ServiceKeyName& found, const char* serviceKey) {
  if (serviceKey && *serviceKey) {
    // A listed service's own key, or none: never another of its display name.
    const std::string path = std::string(kServicesKey) + "\\" + serviceKey;
    if (std::strchr(serviceKey, '\\') || !ValueExists(HKEY_LOCAL_MACHINE, path.c_str(), "ImagePath")) return false;
    found = ServiceKeyName{serviceKey, {}, true};
    return true;
  }
  if (!displayName || !*displayName) return false;
  bool matched = false;
  WalkServices(KEY_READ, [&](const ServiceKeyName& name, HKEY key, const std::string&) {
    if (lstrcmpiA(ReadText(key, "DisplayName").c_str(), displayName) != 0) return true;
    found = name;
    matched = true;
    return false;
  });
  if (matched) return true;
  std::vector<std::string> candidates;
  ScHandle manager(OpenManager(GENERIC_READ));
  char key[kKeyNameChars] = "";
  DWORD size = sizeof key;
  if (manager && Scm().keyName && Scm().keyName(manager.get(), displayName, key, &size) && key[0]) {
    key[sizeof key - 1] = '\0';
    candidates.push_back(key);
  }
  candidates.push_back(displayName);
  for (const std::string& candidate : candidates) {
    if (candidate.find('\\') != std::string::npos) continue;  // a name, never a path
    const std::string path = std::string(kServicesKey) + "\\" + candidate;
    if (!ValueExists(HKEY_LOCAL_MACHINE, path.c_str(), "ImagePath")) continue;
    found = ServiceKeyName{candidate, {}, true};
    return true;
  }
  return false;
}

void Record(const std::string& title, const std::string& path, int type, int action) {
  AppendHistory(title.c_str(), path.c_str(), "", type, action);
}

// The event that names the run state before a change: 18, 19 or 20 for
// start pending, stop pending and running; 0 for any other state.
int StateEvent(int state) {
  return state >= SERVICE_START_PENDING && state <= SERVICE_RUNNING ? kActionServiceWasStartPending + state - 2 : 0;
}

}  // namespace

int EnumerateServices(ServiceListing mode) {
  ClearCatalogueEntries();
  const bool full = mode == ServiceListing::Full;
  ScHandle manager(full ? OpenManager(GENERIC_READ) : nullptr);
  // Read where it is kept: the baselines are built before the options are loaded.
  const bool hideMicrosoft = full && ReadOption(OptionDefinition(kOptHideMicrosoftServices).name, 1) > 0;
  std::map<std::string, bool> microsoftFiles;
  if (full) g_microsoftFiles.clear();
  WalkServices(KEY_READ, [&](const ServiceKeyName& name, HKEY key, const std::string& command) {
    if (!full) {
      AddCatalogueEntry(name.ansi.c_str(), "", "", "", kTypeServiceExe, 0);
      return true;
    }
    // Kernel and file system drivers run no program of their own.
    const bool hosted = Holds(command, "svchost");
    if (!hosted && !Holds(command, ".exe")) return true;
    std::string known;
    std::string title = DisplayNameOf(manager.get(), name, known);
    if (title.empty()) title = ReadText(key, "DisplayName");
    // Without any display name the key name stands for it: an empty title
    // would name the baseline's marker.
    if (title.empty()) {
      title = name.ansi;
      if (!name.exact) known = ExactAnsiForm(name.wide);
    }
    std::string path = command;
    if (hosted) {
      const std::string library = HostedLibrary(key);
      if (!library.empty()) path = library;
    }
    if (hideMicrosoft && MadeByMicrosoft(path, microsoftFiles)) return true;
    std::string description = ReadText(key, "Description");
    if (description.size() > kDescriptionReadBytes) description.resize(kDescriptionReadBytes);
    const long start = ReadStart(key);
    CatalogueEntry entry;
    entry.title = title;
    // The listed title is cut and stands for the program when it holds its
    // name: the baseline and the actions go by the display name itself, or
    // two services would answer to one value.
    entry.name = (known.empty() ? title : known).substr(0, kServiceNameChars);
    entry.named = true;
    if (name.exact) entry.key = name.ansi;
    entry.path = path;
    entry.data = StartTypeText(start < 0 ? 0 : static_cast<DWORD>(start));
    entry.description = description;
    entry.type = hosted ? kTypeServiceHost : kTypeServiceExe;
    AddCatalogueEntry(std::move(entry));
    return true;
  });
  return CatalogueCount();
}

int FindServiceDescriptionByFile(const char* file, std::string& description) {
  description.clear();
  if (!file || !*file) return 0;
  WalkServices(KEY_READ, [&](const ServiceKeyName&, HKEY key, const std::string& command) {
    std::string path = command;
    if (Holds(command, "svchost.exe")) {
      const std::string library = HostedLibrary(key);
      if (!library.empty()) path = library;
    }
    if (lstrcmpiA(NormalizeFilePath(path.c_str()).c_str(), file) != 0) return true;
    description = ReadText(key, "Description");
    if (description.size() > kDescriptionWidth) description.resize(kDescriptionWidth);
    return false;
  });
  return static_cast<int>(description.size());
}

std::string StartTypeText(DWORD start) {
  switch (start & 0xFF) {
    case SERVICE_AUTO_START:
      return LoadText(IDS_AUTOMATIC);
    case SERVICE_DEMAND_START:
      return LoadText(IDS_MANUAL);
    case SERVICE_DISABLED:
      return LoadText(IDS_START_TYPE_DISABLED);
    default:
      return "0";
  }
}

std::string StateText(int state) {
  static const UINT kTexts[] = {IDS_STOPPED,          IDS_PENDING_START, IDS_PENDING_STOP, IDS_RUNNING,
                                IDS_PENDING_CONTINUE, IDS_PENDING_PAUSE, IDS_PAUSED};
  return LoadText(state >= 1 && state <= 7 ? kTexts[state - 1] : IDS_STOPPED);
}

int QueryServiceState(const char* displayName, DWORD* serviceType, const char* key) {
  SERVICE_STATUS status;
  const bool known = Interrogate(displayName, status, key);
  if (serviceType) *serviceType = known ? status.dwServiceType : 0;
  return known ? static_cast<int>(status.dwCurrentState) : 0;
}

int ServiceStateText(const char* displayName, std::string& text, const char* key) {
  const int state = QueryServiceState(displayName, nullptr, key);
  text = StateText(state);
  if (text.size() > 255) text.resize(255);
  return state;
}

std::vector<int> QueryServiceStates(const std::vector<std::string>& displayNames) {
  std::vector<int> states(displayNames.size(), 0);
  ScHandle manager(OpenManager(GENERIC_READ | SC_MANAGER_ENUMERATE_SERVICE));
  if (!manager) return states;
  std::vector<std::string> stopped = StoppedServices(manager.get());
  std::sort(stopped.begin(), stopped.end());
  for (size_t i = 0; i < displayNames.size(); ++i) {
    if (std::binary_search(stopped.begin(), stopped.end(), Lower(displayNames[i]))) continue;
    SERVICE_STATUS status;
    if (InterrogateWith(manager.get(), displayNames[i].c_str(), status))
      states[i] = static_cast<int>(status.dwCurrentState);
  }
  return states;
}

DWORD QueryControlsAccepted(const char* displayName, const char* key) {
  SERVICE_STATUS status;
  return Interrogate(displayName, status, key) ? status.dwControlsAccepted : 0;
}

int SendServiceControl(const char* displayName, DWORD control, const char* key) {
  ScHandle manager(OpenManager(GENERIC_READ));
  ScHandle service(OpenServiceByDisplayName(manager.get(), displayName, SERVICE_ALL_ACCESS, key));
  SERVICE_STATUS status{};
  return service && Scm().control && Scm().control(service.get(), control, &status) ? 1 : 0;
}

int SetServiceStartType(const char* displayName, DWORD start, const char* key) {
  if (start < SERVICE_AUTO_START || start > SERVICE_DISABLED) return 0;
  ServiceKeyName name;
  if (!FindServiceKey(displayName, name, key)) return 0;
  RegKey services;
  if (services.Open(HKEY_LOCAL_MACHINE, kServicesKey, KEY_READ) != ERROR_SUCCESS) return 0;
  SubKey service;
  if (!service.Open(services.get(), name, KEY_SET_VALUE)) return 0;
  return RegSetValueExA(service.get(), "Start", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&start), sizeof start) ==
                 ERROR_SUCCESS
             ? 1
             : 0;
}

long ServiceStartValue(const char* displayName, const char* key) {
  ServiceKeyName name;
  if (!FindServiceKey(displayName, name, key)) return -1;
  RegKey services;
  if (services.Open(HKEY_LOCAL_MACHINE, kServicesKey, KEY_READ) != ERROR_SUCCESS) return -1;
  SubKey service;
  if (!service.Open(services.get(), name, KEY_READ)) return -1;
  return ReadStart(service.get());
}

int CreateServicesBaseline() {
  char marker[kMaxValueBytes] = "";
  ReadStringValue(HKEY_CURRENT_USER, kServicesBaselineKey, "", marker, sizeof marker);
  if (marker[0] == 'P') return 1;
  // A marker of other content is an outdated baseline: start afresh. A key
  // without one keeps what it knows and learns the rest.
  if (ValueExists(HKEY_CURRENT_USER, kServicesBaselineKey, "")) DeleteKeyTree(HKEY_CURRENT_USER, kServicesBaselineKey);
  if (!WriteStringValue(HKEY_CURRENT_USER, kServicesBaselineKey, "", "P")) return 0;
  const int count = EnumerateServices(ServiceListing::Full);
  RegKey baseline;
  if (baseline.Open(HKEY_CURRENT_USER, kServicesBaselineKey, KEY_SET_VALUE) != ERROR_SUCCESS) return 0;
  for (int i = 0; i < count; ++i) {
    const CatalogueEntry& entry = CatalogueAt(i);
    const std::string type = std::to_string(entry.type);
    RegSetValueExA(baseline.get(), entry.name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(type.c_str()),
                   static_cast<DWORD>(type.size() + 1));
  }
  ClearCatalogueEntries();
  return 1;
}

bool IsServiceKnown(HKEY baseline, const std::string& title) {
  // The unnamed value is the marker, never a service.
  if (!baseline || title.empty()) return false;
  char number[32];
  return ReadStringValueFrom(baseline, title.c_str(), number, sizeof number) > 0 && ParseLeadingInt(number) != 0;
}

int WriteServiceBaseline(const std::string& title, int type) {
  if (title.empty()) return 0;
  return WriteStringValue(HKEY_CURRENT_USER, kServicesBaselineKey, title.c_str(), std::to_string(type).c_str());
}

int StopServiceRecorded(const std::string& title, const std::string& path, int type, const std::string& key) {
  if (!SendServiceControl(title.c_str(), SERVICE_CONTROL_STOP, key.c_str())) return 0;
  Record(title, path, type, kActionServiceStop);
  return 1;
}

int ApplyServiceStartType(const std::string& title, const std::string& path, int type, int index,
                          const std::string& key) {
  if (index < 0 || index > 2) return 0;
  const int state = QueryServiceState(title.c_str(), nullptr, key.c_str());
  if (!SetServiceStartType(title.c_str(), static_cast<DWORD>(index + SERVICE_AUTO_START), key.c_str())) return 0;
  if (const int event = StateEvent(state)) Record(title, path, type, event);
  Record(title, path, type, kActionServiceAutomatic + index);
  return 1;
}

void RefuseService(const std::string& title, const std::string& path, int type, const std::string& key) {
  const int state = QueryServiceState(title.c_str(), nullptr, key.c_str());
  const bool stopped = SendServiceControl(title.c_str(), SERVICE_CONTROL_STOP, key.c_str()) != 0;
  const bool disabled = SetServiceStartType(title.c_str(), SERVICE_DISABLED, key.c_str()) != 0;
  if (const int event = StateEvent(state); event && (stopped || disabled)) Record(title, path, type, event);
  if (stopped) Record(title, path, type, kActionServiceStop);
  if (disabled) Record(title, path, type, kActionServiceDisabled);
}

std::string ServicesSignature() {
  std::string signature = "M" + std::to_string(ReadOption(OptionDefinition(kOptHideMicrosoftServices).name, 1));
  RegKey baseline;
  FILETIME written{};
  if (baseline.Open(HKEY_CURRENT_USER, kServicesBaselineKey, KEY_READ) == ERROR_SUCCESS &&
      RegQueryInfoKeyA(baseline.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, &written) == ERROR_SUCCESS)
    signature += "B" + std::to_string(written.dwHighDateTime) + "." + std::to_string(written.dwLowDateTime);
  WalkServices(KEY_READ, [&](const ServiceKeyName& name, HKEY key, const std::string& command) {
    signature += '\n';
    signature += name.exact
                     ? name.ansi
                     : std::string(reinterpret_cast<const char*>(name.wide.data()), name.wide.size() * sizeof(wchar_t));
    signature += '\t' + command + '\t' + ReadText(key, "DisplayName");
    if (Holds(command, "svchost")) signature += '\t' + HostedLibrary(key);
    return true;
  });
  for (const std::string& file : g_microsoftFiles) signature += "\nF" + file + '\t' + FileStamp(file);
  return signature;
}

}  // namespace sentrel
