#include "products/ProductGridModel.h"

#include "products/TestGrids.h"

#include <gtest/gtest.h>

namespace corvix {
namespace {

// The cells a stopped run did not reach stay marked as rows and columns move.
TEST(ProductGridModel, NotRefreshedCellsMoveWithTheirRowsAndColumns)
{
    const auto grid = test::MakeGrid({"S1", "S2"}, {{"1", "A", "1", "2"}, {"2", "B", "3", "4"}, {"3", "C", "5", "6"}});
    grid->MarkNotRefreshed({{0, 3}, {1, 2}, {2, 3}});
    grid->MarkRefreshed(0, 3);
    grid->RemoveRow(1);                        // B's mark goes, C's moves up
    grid->InsertRow(0, {"0", "New"});          // everything moves down
    grid->InsertColumn(2, "S0", 60, Qt::AlignHCenter); // shop columns move right
    for (int r = 0; r < grid->RowCount(); ++r)
        for (int c = 0; c < grid->ColumnCount(); ++c)
            EXPECT_EQ(grid->NotRefreshed(r, c), r == 2 && c == 4) << r << "," << c;
    EXPECT_EQ(grid->Text(2, 4), "6");
    grid->ClearRows();
    grid->AppendRows({{"1", "A", "", "", ""}, {"2", "B", "", "", ""}, {"3", "C", "", "", ""}});
    EXPECT_FALSE(grid->NotRefreshed(2, 4));
}

} // namespace
} // namespace corvix
