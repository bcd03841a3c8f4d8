#include "capture/CapturePlan.h"

#include "capture/CellTexts.h"
#include "common/CoreTestSupport.h"
#include "products/LinkFile.h"
#include "products/TestGrids.h"
#include "support/Gbk.h"

#include <gtest/gtest.h>

namespace corvix {
namespace {

using test::MakeGrid;

TEST(CapturePlan, KindOfLinkTellsMissingFromBadLinks)
{
    const struct {
        std::string stored;
        LinkKind kind;
    } cases[] = {
        {"", LinkKind::Missing},        {"   ", LinkKind::Missing},
        {"http://a.example/p", LinkKind::Web}, {"  https://a.example/p ", LinkKind::Web},
        {"a.example/p", LinkKind::NotWeb},     {"file:///etc/passwd?http", LinkKind::NotWeb},
        {"javascript:alert('http')", LinkKind::NotWeb},
    };
    for (const auto &c : cases)
        EXPECT_EQ(KindOfLink(c.stored), c.kind) << c.stored;
}

TEST(CapturePlan, RunOverLinkFileVisitsEveryCellButCountsOnlyPresentLinks)
{
    const LinkFile links = LinkFile::Parse("[A0]\r\ntitle=P\r\nS1=http://a.example/1\r\nS2=\r\n"
                                           "[A1]\r\ntitle=Q\r\nS2=not a link\r\n");
    const CapturePlan plan = PlanFromLinkFile(links, {"S1", "S2"});
    ASSERT_EQ(plan.titles, (std::vector<std::string>{"P", "Q"}));
    ASSERT_EQ(plan.links.size(), 4u);
    const LinkKind kinds[] = {LinkKind::Web, LinkKind::Missing, LinkKind::Missing, LinkKind::NotWeb};
    const int columns[] = {2, 3, 2, 3};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(plan.links[i].kind, kinds[i]) << i;
        EXPECT_EQ(plan.links[i].column, columns[i]) << i;
    }
    EXPECT_EQ(plan.links[0].address, "http://a.example/1");
    EXPECT_EQ(plan.CountedLinks(), 2);
}

TEST(CapturePlan, RetryTakesEmptyAndFailedCellsWithALinkOnly)
{
    const auto grid = MakeGrid({"S1", "S2"}, {{"1", "P", "", "获取失败"}, {"2", "Q", "9.90", ""}});
    const LinkFile links = LinkFile::Parse("[A0]\r\ntitle=P\r\nS1=http://a.example/1\r\nS2=http://b.example/1\r\n"
                                           "[A1]\r\ntitle=Q\r\nS1=http://a.example/2\r\n");
    const CapturePlan plan = PlanRetry(*grid, links);
    ASSERT_EQ(plan.links.size(), 2u); // Q has no link in S2: not retried
    EXPECT_EQ(plan.links[0].column, 2);
    EXPECT_EQ(plan.links[1].column, 3);
    EXPECT_TRUE(plan.retry);
    EXPECT_TRUE(plan.titles.empty());
}

TEST(CapturePlan, RowsBeforeRunKeepEveryProductsPreviousPricesByTitleAndShop)
{
    // Before: the shops in another order, a product that goes, one title twice.
    const auto before = MakeGrid({"S2", "S1"}, {{"1", "P", "2.00", "1.00"},
                                                {"2", "Gone", "5.00", "6.00"},
                                                {"3", "D", "", "7.00"},
                                                {"4", "D", "8.00", "9.00"}});
    const LinkFile links = LinkFile::Parse("[A0]\r\ntitle=New\r\nS1=http://a.example/n\r\n"
                                           "[A1]\r\ntitle=P\r\nS1=http://a.example/p\r\nS2=http://b.example/p\r\n"
                                           "[A2]\r\ntitle=D\r\nS1=http://a.example/d\r\nS2=http://b.example/d\r\n"
                                           "[A3]\r\ntitle=D\r\nS1=http://a.example/e\r\n");
    const RunRows rows = RowsBeforeRun(PlanFromLinkFile(links, {"S1", "S2"}), *before);
    const std::vector<std::vector<std::string>> expected = {
        {"", "New", "", NoLinkText()},
        {"", "P", "1.00", "2.00"},
        {"", "D", "7.00", ""},
        {"", "D", "9.00", NoLinkText()},
    };
    EXPECT_EQ(rows.rows, expected);
    const std::vector<std::pair<int, int>> previous = {{1, 2}, {1, 3}, {2, 2}, {3, 2}};
    EXPECT_EQ(rows.previousCells, previous);
}

// A run marks every text it carries as not refreshed; an import keeps the
// marks the texts had.
TEST(CapturePlan, ShowPlanRowsMarksOrKeepsTheMarksOfCarriedTexts)
{
    const LinkFile links = LinkFile::Parse("[A0]\r\ntitle=New\r\nS1=http://a.example/n\r\n"
                                           "[A1]\r\ntitle=P\r\nS1=http://a.example/p\r\n"
                                           "[A2]\r\ntitle=Q\r\nS1=http://a.example/q\r\n");
    const struct {
        KeptTexts kept;
        std::vector<std::pair<int, int>> marked;
    } cases[] = {{KeptTexts::NotRefreshed, {{1, 2}, {2, 2}}}, {KeptTexts::MarksAsBefore, {{1, 2}}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << (&c - &*std::begin(cases)));
        const auto grid = MakeGrid({"S1"}, {{"1", "P", "1.00"}, {"2", "Q", "2.00"}});
        grid->MarkNotRefreshed({{0, 2}});
        grid->SetShowsOlderRecord(false);
        ShowPlanRows(*grid, PlanFromLinkFile(links, {"S1"}), {}, c.kept);
        EXPECT_EQ(grid->Rows(), (std::vector<std::vector<std::string>>{{"1", "New", ""}, {"2", "P", "1.00"}, {"3", "Q", "2.00"}}));
        std::vector<std::pair<int, int>> marked;
        for (int r = 0; r < grid->RowCount(); ++r)
            if (grid->NotRefreshed(r, 2))
                marked.emplace_back(r, 2);
        EXPECT_EQ(marked, c.marked) << static_cast<int>(c.kept);
    }
}

// At start-up the rows are url.ini's products: an import that no run has
// captured shows, with the prices of the products the record holds.
TEST(CapturePlan, FollowLinkFileProductsWhenTheyAreOtherThanTheRows)
{
    const struct {
        const char *name;
        const char *links; // nullptr: no url.ini
        bool changed;
        std::vector<std::vector<std::string>> rows;
    } cases[] = {
        {"no url.ini", nullptr, false, {{"1", "P", "1.00"}, {"2", "Q", "2.00"}}},
        {"no products", "[other]\r\nx=1\r\n", false, {{"1", "P", "1.00"}, {"2", "Q", "2.00"}}},
        {"the same products", "[A0]\r\ntitle=P\r\n[A1]\r\ntitle=Q\r\n", false, {{"1", "P", "1.00"}, {"2", "Q", "2.00"}}},
        {"rows beyond the products", "[A0]\r\ntitle=P\r\n", false, {{"1", "P", "1.00"}, {"2", "Q", "2.00"}}},
        {"appended", "[A0]\r\ntitle=P\r\nS1=http://p\r\n[A1]\r\ntitle=Q\r\nS1=http://q\r\n[A2]\r\ntitle=N\r\nS1=http://n\r\n",
         true, {{"1", "P", "1.00"}, {"2", "Q", "2.00"}, {"3", "N", ""}}},
        {"replaced", "[A0]\r\ntitle=N\r\nS1=http://n\r\n[A1]\r\ntitle=P\r\nS1=http://p\r\n", true,
         {{"1", "N", ""}, {"2", "P", "1.00"}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDataRoot root;
        if (c.links)
            test::WriteBytes(LinkFilePath(root.Dirs()), c.links);
        const auto grid = MakeGrid({"S1"}, {{"1", "P", "1.00"}, {"2", "Q", "2.00"}});
        EXPECT_EQ(FollowLinkFileProducts(*grid, LinkFilePath(root.Dirs()), root.Dirs().dbDir), c.changed);
        EXPECT_EQ(grid->Rows(), c.rows);
    }
}

} // namespace
} // namespace corvix
