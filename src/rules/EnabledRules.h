#pragma once
#include "rules/Rule.h"
#include "support/DataDirs.h"

#include <functional>
#include <string>
#include <vector>

namespace corvix {

// An enabled rule: its title (the grid column title) and the rule its file holds.
struct EnabledRule {
    std::string title;
    Rule rule;
};

// The rules whose "[open]" value is exactly "1", in index order, each read up
// to its first zero byte or 0x1A. Creates an empty index when there is none.
// `pumpEvents` runs before each rule so that the window stays responsive.
std::vector<EnabledRule> LoadEnabledRules(const DataDirs &dirs, const std::function<void()> &pumpEvents = {});

} // namespace corvix
