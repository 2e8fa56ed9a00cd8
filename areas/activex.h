// ActiveX controls: the controls the browser has used (or every control with
// a compatibility entry), switched off and on with the browser's kill bit,
// and their baseline.
#pragma once

#include <windows.h>

#include <string>

#include "catalogue.h"

namespace sentrel {

constexpr int kTypeActiveX = 1200;
constexpr DWORD kKillBit = 0x00000400;

constexpr const char* kActiveXCompatibilityKey = "SOFTWARE\\Microsoft\\Internet Explorer\\ActiveX Compatibility";
constexpr const char* kActiveXStatsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Stats";
constexpr const char* kActiveXBaselineKey = "Software\\Orvane Works\\Sentrel\\ActiveX";

// The compatibility flags as stored (a REG_DWORD); 0 when there are none or
// the value is of another type.
DWORD ReadCompatibilityFlags(const char* classId);
int IsActiveXEnabled(const char* classId);
// Set and clear the kill bit, writing every other bit back unchanged. Disable
// creates the compatibility key when needed; Enable never does. On 64-bit
// Windows both act on the key of each view, so that the 32-bit browser obeys
// too. Both return 0 for a text that cannot name a key.
int DisableActiveX(const char* classId);
int EnableActiveX(const char* classId);

// The controls the browser has used; without append the list is cleared
// first. Returns the count of the list. The page's "non-Microsoft only"
// filter applies unless everyCompany is set: the patrol and its baseline
// watch every control, whatever company its file claims.
int EnumerateActiveX(bool append, bool everyCompany = false);
// Clears the list, lists the browser's controls, then every control with a
// compatibility key (by its AlternateCLSID where it has one).
int EnumerateAllActiveX();

// Builds the ActiveX baseline unless its "P" marker is there.
int CreateActiveXBaseline();

}  // namespace sentrel
