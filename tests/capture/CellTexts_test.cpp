#include "capture/CellTexts.h"
#include "support/Gbk.h"
#include <gtest/gtest.h>

namespace corvix {
namespace {

TEST(CellTexts, EachTextIsOneState)
{
    using S = CellState;
    const std::pair<const char *, CellState> rows[] = {
        {"", S::Empty},
        {"获取失败", S::Failed},
        {"链接不正确", S::BadLink},
        {"—", S::NoLink},
        {"12.50", S::Price},
        {"￥1,299.00", S::Price},
        {"缺货", S::OutOfStock},
        {"暂时缺货", S::OutOfStock},
        {"无货", S::OutOfStock},
        {"已售完", S::OutOfStock},
        {"已售罄", S::OutOfStock},
        {"售罄", S::OutOfStock},
        {"已下架", S::OutOfStock},
        {"暂无报价", S::OutOfStock},
        {"到货通知", S::OutOfStock},
        {" 该商品已下架 ", S::OutOfStock},
        {"Sold out", S::OutOfStock},
        {"SOLD OUT", S::OutOfStock},
        {"Out of stock", S::OutOfStock},
        {"Currently unavailable.", S::OutOfStock},
        {"已售罄 ￥59.00", S::Price},      // a price is a price, whatever stands beside it
        {"缺货登记 59", S::Price},
        {"-", S::Other},                    // typed link, no capture yet
        {"请选择规格", S::Other},
        // A paragraph that names a sold-out product elsewhere is no stock state.
        {"本店部分商品已售完，请选择其它规格或联系客服了解到货时间，感谢您的支持与理解。", S::Other},
    };
    for (const auto &[text, state] : rows)
        EXPECT_EQ(ClassifyCell(Gbk(text)), state) << "row: " << text;
}

TEST(CellTexts, OnlyEmptyAndFailedCellsAreRetried)
{
    EXPECT_TRUE(NeedsRetry(ClassifyCell("")));
    EXPECT_TRUE(NeedsRetry(ClassifyCell(FailureText())));
    EXPECT_FALSE(NeedsRetry(ClassifyCell(OutOfStockText())));
    EXPECT_FALSE(NeedsRetry(ClassifyCell(Gbk("暂时缺货"))));
    EXPECT_FALSE(NeedsRetry(ClassifyCell("9.90")));
}

} // namespace
} // namespace corvix
