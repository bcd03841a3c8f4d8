#include "products/ImportText.h"

#include "support/Gbk.h"
#include "support/TextUtils.h"

#include <algorithm>
#include <array>

namespace corvix {

std::string NormaliseSeparators(std::string_view text)
{
    static const std::array<std::string, 6> separators = {Gbk("，"), "|", Gbk("《"), Gbk("》"), "<", ">"};
    std::string out(text);
    for (const std::string &separator : separators)
        out = ReplaceText(out, separator, ",");
    return out;
}

std::string PrepareClipboardText(std::string_view text)
{
    std::string normalised = NormaliseSeparators(text);
    const std::vector<std::string> lines = SplitText(normalised, "\r\n");
    if (lines.empty())
        return {};
    if (SplitText(lines.front(), ",").size() < 2)
        return {};
    return normalised;
}

int CountLines(std::string_view text)
{
    if (text.empty())
        return 0;
    // A line feed is never the second byte of a two-byte character.
    const auto feeds = std::count(text.begin(), text.end(), '\n');
    return static_cast<int>(feeds) + (text.back() == '\n' ? 0 : 1);
}

} // namespace corvix
