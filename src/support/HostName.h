#pragma once
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

} // namespace corvix
