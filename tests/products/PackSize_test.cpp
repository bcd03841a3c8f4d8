#include "products/PackSize.h"
#include "support/Gbk.h"
#include <gtest/gtest.h>

namespace corvix {
namespace {

constexpr AmountKind M = AmountKind::Mass, V = AmountKind::Volume, C = AmountKind::Count;

TEST(PackSize, ReadsTheFormsShopsWrite)
{
    const std::pair<const char *, std::optional<Amount>> rows[] = {
        {"500g", Amount{M, 500}},       {"1kg", Amount{M, 1000}},        {"1KG", Amount{M, 1000}},
        {"2斤", Amount{M, 1000}},       {"1 斤", Amount{M, 500}},        {"3两", Amount{M, 150}},
        {"一两", Amount{M, 50}},        {"2公斤", Amount{M, 2000}},      {"1千克", Amount{M, 1000}},
        {"250克", Amount{M, 250}},      {"2 × 250 g", Amount{M, 500}},   {"2x250g", Amount{M, 500}},
        {"500ml*12", Amount{V, 6000}},  {"12瓶×500ml", Amount{V, 6000}}, {"1.5L", Amount{V, 1500}},
        {"330毫升", Amount{V, 330}},    {"2升", Amount{V, 2000}},        {"6罐＊330ml", Amount{V, 1980}},
        {"3件", Amount{C, 3}},          {"2盒装", Amount{C, 2}},         {"12", Amount{C, 12}},
        {"十二瓶", Amount{C, 12}},      {"两袋", Amount{C, 2}},          {"十袋", Amount{C, 10}},
        {"五盒装", Amount{C, 5}},       {"三件×500g", Amount{M, 1500}},  {"2袋*2斤", Amount{M, 2000}},
        {"", std::nullopt},             {"大份", std::nullopt},          {"500", Amount{C, 500}},
        {"两", std::nullopt},           {"500g×1L", std::nullopt},       {"1..5L", std::nullopt},
        {"0g", std::nullopt},           {"500 磅", std::nullopt},        {"×2", std::nullopt},
    };
    for (const auto &[text, amount] : rows)
        EXPECT_EQ(ReadPackSize(Gbk(text)), amount) << "row: " << text;
}

TEST(PackSize, UnitPricesCompareOnlyAmountsOfOneKind)
{
    struct Row {
        double price;
        Amount amount;
        PriceUnit unit;
        std::optional<double> perUnit;
    };
    const Row rows[] = {
        {60, {M, 500}, PriceUnit::Per500g, 60},  {60, {M, 1000}, PriceUnit::Per500g, 30},
        {60, {M, 1000}, PriceUnit::PerKg, 60},   {12, {M, 250}, PriceUnit::Per100g, 4.8},
        {30, {V, 6000}, PriceUnit::PerL, 5},     {3, {V, 330}, PriceUnit::Per100ml, 3 * 100 / 330.0},
        {90, {C, 3}, PriceUnit::PerPiece, 30},   {60, {C, 3}, PriceUnit::Per500g, std::nullopt},
        {60, {M, 500}, PriceUnit::PerL, std::nullopt},
    };
    for (const Row &row : rows) {
        const std::optional<double> got = UnitPrice(row.price, row.amount, row.unit);
        ASSERT_EQ(got.has_value(), row.perUnit.has_value()) << "row: " << row.price << " " << UnitKey(row.unit);
        if (got) {
            EXPECT_NEAR(*got, *row.perUnit, 1e-9) << "row: " << row.price << " " << UnitKey(row.unit);
        }
    }
}

TEST(PackSize, TheBestUnitFitsTheMiddleSizeOfTheCommonestKind)
{
    const std::pair<std::vector<Amount>, std::optional<PriceUnit>> rows[] = {
        {{}, std::nullopt},
        {{{M, 500}, {M, 250}, {M, 1000}}, PriceUnit::Per500g},
        {{{M, 100}, {M, 150}}, PriceUnit::Per100g},
        {{{M, 2500}, {M, 5000}}, PriceUnit::PerKg},
        {{{V, 330}, {V, 250}, {M, 500}}, PriceUnit::Per100ml},
        {{{V, 6000}}, PriceUnit::PerL},
        {{{C, 3}, {C, 2}, {M, 500}}, PriceUnit::PerPiece},
        {{{C, 3}, {M, 500}}, PriceUnit::Per500g}, // a tie goes to mass
    };
    for (size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(BestUnit(rows[i].first), rows[i].second) << "row " << i;
    for (PriceUnit unit : {PriceUnit::Per500g, PriceUnit::PerKg, PriceUnit::Per100g, PriceUnit::PerL,
                           PriceUnit::Per100ml, PriceUnit::PerPiece})
        EXPECT_EQ(UnitFromKey(UnitKey(unit)), unit);
}

TEST(PackSize, TheCheapestBuyNeedsTwoComparableCells)
{
    using P = std::vector<std::optional<double>>;
    const std::pair<P, std::optional<size_t>> rows[] = {
        {{}, std::nullopt},
        {{5.0}, std::nullopt},
        {{5.0, std::nullopt}, std::nullopt},
        {{5.0, 4.0}, 1},
        {{std::nullopt, 4.0, 3.5, 3.5}, 2}, // the first of equal ones
        {{2.0, std::nullopt, 3.0}, 0},
    };
    for (size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(CheapestBuy(rows[i].first), rows[i].second) << "row " << i;
}

} // namespace
} // namespace corvix
