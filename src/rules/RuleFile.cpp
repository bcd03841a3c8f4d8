#include "rules/RuleFile.h"

#include "rules/RuleTitle.h"
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

Result<void> WriteRuleText(const DataDirs &dirs, std::string_view title, std::string_view text)
{
    if (!IsValidRuleTitle(title))
        return Failure(RuleFilePath(dirs, title), QStringLiteral("not a valid file name"));
    return WriteFileAtomically(RuleFilePath(dirs, title), text);
}

RuleDeleteResult DeleteRuleFile(const DataDirs &dirs, std::string_view title)
{
    if (!IsValidRuleTitle(title))
        return RuleDeleteResult::InvalidTitle;
    const std::filesystem::path path = RuleFilePath(dirs, title);
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(path, ec);
    if (ec || !std::filesystem::exists(status))
        return RuleDeleteResult::AlreadyMissing;
    // Only a file: a directory of that name is not a rule.
    if (std::filesystem::is_directory(status))
        return RuleDeleteResult::DeleteFailed;
    return std::filesystem::remove(path, ec) && !ec ? RuleDeleteResult::Deleted : RuleDeleteResult::DeleteFailed;
}

} // namespace corvix
