#pragma once
// Prices written in cell texts: digits with optional thousands separators
// ("1,299") and decimals, optionally after a currency sign. Texts are GBK.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

// A price and how its text writes it.
struct PriceText {
    double value = 0.0;
    std::string sign;     // GBK bytes of the currency sign before the digits; empty when none
    bool grouped = false; // thousands separators between the digits
    int decimals = 0;     // digits after the decimal point
};

// Which mark a shop writes its decimals with, where its texts show it.
enum class DecimalMark { Unknown, Point, Comma };

// The price a person reads in a cell text, as shops of many countries write
// it: the first number, its digits grouped by comma, point, blank, thin space
// or apostrophe and its decimals after a point or a comma ("1,299.00",
// "9.990,00 €", "1 890 руб", "CHF 1'049,95", "35,70 €"), with a currency sign or
// code before or after it and one short label before it ("到手价 ¥199",
// "促销价：59"), "万" as ten thousand ("1.2万"), a range read as its lower end
// ("59.9-69.9"). One separator followed by exactly three digits ("1.299",
// "1,299") is a thousands group, unless `mark` says the shop writes its
// decimals with that separator. nullopt for a text without a price ("获取失败",
// "暂无报价", "—", "-12", a long sentence).
std::optional<double> ReadPrice(std::string_view gbkCellText, DecimalMark mark = DecimalMark::Unknown);

// The decimal mark of a shop's texts (one column): the mark of the prices that
// show it beyond doubt ("12,50", "1.299,00", "12.5"), when they agree.
DecimalMark DecimalMarkOf(const std::vector<std::string> &gbkCellTexts);

// The price of a cell as ReadPrice reads it without a column to go by.
std::optional<double> LeadingPrice(std::string_view gbkCellText);

// The price when it is the whole text ("￥1,299.00", "12.5", "368") and reads
// back the same from its value and format: nothing before or after it, no
// leading zeros, at most 15 significant digits. nullopt for any other text.
std::optional<PriceText> WholePrice(std::string_view gbkText);

// The price when the text reads as one price and nothing more, as ReadPrice
// reads it: a short label or currency before the number, a currency or unit
// word after it ("元", " €", "起"), no second number ("1/4", "$248.00$248.00",
// "到手价56.8069.90") and at most three decimals. sign is left empty; decimals
// counts the digits after the decimal mark. nullopt for any other text.
std::optional<PriceText> ReadOnePrice(std::string_view gbkText);

// The ASCII digits of a text in their order, without what stands between
// them: how much of a price a piece of it shows ("248." of "$248.00").
std::string DigitsOf(std::string_view text);

} // namespace corvix
