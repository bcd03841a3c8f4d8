#pragma once
// The event pump that every long loop calls, so that the window stays
// responsive (and other handlers may run in between).
#include <filesystem>
#include <string>
#include <vector>

namespace corvix {

void ProcessPendingEvents();
// For loops whose single steps are too cheap to pump after each one (thousands
// of rows or cells): pumps only when a few milliseconds have passed since the
// last throttled pump, so the window stays responsive at a small fraction of
// the cost.
void ProcessPendingEventsThrottled();

// Names (or dir/name paths) of the regular files in dir whose name matches the
// wildcard pattern ("*.txt"), sorted by name ascending, since not every file
// system lists in that order. Pending events run after each match.
std::vector<std::filesystem::path> ListFiles(const std::filesystem::path &dir, const std::string &pattern,
                                             bool withPath);

} // namespace corvix
