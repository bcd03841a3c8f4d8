// The rule file reader: the eight tagged fields, the enabled flag's toggle, and
// a rule written by the editor read back.
#include "FuzzSupport.h"
#include "rules/Rule.h"
#include "rules/RuleFile.h"
#include "support/TextUtils.h"

using namespace corvix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view text = fuzz::Bytes(data, size);
    (void)ParseRule(text);

    // The toggle gives the flag asked for, unless its closing tag is missing;
    // without any "[open]" it appends an enabled one.
    if (!OpenFlagUnclosed(text)) {
        FUZZ_CHECK(ParseRule(ToggledRuleText(text, true)).enabled);
        if (FindText(text, "[open]") != kNotFound)
            FUZZ_CHECK(!ParseRule(ToggledRuleText(text, false)).enabled);
    }

    // Fields of whole characters without a tag of their own read back as written.
    const std::vector<std::string> f = fuzz::Pieces(text, 5);
    Rule rule;
    rule.time = f[0];
    rule.left = f[1];
    rule.right = f[2];
    rule.elementName = f[3];
    rule.elementKind = f[4];
    rule.method = size % 2 ? RuleMethod::Markers : RuleMethod::Element;
    for (size_t i = 0; i < 5; ++i)
        if (!fuzz::WholeGbk(f[i]) || FindText(f[i], "[") != kNotFound)
            return 0;
    const Rule read = ParseRule(ComposeRuleText(rule));
    FUZZ_CHECK(read.time == rule.time && read.left == rule.left && read.right == rule.right);
    FUZZ_CHECK(read.elementName == rule.elementName && read.elementKind == rule.elementKind);
    FUZZ_CHECK(read.method == rule.method && !read.enabled && !read.builtIn);
    return 0;
}
