#pragma once
// The rule index "orlist.txt" in the class directory: one rule title per CR LF
// line, in the order of the rule list and of the product-grid columns.
#include "support/DataDirs.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

std::filesystem::path RuleIndexPath(const DataDirs &dirs);

// Reads the index (title empty), or adds the title (remove false; nothing
// changes when a line already equals it) or removes every line equal to it
// (remove true). Creates the index empty when it is missing. Gives the titles
// after the change, blank lines left out. The index is replaced atomically;
// when that write fails (or a title to add is no valid file name) the index and
// the result stay as they were, and `written` (when given) says false.
std::vector<std::string> UpdateRuleIndex(const DataDirs &dirs, std::string_view title, bool remove,
                                         bool *written = nullptr);

} // namespace corvix
