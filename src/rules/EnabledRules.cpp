#include "rules/EnabledRules.h"

#include "rules/RuleFile.h"
#include "rules/RuleIndex.h"

namespace corvix {

std::vector<EnabledRule> LoadEnabledRules(const DataDirs &dirs, const std::function<void()> &pumpEvents)
{
    std::vector<EnabledRule> rules;
    for (std::string &title : UpdateRuleIndex(dirs, {}, false)) {
        if (pumpEvents)
            pumpEvents();
        Rule rule = ParseRule(ReadRuleText(dirs, title, StopAt::ZeroOrTextEnd));
        if (rule.enabled)
            rules.push_back({std::move(title), std::move(rule)});
    }
    return rules;
}

} // namespace corvix
