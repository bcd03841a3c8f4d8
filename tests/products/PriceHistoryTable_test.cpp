// One product's history as the rows and columns of the history window.
#include "products/PriceHistoryTable.h"
#include "products/PriceText.h"
#include "products/ProductGridModel.h"
#include "products/RecordStamp.h"
#include "support/Gbk.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace corvix;

namespace {

using Prices = std::vector<std::optional<double>>;

PriceSeries Series(const char *shop, std::vector<std::pair<std::string, double>> points)
{
    PriceSeries series{Gbk(shop), {}};
    for (const auto &[name, price] : points)
        series.points.push_back({name, StampToDisplayTime(name), price, PriceNumberText(price)});
    return series;
}

} // namespace

TEST(TabulateHistory, ARowPerRecordOfAnySeriesWithAGapWhereAShopHadNoPrice)
{
    const PriceHistoryTable table = TabulateHistory(
        {Series("京东", {{"1543910400", 10}, {"1544083200", 1100}}), Series("天猫", {{"1543910400", 20}, {"1543996800", 21}}),
         Series("拼多多", {})});
    EXPECT_EQ(table.shops, (std::vector<std::string>{Gbk("京东"), Gbk("天猫"), Gbk("拼多多")}));
    ASSERT_EQ(table.rows.size(), 3u);
    const std::vector<std::string> names{"1543910400", "1543996800", "1544083200"};
    const std::vector<Prices> prices{{10, 20, std::nullopt}, {std::nullopt, 21, std::nullopt}, {1100, std::nullopt, std::nullopt}};
    for (size_t r = 0; r < 3; ++r) {
        EXPECT_EQ(table.rows[r].recordName, names[r]);
        EXPECT_EQ(table.rows[r].recordTime, StampToDisplayTime(names[r]));
        EXPECT_EQ(table.rows[r].time, RecordDateTime(names[r]));
        EXPECT_EQ(table.rows[r].prices, prices[r]) << r;
    }
    EXPECT_TRUE(table.AllTimed());
}

TEST(TabulateHistory, TimedRowsGoByTimeOthersByName)
{
    // An older installation's millisecond name sorts before the stamps by name
    // but is the latest of the three.
    const PriceHistoryTable timed =
        TabulateHistory({Series("京东", {{"1543910400", 1}, {"1543996800", 2}, {"1544083200000", 3}})});
    ASSERT_EQ(timed.rows.size(), 3u);
    EXPECT_EQ(timed.rows[2].recordName, "1544083200000");

    const PriceHistoryTable untimed = TabulateHistory({Series("京东", {{"b", 1}, {"1543910400", 2}, {"a", 3}})});
    ASSERT_EQ(untimed.rows.size(), 3u);
    EXPECT_FALSE(untimed.AllTimed());
    EXPECT_EQ(untimed.rows[0].recordName, "1543910400");
    EXPECT_EQ(untimed.rows[1].recordName, "a");
    EXPECT_EQ(RowLabel(untimed.rows[1]), "a"); // no time: the name labels the row
    EXPECT_EQ(RowLabel(untimed.rows[0]), StampToDisplayTime("1543910400"));
}

TEST(PriceSegments, AFailedCaptureBreaksTheLineAMissingCellDoesNot)
{
    // The cells of 京东 over seven records; 天猫 has a price in each.
    const char *const cells[] = {"95", "获取失败", "1,299.00", "97", "", "102", "—", "暂时缺货", "缺货", "99"};
    PriceSeries jd{Gbk("京东"), {}};
    PriceSeries tmall = Series("天猫", {});
    for (int r = 0; r < 10; ++r) {
        const std::string name = std::to_string(1543910400 + 86400 * r);
        tmall.points.push_back({name, "", 1, "1"});
        if (*cells[r])
            jd.points.push_back({name, "", ReadPrice(Gbk(cells[r])), Gbk(cells[r])});
    }
    const PriceHistoryTable table = TabulateHistory({jd, tmall});
    using Segments = std::vector<std::vector<size_t>>;
    EXPECT_EQ(PriceSegments(table, 0), (Segments{{0}, {2, 3, 5}, {9}})); // out of stock breaks it too
    EXPECT_EQ(PriceSegments(table, 1), (Segments{{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}}));
    EXPECT_EQ(table.rows[1].texts[0], Gbk("获取失败"));
    EXPECT_EQ(OutOfStockRows(table, 0), (std::vector<size_t>{7, 8}));
    EXPECT_EQ(std::tuple(table.rows[1].Failed(0), table.rows[7].Failed(0), table.rows[7].OutOfStock(0)),
              std::tuple(true, false, true));
    EXPECT_EQ(PriceDecimals(table), 2); // of "1,299.00"
}

TEST(InUnitPrices, EachShopForItsPackSizeShopsWithoutOneLeftOut)
{
    const PriceHistoryTable table =
        TabulateHistory({Series("京东", {{"1543910400", 60}}), Series("天猫", {{"1543910400", 35}}),
                         Series("淘宝", {{"1543910400", 9}})});
    const PriceHistoryTable unit = InUnitPrices(
        table, {Amount{AmountKind::Mass, 500}, Amount{AmountKind::Mass, 250}, Amount{AmountKind::Count, 3}},
        PriceUnit::PerKg);
    EXPECT_EQ(unit.shops, (std::vector<std::string>{Gbk("京东"), Gbk("天猫")}));
    ASSERT_EQ(unit.rows.size(), 1u);
    EXPECT_EQ(unit.rows[0].prices, (std::vector<std::optional<double>>{120.0, 140.0}));
    EXPECT_EQ(unit.rows[0].texts, (std::vector<std::string>{"60", "35"}));
}

TEST(PriceNumberText, FewestDigitsNeverAnExponent)
{
    const std::vector<std::pair<double, std::string>> cases = {
        {1299, "1299"}, {12.5, "12.5"}, {0.1, "0.1"}, {1000000, "1000000"}, {4150.25, "4150.25"}, {0, "0"}};
    for (const auto &[value, text] : cases)
        EXPECT_EQ(PriceNumberText(value), text) << value;
}

TEST(HistoryAsGrid, TimeColumnThenAShopColumnOfNumbers)
{
    const auto grid = HistoryAsGrid(TabulateHistory({Series("京东", {{"1543910400", 1299}}), Series("天猫", {})}));
    ASSERT_EQ(grid->ColumnCount(), 3);
    EXPECT_EQ(grid->Title(0), Gbk("记录时间"));
    EXPECT_EQ(grid->Title(1), Gbk("京东"));
    EXPECT_EQ(grid->Title(2), Gbk("天猫"));
    ASSERT_EQ(grid->RowCount(), 1);
    EXPECT_EQ(grid->Text(0, 0), StampToDisplayTime("1543910400"));
    EXPECT_EQ(grid->Text(0, 1), "1299");
    EXPECT_EQ(grid->Text(0, 2), "");
}
