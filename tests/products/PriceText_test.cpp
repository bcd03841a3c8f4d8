// Prices in cell texts: the leading number that change marks and the price
// history compare, and the whole-text price that the export writes as a number.
#include "products/PriceText.h"
#include "support/Gbk.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace corvix;

TEST(LeadingPrice, ReadsTheLeadingNumberWithoutThousandsSeparators)
{
    struct Case {
        std::string utf8;
        std::optional<double> price;
    };
    const std::vector<Case> cases = {
        {"1,299.00", 1299},
        {"￥368", 368},
        {"$248.00", 248},
        {"4,150.00元/吨", 4150},
        {"12.5", 12.5},
        {"  ￥ 99", 99},
        {"¥368", 368}, // held as "?368": the sign has no GBK form
        {"1,234,567.8", 1234567.8},
        {"1,29", 1},          // a comma needs three digits after it
        {"1234,567", 1234},   // and at most three before it
        {"368.", 368},
        {"368-399", 368},
        {"0.5", 0.5},
        {"获取失败", std::nullopt},
        {"暂无报价", std::nullopt},
        {"-", std::nullopt},
        {"", std::nullopt},
        {"￥", std::nullopt},
        {".5", std::nullopt},
        {"约368", std::nullopt},
        {"-12", std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(LeadingPrice(Gbk(c.utf8)), c.price) << c.utf8;
}

TEST(WholePrice, OnlyATextThatIsAPriceFromEndToEnd)
{
    struct Case {
        std::string utf8;
        std::optional<double> value;
        std::string signUtf8;
        bool grouped;
        int decimals;
    };
    const std::vector<Case> cases = {
        {"￥1,299.00", 1299, "￥", true, 2},
        {"12.5", 12.5, "", false, 1},
        {"368", 368, "", false, 0},
        {"$248.00", 248, "$", false, 2},
        {"¥9.9", 9.9, "?", false, 1},
        {"0.05", 0.05, "", false, 2},
        {"0", 0, "", false, 0},
        {"123456789012345", 123456789012345.0, "", false, 0},
        {"1234567890123456", std::nullopt, "", false, 0}, // more digits than a double keeps
        {"007", std::nullopt, "", false, 0},              // leading zeros would be lost
        {"4,150.00元/吨", std::nullopt, "", false, 0},
        {" 368", std::nullopt, "", false, 0},
        {"368 ", std::nullopt, "", false, 0},
        {"368.", std::nullopt, "", false, 0},
        {"1,29", std::nullopt, "", false, 0},
        {"获取失败", std::nullopt, "", false, 0},
        {"", std::nullopt, "", false, 0},
    };
    for (const Case &c : cases) {
        const std::optional<PriceText> price = WholePrice(Gbk(c.utf8));
        ASSERT_EQ(price.has_value(), c.value.has_value()) << c.utf8;
        if (!price)
            continue;
        EXPECT_EQ(price->value, *c.value) << c.utf8;
        EXPECT_EQ(price->sign, Gbk(c.signUtf8)) << c.utf8;
        EXPECT_EQ(price->grouped, c.grouped) << c.utf8;
        EXPECT_EQ(price->decimals, c.decimals) << c.utf8;
    }
}
