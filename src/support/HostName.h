#pragma once
#include <string>
#include <string_view>

namespace corvix {

// The first host name in a typed-in link (GBK): letters, digits and hyphens in
// at least two dot-separated labels, e.g. "item.shop.example" of
// "https://item.shop.example/p/1". Empty when there is none.
std::string FirstHostName(std::string_view text);

} // namespace corvix
