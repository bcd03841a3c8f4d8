#pragma once
// The texts a capture writes into a price cell instead of a price (GBK). They
// are stored in record files as they are, so older installations read them too.
#include <string>

namespace corvix {

// No price within the time of one link.
const std::string &FailureText();   // "获取失败"
// A link that is present but names no web page.
const std::string &BadLinkText();   // "链接不正确"
// The product has no link in that shop: nothing to capture, nothing failed.
const std::string &NoLinkText();    // "—"

} // namespace corvix
