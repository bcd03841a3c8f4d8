#pragma once
// Rule files "<title>.spider.cfg" in the rule directory: tagged GBK text, one
// "[tag]value[/tag]" per line. Values are read with TextBetween, so only the
// first pair of a tag counts and a missing tag reads as the empty value.
#include "rules/Rule.h"
#include "support/DataDirs.h"
#include "support/FileIo.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace corvix {

std::filesystem::path RuleFilePath(const DataDirs &dirs, std::string_view title);

// The rule file's text (up to the first zero byte, or also the first 0x1A with
// StopAt::ZeroOrTextEnd). Empty when the file is missing or the title is no
// valid file name: a rule that is not there reads as a rule without fields.
std::string ReadRuleText(const DataDirs &dirs, std::string_view title, StopAt stop);

// The text after the enabled flag is switched: a text without any "[open]" gets
// "\r\n[open]1[/open]" appended (whatever `enable` says); otherwise every pair
// "[open]" + current value + "[/open]" gets the value "1" or "0".
std::string ToggledRuleText(std::string_view text, bool enable);
// True when the text has an "[open]" without a "[/open]" after it: its flag can
// be neither read nor switched.
bool OpenFlagUnclosed(std::string_view text);

// What writing a rule's enabled flag came to. The flag is written as
// ToggledRuleText writes it (a file without one becomes enabled); a rule whose
// file is gone, cannot be read or whose flag cannot be read keeps its file as
// it is.
struct RuleSwitch {
    enum class Outcome { Written, NoRuleFile, FlagUnclosed, Failed };
    Outcome outcome = Outcome::NoRuleFile;
    bool enabled = false; // the state written (Written only)
    FileError error;      // Failed only: the file could not be read or written
};
RuleSwitch SwitchRule(const DataDirs &dirs, std::string_view title, bool enable);

// Replaces the rule file atomically; the old file stays when the write fails.
// A title that is no valid file name (IsValidRuleTitle) is written nowhere and
// fails too.
Result<void> WriteRuleText(const DataDirs &dirs, std::string_view title, std::string_view text);

// Deletes the rule file: true when one was deleted, false when there was none
// (already missing, or a title no file can carry). An error names the file
// when it is there and cannot be deleted; a directory of that name is no rule
// and is not deleted.
Result<bool> DeleteRuleFile(const DataDirs &dirs, std::string_view title);

// Saves an edited rule under title: it replaces the rule of that title as
// ReplacingRule says (keeping its flags), and the index gets a line for it
// unless it has one. Gives the rule as written. A rule file that is there and
// cannot be read stops the save before anything is written: its flags are
// not known. A title that is no file name is written nowhere.
Result<Rule> StoreRule(const DataDirs &dirs, std::string_view title, Rule edited);

// Deletes the rule: every index line of its title and its file. The index goes
// first: when it cannot be read or written, nothing has changed. When the file
// cannot be deleted, the index gets its old bytes back and the error names the
// rule file (and, should that fail too, says the index lost the title).
Result<void> DeleteRule(const DataDirs &dirs, std::string_view title);

} // namespace corvix
