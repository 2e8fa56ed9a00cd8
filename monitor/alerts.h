// The change alerts: modal dialogs owned by the monitor's window that put a
// new or changed item to the user, and the rules that answer them unseen.
#pragma once

#include <windows.h>

#include <string>

namespace sentrel {

constexpr int kAnswerYes = 6;
constexpr int kAnswerNo = 7;
constexpr int kAnswerDisable = 11;

// The item the next alert is about; filled by the caller before it opens one.
struct CurrentItem {
  std::string text;           // command line or file, at most 260 characters
  std::string name;           // entry, task, service, file type or file name
  int type = 0;               // type code of the item
  std::string secondProgram;  // file type alert: the program now associated
  std::string filePath;       // file change alert: the monitored file
  std::string nextRun;        // task alert: the task's next run time
  std::string serviceKey;     // service alert: the service's registry key
};
CurrentItem& CurrentAlertItem();

enum class AlertKind {
  NewStartup,
  CameBack,
  NewTask,
  NewService,
  NewIEHelper,
  NewActiveX,
  NewHidden,
  FileType,    // result 6 or 7
  FileChange,  // result 1 when the file copy succeeded, else 0
};

// The saved copy of a monitored file (in the data folder, by its name).
std::string SavedCopyOf(const std::string& file);

// The answer an alert gets without being shown (6 or 7), or 0 when it must
// be shown: only while ShowAlerts is 0 and the area's Hide option is set.
int HiddenAlertAnswer(AlertKind kind);

// Shows the alert for the current item (after the sound) and returns its
// result; answers by the hide rule without dialog, sound or history.
int ShowAlert(HWND owner, AlertKind kind);

// The alert sounds.
enum class AlertSound { None, EventFile, BuiltIn };
AlertSound AlertSoundChoice(int index, std::string* file);
void PlayAlertSound(int index);  // index -1 plays nothing
AlertSound LastAlertSound();     // what the last alert played

// The new-program alert's memory of the last item and its repeat count.
void ResetAlertRepeat();

// The service actions of the new service alert's No: by default the services
// area's refusal (interrogate, stop, disable, record what happened); null
// puts that back.
using ServiceRefusal = void (*)(const CurrentItem& item);
void SetServiceRefusal(ServiceRefusal refuse);

}  // namespace sentrel
