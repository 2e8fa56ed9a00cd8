// The settings initialisation.
#include "initialization.h"

#include <cstdio>
#include <string>

#include "fileid.h"
#include "registry.h"
#include "settings.h"
#include "strings.h"
#include "trace.h"
#include "winpos.h"

namespace sentrel {

const char* const kExplorerMenuKey = "exefile\\shell\\Sentrel OMNI";

namespace {

// The hooks of the last initialisation: SetRunAtStart asks the startup
// catalogue through them.
const SettingsInitHooks* g_hooks = nullptr;

constexpr const char* kAutoUpdateKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update";
constexpr const char* kSystemPoliciesKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr const char* kUacValues[] = {"ConsentPromptBehaviorAdmin", "EnableLUA", "PromptOnSecureDesktop"};

void RunBuilders(const SettingsInitHooks& hooks, InitStage stage) {
  for (size_t i = 0; i < hooks.builderCount; ++i)
    if (hooks.builders[i].stage == stage && hooks.builders[i].buildIfNeeded) {
      Diagnose("Build baseline", hooks.builders[i].area);
      hooks.builders[i].buildIfNeeded();
    }
}

void RebuildStartupBaselines(const SettingsInitHooks& hooks) {
  if (hooks.startup.rebuildStartupBaselines) hooks.startup.rebuildStartupBaselines();
}

void MirrorWindowsSettings() {
  if (ReadDwordValue(HKEY_CURRENT_USER, kSentrelKey, "AUOptions") == 0) {
    DWORD system = ReadDwordValue(HKEY_LOCAL_MACHINE, kAutoUpdateKey, "AUOptions");
    if (system != 0) WriteDwordValue(HKEY_CURRENT_USER, kSentrelKey, "AUOptions", system);
  }
  if (WindowsMajorVersion() <= 5) return;
  for (const char* name : kUacValues)
    if (!DwordValueExists(HKEY_CURRENT_USER, kSentrelKey, name))
      WriteDwordValue(HKEY_CURRENT_USER, kSentrelKey, name,
                      static_cast<DWORD>(ReadDwordValueOr(HKEY_LOCAL_MACHINE, kSystemPoliciesKey, name)));
}

void CheckVersion(const SettingsInitHooks& hooks) {
  std::string version = ReadString(HKEY_CURRENT_USER, kSentrelKey, "Version");
  if (version.empty()) {
    RebuildStartupBaselines(hooks);
    WriteStringValue(HKEY_CURRENT_USER, kSentrelKey, "Version", kVersionText);
    return;
  }
  if (!ContainsText(version.c_str(), kVersionText)) {
    RebuildStartupBaselines(hooks);
    WriteStringValue(HKEY_CURRENT_USER, kSentrelKey, "Version", kVersionText);
    CreateInitialValues(hooks);
  }
  if (ReadOption("Cleanup", 0) != 0) {
    RebuildStartupBaselines(hooks);
    WriteStringValue(HKEY_CURRENT_USER, kOptionsKey, "Cleanup", "0");
  }
}

std::string ExplorerMenuCommand() { return "\"" + FolderOfProgram() + "\\Sentrel.exe\" %1"; }

}  // namespace

const char* RunAtStartSuffix() { return "\\sentrel.exe -expressboot"; }

void CreateInitialValues(const SettingsInitHooks& hooks) {
  Diagnose("Create Initial Values", "");
  if (hooks.startup.buildInitialBaselines) hooks.startup.buildInitialBaselines();
  if (hooks.startup.removeEarlierEdition) hooks.startup.removeEarlierEdition();
  SetRunAtStart(true, hooks);
}

void InitializeSettings(const SettingsInitHooks& hooks) {
  g_hooks = &hooks;
  ProcessState& process = Process();

  // 1. Tracing and language.
  SetTraceFile(FileBesideProgram(process.kind == ProgramKind::Monitor ? "send2ow.txt" : "sendex2ow.txt"));
  SetTraceCounter(kTraceOff);
  InitLanguageId();
  if (ReadOption("Debug", 0) != 0) SetTraceCounter(0);

  // 2. A 64-bit Windows has a 32-bit view of the Run keys.
  process.is64BitWindows = KeyExists(HKEY_LOCAL_MACHINE, kWow64RunKey) != 0;

  // 3. First run: the key tree and the first baselines.
  if (ReadString(HKEY_CURRENT_USER, kSentrelKey, "").empty()) {
    static const char* const kFirstRunKeys[] = {"",      "\\Nuts",      "\\Cookies",  "\\Options",
                                                "\\Run", "\\IEHelpers", "\\HostFile", "\\Tasks"};
    CreateSettingsKey(HKEY_CURRENT_USER, kVendorKey);
    for (const char* key : kFirstRunKeys)
      CreateSettingsKey(HKEY_CURRENT_USER, (std::string(kSentrelKey) + key).c_str());
    WriteStringValue(HKEY_CURRENT_USER, kSentrelKey, "", NowText().c_str());
    CreateInitialValues(hooks);
  }

  // 4-8. Baselines that are missing, the Windows settings, the version stamp.
  RunBuilders(hooks, InitStage::Baselines);
  MirrorWindowsSettings();
  RunBuilders(hooks, InitStage::SystemFiles);
  CheckVersion(hooks);
  RunBuilders(hooks, InitStage::FileTypes);

  // 9-11.
  LoadOptions();
  SyncExplorerMenuVerb();
  process.runAtStart = IsRunAtStart() != 0;
  // Earlier installations wrote the command without quotes: write it again.
  if (lstrcmpiA(ReadString(HKEY_LOCAL_MACHINE, kMachineRunKey, LoadText(2).c_str()).c_str(),
                (FolderOfProgram() + RunAtStartSuffix()).c_str()) == 0)
    SetRunAtStart(true, hooks);
}

int SetRunAtStart(bool on, const SettingsInitHooks& fallback) {
  const SettingsInitHooks& hooks = g_hooks ? *g_hooks : fallback;
  if (!on) {
    if (!hooks.startup.findOwnEntries) return 0;
    if (hooks.startup.findOwnEntries(true) == 0) return 0;
    Process().runAtStart = false;
    return 1;
  }
  const std::string folder = FolderOfProgram();
  if (folder.empty()) return 0;
  // Quoted: unquoted, a folder with blanks would run C:\Program.exe first.
  const std::string command = "\"" + folder + "\\sentrel.exe\" -expressboot";
  if (!WriteStringValue(HKEY_LOCAL_MACHINE, kMachineRunKey, LoadText(2).c_str(), command.c_str())) return 0;
  Process().runAtStart = true;
  // The baseline knows the monitor's own entry (as listed: without its
  // quotes), so no patrol reports it.
  std::string baselineName = FolderOfProgram() + RunAtStartSuffix();
  for (char& c : baselineName)
    if (c == '=') c = ':';
  WriteStringValue(HKEY_CURRENT_USER, (std::string(kSentrelKey) + "\\Run").c_str(), baselineName.c_str(), "1");
  return 1;
}

int IsRunAtStart() {
  char text[kMaxValueBytes];
  if (ReadStringValue(HKEY_LOCAL_MACHINE, kMachineRunKey, LoadText(2).c_str(), text, sizeof text) > 0) return 1;
  return ReadStringValue(HKEY_LOCAL_MACHINE, kMachineRunKey, LoadText(622).c_str(), text, sizeof text) > 0;
}

void SyncExplorerMenuVerb() {
  const bool exists = KeyExists(HKEY_CLASSES_ROOT, kExplorerMenuKey) != 0;
  if (Option(kOptExplorerMenu) == 1) {
    if (exists) return;
    WriteStringValue(HKEY_CLASSES_ROOT, kExplorerMenuKey, "", LoadText(1183).c_str());
    WriteStringValue(HKEY_CLASSES_ROOT, (std::string(kExplorerMenuKey) + "\\command").c_str(), "",
                     ExplorerMenuCommand().c_str());
  } else if (exists) {
    DeleteKeyTree(HKEY_CLASSES_ROOT, kExplorerMenuKey);
  }
}

int ResetTranslationsAndPositions() {
  if (Process().languageId == 9) return 0;
  for (int id = 0; id <= 1165; ++id) {
    char name[24];
    std::snprintf(name, sizeof name, "LString%d", id);
    DeleteValue(HKEY_LOCAL_MACHINE, kSentrelKey, name);
  }
  for (const WindowPositionNames* window : kAllWindowPositions)
    for (const char* name : {window->left, window->top, window->width, window->height})
      DeleteValue(HKEY_CURRENT_USER, kSentrelKey, name);
  return 1;
}

}  // namespace sentrel
