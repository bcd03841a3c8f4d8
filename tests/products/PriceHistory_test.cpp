// The price history of a product over the record files: the index and its
// build on a worker thread.
#include "common/CoreTestSupport.h"
#include "products/PriceHistoryIndex.h"
#include "products/PriceHistoryLoader.h"
#include "products/RecordColumns.h"
#include "products/RecordList.h"
#include "products/TestGrids.h"
#include "support/Gbk.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace corvix;
using corvix::test::TempDataRoot;

namespace {

// (record name, price) of each point.
using Points = std::vector<std::pair<std::string, std::optional<double>>>;

Points PointsOf(const PriceSeries &series)
{
    Points points;
    for (const PricePoint &p : series.points)
        points.emplace_back(p.recordName, p.price);
    return points;
}

const std::vector<std::string> &Sites()
{
    static const std::vector<std::string> sites{Gbk("京东"), Gbk("天猫")};
    return sites;
}

// Three records of the program and one of an older installation (named by
// milliseconds), which sorts between the first two.
void WriteRecords(const std::filesystem::path &db)
{
    TempDataRoot::WriteBytes(db / "1543910400.txt", Gbk("A|10|￥20|\r\nB|5|5|\r\nA|99|99|"));
    TempDataRoot::WriteBytes(db / "1543910400000.txt", "A|7|7|");
    TempDataRoot::WriteBytes(db / "1543996800.txt", Gbk("A|获取失败|21|\r\nC|1|1|"));
    TempDataRoot::WriteBytes(db / "1544083200.txt", "B|6|\r\n\r\nA|1,100.00||3|");
}

} // namespace

TEST(PriceHistoryIndex, OneSeriesPerSiteOverTheRecordsInNameOrder)
{
    TempDataRoot root;
    const auto db = root.Dirs().dbDir;
    WriteRecords(db);
    PriceHistoryIndex index;
    index.AddRecords(db, ListRecordEntries(db));
    EXPECT_EQ(index.RecordCount(), 4u);

    struct Case {
        const char *title;
        Points jd;
        Points tmall;
    };
    const std::vector<Case> cases = {
        // The second A of the first record is not read; a failure is a point
        // without a price, an empty cell no point.
        {"A",
         {{"1543910400", 10}, {"1543910400000", 7}, {"1543996800", std::nullopt}, {"1544083200", 1100}},
         {{"1543910400", 20}, {"1543910400000", 7}, {"1543996800", 21}}},
        {"B", {{"1543910400", 5}, {"1544083200", 6}}, {{"1543910400", 5}}},
        {"C", {{"1543996800", 1}}, {{"1543996800", 1}}},
        {"D", {}, {}},
        {"", {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << (&c - &*std::begin(cases)));
        const std::vector<PriceSeries> history = index.History(c.title, Sites());
        ASSERT_EQ(history.size(), 2u) << c.title;
        EXPECT_EQ(history[0].siteTitle, Gbk("京东"));
        EXPECT_EQ(PointsOf(history[0]), c.jd) << c.title;
        EXPECT_EQ(history[1].siteTitle, Gbk("天猫"));
        EXPECT_EQ(PointsOf(history[1]), c.tmall) << c.title;
    }
    // A field beyond the sites given has no series.
    const std::vector<PriceSeries> jd = index.History("A", {Gbk("京东")});
    ASSERT_EQ(jd.size(), 1u);
    // Each point keeps its cell as the record wrote it.
    EXPECT_EQ(jd[0].points[2].text, Gbk("获取失败"));
    EXPECT_EQ(jd[0].points[3].text, "1,100.00");
}

TEST(PriceHistoryIndex, RecordTimesAreTheRecordListTimes)
{
    TempDataRoot root;
    const auto db = root.Dirs().dbDir;
    WriteRecords(db);
    const std::vector<RecordListEntry> entries = ListRecordEntries(db);
    PriceHistoryIndex index;
    index.AddRecords(db, entries);
    const std::vector<PricePoint> points = index.History("A", Sites())[1].points;
    ASSERT_EQ(points.size(), 3u);
    for (size_t i = 0; i < points.size(); ++i) {
        EXPECT_EQ(points[i].recordTime, entries[i].displayTime) << i;
        EXPECT_FALSE(points[i].recordTime.empty()) << i;
    }
}

TEST(PriceHistoryIndex, ARecordAddedLaterTakesItsPlaceInNameOrderOnce)
{
    TempDataRoot root;
    const auto db = root.Dirs().dbDir;
    WriteRecords(db);
    std::vector<RecordListEntry> entries = ListRecordEntries(db);
    const RecordListEntry second = entries[1];
    entries.erase(entries.begin() + 1);
    PriceHistoryIndex index;
    index.AddRecords(db, entries);
    index.AddRecord(db, second);
    index.AddRecord(db, second);
    EXPECT_EQ(index.RecordCount(), 4u);
    EXPECT_EQ(PointsOf(index.History("A", Sites())[0]),
              (Points{{"1543910400", 10}, {"1543910400000", 7}, {"1543996800", std::nullopt}, {"1544083200", 1100}}));
}

TEST(PriceHistoryLoader, BuildsOnAWorkerAndTakesARecordSavedMeanwhile)
{
    TempDataRoot root;
    const auto db = root.Dirs().dbDir;
    WriteRecords(db);
    PriceHistoryLoader loader;
    int readySignals = 0;
    QObject::connect(&loader, &PriceHistoryLoader::ready, [&] { ++readySignals; });
    loader.Start(db);
    // Saved after the listing: it comes in once the build has finished.
    TempDataRoot::WriteBytes(db / "1544169600.txt", "A|12|");
    loader.AddRecordFile(db / "1544169600.txt");
    loader.WaitUntilReady();
    QCoreApplication::processEvents(); // the worker's queued end changes nothing more

    EXPECT_TRUE(loader.IsReady());
    EXPECT_EQ(readySignals, 1);
    EXPECT_EQ(loader.Index().RecordCount(), 5u);
    EXPECT_EQ(PointsOf(loader.Index().History("A", Sites())[0]),
              (Points{{"1543910400", 10},
                      {"1543910400000", 7},
                      {"1543996800", std::nullopt},
                      {"1544083200", 1100},
                      {"1544169600", 12}}));

    // Once ready, a saved record is read at once.
    TempDataRoot::WriteBytes(db / "1544256000.txt", "A|13|");
    loader.AddRecordFile(db / "1544256000.txt");
    EXPECT_EQ(loader.Index().History("A", Sites())[0].points.back().price, 13);
}

// Records saved under 京东, 天猫 and under 天猫, 苏宁, 京东, and one of an older
// installation (by position: 京东, 天猫 today).
TEST(PriceHistoryIndex, PricesStayUnderTheShopTheirRecordNamed)
{
    TempDataRoot root;
    const auto db = root.Dirs().dbDir;
    TempDataRoot::WriteBytes(db / "1543910400.txt", "A|1|2|");
    TempDataRoot::WriteBytes(db / "1543996800.txt", "A|3|4|5|");
    TempDataRoot::WriteBytes(db / "1544083200.txt", "A|6|7|");
    ASSERT_TRUE(WriteRecordColumns(db, "1543910400.txt", *test::MakeGrid({"京东", "天猫"}, {})));
    ASSERT_TRUE(WriteRecordColumns(db, "1543996800.txt", *test::MakeGrid({"天猫", "苏宁", "京东"}, {})));
    PriceHistoryIndex index;
    index.AddRecords(db, ListRecordEntries(db));

    const std::vector<PriceSeries> history = index.History("A", {Gbk("天猫"), Gbk("苏宁"), Gbk("京东")});
    EXPECT_EQ(PointsOf(history[0]), (Points{{"1543910400", 2}, {"1543996800", 3}, {"1544083200", 6}}));
    EXPECT_EQ(PointsOf(history[1]), (Points{{"1543996800", 4}, {"1544083200", 7}}));
    EXPECT_EQ(PointsOf(history[2]), (Points{{"1543910400", 1}, {"1543996800", 5}}));
    EXPECT_EQ(PointsOf(index.History("A", Sites())[0]), (Points{{"1543910400", 1}, {"1543996800", 5}, {"1544083200", 6}}));
}
