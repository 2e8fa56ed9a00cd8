// The first-seen store (HKCU Software\Orvane Works\Detected\<area>): one
// value per program, file or item holding the date-time of its first sighting.
#pragma once

#include "settings.h"  // kDetectedKey

namespace sentrel {

// The Detected sub-key for a type code ("Startup", "Hidden", ...).
const char* FirstSeenArea(int type);
int RecordFirstSeen(const char* text, const char* area);
int ReadFirstSeen(const char* text, int type, char* dest);  // dest of 24

}  // namespace sentrel
