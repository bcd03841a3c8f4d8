#include "products/PackSize.h"

#include "support/Gbk.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <map>

namespace corvix {
namespace {

struct Unit {
    std::string_view name; // UTF-8, ASCII letters lower case
    AmountKind kind;
    double factor;
};

constexpr std::array kUnits = {
    Unit{"g", AmountKind::Mass, 1},       Unit{"克", AmountKind::Mass, 1},       Unit{"kg", AmountKind::Mass, 1000},
    Unit{"公斤", AmountKind::Mass, 1000}, Unit{"千克", AmountKind::Mass, 1000}, Unit{"斤", AmountKind::Mass, 500},
    Unit{"两", AmountKind::Mass, 50},     Unit{"mg", AmountKind::Mass, 0.001},  Unit{"毫克", AmountKind::Mass, 0.001},
    Unit{"ml", AmountKind::Volume, 1},    Unit{"毫升", AmountKind::Volume, 1},  Unit{"l", AmountKind::Volume, 1000},
    Unit{"升", AmountKind::Volume, 1000}, Unit{"cl", AmountKind::Volume, 10},
};
// Words that count packs and pieces.
constexpr std::array<std::string_view, 30> kCountWords = {
    "件", "个", "瓶", "盒", "袋", "包", "罐", "支", "片", "粒", "只", "听", "桶", "箱", "条",
    "块", "卷", "双", "对", "套", "枚", "颗", "杯", "份", "提", "组", "入", "pcs", "pc", "pack",
};
constexpr std::array<std::string_view, 10> kDigits = {"零", "一", "二", "三", "四", "五", "六", "七", "八", "九"};

bool StartsWith(std::string_view text, std::string_view head) { return text.substr(0, head.size()) == head; }

// A Chinese numeral up to 十九 ("两" as two when a count word follows).
std::optional<double> ChineseNumber(std::string_view &text)
{
    int value = -1;
    for (size_t d = 0; d < kDigits.size(); ++d)
        if (StartsWith(text, kDigits[d])) {
            value = static_cast<int>(d);
            text.remove_prefix(kDigits[d].size());
            break;
        }
    if (value < 0 && StartsWith(text, "两")) {
        value = 2;
        text.remove_prefix(std::string_view("两").size());
    }
    if (StartsWith(text, "十")) {
        text.remove_prefix(std::string_view("十").size());
        int ones = 0;
        for (size_t d = 1; d < kDigits.size(); ++d)
            if (StartsWith(text, kDigits[d])) {
                ones = static_cast<int>(d);
                text.remove_prefix(kDigits[d].size());
                break;
            }
        return (value < 0 ? 1 : value) * 10 + ones;
    }
    if (value < 0)
        return std::nullopt;
    return value;
}

std::optional<double> Number(std::string_view &text)
{
    size_t n = 0;
    while (n < text.size() && (std::isdigit(static_cast<unsigned char>(text[n])) || text[n] == '.'))
        ++n;
    if (n == 0)
        return ChineseNumber(text);
    const std::string digits(text.substr(0, n));
    if (std::count(digits.begin(), digits.end(), '.') > 1 || digits.front() == '.' || digits.back() == '.')
        return std::nullopt;
    text.remove_prefix(n);
    return std::stod(digits);
}

// One factor: a number and a unit, or a number alone (a count), or a count
// word alone ("瓶" as one bottle is no size: nullopt).
std::optional<Amount> Factor(std::string_view text)
{
    const std::string_view whole = text;
    std::optional<double> number = Number(text);
    // "两" read as two may have been the unit after all: "2两" never comes here.
    if (!number)
        return std::nullopt;
    if (StartsWith(whole, "两") && text.empty())
        return std::nullopt;
    if (text.size() >= 3 && text.substr(text.size() - 3) == "装")
        text.remove_suffix(3);
    if (text.empty())
        return Amount{AmountKind::Count, *number};
    for (const Unit &unit : kUnits)
        if (text == unit.name)
            return Amount{unit.kind, *number * unit.factor};
    for (std::string_view word : kCountWords)
        if (text == word)
            return Amount{AmountKind::Count, *number};
    return std::nullopt;
}

// The text in UTF-8 without blanks, ASCII letters lowered, and every way of
// writing "times" as one '*'.
std::string Normalised(std::string_view gbk)
{
    const std::string text = GbkToUtf8(gbk);
    constexpr std::array<std::string_view, 3> kBlanks = {" ", "\t", "\xE3\x80\x80"};
    constexpr std::array<std::string_view, 4> kTimes = {"×", "＊", "乘", "x"};
    std::string out;
    std::string_view rest(text);
    while (!rest.empty()) {
        bool taken = false;
        for (std::string_view blank : kBlanks)
            if (!taken && StartsWith(rest, blank)) {
                rest.remove_prefix(blank.size());
                taken = true;
            }
        for (std::string_view times : kTimes)
            if (!taken && (StartsWith(rest, times) || (times == "x" && StartsWith(rest, "X")))) {
                out.push_back('*');
                rest.remove_prefix(times.size());
                taken = true;
            }
        if (taken)
            continue;
        const char c = rest.front();
        out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
        rest.remove_prefix(1);
    }
    return out;
}

} // namespace

std::optional<Amount> ReadPackSize(std::string_view gbkText)
{
    const std::string text = Normalised(gbkText);
    if (text.empty())
        return std::nullopt;
    std::optional<Amount> measured; // the one mass or volume
    double count = 1;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find('*', start), text.size());
        const std::optional<Amount> factor = Factor(std::string_view(text).substr(start, end - start));
        if (!factor || factor->value <= 0)
            return std::nullopt;
        if (factor->kind == AmountKind::Count) {
            count *= factor->value;
        } else {
            if (measured)
                return std::nullopt;
            measured = factor;
        }
        start = end + 1;
    }
    if (!measured)
        return Amount{AmountKind::Count, count};
    return Amount{measured->kind, measured->value * count};
}

AmountKind KindOf(PriceUnit unit)
{
    switch (unit) {
    case PriceUnit::Per500g:
    case PriceUnit::PerKg:
    case PriceUnit::Per100g:
        return AmountKind::Mass;
    case PriceUnit::PerL:
    case PriceUnit::Per100ml:
        return AmountKind::Volume;
    case PriceUnit::PerPiece:
        break;
    }
    return AmountKind::Count;
}

namespace {

struct UnitInfo {
    PriceUnit unit;
    const char *caption;
    const char *key;
    double base; // grams, millilitres or pieces in one unit
};
constexpr std::array kUnitInfo = {
    UnitInfo{PriceUnit::Per500g, "500g", "500g", 500}, UnitInfo{PriceUnit::PerKg, "kg", "kg", 1000},
    UnitInfo{PriceUnit::Per100g, "100g", "100g", 100}, UnitInfo{PriceUnit::PerL, "L", "L", 1000},
    UnitInfo{PriceUnit::Per100ml, "100ml", "100ml", 100}, UnitInfo{PriceUnit::PerPiece, "件", "piece", 1},
};

const UnitInfo &InfoOf(PriceUnit unit)
{
    return *std::find_if(kUnitInfo.begin(), kUnitInfo.end(), [&](const UnitInfo &i) { return i.unit == unit; });
}

} // namespace

const char *UnitCaption(PriceUnit unit) { return InfoOf(unit).caption; }
std::string UnitKey(PriceUnit unit) { return InfoOf(unit).key; }

std::optional<PriceUnit> UnitFromKey(std::string_view key)
{
    for (const UnitInfo &info : kUnitInfo)
        if (key == info.key)
            return info.unit;
    return std::nullopt;
}

std::optional<PriceUnit> BestUnit(const std::vector<Amount> &sizes)
{
    std::map<AmountKind, std::vector<double>> byKind;
    for (const Amount &a : sizes)
        if (a.value > 0)
            byKind[a.kind].push_back(a.value);
    if (byKind.empty())
        return std::nullopt;
    // The map orders mass, volume, count: the first of the largest groups wins.
    auto best = byKind.begin();
    for (auto it = byKind.begin(); it != byKind.end(); ++it)
        if (it->second.size() > best->second.size())
            best = it;
    std::vector<double> &values = best->second;
    std::sort(values.begin(), values.end());
    const double middle = values[(values.size() - 1) / 2];
    switch (best->first) {
    case AmountKind::Mass:
        return middle < 200 ? PriceUnit::Per100g : middle >= 2000 ? PriceUnit::PerKg : PriceUnit::Per500g;
    case AmountKind::Volume:
        return middle < 500 ? PriceUnit::Per100ml : PriceUnit::PerL;
    case AmountKind::Count:
        break;
    }
    return PriceUnit::PerPiece;
}

std::optional<double> UnitPrice(double price, const Amount &amount, PriceUnit unit)
{
    if (amount.kind != KindOf(unit) || amount.value <= 0)
        return std::nullopt;
    return price * InfoOf(unit).base / amount.value;
}

std::optional<size_t> CheapestBuy(const std::vector<std::optional<double>> &unitPrices)
{
    std::optional<size_t> best;
    int compared = 0;
    for (size_t i = 0; i < unitPrices.size(); ++i) {
        if (!unitPrices[i])
            continue;
        ++compared;
        if (!best || *unitPrices[i] < *unitPrices[*best] - 1e-9)
            best = i;
    }
    return compared >= 2 ? best : std::nullopt;
}

} // namespace corvix
