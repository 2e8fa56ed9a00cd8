// The Recent page: the programs and files of every watched area in one list,
// newest first, with each area's own action.
#pragma once

#include <string>
#include <vector>

#include "catalogue.h"
#include "list_page.h"

namespace sentrel {

extern const ListPageHooks kRecentPageHooks;

// The areas the Recent list gathers, in the order they are listed.
enum RecentArea : int {
  kRecentActive = 1010,
  kRecentActiveX = 1020,
  kRecentHidden = 1030,
  kRecentIEHelper = 1040,
  kRecentTask = 1050,
  kRecentService = 1060,
  kRecentStartup = 1070,
};

constexpr int kMaxRecentEntries = 4096;

struct RecentEntry {
  int area = 0;
  std::string file;       // the program or file, as it exists on disk
  std::string firstSeen;  // from the area's first-seen store
  CatalogueEntry item;    // as its area listed it: what the actions act on
};

// The Recent list: built when empty, kept until an action or Refresh
// rebuilds it, freed with the sheet.
const std::vector<RecentEntry>& RecentEntries();
int BuildRecentList();
void ClearRecentList();

// The type text (1193-1199) and the action button's caption (0: none) of an area.
UINT RecentTypeTextId(int area);
UINT RecentActionCaptionId(int area);

}  // namespace sentrel
