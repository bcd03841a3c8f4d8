#include "rules/EnabledRules.h"

#include "rules/RuleFile.h"
#include "rules/RuleIndex.h"

#include <algorithm>

namespace corvix {

std::vector<EnabledRule> LoadEnabledRules(const DataDirs &dirs, const std::function<void()> &pumpEvents)
{
    std::vector<EnabledRule> rules;
    for (std::string &title : ReadRuleIndex(dirs)) {
        if (pumpEvents)
            pumpEvents();
        Rule rule = ParseRule(ReadRuleText(dirs, title, StopAt::ZeroOrTextEnd));
        if (rule.enabled)
            rules.push_back({std::move(title), std::move(rule)});
    }
    return rules;
}

std::vector<RuleColumnInsert> PlaceNewRuleColumns(const std::vector<std::string> &shown,
                                                  const std::vector<std::string> &indexTitles,
                                                  const std::vector<std::string> &enabled)
{
    std::vector<std::string> columns = shown;
    const auto columnOf = [&columns](const std::string &title) {
        return std::find(columns.begin(), columns.end(), title);
    };
    std::vector<RuleColumnInsert> inserts;
    for (const std::string &title : enabled) {
        if (columnOf(title) != columns.end())
            continue;
        const auto inIndex = std::find(indexTitles.begin(), indexTitles.end(), title);
        int at = 0;
        for (auto before = inIndex; before != indexTitles.begin();) {
            const auto column = columnOf(*--before);
            if (column != columns.end()) {
                at = static_cast<int>(column - columns.begin()) + 1;
                break;
            }
        }
        columns.insert(columns.begin() + at, title);
        inserts.push_back({at, title});
    }
    return inserts;
}

} // namespace corvix
