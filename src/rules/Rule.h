#pragma once
// A collection rule as the program works with it: parsed once from the tagged
// text of its file ("[tag]value[/tag]" per line, read with TextBetween, so only
// the first pair of a tag counts and a missing tag reads as empty). All texts GBK.
#include <array>
#include <string>
#include <string_view>

namespace corvix {

// How a rule finds the price. "[style]" holds the code: "1" markers, "2" an
// element; a file with any other value finds nothing.
enum class RuleMethod { None, Markers, Element };
std::string_view MethodCode(RuleMethod method); // "1", "2", "" for None
RuleMethod MethodOfCode(std::string_view code);

// The element kinds a rule can name ("[tbd]"), in the order of the editor's
// drop-down 组合框2. Compared whole and case-sensitively.
inline constexpr std::array<std::string_view, 5> kElementKinds = {"span", "div", "input", "inputs", "text"};
// The kind's place in kElementKinds, or -1.
int ElementKindIndex(std::string_view kind);

struct Rule {
    std::string time;           // "[time]" save time, shown, never parsed
    std::string left;           // "[left]" left marker
    std::string right;          // "[right]" right marker
    RuleMethod method = RuleMethod::None; // "[style]"
    std::string elementName;    // "[tb]"
    std::string elementKind;    // "[tbd]"
    bool builtIn = false;       // "[fixed]" is "1"
    bool enabled = false;       // "[open]" is "1"
};

// The value of "[tag]" (tag given without brackets, e.g. "open").
std::string RuleField(std::string_view ruleText, std::string_view tag);
Rule ParseRule(std::string_view ruleText);
// The file text: the eight tag pairs joined by "\r\n", nothing after the last.
// A rule without a method is written as an element rule, flags as "1"/"0".
std::string ComposeRuleText(const Rule &rule);
// The edited rule as it replaces the rule whose file text is `oldText` (empty
// when there is no such rule): it keeps the old rule's enabled and built-in
// flags, so saving an edit neither closes a rule nor drops its grid column. A
// new rule starts closed and custom.
Rule ReplacingRule(Rule edited, std::string_view oldText);

} // namespace corvix
