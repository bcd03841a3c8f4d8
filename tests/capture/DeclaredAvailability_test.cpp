#include "capture/DeclaredAvailability.h"
#include <gtest/gtest.h>

namespace corvix {
namespace {

constexpr const char *kRelatedList =
    R"(<ul class="related"><li>红茶 <span>已售完</span></li><li>绿茶 <span>Sold out</span></li></ul>)";

TEST(DeclaredAvailability, OnlyTheOneProductsDeclarationCounts)
{
    using A = Availability;
    const std::pair<std::string, Availability> rows[] = {
        {"<html><body>暂时缺货</body></html>", A::Undeclared}, // visible words never decide
        {R"(<script type="application/ld+json">{"@type":"Product","offers":{"@type":"Offer","availability":"https://schema.org/OutOfStock"}}</script>)",
         A::OutOfStock},
        {R"(<script type="application/ld+json">{"@context":"https://schema.org","@graph":[{"@type":"BreadcrumbList"},{"@type":"Product","offers":[{"availability":"http://schema.org/SoldOut"},{"availability":"Discontinued"}]}]}</script>)",
         A::OutOfStock},
        {R"(<script type="application/ld+json">{"@type":"Product","offers":[{"availability":"OutOfStock"},{"availability":"InStock"}]}</script>)",
         A::InStock}, // one size left
        {R"(<SCRIPT TYPE="application/ld+json">{"@type":["Product"],"offers":{"availability":"InStock"}}</SCRIPT>)",
         A::InStock},
        // A list of products: none of them is the page's product.
        {R"(<script type="application/ld+json">[{"@type":"Product","offers":{"availability":"OutOfStock"}},{"@type":"Product","offers":{"availability":"OutOfStock"}}]</script>)",
         A::Undeclared},
        // Related products named by the product are not its offer.
        {R"(<script type="application/ld+json">{"@type":"Product","isRelatedTo":{"@type":"Product","offers":{"availability":"OutOfStock"}}}</script>)",
         A::Undeclared},
        {R"(<script type="application/ld+json">{not json "availability":"OutOfStock"}</script>)", A::Undeclared},
        {R"(<div itemscope itemtype="https://schema.org/Product"><div itemprop="offers" itemscope itemtype="https://schema.org/Offer"><link itemprop="availability" href="https://schema.org/OutOfStock"></div></div>)",
         A::OutOfStock},
        {R"(<div itemscope itemtype="http://schema.org/Product/"><meta itemprop="availability" content="in_stock"></div>)", A::InStock},
        {R"(<div itemscope itemtype="http://schema.org/Product"><span itemprop="availability">Out of stock</span></div>)", A::OutOfStock},
        {R"(<div itemtype="http://schema.org/Product"><link itemprop="availability" href="OutOfStock"></div><div itemtype="http://schema.org/Product"><link itemprop="availability" href="OutOfStock"></div>)",
         A::Undeclared},
        {R"(<meta property="og:availability" content="oos">)", A::OutOfStock},
        {R"(<meta property="product:availability" content="out of stock">)", A::OutOfStock},
        {R"(<meta name="og:availability" content="instock">)", A::InStock},
        {R"(<meta property="og:availability" content="out of stock"><script type="application/ld+json">{"@type":"Product","offers":{"availability":"InStock"}}</script>)",
         A::InStock}, // sources that disagree: it may still be bought
        {R"(<meta property="og:title" content="OutOfStock">)", A::Undeclared},
        // The product is in stock; the list of other products says sold out.
        {std::string(R"(<script type="application/ld+json">{"@type":"Product","offers":{"availability":"https://schema.org/InStock"}}</script>)") + kRelatedList,
         A::InStock},
        {std::string(R"(<meta property="product:availability" content="out of stock">)") + kRelatedList, A::OutOfStock},
    };
    for (const auto &[page, availability] : rows)
        EXPECT_EQ(DeclaredAvailability(page), availability) << "row: " << page;
}

} // namespace
} // namespace corvix
