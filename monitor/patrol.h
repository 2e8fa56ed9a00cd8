// The patrol that the monitor's timer drives.
#pragma once

namespace sentrel {

// Called on every tick of timer 1 (2000 ms).
void PatrolTick();

}  // namespace sentrel
