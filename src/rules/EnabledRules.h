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

// A rule column to insert: `at` counts the rule columns before it, taken after
// the inserts listed before this one.
struct RuleColumnInsert {
    int at = 0;
    std::string title;
};

// The columns that the rules of `enabled` (in index order) lack among the
// rule columns `shown` (in column order), each placed just after the nearest
// rule before it in `indexTitles` that has a column, or first when none has;
// so a grid built in index order gets the columns of a fresh start. Shown
// columns never move or go, whatever rule they belong to now.
std::vector<RuleColumnInsert> PlaceNewRuleColumns(const std::vector<std::string> &shown,
                                                  const std::vector<std::string> &indexTitles,
                                                  const std::vector<std::string> &enabled);

} // namespace corvix
