// The patrol: every tick of timer 1 decides whether a patrol or an
// immediate check runs; a patrol checks one half of the watched areas, each
// area only every N-th time its half comes round.
#pragma once

#include <windows.h>

#include <cstddef>

#include "settings.h"

namespace sentrel {

// One watched area, in patrol order. The patrol knows nothing of its
// insides: it counts down, and calls check when the area comes due.
struct PatrolArea {
  const char* label;     // trace text
  int half;              // 0 = first half, 1 = second half
  int patrolTimeOption;  // OptionId, or -1 for "every time its half runs"
  int realtimeOption;    // OptionId, or -1 when an immediate check never brings it forward
  bool (*condition)();   // platform condition; null = always
  int (*check)();        // the area's check; returns 0 when the patrol must end at once
};

// The thirteen areas; areas whose checks are not built yet have a null check.
const PatrolArea* PatrolAreas(size_t* count);

struct PatrolState {
  int tickCounter = 0;
  int consecutiveRequests = 0;
  int consecutiveChanges = 0;  // ticks in a row that served the companion's changes
  int half = 0;
  int iconRefresh = 0;
  DWORD referenceTime = 0;
  bool running = false;
  int countdown[16] = {};
  int reload[16] = {};
  // Changes the companion saw: the ticks so far, per area the tick from
  // which a change may bring it forward again and its checks for changes in
  // a row; the change bits held until then.
  int ticks = 0;
  int changeDue[16] = {};
  int changeRun[16] = {};
  unsigned heldChanges = 0;
  // Delayed start: ticks since the last step, steps taken, programs started,
  // and the number of delayed-start programs counted at start.
  int delayTicks = 0;
  int delaySteps = 0;
  int launched = 0;
  int delayedTotal = 0;
};
PatrolState& Patrol();

// Seams for tests: the area table, the clock and the process watch.
void SetPatrolAreas(const PatrolArea* areas, size_t count);
using PatrolClock = DWORD (*)();
void SetPatrolClock(PatrolClock clock);
using ProcessWatch = int (*)(bool* changed);
void SetProcessWatch(ProcessWatch watch);

// The delayed-start launcher: starts the delayed programs whose time is the
// given number of seconds and returns how many it started.
using DelayedLauncher = int (*)(int seconds);
void SetDelayedLauncher(DelayedLauncher launcher);
// The Windows settings watch run at the start of each patrol; non-zero when
// it handed over to the elevated monitor (the patrol then ends at once).
using SettingsWatch = int (*)();
void SetSettingsWatch(SettingsWatch watch);

// Countdowns and reload values from the patrol-time options.
void LoadAreaCountdowns();
void PatrolTick();
int RunPatrol();
void RunImmediateCheck();
// Checks at once, in a patrol of their own, the areas the companion saw
// change whose Realtime option is on; other areas and the halves' turns are
// left as they were.
void RunChangedAreasCheck();
// Hands over to SentrelUac.exe when a change needs administrative rights;
// non-zero when it did (the patrol then ends at once).
int ElevationHandOver();
int CheckStartupPrograms();

}  // namespace sentrel
