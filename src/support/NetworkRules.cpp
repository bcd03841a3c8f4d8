#include "support/NetworkRules.h"

#include "support/HostName.h"

#include <algorithm>
#include <charconv>

namespace corvix {
namespace {

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char &c : lower)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower;
}

// The non-empty parts between separators, without surrounding blanks.
std::vector<std::string_view> Split(std::string_view text, std::string_view separators)
{
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find_first_of(separators, start), text.size());
        std::string_view part = text.substr(start, end - start);
        while (!part.empty() && (part.front() == ' ' || part.front() == '\t'))
            part.remove_prefix(1);
        while (!part.empty() && (part.back() == ' ' || part.back() == '\t'))
            part.remove_suffix(1);
        if (!part.empty())
            parts.push_back(part);
        start = end + 1;
    }
    return parts;
}

std::optional<int> ParsePort(std::string_view text)
{
    int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc() || end != text.data() + text.size() || port < 0 || port > 65535)
        return std::nullopt;
    return port;
}

// "host", "host:port", "[v6]", "[v6]:port"; port -1 when none is given.
std::optional<std::pair<std::string_view, int>> SplitHostPort(std::string_view text)
{
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        const std::string_view host = text.substr(1, close - 1);
        if (close + 1 == text.size())
            return std::pair{host, -1};
        if (text[close + 1] != ':')
            return std::nullopt;
        const auto port = ParsePort(text.substr(close + 2));
        return port ? std::optional(std::pair{host, *port}) : std::nullopt;
    }
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos)
        return std::pair{text, -1};
    if (text.find(':') != colon)
        return std::pair{text, -1}; // an IPv6 address without brackets and port
    const auto port = ParsePort(text.substr(colon + 1));
    return port ? std::optional(std::pair{text.substr(0, colon), *port}) : std::nullopt;
}

// "*" any run of characters, "?" one character.
bool MatchPattern(std::string_view text, std::string_view pattern)
{
    size_t t = 0, p = 0, starAt = std::string_view::npos, resumeAt = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
            ++t;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            resumeAt = t;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            t = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

// The bytes of a literal address, an IPv4 address written as IPv6 as its four
// bytes; empty when text is no address.
std::string AddressBytes(std::string_view text)
{
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']')
        text = text.substr(1, text.size() - 2);
    if (const auto v4 = ParseIpv4(text))
        return std::string(v4->begin(), v4->end());
    if (const auto v6 = ParseIpv6(text)) {
        const bool mapped = std::all_of(v6->begin(), v6->begin() + 10, [](auto b) { return b == 0; })
                            && (*v6)[10] == 0xff && (*v6)[11] == 0xff;
        return mapped ? std::string(v6->begin() + 12, v6->end()) : std::string(v6->begin(), v6->end());
    }
    return {};
}

} // namespace

std::optional<std::string> EngineSwitchValue(const std::vector<std::string> &flags, std::string_view name)
{
    std::optional<std::string> value;
    for (const std::string &flag : flags) {
        std::string_view rest(flag);
        if (rest.substr(0, 2) != "--" || rest.substr(2, name.size()) != name)
            continue;
        rest.remove_prefix(2 + name.size());
        if (rest.empty())
            value = std::string();
        else if (rest.front() == '=')
            value = std::string(rest.substr(1));
    }
    return value;
}

HostResolverRules::HostResolverRules(std::string_view text)
{
    for (const std::string_view rule : Split(text, ",")) {
        const std::vector<std::string_view> words = Split(rule, " \t");
        if (words.size() == 2 && Lower(words[0]) == "exclude") {
            excludes_.push_back(Lower(words[1]));
        } else if (words.size() == 3 && Lower(words[0]) == "map") {
            const auto replacement = SplitHostPort(words[2]);
            if (replacement)
                maps_.push_back({Lower(words[1]), Lower(replacement->first), replacement->second});
        }
    }
}

HostResolverRules::Mapping HostResolverRules::Map(std::string_view host, int port) const
{
    const std::string name = Lower(host);
    const std::string withPort = name + ':' + std::to_string(port);
    for (const Rule &rule : maps_) {
        if (!MatchPattern(name, rule.pattern) && !MatchPattern(withPort, rule.pattern))
            continue;
        if (std::any_of(excludes_.begin(), excludes_.end(),
                        [&name](const std::string &exclude) { return MatchPattern(name, exclude); }))
            return {};
        if (rule.host == "~notfound")
            return {Mapping::NotFound, {}, -1};
        return {Mapping::Replaced, rule.host, rule.port};
    }
    return {};
}

AddressSpaceOverrides::AddressSpaceOverrides(std::string_view text)
{
    for (const std::string_view entry : Split(text, ",")) {
        const size_t equals = entry.rfind('=');
        if (equals == std::string_view::npos)
            continue;
        const auto endpoint = SplitHostPort(entry.substr(0, equals));
        const std::string space = Lower(entry.substr(equals + 1));
        if (!endpoint || endpoint->second < 0 || (space != "local" && space != "private" && space != "public"))
            continue;
        std::string address = AddressBytes(endpoint->first);
        if (!address.empty())
            overrides_.push_back({std::move(address), endpoint->second, space != "public"});
    }
}

std::optional<bool> AddressSpaceOverrides::OnUsersNetwork(std::string_view address, int port) const
{
    const std::string bytes = AddressBytes(address);
    for (const Override &entry : overrides_)
        if (entry.port == port && entry.address == bytes)
            return entry.usersNetwork;
    return std::nullopt;
}

bool IsUsersNetworkEndpoint(std::string_view address, int port, const AddressSpaceOverrides &overrides)
{
    if (const auto overridden = overrides.OnUsersNetwork(address, port))
        return *overridden;
    return IsLocalNetworkHost(address);
}

} // namespace corvix
