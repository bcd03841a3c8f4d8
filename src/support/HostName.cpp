#include "support/HostName.h"

#include "support/Gbk.h"
#include "support/RegexObject.h"
#include "support/TextUtils.h"

#include <QUrl>

namespace corvix {
namespace {

bool IsAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsAsciiDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Length of the URL scheme that starts the text (letters, digits, "+", "-",
// "." after a leading letter, up to a ":"), or 0 when it starts with none.
size_t SchemeLength(std::string_view text)
{
    if (text.empty() || !IsAsciiLetter(text[0]))
        return 0;
    size_t i = 1;
    while (i < text.size() && (IsAsciiLetter(text[i]) || IsAsciiDigit(text[i]) || text[i] == '+' || text[i] == '-'
                               || text[i] == '.'))
        ++i;
    return i < text.size() && text[i] == ':' ? i : 0;
}

bool EqualsAsciiNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if ((a[i] | 0x20) != (b[i] | 0x20))
            return false;
    return true;
}

// "http://host..." or "https://host...", the host not empty.
bool IsHttpUrl(std::string_view text)
{
    const size_t scheme = SchemeLength(text);
    if (!EqualsAsciiNoCase(text.substr(0, scheme), "http") && !EqualsAsciiNoCase(text.substr(0, scheme), "https"))
        return false;
    const std::string_view rest = text.substr(scheme + 1);
    if (rest.size() < 3 || rest.substr(0, 2) != "//")
        return false;
    const char first = rest[2];
    return first != '/' && first != '?' && first != '#' && first != ' ' && first != '\t';
}

// A host name at the very start, followed by the end, a path, a query, a
// fragment or a port: "shop.example.com/item/1", "127.0.0.1:8080/a". A host
// followed by ":" and anything but a port ("a.b:x") is a scheme.
bool StartsWithHostName(std::string_view text)
{
    const std::string host = FirstHostName(text);
    if (host.empty() || text.substr(0, host.size()) != host)
        return false;
    const std::string_view after = text.substr(host.size());
    if (after.empty() || after[0] == '/' || after[0] == '?' || after[0] == '#')
        return true;
    return after[0] == ':' && after.size() > 1 && IsAsciiDigit(after[1]);
}

} // namespace

std::string FirstHostName(std::string_view text)
{
    // Matched case-sensitively: the pattern names both cases itself, and ICU's
    // case-insensitive classes would also take look-alikes such as the Kelvin
    // sign for "k".
    RegexObject regex;
    const bool ok = regex.ExecutePattern(
        "[a-zA-Z0-9][-a-zA-Z0-9]{0,62}(\\.[a-zA-Z0-9][-a-zA-Z0-9]{0,62})+\\.?", text, true, false, true, true);
    if (!ok || regex.MatchCount() == 0)
        return {};
    return regex.MatchText(1);
}

std::string WebAddress(std::string_view link)
{
    const std::string text = TrimText(link);
    if (IsHttpUrl(text))
        return text;
    if (StartsWithHostName(text))
        return "http://" + text;
    return {};
}

std::string HostOfAddress(std::string_view address)
{
    const QUrl url(FromGbk(address));
    return url.host(QUrl::FullyEncoded).toLower().toStdString();
}

} // namespace corvix
