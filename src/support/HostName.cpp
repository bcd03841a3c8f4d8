#include "support/HostName.h"

#include "support/Gbk.h"
#include "support/GbkBytes.h"
#include "support/RegexObject.h"
#include "support/TextUtils.h"

#include <QUrl>

#include <algorithm>
#include <vector>

namespace corvix {
namespace {

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

std::optional<std::array<std::uint8_t, 4>> ParseIpv4(std::string_view text)
{
    std::array<std::uint8_t, 4> bytes{};
    size_t part = 0;
    int value = -1;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '.') {
            if (value < 0 || part >= 4)
                return std::nullopt;
            bytes[part++] = static_cast<std::uint8_t>(value);
            value = -1;
        } else if (text[i] >= '0' && text[i] <= '9') {
            value = (value < 0 ? 0 : value * 10) + (text[i] - '0');
            if (value > 255)
                return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    if (part != 4)
        return std::nullopt;
    return bytes;
}

std::optional<std::array<std::uint8_t, 16>> ParseIpv6(std::string_view text)
{
    // Up to eight groups either side of one "::"; the last two may be an IPv4 address.
    std::vector<std::uint16_t> head, tail;
    bool gap = false;
    std::vector<std::uint16_t> *groups = &head;
    size_t i = 0;
    if (text.substr(0, 2) == "::") {
        gap = true;
        groups = &tail;
        i = 2;
    }
    while (i < text.size()) {
        const size_t end = std::min(text.find(':', i), text.size());
        const std::string_view group = text.substr(i, end - i);
        if (group.find('.') != std::string_view::npos && end == text.size()) {
            const auto v4 = ParseIpv4(group);
            if (!v4)
                return std::nullopt;
            groups->push_back(static_cast<std::uint16_t>((*v4)[0] << 8 | (*v4)[1]));
            groups->push_back(static_cast<std::uint16_t>((*v4)[2] << 8 | (*v4)[3]));
            i = end;
            break;
        }
        if (group.empty() || group.size() > 4)
            return std::nullopt;
        std::uint16_t value = 0;
        for (const char c : group) {
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0)
                return std::nullopt;
            value = static_cast<std::uint16_t>(value << 4 | digit);
        }
        groups->push_back(value);
        i = end;
        if (i < text.size()) {
            if (text.substr(i, 2) == "::") {
                if (gap)
                    return std::nullopt;
                gap = true;
                groups = &tail;
                i += 2;
            } else if (++i == text.size()) {
                return std::nullopt; // a trailing single ":"
            }
        }
    }
    const size_t count = head.size() + tail.size();
    if (gap ? count > 7 : count != 8)
        return std::nullopt;
    std::array<std::uint8_t, 16> bytes{};
    const auto put = [&bytes](size_t at, std::uint16_t value) {
        bytes[2 * at] = static_cast<std::uint8_t>(value >> 8);
        bytes[2 * at + 1] = static_cast<std::uint8_t>(value & 0xff);
    };
    for (size_t k = 0; k < head.size(); ++k)
        put(k, head[k]);
    for (size_t k = 0; k < tail.size(); ++k)
        put(8 - tail.size() + k, tail[k]);
    return bytes;
}

namespace {

bool IsLocalIpv4(const std::array<std::uint8_t, 4> &a)
{
    return a[0] == 0                                       // this network, 0.0.0.0
           || a[0] == 127                                  // loopback
           || a[0] == 10                                   // private
           || (a[0] == 172 && (a[1] & 0xf0) == 16)         // private 172.16/12
           || (a[0] == 192 && a[1] == 168)                 // private
           || (a[0] == 169 && a[1] == 254)                 // link-local
           || (a[0] == 100 && (a[1] & 0xc0) == 64);        // shared 100.64/10
}

bool IsLocalIpv6(const std::array<std::uint8_t, 16> &a)
{
    bool zeroTo10 = true;
    for (int k = 0; k < 10; ++k)
        zeroTo10 = zeroTo10 && a[k] == 0;
    // An IPv4 address written as IPv6 (::ffff:a.b.c.d, or the old ::a.b.c.d).
    if (zeroTo10 && ((a[10] == 0xff && a[11] == 0xff) || (a[10] == 0 && a[11] == 0)))
        return IsLocalIpv4({a[12], a[13], a[14], a[15]}); // "::" and "::1" among them
    return (a[0] & 0xfe) == 0xfc                    // unique local fc00::/7
           || (a[0] == 0xfe && (a[1] & 0xc0) == 0x80); // link-local fe80::/10
}

} // namespace

bool IsLocalNetworkHost(std::string_view host)
{
    if (!host.empty() && host.back() == '.')
        host.remove_suffix(1); // "localhost." is localhost too
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    if (const auto v4 = ParseIpv4(host))
        return IsLocalIpv4(*v4);
    if (const auto v6 = ParseIpv6(host))
        return IsLocalIpv6(*v6);
    std::string name(host);
    for (char &c : name)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return name == "localhost" || (name.size() > 10 && name.compare(name.size() - 10, 10, ".localhost") == 0);
}

} // namespace corvix
