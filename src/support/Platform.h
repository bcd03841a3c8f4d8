#pragma once
// The few facts that differ between operating systems.

namespace corvix {

bool RunningAsRoot();

} // namespace corvix
