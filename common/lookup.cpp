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
  // Passed as a separate argument: an address is never part of a command line.
  ShellExecuteA(nullptr, "open", program.c_str(), address.c_str(), nullptr, SW_SHOWNORMAL);
}

bool OpenWithShell(const std::string& target) {
  return reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) >
         32;
}

// Hands an address to a running AOL client. The client's program path is
// quoted, so a folder with blanks cannot change what is started.
void OpenThroughOnlineService(const std::string& address, const char* switchText) {
  char folder[MAX_PATH] = "";
  GetProfileStringA("WAOL", "AppPath", "", folder, sizeof folder);
  std::string command = folder[0] ? "\"" + std::string(folder) + "\\WAOL.EXE\"" : std::string("waol.exe");
  command += std::string(" ") + switchText + address;
  WinExec(command.c_str(), SW_SHOWNORMAL);
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
  std::string encoded;
  for (char c : text) {
    if (c == ' ')
      encoded += "%20";
    else if (c == '&')
      encoded += '+';
    else
      encoded += c;
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
  if (FindOnlineServiceWindow())
    OpenThroughOnlineService(address, "-u ");
  else
    OpenWithShell(address);
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
  if (FindOnlineServiceWindow()) {
    OpenThroughOnlineService(address, "-u ");
    return;
  }
  if (!detailed) {
    if (!OpenWithShell(address)) StartInternetExplorer(address);
    return;
  }
  const std::string shortcut = FolderOfProgram() + "\\temp.url";
  bool opened = SaveInternetShortcut(shortcut, address) ? OpenWithShell(shortcut) : OpenWithShell(address);
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
  const std::string local = FolderOfProgram() + "\\" + name;
  if (GetFileAttributesA(local.c_str()) != INVALID_FILE_ATTRIBUTES) {
    OpenWithShell(local);
    return;
  }
  const std::string address = std::string(kVendorSite) + "/" + name;
  if (FindOnlineServiceWindow())
    OpenThroughOnlineService(address, "-u\"");
  else
    OpenWithShell(address);
}

}  // namespace sentrel
