// The patrol's check of the file type area.
#pragma once

namespace sentrel {

// Compares every monitored association with its baseline and asks about
// (or, locked, puts back) a changed one. 0 when the patrol must end at once.
int CheckFileTypes();

}  // namespace sentrel
