#include "rules/RuleFile.h"

#include "rules/RuleIndex.h"
#include "rules/RuleTitle.h"
#include "support/PathText.h"
#include "support/Gbk.h"
#include "support/TextUtils.h"

#include <system_error>

namespace corvix {

std::filesystem::path RuleFilePath(const DataDirs &dirs, std::string_view title)
{
    return PathInDir(dirs.spiderDir, std::string(title) + ".spider.cfg");
}

std::string ReadRuleText(const DataDirs &dirs, std::string_view title, StopAt stop)
{
    if (!IsValidRuleTitle(title))
        return {};
    return ReadWholeFile(RuleFilePath(dirs, title), stop).value_or(std::string());
}

std::string ToggledRuleText(std::string_view text, bool enable)
{
    if (FindText(text, "[open]") == kNotFound)
        return std::string(text) + "\r\n[open]1[/open]";
    const std::string current = "[open]" + RuleField(text, "open") + "[/open]";
    return ReplaceText(text, current, enable ? "[open]1[/open]" : "[open]0[/open]");
}

bool OpenFlagUnclosed(std::string_view text)
{
    const TextPos open = FindText(text, "[open]");
    return open != kNotFound && FindText(text, "[/open]", open + TextLength("[open]")) == kNotFound;
}

RuleSwitch SwitchRule(const DataDirs &dirs, std::string_view title, bool enable)
{
    RuleSwitch result;
    // Nothing is created for a rule whose file is gone: it would be listed
    // enabled while start-up finds no rule to give a column.
    std::error_code error;
    if (!IsValidRuleTitle(title) || !std::filesystem::is_regular_file(RuleFilePath(dirs, title), error))
        return result;
    const Result<std::string> read = ReadWholeFile(RuleFilePath(dirs, title), StopAt::ZeroOrTextEnd);
    if (!read) {
        result.outcome = read.error().absent ? RuleSwitch::Outcome::NoRuleFile : RuleSwitch::Outcome::Failed;
        result.error = read.error();
        return result;
    }
    const std::string &text = *read;
    if (OpenFlagUnclosed(text)) {
        result.outcome = RuleSwitch::Outcome::FlagUnclosed;
        return result;
    }
    const bool enabled = enable || FindText(text, "[open]") == kNotFound;
    if (const auto written = WriteRuleText(dirs, title, ToggledRuleText(text, enabled)); !written) {
        result.outcome = RuleSwitch::Outcome::Failed;
        result.error = written.error();
        return result;
    }
    result.outcome = RuleSwitch::Outcome::Written;
    result.enabled = enabled;
    return result;
}

Result<void> WriteRuleText(const DataDirs &dirs, std::string_view title, std::string_view text)
{
    if (!IsValidRuleTitle(title))
        return Failure(RuleFilePath(dirs, title), QStringLiteral("not a valid file name"));
    return WriteFileAtomically(RuleFilePath(dirs, title), text);
}

Result<bool> DeleteRuleFile(const DataDirs &dirs, std::string_view title)
{
    if (!IsValidRuleTitle(title))
        return false;
    const std::filesystem::path path = RuleFilePath(dirs, title);
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(path, ec);
    if (ec || !std::filesystem::exists(status))
        return false;
    // Only a file: a directory of that name is not a rule.
    if (std::filesystem::is_directory(status))
        return Failure(path, QString::fromStdString(std::make_error_code(std::errc::is_a_directory).message()));
    if (!std::filesystem::remove(path, ec) || ec)
        return Failure(path, QString::fromStdString(
                                 (ec ? ec : std::make_error_code(std::errc::no_such_file_or_directory)).message()));
    return true;
}

Result<Rule> StoreRule(const DataDirs &dirs, std::string_view title, Rule edited)
{
    if (!IsValidRuleTitle(title))
        return Failure(RuleFilePath(dirs, title), QStringLiteral("not a valid file name"));
    const Result<std::string> old = AbsentAsEmpty(ReadWholeFile(RuleFilePath(dirs, title), StopAt::ZeroOrTextEnd));
    if (!old)
        return tl::unexpected(old.error());
    Rule rule = ReplacingRule(std::move(edited), *old);
    if (Result<void> written = WriteRuleText(dirs, title, ComposeRuleText(rule)); !written)
        return tl::unexpected(std::move(written.error()));
    // A title the index already lists keeps its line, so the rule keeps its place.
    if (auto indexed = UpdateRuleIndex(dirs, title, false); !indexed)
        return tl::unexpected(std::move(indexed.error()));
    return rule;
}

Result<void> DeleteRule(const DataDirs &dirs, std::string_view title)
{
    const std::filesystem::path indexPath = RuleIndexPath(dirs);
    const Result<std::string> oldIndex = AbsentAsEmpty(ReadWholeFile(indexPath));
    if (!oldIndex)
        return tl::unexpected(oldIndex.error());
    if (const auto removed = UpdateRuleIndex(dirs, title, true); !removed)
        return tl::unexpected(removed.error());
    const Result<bool> deleted = DeleteRuleFile(dirs, title);
    if (deleted)
        return {};
    // The rule stays, so its index line comes back.
    FileError error = deleted.error();
    if (const auto restored = WriteFileAtomically(indexPath, *oldIndex); !restored)
        error.reason += QStringLiteral("; ") + PathText(indexPath) + QStringLiteral(": ") + restored.error().reason;
    return tl::unexpected(std::move(error));
}

} // namespace corvix
