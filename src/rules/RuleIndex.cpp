#include "rules/RuleIndex.h"

#include "rules/RuleTitle.h"
#include "support/FileIo.h"
#include "support/ListText.h"
#include "support/TextUtils.h"

#include <algorithm>
#include <system_error>

namespace corvix {

std::filesystem::path RuleIndexPath(const DataDirs &dirs) { return dirs.classDir / "orlist.txt"; }

// Cleaning leaves an empty first or last line when the text starts or ends
// with more than one line break ("\r\n\r\nA" keeps "\r\nA"); such a line is no
// title, so it is left out here too.
std::vector<std::string> RuleIndexTitles(std::string_view indexText)
{
    std::vector<std::string> titles = SplitText(CleanListText(indexText), "\r\n");
    std::erase_if(titles, [](const std::string &line) { return line.empty(); });
    return titles;
}

std::vector<std::string> ReadRuleIndex(const DataDirs &dirs)
{
    const std::filesystem::path path = RuleIndexPath(dirs);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        (void)WriteFileAtomically(path, {});
    return RuleIndexTitles(ReadWholeFile(path, StopAt::ZeroByte).value_or(std::string()));
}

Result<std::vector<std::string>> UpdateRuleIndex(const DataDirs &dirs, std::string_view title, bool remove)
{
    if (title.empty())
        return ReadRuleIndex(dirs);
    const std::filesystem::path path = RuleIndexPath(dirs);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        (void)WriteFileAtomically(path, {});
    // An index that cannot be read is not rewritten from nothing: it would
    // lose every other rule's line.
    Result<std::string> read = AbsentAsEmpty(ReadWholeFile(path, StopAt::ZeroByte));
    if (!read)
        return tl::unexpected(std::move(read.error()));
    std::string text = std::move(*read);

    const std::vector<std::string> lines = SplitText(text, "\r\n");
    if (remove) {
        // Every line equal to the title goes. Removing from the last one back
        // keeps the numbers of the earlier lines valid; numbering forward would
        // remove a wrong line after the first duplicate.
        for (size_t i = lines.size(); i-- > 0;) {
            if (lines[i] == title)
                text = RemoveLine(text, static_cast<long long>(i) + 1);
        }
        const std::string cleaned = CleanListText(text);
        return WriteFileAtomically(path, cleaned).map([&] { return RuleIndexTitles(cleaned); });
    }

    // Nothing to add when the index already lists it.
    if (std::find(lines.begin(), lines.end(), title) != lines.end())
        return RuleIndexTitles(text);
    // A title that can be no file name (a line break in it would even make two
    // index lines) stays out of the index.
    if (!IsValidRuleTitle(title))
        return Failure(path, QStringLiteral("not a valid file name: the title"));
    const std::string added = text + "\r\n" + std::string(title);
    return WriteFileAtomically(path, added).map([&] { return RuleIndexTitles(added); });
}

} // namespace corvix
