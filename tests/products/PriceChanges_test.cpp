// Change marks: each site cell against the same product and site in the
// record saved before.
#include "common/CoreTestSupport.h"
#include "products/PriceChanges.h"
#include "products/TestGrids.h"
#include "products/ProductGridModel.h"
#include "products/RecordColumns.h"
#include "products/RecordList.h"
#include "support/Gbk.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using namespace corvix;
using corvix::test::TempDataRoot;

namespace {

using test::MakeGrid;

using Cell = std::pair<int, int>;
struct Expected {
    PriceChange change;
    std::string previousUtf8;
};

void ExpectMarks(const PriceChanges &changes, const ProductGridModel &grid, const std::map<Cell, Expected> &marked)
{
    for (int r = 0; r < grid.RowCount(); ++r) {
        for (int c = 0; c < grid.ColumnCount(); ++c) {
            const auto found = marked.find({r, c});
            const Expected expected = found == marked.end() ? Expected{PriceChange::NotCompared, ""} : found->second;
            EXPECT_EQ(changes.At(r, c).change, expected.change) << "row " << r << ", column " << c;
            EXPECT_EQ(changes.At(r, c).previousText, Gbk(expected.previousUtf8)) << "row " << r << ", column " << c;
        }
    }
}

} // namespace

TEST(ComparePrices, SameProductAndSiteByTitle)
{
    // The earlier record has the sites in another order and no 苏宁.
    const auto previous = MakeGrid({"天猫", "京东"}, {
                                                         {"1", "苹果", "13.00", "￥12.50"},
                                                         {"2", "香蕉", "获取失败", "3"},
                                                         {"3", "苹果", "99", "99"}, // the first 苹果 counts
                                                         {"4", "", "5", "5"},
                                                     });
    const auto current = MakeGrid({"京东", "天猫", "苏宁"}, {
                                                               {"1", "苹果", "12.80", "13", "1"},
                                                               {"2", "香蕉", "2", "3.5", ""},
                                                               {"3", "梨", "1", "1", "1"}, // not in the earlier record
                                                               {"4", "", "5", "5", "5"},   // no title
                                                               {"5", "苹果", "12.50", "暂无报价", ""},
                                                           });
    const PriceChanges changes = ComparePrices(*current, *previous, Gbk("2018-12-04 18:00:00"));
    ExpectMarks(changes, *current,
                {
                    {{0, 2}, {PriceChange::Higher, "￥12.50"}},
                    {{0, 3}, {PriceChange::Same, "13.00"}},
                    {{1, 2}, {PriceChange::Lower, "3"}},
                    {{4, 2}, {PriceChange::Same, "￥12.50"}},
                });
    EXPECT_EQ(changes.PreviousTime(), Gbk("2018-12-04 18:00:00"));
    EXPECT_EQ(changes.At(99, 2).change, PriceChange::NotCompared);
    EXPECT_EQ(changes.At(0, -1).change, PriceChange::NotCompared);
}

TEST(CompareWithRecord, ResultsAgainstTheNewestRecordAViewedOneAgainstTheOneBefore)
{
    TempDataRoot root;
    const auto db = root.Dirs().dbDir;
    TempDataRoot::WriteBytes(db / "1543910400.txt", "A|10|\r\nB|20|");
    TempDataRoot::WriteBytes(db / "1543996800.txt", "A|11|\r\nB|20|");
    TempDataRoot::WriteBytes(db / "1544083200.txt", "A|9|\r\nB|25|");
    const std::vector<RecordListEntry> entries = ListRecordEntries(db);
    ASSERT_EQ(entries.size(), 3u);

    const auto results = MakeGrid({"京东"}, {{"1", "A", "9"}, {"2", "B", "19.9"}});
    const PriceChanges afterRun = CompareWithRecord(*results, db, entries.back());
    EXPECT_EQ(afterRun.At(0, 2).change, PriceChange::Same);
    EXPECT_EQ(afterRun.At(1, 2).change, PriceChange::Lower);
    EXPECT_EQ(afterRun.At(1, 2).previousText, "25");
    EXPECT_EQ(afterRun.PreviousTime(), entries.back().displayTime);
    EXPECT_FALSE(afterRun.PreviousTime().empty());

    const RecordListEntry *before = RecordBefore(entries, "1543996800");
    ASSERT_NE(before, nullptr);
    EXPECT_EQ(before->name, "1543910400");
    const auto viewed = MakeGrid({"京东"}, {{"1", "A", "11"}, {"2", "B", "20"}});
    const PriceChanges marks = CompareWithRecord(*viewed, db, *before);
    EXPECT_EQ(marks.At(0, 2).change, PriceChange::Higher);
    EXPECT_EQ(marks.At(0, 2).previousText, "10");
    EXPECT_EQ(marks.At(1, 2).change, PriceChange::Same);
    EXPECT_EQ(marks.PreviousTime(), before->displayTime);

    EXPECT_EQ(RecordBefore(entries, "1543910400"), nullptr); // the first has none
    EXPECT_EQ(RecordBefore(entries, "1"), nullptr);          // not listed
}

// The earlier record was saved under 甲铺, 乙铺, 丙铺; 乙铺 was closed since.
TEST(CompareWithRecord, ComparesEachShopWithItsOwnEarlierPrice)
{
    TempDataRoot root;
    const auto db = root.Dirs().dbDir;
    TempDataRoot::WriteBytes(db / "1543910400.txt", "P|10|20|30|");
    ASSERT_TRUE(WriteRecordColumns(db, "1543910400.txt", *MakeGrid({"甲铺", "乙铺", "丙铺"}, {})));
    const auto grid = MakeGrid({"丙铺", "甲铺"}, {{"1", "P", "30", "11"}});
    const PriceChanges marks = CompareWithRecord(*grid, db, ListRecordEntries(db).front());
    ExpectMarks(marks, *grid, {{{0, 2}, {PriceChange::Same, "30"}}, {{0, 3}, {PriceChange::Higher, "10"}}});
}

TEST(CompareCapturedPrice, AgainstTheFirstRowOfItsTitleInItsShop)
{
    const auto previous =
        MakeGrid({"天猫", "京东"}, {{"1", "苹果", "2", "12"}, {"2", "香蕉", "12,50", "1"}, {"3", "苹果", "1", "1"}});
    const std::tuple<const char *, const char *, const char *, PriceChange, const char *> cases[] = {
        {"1,299", "苹果", "天猫", PriceChange::Lower, "2"}, // the shop writes its decimals with a comma
        {"12.50", "苹果", "京东", PriceChange::Higher, "12"},
        {"获取失败", "苹果", "京东", PriceChange::NotCompared, ""},
        {"3", "梨", "京东", PriceChange::NotCompared, ""},
    };
    for (const auto &[now, title, shop, change, before] : cases) {
        const PriceChangeMark mark = CompareCapturedPrice(Gbk(now), Gbk(title), Gbk(shop), *previous);
        EXPECT_EQ(std::make_pair(mark.change, mark.previousText), std::make_pair(change, Gbk(before))) << now;
    }
}

TEST(FittedShopColumnWidth, WidensToTheTitleOrTheMarkedPriceWithinABound)
{
    const std::tuple<int, ShopColumnContent, int> cases[] = {
        {60, {60, 48, 10, 8}, 66},   // "↑1,299.00" needs more than 60 px
        {60, {90, 48, 10, 8}, 90},   // a long title
        {60, {60, 400, 10, 8}, 180}, // a long text takes no more than the bound
        {120, {60, 48, 10, 8}, 120}, // a user's wider column stays
    };
    for (const auto &[current, content, expected] : cases)
        EXPECT_EQ(FittedShopColumnWidth(current, content, 180), expected) << current;
}
