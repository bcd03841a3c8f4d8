#include "capture/CaptureParts.h"

#include "capture/CellTexts.h"
#include "common/CoreTestSupport.h"
#include "products/LinkFile.h"
#include "products/TestGrids.h"
#include "support/Gbk.h"
#include "support/HostName.h"

#include <QDateTime>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace corvix {
namespace {

using test::MakeGrid;

// Published FNV-1a values: a host falls to the same part on every machine.
TEST(CaptureParts, HostHashIsFnv1aOverTheLowerCasedName)
{
    const struct {
        std::string host;
        std::uint32_t hash;
        int partOf3;
        int partOf7;
    } cases[] = {
        {"", 0x811c9dc5u, 1, 2},          {"a", 0xe40c292cu, 1, 5},
        {"foobar", 0xbf9cf968u, 1, 0},    {"FooBar", 0xbf9cf968u, 1, 0},
        {"shop-a.test", 0x916417afu, 2, 3}, {"ITEM.JD.com", 0xb1207a95u, 0, 3},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(HostHash(c.host), c.hash) << c.host;
        EXPECT_EQ(PartOfHost(c.host, 3), c.partOf3) << c.host;
        EXPECT_EQ(PartOfHost(c.host, 7), c.partOf7) << c.host;
        EXPECT_EQ(PartOfHost(c.host, 1), 0) << c.host;
    }
}

TEST(CaptureParts, PartSpecIsIndexSlashCount)
{
    const struct {
        std::string text;
        int index; // -1: refused
        int count;
    } cases[] = {
        {"0/1", 0, 1}, {"2/3", 2, 3}, {"999/1000", 999, 1000}, {"3/3", -1, 0}, {"-1/3", -1, 0}, {"1/0", -1, 0},
        {"1/1001", -1, 0}, {"1", -1, 0}, {"a/3", -1, 0}, {"1/3x", -1, 0}, {"/3", -1, 0}, {"1/", -1, 0},
    };
    for (const auto &c : cases) {
        const std::optional<PartSpec> spec = ParsePartSpec(c.text);
        ASSERT_EQ(spec.has_value(), c.index >= 0) << c.text;
        if (spec) {
            EXPECT_EQ(spec->index, c.index) << c.text;
            EXPECT_EQ(spec->count, c.count) << c.text;
        }
    }
}

TEST(CaptureParts, RunNamesAreSafeFolderNames)
{
    for (const char *good : {"20240615-03", "night_1", "a.b", "4711"})
        EXPECT_TRUE(IsRunName(good)) << good;
    for (const char *bad : {"", ".", "..", ".hidden", "a/b", "a\\b", "a b", "名"})
        EXPECT_FALSE(IsRunName(bad)) << bad;
    EXPECT_EQ(DefaultRunName(QDateTime(QDate(2024, 6, 15), QTime(3, 59), QTimeZone::utc())), "20240615-03");
}

LinkFile ThreeShopLinks()
{
    return LinkFile::Parse("[A0]\r\ntitle=P\r\nS1=http://a.test/1\r\nS2=http://B.test/1\r\nS3=http://c.test/1\r\n"
                           "[A1]\r\ntitle=Q\r\nS1=http://a.test:81/2\r\nS2=no link\r\nS3=http://d.test/2\r\n"
                           "[A2]\r\ntitle=R\r\nS1=http://b.test/3\r\nS3=\r\n");
}

TEST(CaptureParts, EveryWebLinkFallsToOnePartWithAllLinksOfItsHost)
{
    const CapturePlan plan = PlanFromLinkFile(ThreeShopLinks(), {"S1", "S2", "S3"});
    for (int count : {1, 2, 3, 5}) {
        std::multiset<std::pair<int, int>> seen;
        std::map<std::string, int> partOfHost;
        for (int i = 0; i < count; ++i) {
            const CapturePlan mine = PlanForPart(plan, {i, count});
            EXPECT_EQ(mine.titles, plan.titles);
            for (const PlannedLink &link : mine.links) {
                EXPECT_EQ(link.kind, LinkKind::Web);
                seen.emplace(link.row, link.column);
                const auto [at, fresh] = partOfHost.emplace(HostOfAddress(link.address), i);
                EXPECT_EQ(at->second, i) << at->first << " in two parts of " << count;
            }
        }
        EXPECT_EQ(seen.size(), 6u) << count; // the 6 web links, each once
        const std::set<std::pair<int, int>> distinct(seen.begin(), seen.end());
        EXPECT_EQ(distinct.size(), 6u) << count;
    }
}

TEST(CaptureParts, PlanDigestChangesWithProductsShopsAndLinks)
{
    const std::string base = PlanDigest(PlanFromLinkFile(ThreeShopLinks(), {"S1", "S2", "S3"}));
    EXPECT_EQ(base, PlanDigest(PlanFromLinkFile(ThreeShopLinks(), {"S1", "S2", "S3"})));
    EXPECT_NE(base, PlanDigest(PlanFromLinkFile(ThreeShopLinks(), {"S1", "S3", "S2"})));
    LinkFile other = ThreeShopLinks();
    other.SetProductValue(2, "S3", "http://e.test/9");
    EXPECT_NE(base, PlanDigest(PlanFromLinkFile(other, {"S1", "S2", "S3"})));
    other = ThreeShopLinks();
    other.SetProductValue(1, "title", "Q2");
    EXPECT_NE(base, PlanDigest(PlanFromLinkFile(other, {"S1", "S2", "S3"})));
}

PartCells SomePart(const CapturePlan &plan, PartSpec spec)
{
    PartCells part = EmptyPart(plan, spec);
    for (const PlannedLink &link : PlanForPart(plan, spec).links)
        part.cells[static_cast<size_t>(link.row)][static_cast<size_t>(link.column - 2)] =
            link.row == 1 ? FailureText() : Gbk("￥") + std::to_string(link.row) + "." + std::to_string(link.column);
    return part;
}

TEST(CaptureParts, PartFilesReadBackAsWrittenAndAHalfWrittenOneIsNoPart)
{
    const test::TempDataRoot root;
    const std::filesystem::path run = RunPartsDir(root.Dirs().dbDir, "night");
    const CapturePlan plan = PlanFromLinkFile(ThreeShopLinks(), {Gbk("京东"), "S2", "S3"});
    const PartCells written = SomePart(plan, {1, 2});
    ASSERT_TRUE(WritePart(run, written));
    const Result<PartCells> read = ReadPart(run, 1);
    ASSERT_TRUE(read) << read.error().reason.toStdString();
    EXPECT_EQ(read->cells, written.cells);
    EXPECT_EQ(read->titles, written.titles);
    EXPECT_EQ(read->shops, written.shops);
    EXPECT_EQ(read->planDigest, PlanDigest(plan));
    EXPECT_EQ(read->part.count, 2);
    const Result<PartCells> never = ReadPart(run, 0);
    ASSERT_FALSE(never);
    EXPECT_TRUE(never.error().absent);
    // A record file: one line per product, each cell followed by "|".
    EXPECT_EQ(test::ReadBytes(PartFilePath(run, 1)).substr(0, 2), "P|");

    const std::string whole = test::ReadBytes(PartFilePath(run, 1));
    test::WriteBytes(PartFilePath(run, 1), whole.substr(0, whole.size() - 3));
    const Result<PartCells> cut = ReadPart(run, 1);
    ASSERT_FALSE(cut);
    EXPECT_FALSE(cut.error().absent);
    EXPECT_EQ(cut.error().path, PartFilePath(run, 1));
}

TEST(CaptureParts, ReadRunPartsTakesOnlyPartsOfThisPlanAndCount)
{
    const test::TempDataRoot root;
    const std::filesystem::path run = RunPartsDir(root.Dirs().dbDir, "night");
    const CapturePlan plan = PlanFromLinkFile(ThreeShopLinks(), {"S1", "S2", "S3"});
    ASSERT_TRUE(WritePart(run, SomePart(plan, {0, 3})));
    ASSERT_TRUE(WritePart(run, SomePart(plan, {2, 3})));
    LinkFile other = ThreeShopLinks();
    other.SetProductValue(0, "S1", "http://a.test/other");
    const CapturePlan changed = PlanFromLinkFile(other, {"S1", "S2", "S3"});
    ASSERT_TRUE(WritePart(run, SomePart(changed, {1, 3})));
    const RunParts parts = ReadRunParts(run, plan);
    EXPECT_EQ(parts.count, 3);
    EXPECT_EQ(parts.Present(), 2);
    EXPECT_FALSE(parts.parts[1]);
    EXPECT_EQ(parts.problems.size(), 1u);
}

TEST(CaptureParts, JoinTakesEachCellFromItsPartAndKeepsTheRestFromBefore)
{
    const CapturePlan plan = PlanFromLinkFile(ThreeShopLinks(), {"S1", "S2", "S3"});
    const auto before = MakeGrid({"S1", "S2", "S3"}, {{"1", "P", "1", "2", "3"}, {"2", "Q", "4", "5", "6"},
                                                      {"3", "R", "7", "8", "9"}});
    const int count = 3;
    std::vector<std::optional<PartCells>> all;
    for (int i = 0; i < count; ++i)
        all.emplace_back(SomePart(plan, {i, count}));
    const auto cell = [](const JoinedRun &j, size_t r, size_t c) { return j.rows[r][c]; };
    const struct {
        const char *name;
        std::vector<int> present;
        bool stopPartOfD; // the part of d.test reached nothing
    } cases[] = {{"all parts", {0, 1, 2}, false}, {"part of a.test missing", {1, 2}, false},
                 {"stopped part", {0, 1, 2}, true}, {"none", {}, false}};
    for (const auto &c : cases) {
        std::vector<std::optional<PartCells>> parts(count);
        for (int i : c.present)
            parts[static_cast<size_t>(i)] = all[static_cast<size_t>(i)];
        const int partOfD = PartOfHost("d.test", count);
        if (c.stopPartOfD && parts[static_cast<size_t>(partOfD)])
            parts[static_cast<size_t>(partOfD)]->cells[1][2].clear();
        const JoinedRun j = JoinParts(plan, *before, parts);
        EXPECT_EQ(j.total, 7) << c.name; // 6 web links and Q's bad S2 link
        const bool aThere = parts[static_cast<size_t>(PartOfHost("a.test", count))].has_value();
        EXPECT_EQ(cell(j, 0, 2), aThere ? Gbk("￥0.2") : "1") << c.name;
        EXPECT_EQ(cell(j, 1, 2), aThere ? FailureText() : "4") << c.name;
        EXPECT_EQ(cell(j, 1, 3), "5") << c.name;             // no web address: the cell stays
        EXPECT_EQ(cell(j, 2, 4), NoLinkText()) << c.name;    // R is not sold by S3
        EXPECT_EQ(cell(j, 0, 1), "P") << c.name;
        int captured = 0;
        int priced = 0;
        for (const PlannedLink &link : plan.links) {
            if (link.kind != LinkKind::Web)
                continue;
            const auto &p = parts[static_cast<size_t>(PartOfHost(HostOfAddress(link.address), count))];
            if (!p || p->cells[static_cast<size_t>(link.row)][static_cast<size_t>(link.column - 2)].empty())
                continue;
            ++captured;
            priced += link.row == 1 ? 0 : 1;
        }
        EXPECT_EQ(j.done, captured + 1) << c.name;
        EXPECT_EQ(j.priced, priced) << c.name;
        EXPECT_EQ(j.notCaptured, 6 - captured) << c.name;
        EXPECT_EQ(j.missingParts.size(), static_cast<size_t>(count) - c.present.size()) << c.name;
    }
}

TEST(CaptureParts, MergedMarkerNamesARecordThatExists)
{
    const test::TempDataRoot root;
    const std::filesystem::path run = RunPartsDir(root.Dirs().dbDir, "night");
    EXPECT_EQ(MergedRecordOf(run, root.Dirs().dbDir), "");
    std::filesystem::create_directories(run);
    ASSERT_TRUE(WriteMergedMarker(run, "1733640000.txt"));
    EXPECT_EQ(MergedRecordOf(run, root.Dirs().dbDir), ""); // the record is gone
    test::WriteBytes(root.Dirs().dbDir / "1733640000.txt", "P|1|");
    EXPECT_EQ(MergedRecordOf(run, root.Dirs().dbDir), "1733640000.txt");
}

} // namespace
} // namespace corvix
