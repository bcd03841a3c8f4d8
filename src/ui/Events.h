#pragma once
// The event pump for the window thread's own long loops (start-up), so that
// the window stays responsive. The core never pumps.

namespace corvix {

void ProcessPendingEvents();

} // namespace corvix
