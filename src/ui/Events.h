#pragma once
// The event pump for the window thread's own long loops (a capture run between
// its links), so that the window stays responsive. The core never pumps.

namespace corvix {

void ProcessPendingEvents();
// For loops whose single steps are too cheap to pump after each one: pumps
// only when a few milliseconds have passed since the last throttled pump, so
// the window stays responsive at a small fraction of the cost.
void ProcessPendingEventsThrottled();

} // namespace corvix
