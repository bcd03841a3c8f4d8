#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvix {

// The first host name in a typed-in link (GBK): letters, digits and hyphens in
// at least two dot-separated labels, e.g. "item.shop.example" of
// "https://item.shop.example/p/1". Empty when there is none.
std::string FirstHostName(std::string_view text);

// The web page a link (GBK) stands for, as an http or https address, or the
// empty text: the link itself (without surrounding blanks) when it is an http
// or https URL with a host; "http://" + link when it names no scheme but starts
// with a host name, as typed in by hand ("shop.example.com/item/1"). Anything
// else (file:, javascript:, a bare word, "file:///x?http") is no web page and
// must never reach the browser or the desktop.
std::string WebAddress(std::string_view link);

// The host a web address (GBK, as WebAddress gives it) is loaded from, lower-cased
// and without port or user: "shop.example" of "HTTP://Shop.Example:8080/p". A run
// never loads two links of one host at the same time. Empty when there is none.
std::string HostOfAddress(std::string_view address);

// Whether host (as a URL gives it: a name, an IPv4 address, or an IPv6 address
// with or without its brackets) lies on the user's own machine or network:
// loopback, link-local, private and shared (carrier-grade) ranges, the
// unspecified address, and "localhost" with the names under it. A page from
// anywhere else may not send requests there.
bool IsLocalNetworkHost(std::string_view host);

// The bytes of an IPv4 address in dotted decimal ("10.0.0.1"), or nullopt.
std::optional<std::array<std::uint8_t, 4>> ParseIpv4(std::string_view text);
// The 16 bytes of an IPv6 address ("fe80::1", "::ffff:10.0.0.1"), or nullopt.
std::optional<std::array<std::uint8_t, 16>> ParseIpv6(std::string_view text);

} // namespace corvix
