#include "support/ListText.h"

#include "support/RegexObject.h"
#include "support/TextUtils.h"

#include <algorithm>
#include <vector>

namespace corvix {
namespace {

// The lines joined by CR LF, without one after the last.
std::string JoinLines(const std::vector<std::string> &lines)
{
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            out += "\r\n";
        out += lines[i];
    }
    return out;
}

} // namespace

std::string CleanListText(std::string_view text)
{
    if (text.substr(0, 2) == "\r\n")
        text.remove_prefix(2);
    if (text.size() >= 2 && text.substr(text.size() - 2) == "\r\n")
        text.remove_suffix(2);
    RegexObject regex;
    if (!regex.ExecutePattern("\\n\\s*\\r", text))
        return std::string(text);
    return regex.ReplaceMatches({});
}

std::string RemoveLine(std::string_view text, long long line)
{
    std::string withBreak(text);
    if (FindText(withBreak, "\r\n") == kNotFound)
        withBreak += "\r\n";
    std::vector<std::string> pieces = SplitText(withBreak, "\r\n");
    if (line >= 1 && line <= static_cast<long long>(pieces.size()))
        pieces.erase(pieces.begin() + (line - 1));
    return JoinLines(pieces);
}

std::string InsertLine(std::string_view text, long long line, std::string_view lineText)
{
    // Every piece counts, empty ones at either end included.
    std::vector<std::string> pieces;
    for (size_t start = 0; !text.empty();) {
        const size_t end = text.find("\r\n", start);
        pieces.emplace_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos)
            break;
        start = end + 2;
    }
    const long long at = std::clamp(line - 1, 0LL, static_cast<long long>(pieces.size()));
    pieces.insert(pieces.begin() + at, std::string(lineText));
    return JoinLines(pieces);
}

} // namespace corvix
