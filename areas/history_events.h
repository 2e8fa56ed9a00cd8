// The history file's events as catalogue entries (the History dialog), and
// putting back what a restorable event took away.
#pragma once

namespace sentrel {

// Fills the catalogue entry list with the events; returns their number.
int LoadHistory();
int RestoreHistoryEvent(int index);

}  // namespace sentrel
