#include "rules/Rule.h"

#include "support/TextUtils.h"

#include <algorithm>
#include <utility>

namespace corvix {

std::string_view MethodCode(RuleMethod method)
{
    switch (method) {
    case RuleMethod::Markers:
        return "1";
    case RuleMethod::Element:
        return "2";
    case RuleMethod::None:
        break;
    }
    return {};
}

RuleMethod MethodOfCode(std::string_view code)
{
    if (code == MethodCode(RuleMethod::Markers))
        return RuleMethod::Markers;
    if (code == MethodCode(RuleMethod::Element))
        return RuleMethod::Element;
    return RuleMethod::None;
}

int ElementKindIndex(std::string_view kind)
{
    const auto at = std::find(kElementKinds.begin(), kElementKinds.end(), kind);
    return at == kElementKinds.end() ? -1 : static_cast<int>(at - kElementKinds.begin());
}

std::string RuleField(std::string_view ruleText, std::string_view tag)
{
    const std::string open = "[" + std::string(tag) + "]";
    const std::string close = "[/" + std::string(tag) + "]";
    return TextBetween(ruleText, open, close);
}

Rule ParseRule(std::string_view ruleText)
{
    Rule rule;
    rule.time = RuleField(ruleText, "time");
    rule.left = RuleField(ruleText, "left");
    rule.right = RuleField(ruleText, "right");
    rule.method = MethodOfCode(RuleField(ruleText, "style"));
    rule.elementName = RuleField(ruleText, "tb");
    rule.elementKind = RuleField(ruleText, "tbd");
    rule.builtIn = RuleField(ruleText, "fixed") == "1";
    rule.enabled = RuleField(ruleText, "open") == "1";
    return rule;
}

Rule ReplacingRule(Rule edited, std::string_view oldText)
{
    const Rule old = ParseRule(oldText);
    edited.enabled = old.enabled;
    edited.builtIn = old.builtIn;
    return edited;
}

std::string ComposeRuleText(const Rule &rule)
{
    const std::string_view style = rule.method == RuleMethod::Markers ? MethodCode(RuleMethod::Markers)
                                                                      : MethodCode(RuleMethod::Element);
    std::string text;
    text.reserve(160 + rule.time.size() + rule.left.size() + rule.right.size() + rule.elementName.size()
                 + rule.elementKind.size());
    text += "[time]" + rule.time + "[/time]";
    text += "\r\n[left]" + rule.left + "[/left]";
    text += "\r\n[right]" + rule.right + "[/right]";
    text += "\r\n[style]" + std::string(style) + "[/style]";
    text += "\r\n[tb]" + rule.elementName + "[/tb]";
    text += "\r\n[tbd]" + rule.elementKind + "[/tbd]";
    text += std::string("\r\n[fixed]") + (rule.builtIn ? "1" : "0") + "[/fixed]";
    text += std::string("\r\n[open]") + (rule.enabled ? "1" : "0") + "[/open]";
    return text;
}

} // namespace corvix
