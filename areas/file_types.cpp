// The file type area: resolving associations, the monitored list, the
// baselines and the actions.
#include "file_types.h"

#include <cstring>
#include <string>
#include <vector>

#include "catalogue.h"
#include "fileid.h"
#include "first_seen.h"
#include "registry.h"
#include "resource.h"
#include "settings.h"
#include "strings.h"
#include "trace.h"

namespace sentrel {
namespace {

// Text of a string value of any length (expandable text expanded); false
// when the value is missing or is not text.
bool ReadText(HKEY root, const std::string& path, const char* name, std::string& text) {
  text.clear();
  RegKey key;
  if (key.Open(root, path.c_str(), KEY_READ) != ERROR_SUCCESS) return false;
  // Most values fit a small buffer; a longer one is read whole.
  char data[1024];
  DWORD size = sizeof data - 1, type = 0;
  const LONG result = RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  if (result == ERROR_SUCCESS) {
    text.assign(data, strnlen(data, size < sizeof data ? size : sizeof data - 1));
  } else {
    StoredValue value;
    if (result != ERROR_MORE_DATA || !ReadStoredValue(key.get(), name, value)) return false;
    type = value.type;
    text = TextOfValue(value);
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) {
    text.clear();
    return false;
  }
  if (type == REG_EXPAND_SZ) {
    std::string expanded;
    if (ExpandEnvironment(text, expanded)) text = expanded;
  }
  return true;
}

std::string WithoutQuotes(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (char c : text)
    if (c != '"') result += c;
  return result;
}

bool SameText(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

const char* BaselineKeyOf(int source) {
  switch (source) {
    case kMachineClasses:
      return kExtKey;
    case kChosenApplication:
      return kExtAppKey;
    case kChosenProgId:
      return kExtProgIdKey;
    default:
      return nullptr;
  }
}

// Where the open command of an association value lives.
HKEY CommandRoot(int source) { return source == kMachineClasses ? HKEY_LOCAL_MACHINE : HKEY_CLASSES_ROOT; }
std::string CommandPath(int source, const std::string& value) {
  if (source == kMachineClasses) return "Software\\Classes\\" + value + "\\shell\\open\\command";
  if (source == kChosenApplication) return "Applications\\" + value + "\\shell\\open\\command";
  return value + "\\shell\\open\\command";
}

// An extension token names a key: no backslash (it would reach another key),
// nothing the registry could not hold.
bool IsUsableToken(const std::string& token) {
  return !token.empty() && token.size() <= kMaxExtensionToken && token.find('\\') == std::string::npos;
}

std::string WithoutDot(const std::string& text) { return !text.empty() && text[0] == '.' ? text.substr(1) : text; }

// The friendly name of a program identifier (machine classes).
std::string FriendlyName(const std::string& value) {
  std::string name;
  ReadText(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + value, "", name);
  return name;
}

// A program Windows would start for this text: found as it is or with
// ".exe", on the path when it has no folder.
bool NamesProgram(const std::string& text) {
  if (text.empty() || text.back() == '\\') return false;
  char found[MAX_PATH];
  const DWORD length = SearchPathA(nullptr, text.c_str(), ".exe", sizeof found, found, nullptr);
  if (length == 0 || length >= sizeof found) return false;
  const DWORD attributes = GetFileAttributesA(found);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ProgramFileOf(const std::string& command) {
  std::string expanded;
  ExpandEnvironment(command, expanded);
  return NormalizeFilePath(ProgramPart(expanded).c_str());
}

}  // namespace

std::string DottedExtension(const std::string& text) { return !text.empty() && text[0] == '.' ? text : "." + text; }

std::string MonitoredExtensionList() {
  std::string list;
  ReadText(HKEY_CURRENT_USER, kClassKey, "", list);
  return list;
}

std::vector<std::string> SplitExtensionList(const std::string& list) {
  std::vector<std::string> tokens;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    std::string token = list.substr(start, end - start);
    if (IsUsableToken(token)) tokens.push_back(token);
    start = end + 1;
  }
  return tokens;
}

std::string AssociationValue(const std::string& extension, int source) {
  const std::string dotted = DottedExtension(extension);
  std::string value;
  if (source == kMachineClasses)
    ReadText(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + dotted, "", value);
  else if (source == kChosenApplication || source == kChosenProgId)
    ReadText(HKEY_CURRENT_USER, std::string(kFileExtsKey) + "\\" + dotted,
             source == kChosenApplication ? "Application" : "ProgID", value);
  return value;
}

int ResolveAssociation(const std::string& extension, int source, Association& found) {
  found = Association{};
  const std::string value = AssociationValue(extension, source);
  if (value.empty()) return 0;
  std::string command;
  if (!ReadText(CommandRoot(source), CommandPath(source, value), "", command)) return 0;
  found.value = value;
  found.command = command;
  return 1;
}

int IconOfExtension(const std::string& extension, int source, std::string& file, int& index) {
  file.clear();
  index = 0;
  Association found;
  if (!ResolveAssociation(extension, source, found)) return 0;
  std::string icon;
  ReadText(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + found.value + "\\DefaultIcon", "", icon);
  const size_t comma = icon.rfind(',');
  if (comma != std::string::npos) {
    file = WithoutQuotes(icon.substr(0, comma));
    index = ParseLeadingInt(icon.c_str() + comma + 1);
  } else {
    file = ProgramFileOf(found.command);
  }
  return !file.empty();
}

int EnumerateMonitoredTypes(bool withTitles) {
  ClearCatalogueEntries();
  int count = 0;
  for (const std::string& token : SplitExtensionList(MonitoredExtensionList())) {
    for (int source = kMachineClasses; source <= kChosenProgId; ++source) {
      Association found;
      if (!ResolveAssociation(token, source, found)) continue;
      CatalogueEntry entry;
      entry.path = found.command;
      entry.command = found.command;
      entry.data = found.value;
      // The association value whatever the data column shows.
      entry.name = found.value;
      entry.named = true;
      entry.description = DottedExtension(token);
      entry.type = kTypeFileType;
      entry.value = source;
      if (withTitles) {
        entry.title = FriendlyName(found.value);
        if (entry.title.empty()) {
          VersionFields fields;
          ReadVersionInfo(ProgramFileOf(found.command).c_str(), fields);
          entry.title = fields.slot[kProductName];
          entry.data = fields.slot[kFileDescription];
        }
        if (entry.title.empty()) entry.title = ProgramFileName(found.command);
      }
      if (AddCatalogueEntry(std::move(entry))) ++count;
    }
  }
  return count;
}

std::string BaselineCommandOf(const std::string& value) {
  // No stored association value: the Class key's default (the list itself)
  // is not a command.
  std::string command;
  if (!value.empty()) ReadText(HKEY_CURRENT_USER, kClassKey, value.c_str(), command);
  return command;
}

std::string ApprovedCommandOf(const std::string& value) {
  const std::string command = BaselineCommandOf(value);
  std::string exact;
  if (!command.empty() && ReadText(HKEY_CURRENT_USER, kClassRootKey, value.c_str(), exact) &&
      WithoutQuotes(exact) == command)
    return exact;
  return command;
}

std::string ApprovedCommandBeside(const std::string& extension, int source) {
  if (source != kChosenApplication && source != kChosenProgId) return "";
  // The user's choices come before the machine's classes.
  for (int other = kChosenProgId; other >= kMachineClasses; --other) {
    if (other == source) continue;
    const std::string command = ApprovedCommandOf(BaselineAssociationValue(extension, other));
    if (!command.empty()) return command;
  }
  return "";
}

int RemoveUserChoice(const std::string& extension, int source) {
  if (source != kChosenApplication && source != kChosenProgId) return 0;
  return DeleteValue(HKEY_CURRENT_USER, (std::string(kFileExtsKey) + "\\" + DottedExtension(extension)).c_str(),
                     source == kChosenApplication ? "Application" : "ProgID");
}

std::string BaselineAssociationValue(const std::string& extension, int source) {
  const char* key = BaselineKeyOf(source);
  std::string value;
  if (key) ReadText(HKEY_CURRENT_USER, key, DottedExtension(extension).c_str(), value);
  return value;
}

int WriteFileTypeBaseline(const std::string& extension, int source) {
  const char* key = BaselineKeyOf(source);
  Association found;
  if (!key) return 0;
  if (!ResolveAssociation(extension, source, found)) {
    // A value naming nothing readable is approved as it reads, so that the
    // check knows it again.
    const std::string value = AssociationValue(extension, source);
    return value.empty() ? 0
                         : WriteStringValue(HKEY_CURRENT_USER, key, DottedExtension(extension).c_str(), value.c_str());
  }
  const int written = WriteStringValue(HKEY_CURRENT_USER, key, DottedExtension(extension).c_str(), found.value.c_str());
  WriteStringValue(HKEY_CURRENT_USER, kClassKey, found.value.c_str(), WithoutQuotes(found.command).c_str());
  WriteStringValue(HKEY_CURRENT_USER, kClassRootKey, found.value.c_str(), found.command.c_str());
  return written;
}

int RestoreAssociation(const std::string& extension, int source) {
  const std::string value = BaselineAssociationValue(extension, source);
  if (value.empty()) return 0;  // nothing approved: nothing to put back
  const std::string dotted = DottedExtension(extension);
  int restored = 0;
  if (source == kMachineClasses)
    restored = WriteStringValue(HKEY_LOCAL_MACHINE, ("Software\\Classes\\" + dotted).c_str(), "", value.c_str());
  else
    restored = WriteStringValue(HKEY_CURRENT_USER, (std::string(kFileExtsKey) + "\\" + dotted).c_str(),
                                source == kChosenApplication ? "Application" : "ProgID", value.c_str());
  std::string command;
  if (!ReadText(HKEY_CURRENT_USER, kClassKey, value.c_str(), command) || command.empty()) return restored;
  // The exact command when it is the one approved; else the approved text,
  // its program quoted so that a folder with blanks cannot start another.
  std::string exact;
  if (ReadText(HKEY_CURRENT_USER, kClassRootKey, value.c_str(), exact) && WithoutQuotes(exact) == command)
    command = exact;
  else
    command = QuotedCommand(command);
  WriteStringValue(CommandRoot(source), CommandPath(source, value).c_str(), "", command.c_str());
  return restored;
}

int CreateClassInfo() {
  std::string marker;
  ReadText(HKEY_CURRENT_USER, kExtKey, "", marker);
  int count = 0;
  auto writeBaselines = [&count] {
    count = EnumerateMonitoredTypes(false);
    for (int i = 0; i < CatalogueCount(); ++i) {
      const CatalogueEntry& entry = CatalogueAt(i);
      if (!entry.description.empty()) WriteFileTypeBaseline(entry.description, entry.value);
      // Programs the baseline starts with are first seen now.
      if (!entry.path.empty()) RecordFirstSeen(entry.path.c_str(), FirstSeenArea(kTypeFileType));
    }
    ClearCatalogueEntries();
  };
  if (marker.size() == 11) {  // an earlier edition's marker
    writeBaselines();
    WriteStringValue(HKEY_CURRENT_USER, kExtKey, "", kBaselineMarker);
    return count;
  }
  const std::string list = MonitoredExtensionList();
  // A list of the user's own stays, however long its first extension.
  const bool hasList = list.find(';') != std::string::npos;
  if (!marker.empty() && hasList) return 0;
  TraceStep("filetype", "CreateClassInfo");
  for (const char* key : {kExtKey, kExtAppKey, kExtProgIdKey, kClassKey}) CreateSettingsKey(HKEY_CURRENT_USER, key);
  if (!hasList) {
    const std::string initial = LoadText(IDS_AVI_BAT_CAB_CAT);
    if (!WriteStringValue(HKEY_CURRENT_USER, kClassKey, "", initial.c_str()))
      TraceStep("ERROR Creating REGCLASSKEY", initial.c_str());
  }
  writeBaselines();
  WriteStringValue(HKEY_CURRENT_USER, kExtKey, "", kBaselineMarker);
  return count;
}

int AddMonitoredExtension(const std::string& text) {
  const std::string extension = WithoutDot(text);
  // Not an extension: it would split the list or name another key.
  if (!IsUsableToken(extension) || extension.find(';') != std::string::npos) return IDS_NOT_A_FILE_TYPE_EXTENSION;
  std::string list = MonitoredExtensionList();
  if (list.size() + extension.size() >= kMaxExtensionList) return IDS_MAXIMUM_NUMBER_FILE_TYPES;
  for (const std::string& token : SplitExtensionList(list))
    if (SameText(token, extension)) return IDS_FILE_TYPE_ALREADY_BEING;
  for (int source = kMachineClasses; source <= kChosenProgId; ++source) WriteFileTypeBaseline(extension, source);
  if (!list.empty() && list.back() != ';') list += ';';
  list += extension + ";";
  WriteStringValue(HKEY_CURRENT_USER, kClassKey, "", list.c_str());
  return 0;
}

int RemoveMonitoredExtension(const std::string& text) {
  const std::string extension = WithoutDot(text);
  if (extension.empty()) return 0;
  // Rebuilt from the whole list: tokens this program would not monitor stay.
  const std::string list = MonitoredExtensionList();
  std::string kept;
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    const std::string token = list.substr(start, end - start);
    if (!token.empty() && !SameText(token, extension)) kept += token + ";";
    start = end + 1;
  }
  WriteStringValue(HKEY_CURRENT_USER, kClassKey, "", kept.c_str());
  const std::string dotted = DottedExtension(extension);
  std::string value;
  if (!ReadText(HKEY_CURRENT_USER, kExtKey, dotted.c_str(), value)) return 1;
  DeleteValue(HKEY_CURRENT_USER, kExtKey, dotted.c_str());
  if (!value.empty() && !IsAssociationValueInUse(value)) {
    DeleteValue(HKEY_CURRENT_USER, kClassKey, value.c_str());
    DeleteValue(HKEY_CURRENT_USER, kClassRootKey, value.c_str());
  }
  return 1;
}

int IsAssociationValueInUse(const std::string& value) {
  // Walked without the catalogue list: the caller's list stays as it is.
  for (const std::string& token : SplitExtensionList(MonitoredExtensionList()))
    for (int source = kMachineClasses; source <= kChosenProgId; ++source) {
      Association found;
      if (ResolveAssociation(token, source, found) && SameText(found.value, value)) return 1;
    }
  return 0;
}

namespace {

// The program of a command; with probe, an unquoted head without an
// extension that names an existing program ends it too.
std::string ProgramPartOf(const std::string& command, bool probe) {
  size_t start = 0;
  while (start < command.size() && (command[start] == ' ' || command[start] == '\t')) ++start;
  if (start < command.size() && command[start] == '"') {
    const size_t close = command.find('"', start + 1);
    if (close != std::string::npos) return command.substr(start + 1, close - start - 1);
    // Unbalanced: read it as if it had no quotes.
    return ProgramPartOf(command.substr(start + 1), probe);
  }
  const std::string text = WithoutQuotes(command.substr(start));
  // Unquoted, the program ends at the first blank that follows a name with
  // an extension ("C:\Program Files\App\app.exe %1"), or, as Windows reads
  // it, one that names a program without one ("rundll32 x.dll,Run"): else
  // a program named later in the arguments would stand for it.
  for (size_t blank = text.find(' '); blank != std::string::npos; blank = text.find(' ', blank + 1)) {
    const std::string head = text.substr(0, blank);
    const size_t dot = head.rfind('.');
    const size_t slash = head.find_last_of("\\/");
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash) && head.size() - dot <= 5 &&
        head.size() - dot >= 2)
      return head;
    if (probe && NamesProgram(head)) return head;
  }
  return text;
}

}  // namespace

std::string ProgramPart(const std::string& command) { return ProgramPartOf(command, true); }

std::string ProgramFileName(const std::string& command) {
  const std::string program = ProgramPart(command);
  const size_t slash = program.find_last_of("\\/");
  return slash == std::string::npos ? program : program.substr(slash + 1);
}

std::string QuotedCommand(const std::string& command) {
  if (command.find('"') != std::string::npos) return command;
  // Not probed: a planted "C:\Program.exe" must not keep the real program
  // unquoted.
  const std::string program = ProgramPartOf(command, false);
  if (program.find(' ') == std::string::npos || command.compare(0, program.size(), program) != 0) return command;
  return "\"" + program + "\"" + command.substr(program.size());
}

std::string FileTypeCommandText(const std::string& command) {
  if (command.empty()) return LoadText(IDS_NO_ASSOCIATED_FILE);
  if (SameText(command, "%1 %*") || SameText(command, "%1 /S")) return LoadText(IDS_EXECUTABLE);
  return ProgramFileName(command);
}

}  // namespace sentrel
