// Delayed start: the store, moving entries in and back, and the launcher.
#include "delayed_start.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "fileid.h"
#include "processes.h"
#include "registry.h"
#include "resource.h"
#include "settings.h"
#include "startup.h"
#include "strings.h"

namespace sentrel {
namespace {

constexpr int kDelayMark = 1103;  // the startup baseline's "moved to delayed start"

int AskWithBox(HWND owner, UINT textId, UINT flags) { return ShowMessageId(owner, textId, flags); }
DelayQuestion g_question = AskWithBox;

std::string SubKey(const char* name) { return std::string(kDelayKey) + "\\" + name; }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Upper case as the file identification makes it, so that a stored name
// and a command normalised later are the same text.
std::string UpperText(std::string text) {
  for (char& c : text) c = Upper(c);
  return text;
}

// A whole decimal number, or -1: a Time like "30s" or "-10" never matches.
int WholeNumber(const std::string& text) {
  size_t begin = text.find_first_not_of(' '), end = text.find_last_not_of(' ');
  if (begin == std::string::npos || end - begin >= 9) return -1;
  int number = 0;
  for (size_t i = begin; i <= end; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    number = number * 10 + (text[i] - '0');
  }
  return number;
}

std::string ReadFrom(const RegKey& key, const std::string& name) {
  char text[kMaxValueBytes];
  if (!key || ReadStringValueFrom(key.get(), name.c_str(), text, sizeof text) <= 0) return {};
  return text;
}

std::string ReadDelayValue(HKEY root, const char* subKey, const char* program) {
  return ReadString(root, subKey ? SubKey(subKey).c_str() : kDelayKey, program);
}

// A program path that holds a blank is quoted wherever it is handed on as
// part of a command line, so that no shorter path can be taken for it.
std::string Quoted(const std::string& path) { return path.find(' ') == std::string::npos ? path : "\"" + path + "\""; }

// The command a delayed entry stands for, rebuilt from its parts.
std::string RebuiltCommand(const std::string& program, const std::string& arguments, const std::string& applet) {
  std::string command = applet.empty() ? Quoted(program) : program;
  if (!arguments.empty()) command += (arguments[0] == ',' || arguments[0] == ' ' ? "" : " ") + arguments;
  return applet.empty() ? command : applet + " " + command;
}

// What the startup enumeration lists as the path of a command: the baseline
// is named by it.
std::string ListedPath(const std::string& command, int type) {
  std::string path = command;
  if (type < kTypeWinLoad) {
    const std::string target = RundllTarget(command);
    if (!target.empty() || ContainsText(command.c_str(), "RUNDLL32.EXE")) path = target;
  }
  if (path.size() > kPathChars) path.resize(kPathChars);
  path = StripQuotes(path);
  if (path.size() >= 4 && path.find('~') != std::string::npos) path = LongPathOf(path);
  return path;
}

// The applet is always the system's own rundll32, whatever the stored text
// says: the store names only whether one is used, never which program runs.
std::string RundllProgram() {
  const std::string system = SystemFolder() + "\\" + kRundllApplet;
  if (GetFileAttributesA(system.c_str()) != INVALID_FILE_ATTRIBUTES) return system;
  return WindowsFolder() + "\\" + kRundllApplet;  // where Windows 9x keeps it
}

int LaunchWithShow(HWND owner, const std::string& program, const std::string& parameters, int show) {
  if (program.empty()) return 0;
  if (owner) SetForegroundWindow(owner);
  // The blank that parted the arguments from the program is no argument.
  const std::string arguments = TrimLeadingBlanks(parameters);
  HINSTANCE started =
      ShellExecuteA(owner, "open", program.c_str(), arguments.empty() ? nullptr : arguments.c_str(), nullptr, show);
  if (reinterpret_cast<INT_PTR>(started) > 32) return 1;
  // The program alone, its path quoted: an unquoted path with a blank would
  // start whatever program its first word names.
  std::string line = "\"" + program + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show);
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return 0;
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return 1;
}

int OpenAsIndex(HKEY root, const char* program) {
  char text[256];
  if (ReadStringValue(root, SubKey("OpenAs").c_str(), program, text, sizeof text) <= 0) return 0;
  return WholeNumber(text);
}

void ListRoot(HKEY root, int rootValue) {
  RegKey store;
  if (store.Open(root, kDelayKey, KEY_READ) != ERROR_SUCCESS) return;
  RegKey titles, shortcuts;
  titles.Open(root, SubKey("Title").c_str(), KEY_READ);
  shortcuts.Open(root, SubKey("Shortcuts").c_str(), KEY_READ);
  for (const ListedValue& value : SnapshotValues(store.get())) {
    // A name the ANSI code page cannot hold is still listed (with "?"), so
    // that nothing in the store is hidden from the user.
    if (value.name.empty() && value.exactName) continue;  // the key's default value
    CatalogueEntry entry;
    entry.type = ParseLeadingInt(value.text.c_str());
    entry.path = value.name;
    entry.name = value.name;
    entry.named = true;
    VersionFields fields;
    if (GetFileAttributesA(NativeFilePath(value.name).c_str()) != INVALID_FILE_ATTRIBUTES)
      ReadVersionInfo(value.name.c_str(), fields);
    std::string title = ReadFrom(titles, value.name);
    if (title.empty()) title = fields.slot[kProductName];
    if (title.empty()) {
      const std::string file = FileNamePart(value.name);
      const size_t dot = file.rfind('.');
      title = dot == std::string::npos ? file : file.substr(0, dot);
    }
    if (ContainsText(title.c_str(), "Microsoft\xAE Windows\xAE")) title = fields.slot[kFileDescription];
    entry.title = title;
    entry.data = entry.type == kTypeStartupFolder ? ReadFrom(shortcuts, value.name) : title;
    entry.description = fields.slot[kFileDescription];
    entry.value = rootValue;
    entry.command = value.name;
    AddCatalogueEntry(std::move(entry));
  }
}

}  // namespace

size_t SplitCommand(const std::string& command, std::string& program, std::string& arguments) {
  std::string path;
  const size_t length = SplitCommandText(command, WindowsFolder(), ProgramFilesFolder(), path, arguments);
  program = UpperText(LongPathOf(path));
  return length;
}

int ListDelayedEntries() {
  ClearCatalogueEntries();
  ListRoot(HKEY_LOCAL_MACHINE, 0);
  ListRoot(HKEY_CURRENT_USER, 1);
  return CatalogueCount();
}

int CountDelayedEntries() {
  int count = 0;
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    RegKey store;
    if (store.Open(root, kDelayKey, KEY_READ) != ERROR_SUCCESS) continue;
    for (const ListedValue& value : SnapshotValues(store.get()))
      if (!value.name.empty() || !value.exactName) ++count;
  }
  return count;
}

void SetDelayQuestion(DelayQuestion question) { g_question = question ? question : AskWithBox; }

HKEY DelayRoot(const CatalogueEntry& entry) { return entry.value == 0 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

int DelayStartupEntry(HWND owner, const CatalogueEntry& entry) {
  const std::string command = entry.command.empty() ? entry.path : entry.command;
  if (ContainsText(command.c_str(), "sentrel.exe") || ContainsText(entry.path.c_str(), "sentrel.exe")) {
    g_question(owner, IDS_PROGRAM_MUST_REMAIN_AS, MB_OK | MB_ICONINFORMATION);
    return kDelayRefusedAll;
  }
  if (entry.type > 249 || entry.type <= 0) {
    g_question(owner, IDS_PROGRAM_MUST_REMAIN_AS, MB_OK | MB_ICONINFORMATION);
    return kDelaySkipped;
  }
  std::string program, arguments;
  SplitCommand(entry.path, program, arguments);
  if (program.empty()) return kDelaySkipped;
  const bool machine = entry.type <= 9;
  if (machine && g_question(owner, IDS_STARTUP_PROGRAM_USED_BY, MB_OKCANCEL | MB_ICONWARNING) != IDOK)
    return kDelaySkipped;
  const HKEY root = machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  const char* name = program.c_str();
  // A program delayed already keeps its record: a second entry of it would
  // overwrite the first one's, and moving back would lose the first.
  if (ValueExists(root, kDelayKey, name) || ValueExists(root, SubKey("Command").c_str(), name)) return kDelaySkipped;
  // The record must be complete before the entry leaves Windows start-up.
  int written = WriteStringValue(root, kDelayKey, name, std::to_string(entry.type).c_str());
  written &= WriteStringValue(root, SubKey("Title").c_str(), name, entry.title.c_str());
  written &= WriteStringValue(root, SubKey("Time").c_str(), name, std::to_string(kNewDelaySeconds).c_str());
  if (!arguments.empty()) written &= WriteStringValue(root, SubKey("Parameters").c_str(), name, arguments.c_str());
  written &= WriteStringValue(root, SubKey("Shortcuts").c_str(), name, entry.data.c_str());
  if (entry.value == 1) written &= WriteStringValue(root, SubKey("Applet").c_str(), name, kRundllApplet);
  // The command as found, so that moving it back restores it unchanged.
  written &= WriteStringValue(root, SubKey("Command").c_str(), name, command.c_str());
  if (!written || !RemoveStartupEntry(entry)) {
    DeleteDelayedValues(root, name);
    return kDelaySkipped;
  }
  WriteStringValue(HKEY_CURRENT_USER, kStartupBaselineKey, BaselineName(entry.path).c_str(),
                   std::to_string(kDelayMark).c_str());
  return kDelayDone;
}

int UndelayEntry(const CatalogueEntry& entry) {
  const HKEY root = DelayRoot(entry);
  const std::string program = entry.name.empty() ? entry.path : entry.name;
  const char* name = program.c_str();
  const std::string parameters = ReadDelayValue(root, "Parameters", name);
  const std::string applet = ReadDelayValue(root, "Applet", name);
  const int type = ParseLeadingInt(ReadDelayValue(root, nullptr, name).c_str());
  // Only a location an entry can be delayed from takes one back, and a
  // machine location only from the machine's record: a forged type must not
  // add a shell extension, an AppInit library or a machine Run entry.
  if (type <= 0 || type > 249 || (type <= 9 && root != HKEY_LOCAL_MACHINE)) return 0;
  std::string command = ReadDelayValue(root, "Command", name);
  // The kept command goes back only while it still starts the listed
  // program: a changed one must not put another program into start-up.
  std::string kept, rest;
  if (!command.empty()) SplitCommand(ListedPath(command, type), kept, rest);
  if (command.empty() || lstrcmpiA(kept.c_str(), program.c_str()) != 0)
    command = RebuiltCommand(program, parameters, applet.empty() ? applet : kRundllApplet);
  std::string title = ReadDelayValue(root, "Title", name);
  if (title.empty()) title = entry.title;
  const std::string shortcut = ReadDelayValue(root, "Shortcuts", name);
  // The record goes only once the entry is back: a location that cannot be
  // written must not lose it.
  if (!RestoreRemovedEntry(title.c_str(), command.c_str(), shortcut.c_str(), type)) return 0;
  WriteStringValue(HKEY_CURRENT_USER, kStartupBaselineKey, BaselineName(ListedPath(command, type)).c_str(),
                   std::to_string(type).c_str());
  DeleteDelayedValues(root, name);
  return 1;
}

int RestoreAllDelayed() {
  ListDelayedEntries();
  std::vector<CatalogueEntry> entries;
  for (int i = 0; i < CatalogueCount(); ++i) entries.push_back(CatalogueAt(i));
  ClearCatalogueEntries();
  int moved = 0;
  for (const CatalogueEntry& entry : entries) moved += UndelayEntry(entry);
  return moved;
}

int DeleteDelayedValues(HKEY root, const char* program) {
  if (!program || !*program) return 0;
  int deleted = DeleteValue(root, kDelayKey, program);
  for (const char* subKey : kDelaySubKeys) DeleteValue(root, SubKey(subKey).c_str(), program);
  return deleted;
}

int AddDelayedProgram(const char* file, bool allUsers) {
  if (!file || !*file) return 0;
  std::string program, arguments;
  SplitCommand(file, program, arguments);
  if (program.empty()) return 0;
  const HKEY root = allUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  return WriteStringValue(root, kDelayKey, program.c_str(), allUsers ? "1" : "11") &&
                 WriteStringValue(root, SubKey("Time").c_str(), program.c_str(),
                                  std::to_string(kNewDelaySeconds).c_str())
             ? 1
             : 0;
}

int ShowCommandOfIndex(int index) {
  if (index == 1) return SW_MINIMIZE;
  if (index == 2) return SW_SHOWMAXIMIZED;
  return SW_SHOWNORMAL;
}

int LaunchProgram(HWND owner, const char* program, const char* parameters, HKEY root) {
  if (!program) return 0;
  return LaunchWithShow(owner, program, parameters ? parameters : "", ShowCommandOfIndex(OpenAsIndex(root, program)));
}

int LaunchDelayedEntry(HWND owner, HKEY root, const char* name) {
  if (!name || !*name) return 0;
  std::string parameters = ReadDelayValue(root, "Parameters", name);
  const std::string path = NormalizeFilePath(name);
  // An entry that ran through RUNDLL32.EXE is started through it again.
  const std::string applet = ReadDelayValue(root, "Applet", name);
  const std::string program = applet.empty() ? path : RundllProgram();
  if (!applet.empty()) parameters = Quoted(path) + parameters;
  return LaunchWithShow(owner, program, parameters, ShowCommandOfIndex(OpenAsIndex(root, name)));
}

int LaunchDelayedEntries(int seconds) {
  int handled = 0;
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    RegKey times;
    if (times.Open(root, SubKey("Time").c_str(), KEY_READ) != ERROR_SUCCESS) continue;
    // Only the times are read until an entry is due.
    for (const ListedValue& value : SnapshotValues(times.get())) {
      if (value.name.empty() || !value.exactName) continue;
      if (value.type != REG_SZ || WholeNumber(value.text) != seconds) continue;
      ++handled;  // started, running already, or not startable: it is done with
      if (IsProgramRunning(NormalizeFilePath(value.name.c_str()).c_str())) continue;
      LaunchDelayedEntry(nullptr, root, value.name.c_str());
    }
  }
  return handled;
}

DelayOptions ReadDelayOptions(HKEY root, const char* program) {
  DelayOptions options;
  options.seconds = std::max(0, DelaySeconds(root, program));
  options.openAs = std::max(0, OpenAsIndex(root, program));
  if (options.openAs > 2) options.openAs = 0;
  options.parameters = ReadDelayValue(root, "Parameters", program);
  options.title = ReadDelayValue(root, "Title", program);
  return options;
}

int WriteDelayOptions(HKEY root, const char* program, const DelayOptions& options) {
  if (!program || !*program) return 0;
  // The command kept for the way back holds the old arguments: once they
  // change, the entry is rebuilt from its parts instead.
  if (ReadDelayValue(root, "Parameters", program) != options.parameters)
    DeleteValue(root, SubKey("Command").c_str(), program);
  int written = WriteStringValue(root, SubKey("Time").c_str(), program, std::to_string(options.seconds).c_str());
  written &= WriteStringValue(root, SubKey("OpenAs").c_str(), program, std::to_string(options.openAs).c_str());
  written &= WriteStringValue(root, SubKey("Parameters").c_str(), program, options.parameters.c_str());
  written &= WriteStringValue(root, SubKey("Title").c_str(), program, options.title.c_str());
  return written;
}

int DelaySeconds(HKEY root, const char* program) { return WholeNumber(ReadDelayValue(root, "Time", program)); }

std::string DelayText(int seconds) {
  if (seconds < 0) seconds = 0;
  const std::string sec = " " + LoadText(IDS_SEC);
  if (seconds < 60) return std::to_string(seconds) + sec;
  return std::to_string(seconds / 60) + " " + LoadText(IDS_MIN) + " : " + std::to_string(seconds % 60) + sec;
}

}  // namespace sentrel
