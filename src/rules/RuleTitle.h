#pragma once
#include <string_view>

namespace corvix {

// Whether a rule title (GBK) can name its rule file "<title>.spider.cfg" inside
// the rule directory on every platform the data may travel to. Titles that fail
// must neither create, read nor delete any file.
bool IsValidRuleTitle(std::string_view gbkTitle);

} // namespace corvix
