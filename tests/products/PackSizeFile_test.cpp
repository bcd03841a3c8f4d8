#include "products/PackSizeFile.h"
#include "products/ImportText.h"
#include "support/Gbk.h"
#include <gtest/gtest.h>

namespace corvix {
namespace {

TEST(PackSizeFile, SizesAndUnitsByProductAndShopTitle)
{
    PackSizeFile file;
    file.SetSize(Gbk("龙井"), Gbk("京东"), "500g");
    file.SetSize(Gbk("龙井"), Gbk("天猫"), Gbk("2×250g"));
    file.SetSize(Gbk("龙井"), Gbk("淘宝"), Gbk("1斤"));
    file.SetSize(Gbk("龙井"), Gbk("淘宝"), "");             // removed again
    file.SetSize(Gbk("水"), Gbk("京东"), "500ml*12");
    file.SetChosenUnit(Gbk("水"), PriceUnit::Per100ml);
    file.SetSize(Gbk("空"), Gbk("京东"), "  ");             // nothing to keep
    const std::string text = file.Text();
    EXPECT_EQ(text, Gbk("[pack1]\r\nproduct=龙井\r\nshop1=京东\r\nsize1=500g\r\nshop2=天猫\r\nsize2=2×250g\r\n"
                        "[pack2]\r\nproduct=水\r\nunit=100ml\r\nshop1=京东\r\nsize1=500ml*12\r\n"));

    PackSizeFile read = PackSizeFile::Parse(text);
    EXPECT_EQ(read.SizeText(Gbk("龙井"), Gbk("天猫")), Gbk("2×250g"));
    EXPECT_EQ(read.SizeText(Gbk("龙井"), Gbk("淘宝")), "");
    EXPECT_EQ(read.UnitOf(Gbk("龙井")), PriceUnit::Per500g); // fits its sizes
    EXPECT_EQ(read.UnitOf(Gbk("水")), PriceUnit::Per100ml);   // as chosen
    EXPECT_EQ(read.UnitOf(Gbk("空")), std::nullopt);

    // A renamed product keeps its sizes; what stood under the new title gives way.
    read.RenameProduct(Gbk("龙井"), Gbk("水"));
    EXPECT_EQ(read.SizeText(Gbk("水"), Gbk("京东")), "500g");
    EXPECT_EQ(read.ChosenUnit(Gbk("水")), std::nullopt);
    EXPECT_EQ(read.All().size(), 1u);
}

TEST(PackSizeFile, ImportedFieldsCarryASizeInBracketsAfterTheLink)
{
    const std::pair<const char *, std::pair<std::string, std::string>> rows[] = {
        {"http://a.cn/1 [500g]", {"http://a.cn/1", "500g"}},
        {" http://a.cn/1  [ 2斤 ] ", {"http://a.cn/1", Gbk("2斤")}},
        {"http://a.cn/1", {"http://a.cn/1", ""}},
        {"http://a.cn/?k[x]", {"http://a.cn/?k[x]", ""}}, // a bracket of the link itself
        {"[500g]", {"[500g]", ""}},
        {"", {"", ""}},
    };
    for (const auto &[field, expected] : rows)
        EXPECT_EQ(LinkAndSize(Gbk(field)), expected) << "row: " << field;

    const auto products = ImportedProducts(Gbk("茶,http://a.cn/1 [500g],http://b.cn/2,http://c.cn/3 [2斤]"));
    ASSERT_EQ(products.size(), 1u);
    EXPECT_EQ(products[0].links, (std::vector<std::string>{"http://a.cn/1", "http://b.cn/2", "http://c.cn/3"}));
    PackSizeFile file;
    file.SetSize(Gbk("茶"), "B", "1kg");
    TakeImportedSizes(file, products, {"A", "B", "C"});
    EXPECT_EQ(std::tuple(file.SizeText(Gbk("茶"), "A"), file.SizeText(Gbk("茶"), "B"), file.SizeText(Gbk("茶"), "C")),
              std::tuple(std::string("500g"), std::string("1kg"), Gbk("2斤")));
}

} // namespace
} // namespace corvix

#include "products/TestGrids.h"
#include "products/UnitPrices.h"

namespace corvix {
namespace {

// One row per product; shops A, B, C. The cheapest cell is not the cheapest buy.
TEST(UnitPrices, EachSizedPriceInTheProductsUnitAndTheCheapestBuyMarked)
{
    const auto grid = test::MakeGrid({"A", "B", "C"}, {{"1", "茶", "60.00", "35.00", "110"},
                                                       {"2", "水", "24", "缺货", "3.5"},
                                                       {"3", "糖", "10", "", ""},
                                                       {"4", "无", "1", "2", "3"}});
    PackSizeFile packs;
    packs.SetSize(Gbk("茶"), "A", "500g");
    packs.SetSize(Gbk("茶"), "B", "250g");  // cheapest cell, dearest per 500 g
    packs.SetSize(Gbk("茶"), "C", Gbk("1kg"));
    packs.SetSize(Gbk("水"), "A", "500ml*12");
    packs.SetSize(Gbk("水"), "B", "500ml*12"); // sold out: no price to compare
    packs.SetSize(Gbk("水"), "C", Gbk("3件"));  // a count is no volume
    packs.SetSize(Gbk("糖"), "A", "1kg");
    const UnitPriceGrid prices = UnitPricesOf(*grid, packs);

    std::vector<std::string> shown;
    for (const auto &[cell, price] : prices)
        shown.push_back(std::to_string(cell.first) + "," + std::to_string(cell.second) + " " + UnitPriceText(price)
                        + (price.cheapest ? " *" : ""));
    EXPECT_EQ(shown, (std::vector<std::string>{"0,2 60.00/500g", "0,3 70.00/500g", "0,4 55.00/500g *",
                                               "1,2 4.00/L", "2,2 5.00/500g"}));
}

} // namespace
} // namespace corvix
