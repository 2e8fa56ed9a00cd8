// The patrol's checks of the browser add-ons: new IE helpers and new ActiveX
// controls, each put to the user (or answered by the hide options) and the
// answer carried out.
#pragma once

namespace sentrel {

// Both return 0 when the patrol must end at once (a hand-over to the
// elevated monitor, or an exit asked for inside an alert), else 1.
int CheckIEHelpers();
int CheckActiveX();

}  // namespace sentrel
