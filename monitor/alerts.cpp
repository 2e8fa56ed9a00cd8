// The program alerts of the monitor.
#include "alerts.h"

#include <mmsystem.h>
#include <shellapi.h>

#include "catalogue.h"
#include "fileid.h"
#include "history.h"
#include "lookup.h"
#include "monitor.h"
#include "registry.h"
#include "resource.h"
#include "services.h"
#include "settings.h"
#include "strings.h"
#include "system_files.h"
#include "winpos.h"

namespace sentrel {
namespace {

struct AlertDefinition {
  AlertKind kind;
  UINT dialog;
  UINT caption;  // 0: the template's
  UINT message;
  OptionId hideOption;
  int soundIndex;   // -1: none
  int historyType;  // -1: none; 0: the item's type
  int historyAction;
  UINT versionLabel;
};
constexpr AlertDefinition kAlerts[] = {
    {AlertKind::NewStartup, IDD_ALERT_NEW_STARTUP, IDS_NEW_PROGRAM_ALERT_CAPTION, IDS_ALERT_NEW_STARTUP,
     kOptHideStartup, 1, 0, kActionStartAlert, IDS_VERSION},
    {AlertKind::CameBack, IDD_ALERT_CAME_BACK, IDS_PROGRAM_DOESN_T_WANT, IDS_ALERT_CAME_BACK, kOptHideStartup, -1, -1,
     0, IDS_VERSION},
    {AlertKind::NewTask, IDD_ALERT_NEW_TASK, IDS_NEW_PROGRAM_ALERT_CAPTION, IDS_ALERT_NEW_TASK, kOptHideTasks, 3, 800,
     kActionTaskAlert, IDS_VERSION_LABEL},
    {AlertKind::NewService, IDD_ALERT_NEW_SERVICE, IDS_NEW_PROGRAM_ALERT_CAPTION, IDS_ALERT_NEW_SERVICE,
     kOptHideServices, 1, -1, 0, IDS_VERSION},
    {AlertKind::NewIEHelper, IDD_ALERT_NEW_IE_HELPER, IDS_NEW_PROGRAM_ALERT_CAPTION, IDS_ALERT_NEW_IE_HELPER,
     kOptHideIEHelper, 4, 900, kActionIEHelperAlert, IDS_VERSION_LABEL},
    {AlertKind::NewActiveX, IDD_ALERT_NEW_ACTIVEX, IDS_NEW_PROGRAM_ALERT_CAPTION, 1066, kOptHideActiveX, 4, 900,
     kActionIEHelperAlert, IDS_VERSION_LABEL},
    {AlertKind::NewHidden, IDD_ALERT_NEW_HIDDEN, IDS_NEW_PROGRAM_ALERT_CAPTION, IDS_ALERT_NEW_HIDDEN, kOptHideHidden, 4,
     kTypeHidden, kActionHiddenAlert, IDS_VERSION_LABEL},
    {AlertKind::FileType, IDD_ALERT_FILE_TYPE, 760, 0, kOptHideFileType, 5, -1, 0, 0},
    {AlertKind::FileChange, IDD_ALERT_FILE_CHANGE, 1000, 0, kOptHideSystemFiles, 6, -1, 0, 0},
};
constexpr const char* kSoundEvents[] = {"Open",       "Startup Alert", "Cookie Alert",
                                        "Task Alert", "IE Helper",     "FileType Alert"};

CurrentItem g_item;

// The program of the current item, identified once when the alert opens.
struct Identified {
  std::string file;
  bool exists = false;
  VersionFields fields;
};
Identified g_identified;

void IdentifyCurrentProgram() {
  g_identified = Identified{};
  // An expansion that does not fit is not a path we could name: cut short it
  // might name some other, harmless-looking file.
  std::string expanded;
  if (!ExpandEnvironment(g_item.text, expanded) || expanded.size() >= MAX_PATH) return;
  g_identified.file = NormalizeFilePath(expanded.c_str());
  g_identified.exists = FileExists(g_identified.file) != 0;
  if (g_identified.exists) ReadVersionInfo(g_identified.file.c_str(), g_identified.fields);
}

// An icon extracted for an alert; destroyed once the alert has ended, so
// that a resident monitor does not grow by one icon per alert.
class AlertIcon {
 public:
  AlertIcon() = default;
  ~AlertIcon() { Reset(nullptr); }
  AlertIcon(const AlertIcon&) = delete;
  AlertIcon& operator=(const AlertIcon&) = delete;
  // ExtractIcon answers 1 for a file that is not a program: no icon then.
  HICON Extract(const std::string& file) {
    HICON icon = ExtractIconA(Monitor().instance, NativeFilePath(file).c_str(), 0);
    Reset(reinterpret_cast<INT_PTR>(icon) > 1 ? icon : nullptr);
    return icon_;
  }

 private:
  void Reset(HICON icon) {
    if (icon_) DestroyIcon(icon_);
    icon_ = icon;
  }
  HICON icon_ = nullptr;
};

// What one open alert owns; it outlives the dialog's window.
struct AlertContext {
  const AlertDefinition* alert = nullptr;
  AlertIcon icons[2];
};

AlertSound g_lastSound = AlertSound::None;

std::string g_lastText;
int g_repeat = 0;
// The refused service is stopped and disabled by the services area, which
// records what it did.
void RefuseCurrentService(const CurrentItem& item) { RefuseService(item.name, item.text, item.type, item.serviceKey); }
ServiceRefusal g_refuseService = RefuseCurrentService;

const AlertDefinition& DefinitionOf(AlertKind kind) {
  for (const AlertDefinition& alert : kAlerts)
    if (alert.kind == kind) return alert;
  return kAlerts[0];
}

void SetTextIfAny(HWND dialog, int control, UINT id) {
  std::string text = LoadText(id);
  if (!text.empty()) SetDlgItemTextA(dialog, control, text.c_str());
}

// The start type and state texts of a service for string 901. The Start
// value is read from the key the refusal would change, found by the
// service's display name (its key is rarely named so).
std::string ServiceTexts(const CurrentItem& item) {
  const long start = ServiceStartValue(item.name.c_str(), item.serviceKey.c_str());
  UINT startText = start == 2   ? IDS_AUTOMATIC
                   : start == 3 ? IDS_MANUAL
                   : start == 4 ? IDS_START_TYPE_DISABLED
                                : IDS_UNKNOWN;
  std::string state;
  ServiceStateText(item.name.c_str(), state, item.serviceKey.c_str());
  return FillText(LoadText(IDS_STARTUP_STATUS_S_ACTIVE), {LoadText(startText), state});
}

// The alert's name line: what the dialog shows large and the history records.
std::string NameLine(const AlertDefinition& alert) {
  std::string name = g_identified.fields.slot[kProductName];
  if (alert.kind == AlertKind::NewStartup && !name.empty()) {
    static const char* const kLocationNames[] = {"WinLogon:UserInit",   "WinLogon:Shell", "ObjectDelayLoad",
                                                 "SharedTaskScheduler", nullptr,          "AppInit_DLLs"};
    if (g_item.type >= 250 && g_item.type <= 255 && kLocationNames[g_item.type - 250])
      name = kLocationNames[g_item.type - 250];
  } else if (alert.kind == AlertKind::NewTask) {
    name = g_item.name.size() > 3 ? g_item.name.substr(0, g_item.name.size() - 4) : std::string();
  } else if (alert.kind != AlertKind::NewStartup && alert.kind != AlertKind::CameBack) {
    name = g_item.name;
  }
  return name;
}

void FillProgramBlock(HWND dialog, AlertContext& context) {
  const AlertDefinition& alert = *context.alert;
  MonitorState& monitor = Monitor();
  SetDlgItemTextA(dialog, IDC_ALERT_ITEM_TEXT, g_item.text.c_str());
  if (HFONT bold = monitor.fonts[kFontSansSerif14Bold])
    SendDlgItemMessageA(dialog, IDC_ALERT_ITEM_TEXT, WM_SETFONT, reinterpret_cast<WPARAM>(bold), FALSE);
  if (alert.caption) {
    std::string caption = LoadText(alert.caption);
    if (!caption.empty()) SetWindowTextA(dialog, caption.c_str());
  }
  const VersionFields& fields = g_identified.fields;
  const std::string& file = g_identified.file;
  if (g_identified.exists)
    if (HICON icon = context.icons[0].Extract(file))
      SendDlgItemMessageA(dialog, IDC_ALERT_ICON_BUTTON, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
  SetDlgItemTextA(dialog, IDC_ALERT_NAME, NameLine(alert).c_str());
  if (HFONT arial = monitor.fonts[kFontArial18])
    SendDlgItemMessageA(dialog, IDC_ALERT_NAME, WM_SETFONT, reinterpret_cast<WPARAM>(arial), FALSE);
  SetTextIfAny(dialog, IDC_ALERT_VERSION_LABEL, alert.versionLabel);
  SetTextIfAny(dialog, IDC_ALERT_COMPANY_LABEL, 643);
  if (!fields.slot[kProductVersion].empty())
    SetDlgItemTextA(dialog, IDC_ALERT_VERSION, fields.slot[kProductVersion].c_str());
  if (!fields.slot[kCompanyName].empty()) SetDlgItemTextA(dialog, IDC_ALERT_COMPANY, fields.slot[kCompanyName].c_str());
  if (!fields.slot[kFileDescription].empty())
    SetDlgItemTextA(dialog, IDC_ALERT_DESCRIPTION, fields.slot[kFileDescription].c_str());
  if (!fields.slot[kLegalCopyright].empty())
    SetDlgItemTextA(dialog, IDC_ALERT_COPYRIGHT, fields.slot[kLegalCopyright].c_str());

  // The message.
  std::string message = LoadText(alert.message);
  if (alert.kind == AlertKind::NewStartup && message.find("%s") != std::string::npos) {
    message = FillText(message, {LoadText(StartExplanationId(g_item.type))});
    if (HFONT bold = monitor.fonts[kFontSansSerif14Bold])
      SendDlgItemMessageA(dialog, IDC_ALERT_MESSAGE, WM_SETFONT, reinterpret_cast<WPARAM>(bold), FALSE);
  } else if (alert.kind == AlertKind::NewService) {
    message += "\n\n" + ServiceTexts(g_item);
  } else if (alert.kind == AlertKind::NewTask && !g_item.nextRun.empty()) {
    message += "\n\n" + LoadText(IDS_NEXT_RUN_TIME) + ": " + g_item.nextRun;
  }
  if (!message.empty()) SetDlgItemTextA(dialog, IDC_ALERT_MESSAGE, message.c_str());
  ShowWindow(GetDlgItem(dialog, IDC_ALERT_CHECK), SW_HIDE);

  if (alert.kind != AlertKind::NewHidden) {
    SetTextIfAny(dialog, IDYES, alert.kind == AlertKind::CameBack ? 719u : static_cast<UINT>(IDS_YES));
    SetTextIfAny(dialog, IDNO, alert.kind == AlertKind::CameBack ? static_cast<UINT>(IDS_DISABLE) : 720u);
  } else {
    SetTextIfAny(dialog, IDNO, 925);
  }
  SetTextIfAny(dialog, IDC_ALERT_LOOKUP, 641);
}

// The new-program alert's answers, with the repeat rule.
int NewStartupAnswer(bool yes) {
  if (yes) {
    if (g_repeat < 2) return kAnswerYes;
    OpenHelpPage(6051);
    ResetAlertRepeat();
    return kAnswerDisable;
  }
  if (g_repeat > 1) {
    ResetAlertRepeat();
    OpenHelpPage(6051);
    return kAnswerDisable;
  }
  return g_item.type == 256 ? kAnswerDisable : kAnswerNo;
}

int Answer(const AlertDefinition& alert, int control) {
  const bool yes = control == IDYES;
  const bool no = control == IDNO;
  const bool escape = control == IDCANCEL;
  switch (alert.kind) {
    case AlertKind::NewStartup:
      return NewStartupAnswer(yes || escape);
    case AlertKind::NewService:
      if (yes) return kAnswerYes;
      if (g_refuseService) g_refuseService(g_item);
      return kAnswerNo;
    case AlertKind::NewHidden:
      return no ? kAnswerNo : kAnswerYes;
    default:
      return no ? kAnswerNo : kAnswerYes;
  }
}

INT_PTR CALLBACK AlertProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* context = reinterpret_cast<AlertContext*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      FillProgramBlock(dialog, *reinterpret_cast<AlertContext*>(lParam));
      RestoreWindowPosition(dialog, kAlertPosition);
      SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
      SetFocus(GetDlgItem(dialog, IDYES));  // not the item text: it would show selected
      return FALSE;
    case WM_COMMAND: {
      const int control = LOWORD(wParam);
      if (control == IDC_ALERT_LOOKUP) {
        LookUpProgramOnline(g_item.type + 1000, g_item.text.c_str(), g_item.name.c_str());
        SetWindowPos(dialog, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return TRUE;
      }
      if (control == IDYES || control == IDNO || control == IDCANCEL) {
        int result = Answer(*context->alert, control);
        SaveWindowPosition(dialog, kAlertPosition);
        g_item.text.clear();
        g_item.name.clear();
        g_item.filePath.clear();
        g_item.secondProgram.clear();
        g_item.nextRun.clear();
        g_item.serviceKey.clear();
        EndDialog(dialog, result);
        return TRUE;
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}

// ---- File type change alert ----------------------------------------------------

void FillFileTypeBlock(HWND dialog, AlertIcon& owned, const std::string& command, int icon, int name, int company,
                       int path) {
  std::string file = NormalizeFilePath(command.c_str());
  if (!FileExists(file)) return;  // "Path not found" stays
  VersionFields fields;
  ReadVersionInfo(file.c_str(), fields);
  std::string title = !fields.slot[kFileDescription].empty() ? fields.slot[kFileDescription] : FileNamePart(file);
  SetDlgItemTextA(dialog, name, title.c_str());
  SetDlgItemTextA(dialog, company, fields.slot[kCompanyName].c_str());
  SetDlgItemTextA(dialog, path, file.c_str());
  if (HFONT arial = Monitor().fonts[kFontArial18])
    SendDlgItemMessageA(dialog, name, WM_SETFONT, reinterpret_cast<WPARAM>(arial), FALSE);
  if (HICON handle = owned.Extract(file))
    SendDlgItemMessageA(dialog, icon, STM_SETICON, reinterpret_cast<WPARAM>(handle), 0);
}

INT_PTR CALLBACK FileTypeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto& context = *reinterpret_cast<AlertContext*>(lParam);
      std::string caption = LoadText(760);
      if (!caption.empty()) SetWindowTextA(dialog, caption.c_str());
      SetDlgItemTextA(dialog, IDC_FILETYPE_EXTENSION, g_item.name.c_str());
      if (HFONT big = Monitor().fonts[kFontVerdana18Underlined])
        SendDlgItemMessageA(dialog, IDC_FILETYPE_EXTENSION, WM_SETFONT, reinterpret_cast<WPARAM>(big), FALSE);
      SetTextIfAny(dialog, IDC_FILETYPE_OLD_LABEL, 757);
      SetTextIfAny(dialog, IDC_FILETYPE_NEW_LABEL, 758);
      SetTextIfAny(dialog, IDC_FILETYPE_QUESTION, 759);
      SetTextIfAny(dialog, IDC_FILETYPE_OLD_INFO, 301);
      SetTextIfAny(dialog, IDC_FILETYPE_NEW_INFO, 301);
      SetTextIfAny(dialog, IDYES, IDS_YES);
      SetTextIfAny(dialog, IDNO, 720);
      FillFileTypeBlock(dialog, context.icons[0], g_item.text, IDC_FILETYPE_OLD_ICON, IDC_FILETYPE_OLD_NAME,
                        IDC_FILETYPE_OLD_COMPANY, IDC_FILETYPE_OLD_PATH);
      FillFileTypeBlock(dialog, context.icons[1], g_item.secondProgram, IDC_FILETYPE_NEW_ICON, IDC_FILETYPE_NEW_NAME,
                        IDC_FILETYPE_NEW_COMPANY, IDC_FILETYPE_NEW_PATH);
      RestoreWindowPosition(dialog, kAlertPosition);
      SetFocus(GetDlgItem(dialog, IDYES));
      return FALSE;
    }
    case WM_COMMAND: {
      const int control = LOWORD(wParam);
      if (control == IDC_FILETYPE_OLD_INFO || control == IDC_FILETYPE_NEW_INFO) {
        const std::string& command = control == IDC_FILETYPE_OLD_INFO ? g_item.text : g_item.secondProgram;
        LookUpProgramOnline(g_item.type + 1000, NormalizeFilePath(command.c_str()).c_str());
        SetWindowPos(dialog, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return TRUE;
      }
      if (control == IDYES || control == IDNO || control == IDCANCEL) {
        SaveWindowPosition(dialog, kAlertPosition);
        g_item = CurrentItem{};
        EndDialog(dialog, control == IDNO ? kAnswerNo : kAnswerYes);
        return TRUE;
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}

// ---- Monitored file change alert -------------------------------------------------

std::string SysfilesKey() { return std::string(kSysfilesKey) + "\\" + g_item.name; }

void ViewInNotepad(HWND dialog, const std::string& file) {
  ViewFile(dialog, file);
  SetWindowPos(dialog, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

int AcceptOrReject(HWND dialog, bool accept) {
  const bool stop = IsDlgButtonChecked(dialog, IDC_FILECHANGE_STOP_MONITORING) == BST_CHECKED;
  const int copied = accept ? AcceptFileChange(g_item.name, g_item.filePath, stop)
                            : RejectFileChange(g_item.name, g_item.filePath, stop);
  if (!copied) {
    const DWORD error = GetLastError();  // before anything else can change it
    ShowSystemError(dialog, error, LoadText(IDS_SYSTEM_ERROR).c_str());
  }
  return copied;
}

INT_PTR CALLBACK FileChangeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      std::string caption = LoadText(1000);
      if (!caption.empty()) SetWindowTextA(dialog, caption.c_str());
      SetDlgItemTextA(dialog, IDC_FILECHANGE_NAME, g_item.name.c_str());
      if (HFONT arial = Monitor().fonts[kFontArial14])
        SendDlgItemMessageA(dialog, IDC_FILECHANGE_NAME, WM_SETFONT, reinterpret_cast<WPARAM>(arial), FALSE);
      SetDlgItemTextA(dialog, IDC_FILECHANGE_PATH, g_item.filePath.c_str());
      SetTextIfAny(dialog, IDC_FILECHANGE_HEADLINE, 1001);
      if (HFONT arial = Monitor().fonts[kFontArial18])
        SendDlgItemMessageA(dialog, IDC_FILECHANGE_HEADLINE, WM_SETFONT, reinterpret_cast<WPARAM>(arial), FALSE);
      SetTextIfAny(dialog, IDC_FILECHANGE_TEXT1, 1002);
      SetTextIfAny(dialog, IDC_FILECHANGE_TEXT2, 1003);
      SetDlgItemTextA(dialog, IDC_FILECHANGE_COMMENT,
                      ReadString(HKEY_LOCAL_MACHINE, SysfilesKey().c_str(), "Comment").c_str());
      for (auto [control, id] : {std::pair<int, UINT>{IDC_FILECHANGE_VIEW_NEW, 1006},
                                 {IDC_FILECHANGE_VIEW_PREVIOUS, 1007},
                                 {IDC_FILECHANGE_ACCEPT, 1008},
                                 {IDC_FILECHANGE_REJECT, 1009},
                                 {IDC_FILECHANGE_STOP_MONITORING, 1010}})
        SetTextIfAny(dialog, control, id);
      SetFocus(GetDlgItem(dialog, IDC_FILECHANGE_ACCEPT));
      return FALSE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_FILECHANGE_VIEW_NEW:
          ViewInNotepad(dialog, g_item.filePath);
          return TRUE;
        case IDC_FILECHANGE_VIEW_PREVIOUS:
          ViewInNotepad(dialog, SavedCopyPath(g_item.name));
          return TRUE;
        case IDC_FILECHANGE_ACCEPT:
        case IDC_FILECHANGE_REJECT: {
          int result = AcceptOrReject(dialog, LOWORD(wParam) == IDC_FILECHANGE_ACCEPT);
          SaveWindowPosition(dialog, kSysFilesPosition);
          g_item = CurrentItem{};
          EndDialog(dialog, result);
          return TRUE;
        }
        default:  // Esc and the close box: this alert ends only by a decision
          return TRUE;
      }
    default:
      return FALSE;
  }
}

}  // namespace

std::string SavedCopyOf(const std::string& file) { return SavedCopyPath(FileNamePart(file)); }

CurrentItem& CurrentAlertItem() { return g_item; }

void ResetAlertRepeat() {
  g_repeat = 0;
  g_lastText.clear();
}

void SetServiceRefusal(ServiceRefusal refuse) { g_refuseService = refuse ? refuse : RefuseCurrentService; }

int HiddenAlertAnswer(AlertKind kind) {
  const int hide = Option(DefinitionOf(kind).hideOption);
  if (hide == 0 || Option(kOptShowAlerts) != 0) return 0;
  return hide == 1 ? kAnswerYes : kAnswerNo;
}

AlertSound AlertSoundChoice(int index, std::string* file) {
  if (Option(kOptSound) <= 0) return AlertSound::None;
  const char* event = kSoundEvents[index >= 0 && index <= 5 ? index : 0];
  std::string key = std::string("AppEvents\\Schemes\\Apps\\Sentrel\\") + event + "\\.current";
  std::string sound = ReadString(HKEY_CURRENT_USER, key.c_str(), "");
  if (file) *file = sound;
  return sound.empty() ? AlertSound::BuiltIn : AlertSound::EventFile;
}

AlertSound LastAlertSound() { return g_lastSound; }

void PlayAlertSound(int index) {
  std::string file;
  g_lastSound = index < 0 ? AlertSound::None : AlertSoundChoice(index, &file);
  switch (g_lastSound) {
    case AlertSound::EventFile:
      PlaySoundA(file.c_str(), nullptr, SND_FILENAME | SND_NOWAIT);
      break;
    case AlertSound::BuiltIn:
      PlaySoundA(MAKEINTRESOURCEA(IDW_ALERT_SOUND), Monitor().instance, SND_RESOURCE | SND_NOWAIT);
      break;
    case AlertSound::None:
      break;
  }
}

int ShowAlert(HWND owner, AlertKind kind) {
  const AlertDefinition& alert = DefinitionOf(kind);
  if (int answer = HiddenAlertAnswer(kind)) {
    g_item = CurrentItem{};
    return answer;
  }
  AlertContext context;
  context.alert = &alert;
  HINSTANCE instance = Monitor().instance ? Monitor().instance : GetModuleHandleA(nullptr);
  if (kind == AlertKind::FileType || kind == AlertKind::FileChange) {
    PlayAlertSound(alert.soundIndex);
    return static_cast<int>(DialogBoxParamA(instance, MAKEINTRESOURCEA(alert.dialog), owner,
                                            kind == AlertKind::FileType ? FileTypeProc : FileChangeProc,
                                            reinterpret_cast<LPARAM>(&context)));
  }
  if (kind == AlertKind::NewStartup) {
    if (!g_lastText.empty() && lstrcmpiA(g_lastText.c_str(), g_item.text.c_str()) == 0) ++g_repeat;
    g_lastText = g_item.text;
  }
  PlayAlertSound(alert.soundIndex);
  IdentifyCurrentProgram();
  if (alert.historyType >= 0)
    AppendHistory(NameLine(alert).c_str(), g_identified.file.c_str(),
                  g_identified.fields.slot[kFileDescription].c_str(),
                  alert.historyType == 0 ? g_item.type : alert.historyType, alert.historyAction);
  return static_cast<int>(
      DialogBoxParamA(instance, MAKEINTRESOURCEA(alert.dialog), owner, AlertProc, reinterpret_cast<LPARAM>(&context)));
}

}  // namespace sentrel
