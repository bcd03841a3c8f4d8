// Which price a click or a selection stands for, and the states of a pick.
#include "capture/PricePick.h"
#include "products/LinkFile.h"
#include "support/Gbk.h"

#include <gtest/gtest.h>

namespace corvix {
namespace {

TEST(PricePointedAt, APieceOfAPriceStandsForTheWholePrice)
{
    struct Row {
        std::vector<const char *> chain; // innermost first
        const char *selection;
        int level;
        const char *text;
    } rows[] = {
        {{"248.", "$248.00", "$248.00 加入购物车"}, "", 1, "$248.00"},  // whole part with its point
        {{".", "248.", "$248.00"}, "", 2, "$248.00"},                    // the point alone
        {{"99", "$179.99"}, "", 1, "$179.99"},                           // the cents
        {{"$", "$248.00", "$248.00"}, "", 1, "$248.00"},                 // the sign; the smallest block
        {{"368", "￥368.00", "￥368.00618狂欢价"}, "", 1, "￥368.00"},    // never the label with a number
        {{"到手价", "到手价 ￥199"}, "", 1, "到手价 ￥199"},               // a label of the block
        {{"￥5", "￥5 ￥10"}, "", 0, "￥5"},                               // two prices are no price
        {{"包邮", "江苏发货"}, "", -1, ""},
        {{"1/4"}, "", -1, ""},
        {{"$248.00", "$248.00"}, "$248.00", 0, "$248.00"},               // a selection across its pieces
        {{"原价 $300 现价 $248.00", "x"}, "$248.00", -1, ""},            // no element reads the selection alone
    };
    for (const Row &row : rows) {
        std::vector<std::string> chain;
        for (const char *text : row.chain)
            chain.push_back(Gbk(text));
        const std::optional<PointedPrice> pointed = PricePointedAt(chain, Gbk(row.selection));
        ASSERT_EQ(pointed ? pointed->level : -1, row.level) << row.chain[0] << " / " << row.selection;
        if (pointed) {
            EXPECT_EQ(GbkToUtf8(pointed->text), row.text) << row.chain[0];
        }
    }
}

TEST(PickFlow, OneStateAtATimeFromLoadingToVerifying)
{
    enum Event { Load, Unparsed, Busy, Quiet, LongBusy, Pick, Verify, VerifyNoLink, Done };
    struct Row {
        std::vector<Event> events;
        PickState state;
    } rows[] = {
        {{Load}, PickState::Loading},
        {{Load, Unparsed, Busy}, PickState::Loading},      // parsed, scripts still changing it
        {{Load, Quiet}, PickState::Picking},
        {{Load, LongBusy}, PickState::Picking},            // a page that never settles
        {{Load, Pick}, PickState::Loading},                // no pick before the page is ready
        {{Load, Quiet, Verify}, PickState::Picking},       // nothing to verify yet
        {{Load, Quiet, Pick}, PickState::Picked},
        {{Load, Quiet, Pick, VerifyNoLink}, PickState::Picked},
        {{Load, Quiet, Pick, Verify}, PickState::Verifying},
        {{Load, Quiet, Pick, Verify, Pick}, PickState::Picked}, // a new pick replaces the check
        {{Load, Quiet, Pick, Verify, Done}, PickState::Picked},
        {{Load, Quiet, Pick, Pick, Verify, Done, Pick}, PickState::Picked},
        {{Load, Quiet, Pick, Load}, PickState::Loading},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        PickFlow flow;
        for (Event e : rows[i].events) {
            switch (e) {
            case Load: flow.Load(); break;
            case Unparsed: flow.PageLooked(false, 5000, 0); break;
            case Busy: flow.PageLooked(true, kPickQuietMs - 1, kPickSettleLimitMs - 1); break;
            case Quiet: flow.PageLooked(true, kPickQuietMs, 0); break;
            case LongBusy: flow.PageLooked(true, 0, kPickSettleLimitMs); break;
            case Pick: flow.Picked(); break;
            case Verify: flow.StartVerify(true, true); break;
            case VerifyNoLink: flow.StartVerify(false, true); break;
            case Done: flow.VerifyDone(); break;
            }
        }
        EXPECT_EQ(flow.State(), rows[i].state) << "row " << i;
    }
}

TEST(PricePick, TheSecondPageIsAnotherProductOfTheSameShop)
{
    const LinkFile links = LinkFile::Parse(Gbk("[A0]\r\ntitle=茶\r\n京东=https://item.jd.example/1.html\r\n"
                                               "淘宝=https://shop.tb.example/9\r\n[A1]\r\ntitle=壶\r\n"
                                               "京东=item.jd.example/2.html\r\n"));
    struct Row {
        std::vector<std::string> keys;
        const char *link, *other;
    } rows[] = {
        {{Gbk("京东"), Gbk("淘宝")}, "https://item.jd.example/1.html", "http://item.jd.example/2.html"},
        {{Gbk("京东")}, "https://ITEM.jd.example/7.html", "https://item.jd.example/1.html"},
        {{Gbk("淘宝")}, "https://item.jd.example/1.html", ""}, // not under the shops asked for
        {{Gbk("淘宝")}, "https://shop.tb.example/9", ""},     // only the link itself
        {{Gbk("京东")}, "file:///etc/passwd", ""},
    };
    for (const Row &row : rows)
        EXPECT_EQ(OtherLinkOfShop(links, row.keys, row.link), row.other) << row.link;
}

} // namespace
} // namespace corvix
