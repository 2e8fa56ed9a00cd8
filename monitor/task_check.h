// The patrol's check of the scheduled tasks.
#pragma once

namespace sentrel {

// Asks about every task the baseline does not know, while the scheduler
// runs (it never starts it). Returns 0 when the patrol must end at once.
int CheckScheduledTasks();

}  // namespace sentrel
