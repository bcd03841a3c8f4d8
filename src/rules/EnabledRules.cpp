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
        std::string text = ReadRuleText(dirs, title, StopAt::ZeroOrTextEnd);
        if (RuleField(text, "open") == "1")
            rules.push_back({std::move(title), std::move(text)});
    }
    return rules;
}

} // namespace corvix
