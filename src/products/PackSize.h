#pragma once
// What one shop's link sells ("500g", "2斤", "12瓶×500ml", "1.5L", "3件") as an
// amount of mass, volume or count, and prices per unit of such amounts, so that
// a row's cheapest cell and its cheapest buy can be told apart.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

enum class AmountKind { Mass, Volume, Count };

struct Amount {
    AmountKind kind = AmountKind::Count;
    double value = 0; // grams, millilitres or pieces

    bool operator==(const Amount &) const = default;
};

// The amount a pack-size text (GBK) names: a number (digits, or a Chinese
// numeral up to 十二) with a unit of mass (g 克 kg 公斤 千克 斤 两), volume
// (ml 毫升 L 升) or count (件 瓶 盒 袋 …, "装" after it allowed), or none for a
// bare count; factors joined by "×", "*", "x" multiply ("12瓶×500ml" is 6 L).
// nullopt for a text it cannot read, or one with two masses or volumes.
std::optional<Amount> ReadPackSize(std::string_view gbkText);

// The unit a product's prices are compared in.
enum class PriceUnit { Per500g, PerKg, Per100g, PerL, Per100ml, PerPiece };

AmountKind KindOf(PriceUnit unit);
// "500g", "kg", "100g", "L", "100ml", "件": the caption after "每".
const char *UnitCaption(PriceUnit unit); // UTF-8
// The key as a side file keeps it ("500g", "kg", ...): UnitCaption in ASCII but for "件" ("piece").
std::string UnitKey(PriceUnit unit);
std::optional<PriceUnit> UnitFromKey(std::string_view key);

// The unit that best fits a product's sizes: their most common kind (mass
// before volume before count on a tie), and for mass and volume the unit near
// their middle size: per 100 g below 200 g, per kg from 2 kg, else per 500 g;
// per 100 ml below 500 ml, else per L. nullopt without any size.
std::optional<PriceUnit> BestUnit(const std::vector<Amount> &sizes);

// The price of one unit when the pack of amount costs price; nullopt when the
// amount is of another kind or nothing.
std::optional<double> UnitPrice(double price, const Amount &amount, PriceUnit unit);

// The cell of a row that is the cheapest buy: the lowest unit price among the
// cells with a price and a size of the unit's kind, the first of equal ones;
// nullopt unless at least two cells can be compared.
std::optional<size_t> CheapestBuy(const std::vector<std::optional<double>> &unitPrices);

} // namespace corvix
