// The online program lookup.
#include "lookup.h"

#include <objbase.h>
#include <shellapi.h>

#include <cstdio>

#include "fileid.h"
#include "first_seen.h"
#include "registry.h"
#include "settings.h"
#include "strings.h"

namespace sentrel {
namespace {

std::string FileNameOf(const LookupFacts& facts) {
  size_t slash = facts.path.rfind('\\');
  return slash == std::string::npos ? facts.title : facts.path.substr(slash + 1);
}

std::string ExtensionText(const std::string& name) {
  size_t dot = name.find('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string Number(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  return text;
}

// Starts Internet Explorer from its registered folder with the address.
void StartInternetExplorer(const std::string& address) {
  std::string folder =
      ReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE", "Path");
  if (!folder.empty() && folder.back() == ';') folder.pop_back();
  std::string program = folder + "\\iexplore.exe";
  // Passed as one quoted argument; the address itself holds no quote or blank.
  ShellExecuteA(nullptr, "open", program.c_str(), ("\"" + address + "\"").c_str(), nullptr, SW_SHOWNORMAL);
}

bool OpenWithShell(const std::string& target) {
  return reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) >
         32;
}

// The AOL client's program as win.ini names it, taken only as a full local
// path inside the Program Files folder (which only administrators can
// write); "" otherwise. Its window can be made by any program, so neither a
// bare name found on the search path nor a folder of anyone's choosing will do.
std::string OnlineServiceProgram() {
  char folder[MAX_PATH] = "";
  GetProfileStringA("WAOL", "AppPath", "", folder, sizeof folder);
  const std::string given = std::string(folder) + "\\WAOL.EXE";
  const bool local = IsCharAlphaA(folder[0]) && folder[1] == ':' && folder[2] == '\\';
  if (!local || given.find('"') != std::string::npos) return "";
  std::string programs =
      ReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
  if (programs.empty()) programs = "C:\\Program Files";
  char full[MAX_PATH], trusted[MAX_PATH];
  DWORD fullLength = GetFullPathNameA(given.c_str(), sizeof full, full, nullptr);
  DWORD trustedLength = GetFullPathNameA(programs.c_str(), sizeof trusted, trusted, nullptr);
  if (fullLength == 0 || fullLength >= sizeof full || trustedLength == 0 || trustedLength >= sizeof trusted ||
      fullLength <= trustedLength + 1)
    return "";
  if (CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, full, static_cast<int>(trustedLength), trusted,
                     static_cast<int>(trustedLength)) != CSTR_EQUAL ||
      full[trustedLength] != '\\')
    return "";
  const DWORD attributes = GetFileAttributesA(full);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return "";
  return full;
}

// Hands an address to a running AOL client by its full path, the address
// quoted; false when there is no client we trust to start.
bool OpenThroughOnlineService(const std::string& address) {
  const std::string program = OnlineServiceProgram();
  if (program.empty()) return false;
  std::string command = "\"" + program + "\" -u \"" + address + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
    return false;
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return true;
}

// A running AOL client takes the address when we can start it safely.
bool OpenThroughRunningOnlineService(const std::string& address) {
  return FindOnlineServiceWindow() && OpenThroughOnlineService(address);
}

bool SaveInternetShortcut(const std::string& file, const std::string& address) {
  static const CLSID kInternetShortcut = {0xFBF23B40, 0xE3F0, 0x101B, {0x84, 0x88, 0x00, 0xAA, 0x00, 0x3E, 0x56, 0xF8}};
  static const IID kUniformResourceLocatorA = {
      0xFBF23B80, 0xE3F0, 0x101B, {0x84, 0x88, 0x00, 0xAA, 0x00, 0x3E, 0x56, 0xF8}};
  // IUniformResourceLocatorA: SetURL is the first method after IUnknown's.
  struct IUrl : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetURL(LPCSTR url, DWORD flags) = 0;
  };
  HRESULT com = CoInitialize(nullptr);
  bool saved = false;
  IUrl* url = nullptr;
  if (SUCCEEDED(CoCreateInstance(kInternetShortcut, nullptr, CLSCTX_INPROC_SERVER, kUniformResourceLocatorA,
                                 reinterpret_cast<void**>(&url)))) {
    IPersistFile* persist = nullptr;
    if (SUCCEEDED(url->SetURL(address.c_str(), 0)) &&
        SUCCEEDED(url->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
      wchar_t wide[MAX_PATH];
      MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
      saved = SUCCEEDED(persist->Save(wide, TRUE));
      persist->Release();
    }
    url->Release();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return saved;
}

}  // namespace

std::string EncodeQueryValue(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                            (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' || byte == '~';
    if (unreserved) {
      encoded += c;
    } else {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 15];
    }
  }
  return encoded;
}

std::string ShortLookupAddress(const LookupFacts& f) {
  const std::string name = FileNameOf(f);
  const char* loc = f.languageId == 7 ? "de" : f.languageId == 12 ? "fr" : "en";
  return std::string(kVendorSite) + "/cgi-bin/omniinfo.pl?program=" + EncodeQueryValue(name) +
         "&vendor=" + EncodeQueryValue(f.company) + "&version=" + EncodeQueryValue(f.productVersion) +
         "&build=" + kVersionText + "&Type=" + Number(f.type) + "&Loc=" + loc +
         "&ext=" + EncodeQueryValue(ExtensionText(name));
}

std::string LongLookupAddress(const LookupFacts& f) {
  const std::string name = FileNameOf(f);
  const std::string loc = f.languageCode.empty() ? "en" : f.languageCode;
  return std::string(kVendorSite) + "/cgi-bin/omniinfo12.pl?program=" + EncodeQueryValue(name) +
         "&vendor=" + EncodeQueryValue(f.company) + "&build=" + kVersionText + "&Type=" + Number(f.type) +
         "&Loc=" + EncodeQueryValue(loc) + "&ext=" + EncodeQueryValue(ExtensionText(name)) +
         "&version=" + EncodeQueryValue(f.productVersion) + "&name=" + EncodeQueryValue(f.productName) +
         "&copy=" + EncodeQueryValue(f.copyright) + "&detail=" + EncodeQueryValue(f.description) +
         "&created=" + EncodeQueryValue(f.created) + "&detected=" + EncodeQueryValue(f.detected) +
         "&fsize=" + EncodeQueryValue(f.size) + "&path=" + EncodeQueryValue(f.path);
}

HWND FindOnlineServiceWindow() {
  for (const char* title : {"America  Online", "America Online", "AOL", "AOL Canada"})
    if (HWND window = FindWindowA("AOL Frame25", title)) return window;
  return FindWindowA("AOL Frame", "America  Online");
}

void OpenWebAddress(const char* address) {
  if (!OpenThroughRunningOnlineService(address)) OpenWithShell(address);
}

void LookUpProgramOnline(int type, const char* file, const char* title) {
  LookupFacts facts;
  facts.type = type;
  facts.path = file ? std::string(file).substr(0, 260) : std::string();
  facts.title = title ? title : "";
  VersionFields fields;
  ReadVersionInfo(facts.path.c_str(), fields);
  facts.company = fields.slot[kCompanyName];
  facts.productVersion = fields.slot[kProductVersion];
  facts.productName = fields.slot[kProductName];
  facts.copyright = fields.slot[kLegalCopyright];
  facts.description = fields.slot[kFileDescription];
  facts.languageId = Process().languageId;
  facts.languageCode = LoadText(634);
  const bool detailed = Option(kOptOmniFormat) != 0;
  std::string address;
  if (!detailed) {
    address = ShortLookupAddress(facts);
  } else {
    FileDateText(facts.path.c_str(), facts.created);
    char detected[24] = "";
    ReadFirstSeen(facts.path.c_str(), type, detected);
    facts.detected = detected;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(facts.path.c_str(), GetFileExInfoStandard, &data))
      facts.size = GroupDigits((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    address = LongLookupAddress(facts);
  }
  if (OpenThroughRunningOnlineService(address)) return;
  if (!detailed) {
    if (!OpenWithShell(address)) StartInternetExplorer(address);
    return;
  }
  const std::string shortcut = FileBesideProgram("temp.url");
  bool opened =
      !shortcut.empty() && SaveInternetShortcut(shortcut, address) ? OpenWithShell(shortcut) : OpenWithShell(address);
  DeleteFileA(shortcut.c_str());
  if (!opened && Option(kOptBrowserFailure) != 0) StartInternetExplorer(address);
}

std::string HelpPageName(UINT command) {
  struct Page {
    UINT command;
    const char* file;
  };
  static const Page kPages[] = {{6026, "startup.html"}, {6028, "cookies.html"},  {6029, "tasks.html"},
                                {6033, "options.html"}, {6038, "services.html"}, {6039, "scheduler.html"},
                                {6040, "bho.html"},     {6042, "filetype.html"}, {6051, "helpme.html"},
                                {6052, "hidden.html"},  {6055, "delay.html"},    {6056, "activex.html"}};
  std::string file = "features.html";
  for (const Page& page : kPages)
    if (page.command == command) file = page.file;
  std::string code = LoadText(634);
  return lstrcmpiA(code.c_str(), "us") == 0 ? file : code + "_" + file;
}

void OpenHelpPage(UINT command) {
  const std::string name = HelpPageName(command);
  const std::string local = FileBesideProgram(name.c_str());
  if (!local.empty() && GetFileAttributesA(local.c_str()) != INVALID_FILE_ATTRIBUTES) {
    OpenWithShell(local);
    return;
  }
  const std::string address = std::string(kVendorSite) + "/" + name;
  if (!OpenThroughRunningOnlineService(address)) OpenWithShell(address);
}

}  // namespace sentrel
