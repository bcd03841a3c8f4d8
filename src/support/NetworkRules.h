#pragma once
// The browser engine's own switches that change where a host name leads and
// which addresses count as public, read the way the engine reads them, so that
// the capture's guard decides by the same addresses the engine would connect to.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

// The value of the last "--name=value" among the engine's flags (the engine
// takes the last one too); nullopt when none gives it.
std::optional<std::string> EngineSwitchValue(const std::vector<std::string> &flags, std::string_view name);

// "--host-resolver-rules": comma-separated "MAP pattern replacement[:port]"
// and "EXCLUDE pattern" rules; patterns match the host (or host:port) with "*"
// and "?"; the first MAP rule that matches a host no EXCLUDE rule names wins,
// and the replacement "~NOTFOUND" makes the name unresolvable.
class HostResolverRules {
public:
    explicit HostResolverRules(std::string_view text = {});

    struct Mapping {
        enum Kind { Unchanged, Replaced, NotFound } kind = Unchanged;
        std::string host; // Replaced: the host to resolve instead
        int port = -1;    // Replaced: the port to connect to instead, or -1
    };
    Mapping Map(std::string_view host, int port) const;

private:
    struct Rule {
        std::string pattern;
        std::string host;
        int port = -1;
    };
    std::vector<Rule> maps_;
    std::vector<std::string> excludes_;
};

// "--ip-address-space-overrides": comma-separated "address:port=space", space
// being "local", "private" or "public" ("[::1]:443=public" for IPv6): the
// address space a server at that endpoint counts in, whatever its address says.
class AddressSpaceOverrides {
public:
    explicit AddressSpaceOverrides(std::string_view text = {});
    // true: on the user's machine or network (local, private); false: public;
    // nullopt: no override names the endpoint. address: a literal address.
    std::optional<bool> OnUsersNetwork(std::string_view address, int port) const;

private:
    struct Override {
        std::string address; // canonical text of the address bytes
        int port = 0;
        bool usersNetwork = false;
    };
    std::vector<Override> overrides_;
};

// Whether a server at address (a literal IPv4 or IPv6 address, with or without
// brackets) and port lies on the user's machine or network: an override for the
// endpoint first, else IsLocalNetworkHost of the address.
bool IsUsersNetworkEndpoint(std::string_view address, int port, const AddressSpaceOverrides &overrides);

} // namespace corvix
