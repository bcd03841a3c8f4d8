#pragma once
// Prices written in cell texts: digits with optional thousands separators
// ("1,299") and decimals, optionally after a currency sign. Texts are GBK.
#include <optional>
#include <string>
#include <string_view>

namespace corvix {

// A price and how its text writes it.
struct PriceText {
    double value = 0.0;
    std::string sign;     // GBK bytes of the currency sign before the digits; empty when none
    bool grouped = false; // thousands separators between the digits
    int decimals = 0;     // digits after the decimal point
};

// The leading number of a cell text with its thousands separators removed
// ("1,299.00" gives 1299, "￥368" 368, "4,150.00元/吨" 4150); blanks and one
// currency sign may stand before it. nullopt for a text without one ("获取失败",
// "暂无报价", "-", "").
std::optional<double> LeadingPrice(std::string_view gbkCellText);

// The price when it is the whole text ("￥1,299.00", "12.5", "368") and reads
// back the same from its value and format: nothing before or after it, no
// leading zeros, at most 15 significant digits. nullopt for any other text.
std::optional<PriceText> WholePrice(std::string_view gbkText);

} // namespace corvix
