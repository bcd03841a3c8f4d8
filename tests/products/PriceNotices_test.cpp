// Price targets in alerts.ini and the notices a run gives for them.
#include "common/CoreTestSupport.h"
#include "products/PriceAlerts.h"
#include "products/PriceHistoryIndex.h"
#include "products/PriceNotices.h"
#include "products/RecordList.h"
#include "products/RecordStamp.h"
#include "products/TestGrids.h"
#include "support/Gbk.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace corvix;
using corvix::test::MakeGrid;
using corvix::test::TempDataRoot;

TEST(PriceAlerts, StoredInGbkAndReadBackAfterARestart)
{
    TempDataRoot root;
    const auto path = AlertsFilePath(root.Dirs());
    PriceAlerts alerts;
    alerts.Set({Gbk("华为手机"), "", 99.5, std::nullopt, {}});
    alerts.Set({Gbk("华为手机"), Gbk("京东"), std::nullopt, 10, {Gbk("京东")}});
    alerts.Set({Gbk("苹果"), "", 3, 5, {}});
    alerts.Set({Gbk("苹果"), "", std::nullopt, std::nullopt, {}}); // emptied: removed
    ASSERT_TRUE(alerts.Save(path));
    const std::string bytes = TempDataRoot::ReadBytes(path);
    EXPECT_NE(bytes.find(Gbk("product=华为手机\r\ntarget=99.5\r\n")), std::string::npos) << bytes;

    PriceAlerts read = PriceAlerts::Load(path);
    ASSERT_EQ(read.All().size(), 2u);
    EXPECT_EQ(read.Find(Gbk("华为手机"), "")->target, 99.5);
    EXPECT_EQ(read.Find(Gbk("华为手机"), Gbk("京东"))->dropPercent, 10);
    EXPECT_EQ(read.Find(Gbk("华为手机"), Gbk("京东"))->belowShops, std::vector<std::string>{Gbk("京东")});
    EXPECT_EQ(read.Find(Gbk("苹果"), ""), nullptr);

    EXPECT_EQ(read.TakeProduct(Gbk("华为手机")).size(), 2u); // removed with the row
    EXPECT_TRUE(read.All().empty());
}

TEST(PriceAlerts, TheSameTargetKeepsWhatWasToldANewOneTellsAgain)
{
    PriceAlerts alerts;
    alerts.Set({"A", "", 10, std::nullopt, {"S"}});
    alerts.Set({"A", "", 10, 5, {}});
    EXPECT_TRUE(alerts.Find("A", "")->Below("S"));
    alerts.Set({"A", "", 9, 5, {}});
    EXPECT_FALSE(alerts.Find("A", "")->Below("S"));
}

TEST(FindPriceNotices, OncePerCrossingAndDropsOverTheShare)
{
    struct Case {
        std::optional<double> target, drop;
        bool toldBefore;
        const char *before, *now;
        bool notice, belowAfter;
    };
    const Case cases[] = {
        {100, {}, false, "120", "99", true, true},        // crossed
        {100, {}, true, "99", "98", false, true},         // still under: told already
        {100, {}, true, "99", "100", false, false},       // back at the target: re-armed
        {100, {}, true, "99", "获取失败", false, true},   // no price says nothing
        {100, {}, false, "", "¥ 1.299,00", false, false}, // read as 1299
        {100, {}, false, "", "到手价 89", true, true},    // no earlier record needed
        {{}, 10, false, "100", "89", true, false},        // 11% down
        {{}, 10, false, "100", "90", false, false},       // exactly 10%: not more
        {{}, 10, false, "获取失败", "50", false, false},  // nothing to fall from
        {{}, 10, false, "35,70 €", "30,00 €", true, false},
    };
    for (const Case &c : cases) {
        PriceAlerts alerts;
        alerts.Set({Gbk("手机"), "", c.target, c.drop, c.toldBefore ? std::vector{Gbk("京东")} : std::vector<std::string>{}});
        const auto previous = MakeGrid({"京东"}, {{"1", "手机", c.before}});
        const auto current = MakeGrid({"京东"}, {{"1", "别的", "1"}, {"2", "手机", c.now}});
        const auto notices = FindPriceNotices(*current, {previous.get(), nullptr, {}}, alerts);
        ASSERT_EQ(notices.size(), c.notice ? 1u : 0u) << c.before << " -> " << c.now;
        EXPECT_EQ(alerts.All()[0].Below(Gbk("京东")), c.belowAfter) << c.now;
        if (c.notice) {
            EXPECT_EQ(notices[0].row, 1);
            EXPECT_EQ(notices[0].oldText, Gbk(c.before));
        }
    }
}

// A run sequence of one cell: the record before, then each run's cell; a
// notice is given once per return from out of stock to a price.
TEST(FindPriceNotices, BackInStockOncePerReturn)
{
    struct Case {
        const char *before;
        std::vector<const char *> runs;
        std::vector<bool> told;
    };
    const Case cases[] = {
        {"缺货", {"59.00"}, {true}},                            // the record before was sold out
        {"59.00", {"暂时缺货", "获取失败", "58.00", "57.00"}, {false, false, true, false}},
        {"59.00", {"已售罄", "60.00", "缺货", "61.00"}, {false, true, false, true}}, // each return
        {"59.00", {"58.00"}, {false}},                          // never sold out
        {"获取失败", {"58.00"}, {false}},                        // a failure is no stock state
    };
    for (const Case &c : cases) {
        PriceAlerts alerts;
        alerts.Set({.product = Gbk("茶"), .shop = {}, .target = {}, .dropPercent = {}, .belowShops = {},
                    .backInStock = true});
        std::string before = c.before;
        for (size_t i = 0; i < c.runs.size(); ++i) {
            const auto previous = MakeGrid({"京东"}, {{"1", "茶", before}});
            const auto current = MakeGrid({"京东"}, {{"1", "茶", c.runs[i]}});
            // Read back from the file each time, as the next run would.
            alerts = PriceAlerts::Parse(alerts.Text());
            const auto notices = FindPriceNotices(*current, {previous.get(), nullptr, {}}, alerts);
            EXPECT_EQ(notices.size() == 1 && notices[0].backInStock, c.told[i]) << c.before << " run " << i;
            if (c.told[i] && !notices.empty()) {
                EXPECT_TRUE(NoticeLine(notices[0]).contains(QStringLiteral("有货了")));
            }
            before = c.runs[i];
        }
    }
}

TEST(FindPriceNotices, ACellsOwnAlertSpeaksForItsShop)
{
    PriceAlerts alerts;
    alerts.Set({"P", "", 50, std::nullopt, {}});
    alerts.Set({"P", Gbk("天猫"), 20, std::nullopt, {}});
    const auto current = MakeGrid({"京东", "天猫"}, {{"1", "P", "40", "40"}});
    const auto notices = FindPriceNotices(*current, {}, alerts);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].shop, Gbk("京东"));
}

TEST(FindPriceNotices, LowestOfAllRecordsAndTheAverageOfThirtyDays)
{
    TempDataRoot root;
    const auto db = root.Dirs().dbDir;
    const long long day = 86400, now = 1700000000;
    TempDataRoot::WriteBytes(db / (std::to_string(now - 40 * day) + ".txt"), "P|50|\r\n");
    TempDataRoot::WriteBytes(db / (std::to_string(now - 20 * day) + ".txt"), "P|90|\r\n");
    TempDataRoot::WriteBytes(db / (std::to_string(now - day) + ".txt"), "P|110|\r\n");
    // A failed capture is no price: neither the lowest nor in the average.
    TempDataRoot::WriteBytes(db / (std::to_string(now - 10 * day) + ".txt"), Gbk("P|获取失败|\r\n"));
    PriceHistoryIndex history;
    history.AddRecords(db, ListRecords(db));
    const auto grid = MakeGrid({"S"}, {{"1", "P", "80"}});
    const QDateTime at = *RecordDateTime(std::to_string(now));

    PriceStanding standing = StandingOf(history, *grid, 2, "P", 80, at);
    EXPECT_FALSE(standing.lowest); // 50, forty days ago
    EXPECT_EQ(standing.average30Days, 100);
    EXPECT_TRUE(StandingOf(history, *grid, 2, "P", 50, at).lowest);

    PriceAlerts alerts;
    alerts.Set({"P", "", 100, std::nullopt, {}});
    const auto previous = MakeGrid({"S"}, {{"1", "P", "110"}});
    const auto notices = FindPriceNotices(*grid, {previous.get(), &history, at}, alerts);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(NoticeLine(notices[0]), QStringLiteral("P | S | 110 → 80（低于目标 100 元，比上次低 27.3%，比 30 天均价低 20.0%）"));
    const QJsonObject item = QJsonDocument::fromJson(NoticesJson(notices, "r", at)).object()["notices"].toArray()[0].toObject();
    EXPECT_EQ(item["oldPrice"].toDouble(), 110);
    EXPECT_EQ(item["average30Days"].toDouble(), 100);
    EXPECT_EQ(item["lowest"].toBool(), false);
}
