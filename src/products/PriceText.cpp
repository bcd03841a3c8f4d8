#include "products/PriceText.h"

#include "support/Gbk.h"
#include "support/GbkBytes.h"

#include <QString>

#include <algorithm>
#include <array>
#include <charconv>

namespace corvix {
namespace {

// Digits beyond this many cannot all be kept by a double.
constexpr size_t kMaxSignificantDigits = 15;

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
    while (from + n < text.size() && IsAsciiDigit(text[from + n]))
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

} // namespace

std::optional<double> LeadingPrice(std::string_view gbkCellText)
{
    return ReadPrice(gbkCellText);
}

namespace {

// A label or currency before the number is short; a longer text before the
// first digit is a sentence that merely holds a number.
constexpr qsizetype kLongestLead = 12;

// A no-break or thin space has no GBK form: in a cell text it stands as "?".
bool IsGroupBlank(QChar c)
{
    return c == u' ' || c == u'\u00A0' || c == u'\u2009' || c == u'\u202F' || c == u'?';
}

bool IsSeparator(QChar c)
{
    return c == u'.' || c == u',' || c == u'\'' || c == u'\u2019' || IsGroupBlank(c);
}

// The digits of a number and the separators between its groups of digits.
struct NumberToken {
    std::vector<QString> groups;
    std::vector<QChar> separators; // separators[i] stands between groups[i] and groups[i + 1]
    qsizetype end = 0;             // just after the last digit
};

bool IsAsciiDigit(QChar c) { return c.unicode() >= '0' && c.unicode() <= '9'; }

bool IsPointOrComma(QChar c) { return c == u'.' || c == u','; }

qsizetype DigitRun(const QString &text, qsizetype from)
{
    qsizetype n = 0;
    while (from + n < text.size() && IsAsciiDigit(text[from + n]))
        ++n;
    return n;
}

NumberToken Tokenise(const QString &text, qsizetype from)
{
    NumberToken token;
    qsizetype at = from;
    while (true) {
        const qsizetype digits = DigitRun(text, at);
        token.groups.push_back(text.mid(at, digits));
        at += digits;
        token.end = at;
        // One separator between two digits continues the number.
        if (at + 1 >= text.size() || !IsSeparator(text[at]) || !IsAsciiDigit(text[at + 1]))
            return token;
        const QChar separator = text[at];
        // Blanks and apostrophes only group thousands: before any decimal
        // mark, after a first group of at most three digits, three digits
        // each ("12.50 3件" ends at its blank).
        if (!IsPointOrComma(separator)
            && (DigitRun(text, at + 1) != 3 || token.groups.front().size() > 3
                || std::any_of(token.separators.begin(), token.separators.end(), IsPointOrComma)))
            return token;
        token.separators.push_back(separator);
        ++at;
    }
}

// The decimal mark a token shows beyond doubt, or nullopt.
std::optional<QChar> ClearDecimal(const NumberToken &token)
{
    if (token.separators.empty())
        return std::nullopt;
    const QChar last = token.separators.back();
    if (!IsPointOrComma(last))
        return std::nullopt;
    const bool otherBefore = std::any_of(token.separators.begin(), token.separators.end() - 1,
                                         [last](QChar c) { return c != last; });
    const bool sameBefore = std::any_of(token.separators.begin(), token.separators.end() - 1,
                                        [last](QChar c) { return c == last; });
    if (sameBefore)
        return std::nullopt; // "1.299.000": a group mark
    if (otherBefore || token.groups.back().size() != 3 || token.groups.front() == QLatin1String("0")
        || token.groups.front().size() > 3)
        return last;
    return std::nullopt;
}

// The value of a token with the given decimal mark (0 for none): the groups
// before it must be thousands groups, or the number ends before the first
// group that is not.
std::optional<double> ValueWith(const NumberToken &token, QChar decimal)
{
    QString digits = token.groups.front();
    for (size_t i = 0; i < token.separators.size(); ++i) {
        const QChar sep = token.separators[i];
        const QString &next = token.groups[i + 1];
        if (sep == decimal && i + 1 == token.separators.size()) {
            digits += u'.' + next;
            break;
        }
        const bool group = sep != decimal && next.size() == 3 && token.groups.front().size() <= 3;
        if (!group)
            break;
        digits += next;
    }
    bool ok = false;
    const double value = digits.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}


// The first number of a text as a person reads it, with where it ends.
struct ReadNumberToken {
    double value = 0.0;
    int decimals = 0;
    qsizetype end = 0;    // just after the number (and its "万")
    bool whole = false;   // every group of the token belongs to the number
};

std::optional<ReadNumberToken> ReadFirstNumber(const QString &text, DecimalMark mark)
{
    qsizetype first = 0;
    while (first < text.size() && !IsAsciiDigit(text[first]))
        ++first;
    if (first == text.size() || first > kLongestLead)
        return std::nullopt;
    // "-12" is no price, ".5" neither; "59.9-69.9" is read from its start.
    if (first > 0 && (text[first - 1] == u'-' || text[first - 1] == u'.' || text[first - 1] == u','))
        return std::nullopt;
    const NumberToken token = Tokenise(text, first);
    QChar decimal;
    if (const std::optional<QChar> clear = ClearDecimal(token))
        decimal = *clear;
    else if (!token.separators.empty() && IsPointOrComma(token.separators.back()))
        decimal = (mark == DecimalMark::Point && token.separators.back() == u'.')
                          || (mark == DecimalMark::Comma && token.separators.back() == u',')
                      ? token.separators.back()
                      : QChar();
    ReadNumberToken number;
    const std::optional<double> value = ValueWith(token, decimal);
    if (!value)
        return std::nullopt;
    number.value = *value;
    const bool decimalUsed = !token.separators.empty() && token.separators.back() == decimal && !decimal.isNull();
    number.decimals = decimalUsed ? static_cast<int>(token.groups.back().size()) : 0;
    // ValueWith stops at the first group that is no thousands group.
    number.whole = std::all_of(token.groups.begin() + 1, token.groups.end() - (decimalUsed ? 1 : 0),
                               [](const QString &g) { return g.size() == 3; })
                   && (token.separators.size() <= (decimalUsed ? 1u : 0u) || token.groups.front().size() <= 3);
    // "1.2万": ten thousand, as Chinese shops write large prices.
    qsizetype after = token.end;
    while (after < text.size() && text[after] == u' ')
        ++after;
    number.end = token.end;
    if (after < text.size() && text[after] == u'万') {
        number.value *= 10000;
        number.end = after + 1;
    }
    return number;
}

} // namespace

std::optional<double> ReadPrice(std::string_view gbkCellText, DecimalMark mark)
{
    const std::optional<ReadNumberToken> number = ReadFirstNumber(FromGbk(gbkCellText), mark);
    if (!number)
        return std::nullopt;
    return number->value;
}

std::string DigitsOf(std::string_view text)
{
    std::string digits;
    std::copy_if(text.begin(), text.end(), std::back_inserter(digits), [](char c) { return IsAsciiDigit(c); });
    return digits;
}

std::optional<PriceText> ReadOnePrice(std::string_view gbkText)
{
    // A currency or unit after the number is a word or two; a longer tail is
    // a label of something else ("368.00618狂欢价" has digits, "元起" does not).
    constexpr qsizetype kLongestTail = 6;
    constexpr int kMostDecimals = 3;
    const QString text = FromGbk(gbkText).trimmed();
    const std::optional<ReadNumberToken> number = ReadFirstNumber(text, DecimalMark::Unknown);
    if (!number || !number->whole || number->decimals > kMostDecimals)
        return std::nullopt;
    const QString tail = text.mid(number->end).trimmed();
    if (tail.size() > kLongestTail || std::any_of(tail.begin(), tail.end(), [](QChar c) { return IsAsciiDigit(c); }))
        return std::nullopt;
    PriceText price;
    price.value = number->value;
    price.decimals = number->decimals;
    return price;
}


DecimalMark DecimalMarkOf(const std::vector<std::string> &gbkCellTexts)
{
    int points = 0;
    int commas = 0;
    for (const std::string &cell : gbkCellTexts) {
        const QString text = FromGbk(cell);
        qsizetype first = 0;
        while (first < text.size() && !IsAsciiDigit(text[first]))
            ++first;
        if (first == text.size())
            continue;
        if (const std::optional<QChar> decimal = ClearDecimal(Tokenise(text, first)))
            (*decimal == u'.' ? points : commas) += 1;
    }
    if (points > 0 && commas == 0)
        return DecimalMark::Point;
    if (commas > 0 && points == 0)
        return DecimalMark::Comma;
    return DecimalMark::Unknown;
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
