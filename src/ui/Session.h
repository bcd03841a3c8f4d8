#pragma once
// The state of one program session that the windows share: the data root, the
// enabled rules and what changed since start-up. The
// application shell owns the one Session and hands it to the controllers;
// tests make their own. Everything runs on the UI thread; nothing is locked.
#include "rules/EnabledRules.h"
#include "support/DataDirs.h"

#include <optional>
#include <string>
#include <vector>

namespace corvix {

// The grid cell that the grid's menu and a typed entry act on: the site cell
// last right-clicked or entered, or the cell of the link a run captures.
struct CurrentCell {
    int row = 0;
    int column = 0;
    std::string title; // GBK column title
    void Reset() { *this = CurrentCell{}; }
};

struct Session {
    DataDirs dirs;
    // Fixed at start-up, in column order: grid column k + 1 is entry k - 1.
    std::vector<EnabledRule> enabledRules;
    bool resultsChanged = false;
    // The text of alerts.ini with the crossings a run's notices left: saved in
    // one change with the run's record, which is saved right after them.
    std::optional<std::string> alertsAfterRun;
    CurrentCell currentCell;
};

} // namespace corvix
