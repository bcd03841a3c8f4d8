#include "capture/MarkerSearch.h"

#include "support/GbkBytes.h"
#include "support/TextUtils.h"

namespace corvix {
namespace {

bool IsAttributeNameChar(char c)
{
    return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '-' || c == '_' || c == ':' || c == '.';
}

bool EndsUnquotedValue(char c)
{
    return IsAsciiSpace(c) || c == '>';
}

struct QuotedForm {
    std::string text;
    bool valueLeftOpen = false;
};

// name=value becomes name="value" where the value carries no quote of its own;
// the value ends at a blank, a line break or ">", or at the end of the marker. Two-byte characters are copied whole: none of the bytes looked at
// here can be the second byte of one.
QuotedForm QuoteAttributeValues(std::string_view marker)
{
    QuotedForm form;
    bool inValue = false;
    bool afterName = false;
    for (size_t i = 0; i < marker.size(); ++i) {
        const char c = marker[i];
        if (IsLeadByte(c) && i + 1 < marker.size()) {
            form.text += marker.substr(i, 2);
            ++i;
            afterName = false;
            continue;
        }
        if (inValue && EndsUnquotedValue(c)) {
            form.text += '"';
            inValue = false;
        }
        form.text += c;
        if (!inValue && c == '=' && afterName) {
            const bool atEnd = i + 1 == marker.size();
            const char next = atEnd ? '\0' : marker[i + 1];
            if (atEnd || (next != '"' && next != '\'' && !EndsUnquotedValue(next))) {
                form.text += '"';
                inValue = true;
            }
        }
        afterName = !inValue && IsAttributeNameChar(c);
    }
    // A value that runs on to the end of the marker is taken as whole; only a
    // marker that ends right after "=" leaves the closing quote to what follows.
    if (inValue && form.text.back() != '"')
        form.text += '"';
    else
        form.valueLeftOpen = inValue;
    return form;
}

} // namespace

MarkerQuery MarkerForms(std::string_view left, std::string_view right)
{
    MarkerQuery query;
    query.forms.emplace_back(std::string(left), std::string(right));
    const QuotedForm quotedLeft = QuoteAttributeValues(left);
    std::string quotedRight = QuoteAttributeValues(right).text;
    if (quotedLeft.valueLeftOpen)
        quotedRight.insert(0, 1, '"');
    if (quotedLeft.text != left || quotedRight != right)
        query.forms.emplace_back(quotedLeft.text, std::move(quotedRight));
    return query;
}

std::string TextBetweenMarkers(std::string_view loweredSource, const MarkerQuery &query)
{
    const std::pair<std::string, std::string> *first = nullptr;
    TextPos firstLeft = kNotFound;
    for (const auto &form : query.forms) {
        const TextPos l = FindText(loweredSource, form.first);
        // At the same place the quoted form wins: the engine writes quotes.
        if (l != kNotFound && (firstLeft == kNotFound || l <= firstLeft)) {
            firstLeft = l;
            first = &form;
        }
    }
    if (!first)
        return {};
    const TextPos p = firstLeft + TextLength(first->first);
    const TextPos r = FindText(loweredSource, first->second, p);
    if (r == kNotFound)
        return {};
    return MidText(loweredSource, p, r - p);
}

} // namespace corvix
