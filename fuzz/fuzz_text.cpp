// The text primitives against a plain reference: every search, split,
// replacement and count finds exactly the matches that begin on a character
// boundary, boundaries counted from the first byte with the lead bytes of the
// code page (GbkBytes.h).
#include "FuzzSupport.h"
#include "support/TextUtils.h"

using namespace corvix;

namespace {

std::vector<bool> Boundaries(std::string_view text)
{
    std::vector<bool> at(text.size() + 1, false);
    for (size_t i = 0; i < text.size(); i += IsLeadByte(text[i]) ? 2 : 1)
        at[i] = true;
    return at;
}

// Single-byte ASCII letters of `what` match either case; every other byte exactly.
bool MatchesAt(std::string_view text, std::string_view what, size_t c, bool ignoreCase)
{
    if (c + what.size() > text.size())
        return false;
    const std::vector<bool> whatAt = Boundaries(what);
    for (size_t k = 0; k < what.size(); ++k) {
        const char a = text[c + k], b = what[k];
        if (a == b)
            continue;
        const bool letter = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
        if (!ignoreCase || !whatAt[k] || !letter || AsciiLower(a) != AsciiLower(b))
            return false;
    }
    return true;
}

// 0-based matches from `from` on, left to right, never overlapping.
std::vector<size_t> Matches(std::string_view text, std::string_view what, size_t from, bool ignoreCase)
{
    std::vector<size_t> found;
    if (what.empty())
        return found;
    const std::vector<bool> at = Boundaries(text);
    for (size_t c = from; c < text.size(); ++c) {
        if (!at[c] || !MatchesAt(text, what, c, ignoreCase))
            continue;
        // A lead byte alone at the very end is no character.
        if (c + 1 == text.size() && IsLeadByte(text[c]))
            break;
        found.push_back(c);
        c += what.size() - 1;
    }
    return found;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::vector<std::string> p = fuzz::Pieces(fuzz::Bytes(data, size), 3);
    const std::string &text = p[0];
    const std::string &what = p[1];
    const size_t from = p[2].empty() ? 0 : static_cast<unsigned char>(p[2][0]) % (text.size() + 2);
    const bool ignoreCase = p[2].size() > 1 && (p[2][1] & 1);
    if (what.empty() || text.size() > 4096)
        return 0;

    const std::vector<size_t> matches = Matches(text, what, from, ignoreCase);
    const TextPos first = FindText(text, what, static_cast<TextPos>(from) + 1, ignoreCase);
    FUZZ_CHECK(first == (matches.empty() ? kNotFound : static_cast<TextPos>(matches[0]) + 1));
    FUZZ_CHECK(CountOccurrences(text, what, !ignoreCase) == static_cast<int>(Matches(text, what, 0, ignoreCase).size()));

    if (from < text.size()) {
        std::string replaced;
        size_t copied = 0;
        for (size_t c : matches) {
            replaced.append(text, copied, c - copied);
            replaced += "<>";
            copied = c + what.size();
        }
        replaced.append(text, copied, std::string::npos);
        FUZZ_CHECK(ReplaceText(text, what, "<>", static_cast<TextPos>(from) + 1, kAll, !ignoreCase) == replaced);
    }

    // Split pieces joined again give the text (a trailing empty piece aside).
    std::string joined;
    const std::vector<std::string> pieces = SplitText(text, what);
    for (size_t i = 0; i < pieces.size(); ++i)
        joined += (i > 0 ? what : std::string()) + pieces[i];
    FUZZ_CHECK(joined == text || joined + what == text);
    FUZZ_CHECK(pieces.size() <= Matches(text, what, 0, false).size() + 1);

    (void)ToLowerText(text);
    (void)TrimText(text);
    (void)TextToNumber(text);
    (void)TextToInteger(text);
    return 0;
}
