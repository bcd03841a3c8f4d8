// Price targets in alerts.ini and the notices a run gives for them.
#include "common/CoreTestSupport.h"
#include "products/LinkFile.h"
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

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <random>

#include <unistd.h>

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

TEST(PriceAlerts, ARewriteChangesOnlyTheSectionsOfChangedAlerts)
{
    std::mt19937 random(8);
    std::string garbage;
    for (int i = 0; i < 1 << 16; ++i)
        garbage += static_cast<char>(random() % 256);
    const std::string before = "; mine\r\n[alert1]\r\nproduct=A\r\ntarget=5\r\n\r\n"
                               "[alert1]\r\nproduct=C\r\ntarget=7\r\n"
                               "[alert3]\r\nproduct=B\r\ndrop=10\r\nnote=kept\r\n"
                               "[other]\r\n" + std::string(1, '\0') + garbage + "\r\nx=y";
    PriceAlerts alerts = PriceAlerts::Parse(before);
    ASSERT_EQ(alerts.All().size(), 3u); // after a gap and under a name written twice too
    EXPECT_EQ(alerts.Text(), before);

    alerts.Set({"D", "", 1, std::nullopt, {}});
    EXPECT_EQ(alerts.Text(), before + "\r\n[alert4]\r\nproduct=D\r\ntarget=1\r\n");
    alerts.Set({"B", "", std::nullopt, 20, {}});
    std::string changed = before;
    changed.replace(changed.find("drop=10"), 7, "drop=20");
    EXPECT_EQ(alerts.Text(), changed + "\r\n[alert4]\r\nproduct=D\r\ntarget=1\r\n");
    alerts.TakeProduct("C");
    changed.erase(changed.find("[alert1]\r\nproduct=C"), 31);
    EXPECT_EQ(alerts.Text(), changed + "\r\n[alert4]\r\nproduct=D\r\ntarget=1\r\n");

    // Of two alerts of one product, the one removed takes its own section.
    PriceAlerts twice = PriceAlerts::Parse("[alert1]\r\nproduct=X\r\ntarget=1\r\n[alert2]\r\nproduct=X\r\ntarget=2\r\n");
    twice.Set({"X", "", std::nullopt, std::nullopt, {}});
    EXPECT_EQ(twice.Text(), "[alert2]\r\nproduct=X\r\ntarget=2\r\n");

    TempDataRoot root;
    const auto path = AlertsFilePath(root.Dirs());
    TempDataRoot::WriteBytes(path, before);
    PriceAlerts read = PriceAlerts::Load(path); // every byte, past the zero byte too
    ASSERT_EQ(read.All().size(), 3u);
    read.Set({"D", "", 1, std::nullopt, {}});
    ASSERT_TRUE(read.Save(path));
    EXPECT_EQ(TempDataRoot::ReadBytes(path), before + "\r\n[alert4]\r\nproduct=D\r\ntarget=1\r\n");
}

TEST(PriceAlerts, TitlesWithBlanksAtTheirEndsReadBackAsInTheGrid)
{
    TempDataRoot root;
    const auto path = AlertsFilePath(root.Dirs());
    PriceAlerts alerts;
    alerts.Set({"P ", " S", 5, std::nullopt, {" S", "\"q\""}});
    ASSERT_TRUE(alerts.Save(path));
    const PriceAlerts loaded = PriceAlerts::Load(path);
    const PriceAlert *read = loaded.Find("P ", " S");
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->belowShops, (std::vector<std::string>{" S", "\"q\""}));
}

TEST(PriceAlerts, AFileThatCannotBeReadWholeIsNotWrittenOver)
{
    TempDataRoot root;
    const auto path = AlertsFilePath(root.Dirs());
    TempDataRoot::WriteBytes(path, "[alert1]\r\nproduct=A\r\ntarget=5\r\n");
    std::filesystem::permissions(path, std::filesystem::perms::none);
    // Root reads any file: it looks as another user does.
    const bool asRoot = geteuid() == 0;
    ASSERT_TRUE(!asRoot || seteuid(65534) == 0);
    PriceAlerts alerts = PriceAlerts::Load(path);
    ASSERT_TRUE(!asRoot || seteuid(0) == 0);
    alerts.Set({"B", "", 1, std::nullopt, {}});
    const auto saved = alerts.Save(path);
    ASSERT_FALSE(saved);
    EXPECT_EQ(saved.error().path, path);
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    EXPECT_EQ(TempDataRoot::ReadBytes(path), "[alert1]\r\nproduct=A\r\ntarget=5\r\n");
}

TEST(PriceAlerts, AProductIsTakenByTheTitleOfOneOfItsOwnAlerts)
{
    PriceAlerts alerts = PriceAlerts::Parse("[alert1]\r\nproduct=P\r\ntarget=1\r\n[alert2]\r\nproduct=Q\r\ntarget=2\r\n"
                                            "[alert3]\r\nproduct=P\r\ndrop=3\r\n[alert4]\r\nproduct=Q\r\ndrop=4\r\n");
    EXPECT_EQ(alerts.TakeProduct(alerts.All()[0].product).size(), 2u);
    EXPECT_FALSE(alerts.HasProduct("P"));
    EXPECT_EQ(alerts.All().size(), 2u);
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
        SCOPED_TRACE(testing::Message() << "row " << (&c - &*std::begin(cases)));
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
        SCOPED_TRACE(testing::Message() << "row " << (&c - &*std::begin(cases)));
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

// Names of saves within one second, or made before the clock went back, lie
// ahead of the clock: up to a day ahead they are records like any other.
TEST(StandingOf, RecordsUpToADayAheadCountInTheAverageOfThirtyDays)
{
    const long long day = 86400, now = 1700000000;
    const std::pair<long long, std::optional<double>> cases[] = {
        {-31 * day, std::nullopt}, {-30 * day, 100}, {0, 100}, {3600, 100}, {day, 100}, {day + 1, std::nullopt},
    };
    for (const auto &[offset, average] : cases) {
        SCOPED_TRACE(offset);
        TempDataRoot root;
        const auto db = root.Dirs().dbDir;
        TempDataRoot::WriteBytes(db / (std::to_string(now + offset) + ".txt"), "P|100|\r\n");
        PriceHistoryIndex history;
        history.AddRecords(db, ListRecords(db));
        const auto grid = MakeGrid({"S"}, {{"1", "P", "80"}});
        EXPECT_EQ(StandingOf(history, *grid, 2, "P", 80, *RecordDateTime(std::to_string(now))).average30Days, average);
    }
}

// The command is told the moment of the notices, not a wall-clock time
// without its zone.
TEST(NoticesJson, TheTimeCarriesItsOffsetFromUtc)
{
    const std::optional<std::string> savedTz =
        std::getenv("TZ") ? std::optional<std::string>(std::getenv("TZ")) : std::nullopt;
    const std::pair<const char *, const char *> cases[] = {
        {"CST-8", "2018-12-04T18:00:00+08:00"},
        {"EST5", "2018-12-04T18:00:00-05:00"},
        {"UTC0", "2018-12-04T18:00:00+00:00"},
    };
    for (const auto &[tz, expected] : cases) {
        setenv("TZ", tz, 1);
        tzset();
        const QDateTime local(QDate(2018, 12, 4), QTime(18, 0));
        EXPECT_EQ(QJsonDocument::fromJson(NoticesJson({}, "r", local)).object()["time"].toString().toStdString(),
                  expected)
            << tz;
    }
    if (savedTz)
        setenv("TZ", savedTz->c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(FindPriceNotices, RisesEveryRunAlertsAndARetryThatToldNothingNew)
{
    struct Case {
        const char *name;
        PriceAlert alert;
        const char *before, *now;
        const char *judged; // the retried record's price; nullptr: no retry
        bool notice;
    };
    PriceAlert rise{"P", "", std::nullopt, std::nullopt, {}};
    rise.riseAbove = 100;
    PriceAlert risePercent{"P", "", std::nullopt, std::nullopt, {}};
    risePercent.risePercent = 10;
    PriceAlert riseTold = rise;
    riseTold.aboveShops = {"S"};
    PriceAlert belowTold{"P", "", 100, std::nullopt, {"S"}};
    PriceAlert everyRun = belowTold;
    everyRun.everyRun = true;
    PriceAlert drop{"P", "", std::nullopt, 10, {}};
    PriceAlert dropEveryRun = drop;
    dropEveryRun.everyRun = true;
    const std::string failed = Gbk("获取失败");
    const Case cases[] = {
        {"over the limit", rise, "90", "101", nullptr, true},
        {"at the limit", rise, "90", "100", nullptr, false},
        {"over it, told before", riseTold, "101", "105", nullptr, false},
        {"risen more than the share", risePercent, "100", "111", nullptr, true},
        {"risen by the share", risePercent, "100", "110", nullptr, false},
        {"under the target, told, once", belowTold, "90", "80", nullptr, false},
        {"under the target, told, every run", everyRun, "90", "80", nullptr, true},
        {"dropped, first told", drop, "100", "80", nullptr, true},
        {"dropped, the retry's price was told by its run", drop, "100", "80", "80", false},
        {"dropped, a price the retry found", drop, "100", "80", failed.c_str(), true},
        {"dropped, a retry, every run", dropEveryRun, "100", "80", "80", true},
    };
    for (const Case &c : cases) {
        PriceAlerts alerts;
        alerts.Set(c.alert);
        const auto previous = MakeGrid({"S"}, {{"1", "P", c.before}});
        const auto judged = MakeGrid({"S"}, {{"1", "P", c.judged ? c.judged : ""}});
        const auto current = MakeGrid({"S"}, {{"1", "P", c.now}});
        NoticeSources sources{previous.get(), nullptr, {}};
        sources.judged = c.judged ? judged.get() : nullptr;
        EXPECT_EQ(FindPriceNotices(*current, sources, alerts).size(), c.notice ? 1u : 0u) << c.name;
    }
}

TEST(FindPriceNotices, AlertsOfAllKindsAreStoredAndANoticeCarriesItsLink)
{
    TempDataRoot root;
    PriceAlert alert{Gbk("手机"), Gbk("京东"), 10, 5, {Gbk("京东")}};
    alert.riseAbove = 99.5;
    alert.risePercent = 20;
    alert.everyRun = true;
    alert.aboveShops = {Gbk("京东")};
    PriceAlerts alerts;
    alerts.Set(alert);
    ASSERT_TRUE(alerts.Save(AlertsFilePath(root.Dirs())));
    EXPECT_NE(TempDataRoot::ReadBytes(AlertsFilePath(root.Dirs())).find("rise=99.5\r\nrisepct=20\r\nrepeat=1\r\nabove1="),
              std::string::npos);
    const PriceAlert read = PriceAlerts::Load(AlertsFilePath(root.Dirs())).All().at(0);
    EXPECT_EQ(read.riseAbove, 99.5);
    EXPECT_EQ(read.risePercent, 20);
    EXPECT_TRUE(read.everyRun);
    EXPECT_TRUE(read.Above(Gbk("京东")));

    // The link is the product's own at that shop, found by its title in url.ini.
    LinkFile links;
    links.SetProductValue(0, "title", Gbk("别的"));
    links.SetProductValue(1, "title", Gbk("手机"));
    links.SetProductValue(1, Gbk("京东"), "item.jd.example/1");
    const auto current = MakeGrid({"京东"}, {{"1", "手机", "200"}});
    NoticeSources sources;
    sources.links = &links;
    const auto notices = FindPriceNotices(*current, sources, alerts);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].link, "http://item.jd.example/1");
    EXPECT_EQ(NoticeLine(notices[0]), QStringLiteral("手机 | 京东 | — → 200（高于 99.5 元）"));
}
