#include "products/PriceText.h"

#include "support/Gbk.h"

#include <array>
#include <charconv>

namespace corvix {
namespace {

// Digits beyond this many cannot all be kept by a double.
constexpr size_t kMaxSignificantDigits = 15;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The currency signs a price may start with. "¥" (U+00A5) has no GBK form: the
// conversion into GBK turns it into "?", and so a captured "¥368" is held as
// "?368"; Gbk("¥") gives that same byte.
const std::array<std::string, 3> &CurrencySigns()
{
    static const std::array<std::string, 3> signs{Gbk("￥"), Gbk("¥"), "$"};
    return signs;
}

size_t SignLength(std::string_view text)
{
    for (const std::string &sign : CurrencySigns())
        if (text.substr(0, sign.size()) == sign)
            return sign.size();
    return 0;
}

size_t CountDigits(std::string_view text, size_t from)
{
    size_t n = 0;
    while (from + n < text.size() && IsDigit(text[from + n]))
        ++n;
    return n;
}

// A number at the start of text: a first group of digits, then groups of
// exactly three digits each after a comma (only when the first group has at
// most three), then a decimal point with at least one digit. The digits go
// into *digits without the commas.
struct NumberSpan {
    size_t length = 0;
    bool grouped = false;
    int decimals = 0;
    std::string digits;
};

std::optional<NumberSpan> ReadNumber(std::string_view text)
{
    NumberSpan number;
    const size_t first = CountDigits(text, 0);
    if (first == 0)
        return std::nullopt;
    number.digits.assign(text.substr(0, first));
    size_t at = first;
    while (first <= 3 && at + 4 <= text.size() && text[at] == ',' && CountDigits(text, at + 1) == 3) {
        number.digits.append(text.substr(at + 1, 3));
        number.grouped = true;
        at += 4;
    }
    const size_t decimals = at < text.size() && text[at] == '.' ? CountDigits(text, at + 1) : 0;
    if (decimals > 0) {
        number.digits += '.';
        number.digits.append(text.substr(at + 1, decimals));
        number.decimals = static_cast<int>(decimals);
        at += 1 + decimals;
    }
    number.length = at;
    return number;
}

double ValueOf(const NumberSpan &number)
{
    double value = 0.0;
    std::from_chars(number.digits.data(), number.digits.data() + number.digits.size(), value);
    return value;
}

size_t BlankLength(std::string_view text)
{
    size_t n = 0;
    while (n < text.size() && (text[n] == ' ' || text[n] == '\t'))
        ++n;
    return n;
}

} // namespace

std::optional<double> LeadingPrice(std::string_view gbkCellText)
{
    std::string_view rest = gbkCellText.substr(BlankLength(gbkCellText));
    if (const size_t sign = SignLength(rest); sign > 0) {
        rest.remove_prefix(sign);
        rest.remove_prefix(BlankLength(rest));
    }
    const std::optional<NumberSpan> number = ReadNumber(rest);
    if (!number)
        return std::nullopt;
    return ValueOf(*number);
}

std::optional<PriceText> WholePrice(std::string_view gbkText)
{
    const size_t sign = SignLength(gbkText);
    const std::string_view rest = gbkText.substr(sign);
    const std::optional<NumberSpan> number = ReadNumber(rest);
    if (!number || number->length != rest.size())
        return std::nullopt;
    const bool leadingZero = number->digits.size() > 1 && number->digits[0] == '0' && number->digits[1] != '.';
    const size_t significant = number->digits.size() - (number->decimals > 0 ? 1 : 0);
    if (leadingZero || significant > kMaxSignificantDigits)
        return std::nullopt;
    PriceText price;
    price.value = ValueOf(*number);
    price.sign.assign(gbkText.substr(0, sign));
    price.grouped = number->grouped;
    price.decimals = number->decimals;
    return price;
}

} // namespace corvix
