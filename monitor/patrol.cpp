// The patrol tick. The area checks and their schedule plug in here; until
// then a tick does nothing at all, which is also what an idle tick must cost.
#include "patrol.h"

namespace sentrel {

void PatrolTick() {}

}  // namespace sentrel
