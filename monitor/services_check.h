// The patrol's check for newly installed services.
#pragma once

namespace sentrel {

// Lists the services and puts each one the baseline does not know to the
// user; returns 0 when the patrol must end at once (hand-over, exit).
int CheckForNewServices();
// The next check lists the services in full whatever it finds.
void ForgetServicesSignature();

}  // namespace sentrel
