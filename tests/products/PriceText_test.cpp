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
        {"1,29", 1.29},       // a comma before other than three digits is a decimal comma
        {"1234,567", 1234.567}, // as after more than three digits
        {"368.", 368},
        {"368-399", 368},
        {"0.5", 0.5},
        {"获取失败", std::nullopt},
        {"暂无报价", std::nullopt},
        {"-", std::nullopt},
        {"", std::nullopt},
        {"￥", std::nullopt},
        {".5", std::nullopt},
        {"约368", 368},
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

// Price texts as shops of many countries write them, and as a person reads them.
TEST(ReadPrice, ReadsPricesAsPeopleWriteThem)
{
    struct Case {
        std::string utf8;
        std::optional<double> price;
    };
    const std::vector<Case> cases = {
        // Chinese shops.
        {"￥1,299.00", 1299}, {"¥368", 368}, {"￥ 99", 99}, {"368元", 368}, {"368.00 元起", 368},
        {"RMB 368.00", 368}, {"RMB368", 368}, {"CNY 1,280", 1280}, {"CNY368.5", 368.5}, {"1.2万", 12000},
        {"￥1.29万", 12900}, {"3万", 30000}, {"2.5 万元", 25000}, {"到手价 ¥199", 199}, {"到手价￥199.00", 199},
        {"券后￥89.9", 89.9}, {"券后 89", 89}, {"促销价：59", 59}, {"促销价:59.90", 59.9}, {"活动价 1,099", 1099},
        {"京东价￥5699.00", 5699}, {"¥59.9-69.9", 59.9}, {"59.9~69.9", 59.9}, {"￥59.9 - ￥69.9", 59.9},
        {"59-69元", 59}, {"¥ 4,150.00元/吨", 4150}, {"1299", 1299}, {"0.99", 0.99}, {"￥0.5", 0.5},
        {"12.50元/斤", 12.5}, {"特价：9.9", 9.9}, {"秒杀价¥1", 1}, {"会员价 88.00", 88}, {"拼团价￥19.9", 19.9},
        {"¥12,800", 12800}, {"¥128,000.00", 128000}, {"1,234,567.89", 1234567.89}, {"¥ 2 999", 2999},
        {"价格：￥3,299", 3299}, {"参考价 ¥399", 399}, {"5699.00 ", 5699}, {"  368  ", 368}, {"368.", 368},
        {"¥368起", 368}, {"¥9.90包邮", 9.9},
        // Decimal commas, groups by point, blank, thin space and apostrophe.
        {"35,70 €", 35.7}, {"35,70€", 35.7}, {"€35,70", 35.7}, {"€ 35,70", 35.7}, {"9.990,00 €", 9990},
        {"1.299,00 €", 1299}, {"1.299 €", 1299}, {"1.299,5 €", 1299.5}, {"12,5", 12.5}, {"0,99 €", 0.99},
        {"2,49 €/kg", 2.49}, {"1 890 руб", 1890}, {"1 890 руб.", 1890}, {"1 890,50 руб", 1890.5},
        {"1 890 ₽", 1890}, {"1 299,00 €", 1299}, {"1 299,00 €", 1299}, {"CHF 1'049,95", 1049.95},
        {"CHF 1'049.95", 1049.95}, {"CHF 47.00", 47}, {"CHF 47.–", 47}, {"Fr. 12.90", 12.9},
        {"1 299,00 zł", 1299}, {"129,99 zł", 129.99}, {"129,99 zl", 129.99}, {"Cena 45,99 zł", 45.99},
        {"Cena: 45,99 zł", 45.99}, {"12.345.678", 12345678}, {"1.299.000,00", 1299000}, {"12,500", 12500},
        {"12.990 ₫", 12990}, {"0,299", 0.299}, {"0.299", 0.299}, {"1,29", 1.29}, {"1234,567", 1234.567},
        {"1234.567", 1234.567}, {"kr 1 299", 1299}, {"1 299 kr", 1299}, {"1.299 kr", 1299}, {"Kč 1 299", 1299},
        {"2 990 Kč", 2990}, {"1.299,- €", 1299}, {"49,- €", 49},
        // Currency signs and codes before or after.
        {"US$:12.99", 12.99}, {"US$12.99", 12.99}, {"US $12.99", 12.99}, {"$1,299.99", 1299.99}, {"$ 5", 5},
        {"12.99 USD", 12.99}, {"USD 12.99", 12.99}, {"R$260,00", 260}, {"R$ 1.260,00", 1260}, {"£12.99", 12.99},
        {"£1,299", 1299}, {"12,99 £", 12.99}, {"€12.99", 12.99}, {"EUR 12,99", 12.99}, {"12,99 EUR", 12.99},
        {"AU$ 49.95", 49.95}, {"C$ 19.99", 19.99}, {"HK$ 388", 388}, {"NT$1,290", 1290}, {"S$ 12.90", 12.9},
        {"₹1,299", 1299}, {"Rs. 499", 499}, {"₩12,900", 12900}, {"12,900원", 12900}, {"¥1,280 (税込)", 1280},
        {"1,280円", 1280}, {"1280 円(税込)", 1280}, {"฿ 1,290", 1290}, {"RM 49.90", 49.9}, {"Rp 150.000", 150000},
        {"₱1,299.00", 1299}, {"zł 49,99", 49.99}, {"49.99 лв.", 49.99}, {"1 299 ₴", 1299}, {"TL 1.299,90", 1299.9},
        {"1.299,90 TL", 1299.9}, {"₺1.299,90", 1299.9}, {"AED 99.00", 99}, {"SAR 1,299", 1299},
        // Labels in other languages.
        {"Price: $12.99", 12.99}, {"Now £9.99", 9.99}, {"Sale 19,99 €", 19.99}, {"ab 9,99 €", 9.99},
        {"Preis: 29,95 €", 29.95}, {"Prix 12,50 €", 12.5}, {"Цена 1 890 руб", 1890}, {"Precio: 12,50 €", 12.5},
        {"Prezzo 1.299,00 €", 1299}, {"from $9", 9},
        // No price.
        {"获取失败", std::nullopt}, {"链接不正确", std::nullopt}, {"暂无报价", std::nullopt}, {"—", std::nullopt},
        {"-", std::nullopt}, {"", std::nullopt}, {"￥", std::nullopt}, {".5", std::nullopt}, {"-12", std::nullopt},
        {"价格面议", std::nullopt}, {"Out of stock", std::nullopt}, {"Sold out", std::nullopt}, {"缺货", std::nullopt},
        {"这件商品在本店已经下架很久了，库存还有3件", std::nullopt}, {"N/A", std::nullopt}, {"$", std::nullopt},
        {"€ -", std::nullopt}, {"免费", std::nullopt},
    };
    int right = 0;
    for (const Case &c : cases) {
        const std::optional<double> price = ReadPrice(Gbk(c.utf8));
        EXPECT_EQ(price, c.price) << c.utf8;
        right += price == c.price;
    }
    EXPECT_GE(cases.size(), 150u);
    RecordProperty("read_right", right);
    RecordProperty("cases", static_cast<int>(cases.size()));
}

// "1.299" alone is a thousands group; in a shop whose prices show a decimal
// point ("12.50", "0.5") it is a decimal, and in one with decimal commas a group.
TEST(ReadPrice, TheShopsOtherPricesDecideAnAmbiguousGroup)
{
    const auto mark = [](std::vector<std::string> utf8) {
        for (std::string &text : utf8)
            text = Gbk(text);
        return DecimalMarkOf(utf8);
    };
    EXPECT_EQ(mark({"12,50 €", "1.299 €", "获取失败"}), DecimalMark::Comma);
    EXPECT_EQ(mark({"12.50", "1,299", "0.5"}), DecimalMark::Point);
    EXPECT_EQ(mark({"1.299", "1,299", "368"}), DecimalMark::Unknown);
    EXPECT_EQ(mark({"12.50", "12,50"}), DecimalMark::Unknown);
    EXPECT_EQ(ReadPrice("1.299", DecimalMark::Comma), 1299);
    EXPECT_EQ(ReadPrice("1.299", DecimalMark::Point), 1.299);
    EXPECT_EQ(ReadPrice("1,299", DecimalMark::Comma), 1.299);
    EXPECT_EQ(ReadPrice("1,299", DecimalMark::Unknown), 1299);
}


TEST(ReadOnePrice, OnePriceWithItsDecimalsAndNothingMore)
{
    struct Case {
        const char *utf8;
        std::optional<double> value;
        int decimals;
    } cases[] = {
        {"$248.00", 248, 2},          {"248.", 248, 0},         {"￥368", 368, 0},
        {"1,299.00 元", 1299, 2},     {"9.990,00 €", 9990, 2},  {"到手价 ¥199", 199, 0},
        {" 12.5 ", 12.5, 1},          {"1/4", {}, 0},           {"上海宝山库", {}, 0},
        {"到手价56.8069.90", {}, 0}, {"368.00618狂欢价", {}, 0}, {"$248.00$248.00", {}, 0},
        {"￥5 ￥10", {}, 0},           {"1.2.3", {}, 0},         {"-12", {}, 0},
    };
    for (const Case &c : cases) {
        const std::optional<PriceText> price = ReadOnePrice(Gbk(c.utf8));
        ASSERT_EQ(price.has_value(), c.value.has_value()) << c.utf8;
        if (price) {
            EXPECT_DOUBLE_EQ(price->value, *c.value) << c.utf8;
            EXPECT_EQ(price->decimals, c.decimals) << c.utf8;
        }
    }
}
