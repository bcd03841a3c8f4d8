#include "products/GridSearch.h"

#include "products/ProductGridModel.h"
#include "support/Gbk.h"

#include <gtest/gtest.h>

namespace corvix {
namespace {

void Fill(ProductGridModel &grid, const std::vector<std::vector<std::string>> &rows)
{
    grid.AddFixedColumns();
    grid.AddColumn("X", 60, Qt::AlignHCenter);
    grid.AppendRows(rows);
}

TEST(GridSearch, IdsFirstThenCellsByPrefix)
{
    ProductGridModel grid;
    Fill(grid, {{"1", "Apple", "12.50"},
                                          {"2", "10 pack", "1.5"},
                                          {"3", "apple pie", "x"},
                                          {"4", Gbk("苹果"), Gbk("获取失败")},
                                          {"a5", "Kiwi", ""}});
    struct Case {
        std::string text;
        int row;
    } cases[] = {
        {"1", 0},          // the ID "1" comes before the title "10 pack"
        {"10", 1},         // no ID begins with 10; the title does
        {"Apple", 0},      {"apple", 2}, // titles compare byte for byte
        {"12.5", 0},       {"1.5", 1},
        {Gbk("苹"), 3},    {Gbk("获取"), 3},
        {"A5", 4},         // IDs compare without regard to ASCII case
        {"pie", -1},       {"", -1},
        {"Kiwi ", -1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(SearchGridRows(grid, c.text), c.row) << GbkToUtf8(c.text);
}

TEST(GridSearch, TheLetterAfterAEuroSignStillFolds)
{
    ProductGridModel grid;
    Fill(grid, {{"\x80X", "t", ""}, {"2", "\x80" "b", ""}});
    EXPECT_EQ(SearchGridRows(grid, "\x80x"), 0);
    EXPECT_EQ(SearchGridRows(grid, "\x80" "b"), 1);
}

TEST(GridSearch, EmptyGrid)
{
    ProductGridModel grid;
    Fill(grid, {});
    EXPECT_EQ(SearchGridRows(grid, "1"), -1);
}

} // namespace
} // namespace corvix
