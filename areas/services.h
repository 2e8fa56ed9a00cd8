// The Windows services area: the services listed from the registry, their run
// state and start type through the Service Control Manager, the baseline of
// known services, and what is done to a service on the user's word.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace sentrel {

constexpr const char* kServicesKey = "SYSTEM\\CurrentControlSet\\Services";
constexpr const char* kServicesBaselineKey = "Software\\Orvane Works\\Sentrel\\Services";
constexpr int kTypeServiceExe = 700;   // runs its own program
constexpr int kTypeServiceHost = 701;  // hosted by svchost

// History actions of the services area.
constexpr int kActionServiceStop = 9;
constexpr int kActionServiceAutomatic = 10;  // + 1 manual, + 2 disabled
constexpr int kActionServiceDisabled = 12;
constexpr int kActionServiceWasStartPending = 18;  // + 1 stop pending, + 2 running

// The longest display name the Service Control Manager keeps; a listed
// service's name (what the baseline and the actions go by) is cut to it.
constexpr size_t kServiceNameChars = 256;

enum class ServiceListing { NamesOnly, Full };

// Fills the catalogue entry list with the services and returns their number.
// Names-only: every service key with a command, titled by its key name.
// Full: programs and hosted services only (no drivers), titled by display
// name, with start-type text, description, and HideMicrosoftServices applied;
// each entry's name is the display name uncut.
int EnumerateServices(ServiceListing mode);

// The description of the service whose program is file; its length, 0 (and
// an empty text) when no service runs that file.
int FindServiceDescriptionByFile(const char* file, std::string& description);

// The start-type text of a Start value: "Automatic", "Manual", "Disabled",
// or "0" for boot, system and anything else (its first byte decides).
std::string StartTypeText(DWORD start);
// The text of a run state (1-7; anything else reads as stopped).
std::string StateText(int state);

// The run state of the service with that display name (0 when it cannot be
// interrogated, as a stopped service cannot), with its type when asked.
// Where a key is given (a listed service's), that service is the one asked,
// changed or stopped, never another of the same display name.
int QueryServiceState(const char* displayName, DWORD* serviceType = nullptr, const char* key = nullptr);
// The same number; text gets the state's text ("Stopped" for 0).
int ServiceStateText(const char* displayName, std::string& text, const char* key = nullptr);
// The run states of many services, as QueryServiceState gives each, asked
// through one connection to the manager; services it lists as stopped are
// not interrogated (they cannot be).
std::vector<int> QueryServiceStates(const std::vector<std::string>& displayNames);
// The controls the running service accepts; 0 on any failure.
DWORD QueryControlsAccepted(const char* displayName, const char* key = nullptr);
// Sends a control (1 = stop); non-zero when the service took it.
int SendServiceControl(const char* displayName, DWORD control, const char* key = nullptr);
// Writes Start (2, 3 or 4) into the key of the service with that display
// name; non-zero when one was found and written.
int SetServiceStartType(const char* displayName, DWORD start, const char* key = nullptr);
// The Start value of the service's own key; -1 when there is none.
long ServiceStartValue(const char* displayName, const char* key = nullptr);

// The baseline of known services (builds it when its marker is missing).
int CreateServicesBaseline();
// Whether the baseline knows a service title (a value reading non-zero).
bool IsServiceKnown(HKEY baseline, const std::string& title);
int WriteServiceBaseline(const std::string& title, int type);

// The user's actions, each recorded in the history only when it happened.
// Stop: control 1, then SERVICE_Stop.
int StopServiceRecorded(const std::string& title, const std::string& path, int type, const std::string& key = "");
// A start type chosen from the list (0 automatic, 1 manual, 2 disabled): the
// run state's event, the new type's event, the registry's Start value.
int ApplyServiceStartType(const std::string& title, const std::string& path, int type, int index,
                          const std::string& key = "");
// A new service refused: its state's event, stopped, disabled.
void RefuseService(const std::string& title, const std::string& path, int type, const std::string& key = "");

// What the services look like in the registry, read cheaply (key names,
// commands, display names, hosted libraries), with what decides the full
// listing besides (the Microsoft filter, the baseline's last change). Two
// equal signatures mean the full listing would find nothing new.
std::string ServicesSignature();

}  // namespace sentrel
