#pragma once
// The rule index "orlist.txt" in the class directory: one rule title per CR LF
// line, in the order of the rule list and of the product-grid columns.
#include "support/DataDirs.h"
#include "support/Result.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

std::filesystem::path RuleIndexPath(const DataDirs &dirs);

// The titles of an index text: cleaned (CleanListText), split at its line
// breaks, without the empty lines that cleaning leaves at either end. A line of
// blanks is a title (a rule may be called " ").
std::vector<std::string> RuleIndexTitles(std::string_view indexText);

// The titles of the index, blank lines left out. Creates the index empty when
// it is missing; an index that cannot be read lists no rules.
std::vector<std::string> ReadRuleIndex(const DataDirs &dirs);

// Adds the title (remove false; nothing changes when a line already equals it)
// or removes every line equal to it (remove true), or only reads (title empty).
// Gives the titles after the change. The index is replaced atomically; when
// that write fails (or a title to add is no valid file name) the index stays
// as it was and the error names it. An index that cannot be read is not
// written (the error has `read` set).
Result<std::vector<std::string>> UpdateRuleIndex(const DataDirs &dirs, std::string_view title, bool remove);

} // namespace corvix
