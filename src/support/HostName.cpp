#include "support/HostName.h"

#include "support/RegexObject.h"

namespace corvix {

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

} // namespace corvix
