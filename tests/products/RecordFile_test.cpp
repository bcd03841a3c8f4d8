// Record files: loading into the grid, the saved text, the newest name.
#include "common/CoreTestSupport.h"
#include "products/ProductGridModel.h"
#include "products/RecordColumns.h"
#include "products/TestGrids.h"
#include "products/RecordFile.h"
#include "products/PriceChanges.h"
#include "products/RecordList.h"
#include "support/DataRoot.h"
#include "support/FileIo.h"
#include "support/DateTime.h"
#include "support/Gbk.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <utility>
#include <vector>

using namespace corvix;
using corvix::test::TempDataRoot;

namespace {

using Rows = std::vector<std::vector<std::string>>;

// ID, 商品名称 and the given number of rule columns.
void AddColumns(ProductGridModel &grid, int ruleColumns)
{
    grid.AddFixedColumns();
    for (int i = 0; i < ruleColumns; ++i)
        grid.AddColumn("R" + std::to_string(i + 1), 60, Qt::AlignHCenter);
}

Rows GridRows(const ProductGridModel &grid)
{
    Rows rows;
    for (int r = 0; r < grid.RowCount(); ++r) {
        rows.emplace_back();
        for (int c = 0; c < grid.ColumnCount(); ++c)
            rows.back().push_back(grid.Text(r, c));
    }
    return rows;
}

struct LoadCase {
    const char *what;
    std::string bytes;
    int ruleColumns;
    Rows expected;
};

} // namespace

TEST(LoadRecordIntoGrid, FillsRowsAsTheFileSays)
{
    const std::string yi = Gbk("億"); // second byte is "|"
    const std::vector<LoadCase> cases = {
        {"one line, one site", "Apple|12.50|", 1, {{"1", "Apple", "12.50"}}},
        {"empty lines take no ID", "x|1.5|\r\n\r\ny|2|", 1, {{"1", "x", "1.5"}, {"2", "y", "2"}}},
        {"fields beyond the last column are dropped", "name|1|2|3|4|", 2, {{"1", "name", "1", "2"}}},
        {"missing fields leave cells empty", "only|", 3, {{"1", "only", "", "", ""}}},
        {"no trailing bar", "a|b", 1, {{"1", "a", "b"}}},
        {"reading stops at a zero byte", std::string("a|1|\r\nb|2|\0\r\nc|3|", 16), 1,
         {{"1", "a", "1"}, {"2", "b", "2"}}},
        {"a two-byte character ending in the bar byte is not cut", yi + "|" + yi + "9|", 1,
         {{"1", yi, yi + "9"}}},
        {"a lone LF stays inside the cell", "a\nb|1|", 1, {{"1", "a\nb", "1"}}},
        {"a euro price ends at its bar", "P|89,90\x80|120.00|", 2, {{"1", "P", "89,90\x80", "120.00"}}},
        {"a euro before a character ending in the bar byte", "\x80" + yi + "|\xFF" + yi + "|x|", 2,
         {{"1", "\x80" + yi, "\xFF" + yi, "x"}}},
        {"empty file", "", 1, {}},
    };
    for (const auto &c : cases) {
        TempDataRoot root;
        const auto path = root.Dirs().dbDir / "1543910400.txt";
        TempDataRoot::WriteBytes(path, c.bytes);
        ProductGridModel grid;
        AddColumns(grid, c.ruleColumns);
        LoadRecordIntoGrid(path, grid);
        EXPECT_EQ(GridRows(grid), c.expected) << c.what;
    }
}

TEST(LoadRecordIntoGrid, AppendsAfterExistingRowsAndIgnoresAMissingFile)
{
    TempDataRoot root;
    ProductGridModel grid;
    AddColumns(grid, 1);
    grid.AppendRows({{"1", "kept", "0"}});
    LoadRecordIntoGrid(root.Dirs().dbDir / "missing.txt", grid);
    EXPECT_EQ(grid.RowCount(), 1);

    const auto path = root.Dirs().dbDir / "1.txt";
    TempDataRoot::WriteBytes(path, "a|1|\r\nb|2|");
    LoadRecordIntoGrid(path, grid);
    EXPECT_EQ(GridRows(grid), (Rows{{"1", "kept", "0"}, {"2", "a", "1"}, {"3", "b", "2"}}));
}

TEST(LoadRecordIntoGrid, LoadsTenThousandLinesCompletely)
{
    TempDataRoot root;
    std::string text;
    for (int i = 0; i < 10000; ++i) {
        if (i > 0)
            text += "\r\n";
        text += "p" + std::to_string(i) + "|";
        for (int k = 0; k < 20; ++k)
            text += std::to_string(k) + ".5|";
    }
    const auto path = root.Dirs().dbDir / "1.txt";
    TempDataRoot::WriteBytes(path, text);
    ProductGridModel grid;
    AddColumns(grid, 20);
    // The window's bar is told the lines read, rising, up to all of them.
    std::vector<std::pair<int, int>> told;
    LoadRecordIntoGrid(path, grid, [&](int read, int lines) { told.emplace_back(read, lines); });
    ASSERT_EQ(told.size(), 40u);
    EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
    EXPECT_EQ(told.back(), std::pair(10000, 10000));
    ASSERT_EQ(grid.RowCount(), 10000);
    EXPECT_EQ(grid.Text(9999, 0), "10000");
    EXPECT_EQ(grid.Text(9999, 1), "p9999");
    EXPECT_EQ(grid.Text(9999, 21), "19.5");
    // Saving gives the same text back.
    EXPECT_EQ(RecordText(grid), text);
}

TEST(RecordText, ABarOrLineBreakOfACellCannotCutTheLine)
{
    const struct {
        const char *cell, *written;
    } cells[] = {
        {"￥99|包邮", "￥99｜包邮"}, {"99\r\n包邮", "99 包邮"}, {"a\n\nb\r\n", "a b"},
        {"億|", "億｜"},            {"億", "億"},               {"89,90€", "89,90€"},
    };
    for (const auto &c : cells)
        EXPECT_EQ(RecordCellText(Gbk(c.cell)), Gbk(c.written)) << c.cell;
    EXPECT_EQ(RecordCellText("9\x81"), "9?"); // a lone lead byte would take the bar
    EXPECT_EQ(RecordCellText("9\x81\x81"), "9\x81\x81");

    // Read back by this program or an older one, every cell keeps its column.
    const auto grid = test::MakeGrid({"A", "B"}, {{"1", "P|Q", "￥99|包邮", "12"}, {"2", "R", "1\r\n2", ""}});
    const std::string text = RecordText(*grid);
    EXPECT_EQ(text, Gbk("P｜Q|￥99｜包邮|12|\r\nR|1 2||"));
    TempDataRoot root;
    TempDataRoot::WriteBytes(root.Dirs().dbDir / "1.txt", text);
    const auto loaded = test::MakeGrid({"A", "B"}, {});
    LoadRecordIntoGrid(root.Dirs().dbDir / "1.txt", *loaded);
    EXPECT_EQ(GridRows(*loaded), (Rows{{"1", Gbk("P｜Q"), Gbk("￥99｜包邮"), "12"}, {"2", "R", "1 2", ""}}));
}

TEST(SaveGridAsRecord, WritesColumnsOneOnWithBarsAndCrLfBetweenLines)
{
    TempDataRoot root;
    SetClockForTests([] { return LocalDateTime{2018, 12, 4, 18, 0, 0, 0}; });
    ProductGridModel grid;
    AddColumns(grid, 1);
    grid.AppendRows({{"1", "A", "9.9"}, {"2", "B", ""}});
    ASSERT_TRUE(SaveGridAsRecord(grid, root.Dirs().dbDir));
    // 2018-12-04 18:00:00 local, counted from 1970-01-01 08:00:00 local.
    EXPECT_EQ(TempDataRoot::ReadBytes(root.Dirs().dbDir / "1543917600.txt"), "A|9.9|\r\nB||");
    EXPECT_EQ(NewestRecordName(root.Dirs().dbDir), "1543917600.txt");
    SetClockForTests(nullptr);
}

TEST(SaveGridAsRecord, EmptyGridWritesEmptyFileAndAFailedWriteIsReported)
{
    TempDataRoot root;
    SetClockForTests([] { return LocalDateTime{2018, 12, 4, 18, 0, 0, 0}; });
    ProductGridModel grid;
    AddColumns(grid, 2);
    ASSERT_TRUE(SaveGridAsRecord(grid, root.Dirs().dbDir));
    const auto path = root.Dirs().dbDir / "1543917600.txt";
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);

    const auto failed = SaveGridAsRecord(grid, root.Dirs().dbDir / "no-such-dir");
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().path, root.Dirs().dbDir / "no-such-dir" / "1543917600.txt");
    SetClockForTests(nullptr);
}

TEST(SaveGridAsRecord, SavesInOneSecondTakeTheNextFreeSeconds)
{
    TempDataRoot root;
    const auto db = root.Dirs().dbDir;
    SetClockForTests([] { return LocalDateTime{2018, 12, 4, 18, 0, 0, 0}; });
    ProductGridModel grid;
    AddColumns(grid, 1);
    for (int i = 0; i < 5; ++i) {
        grid.AppendRows({{std::to_string(i + 1), "P" + std::to_string(i), "1"}});
        ASSERT_TRUE(SaveGridAsRecord(grid, db));
    }
    SetClockForTests(nullptr);
    // Every save kept, each a readable stamp, the last one saved the newest.
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(std::filesystem::exists(db / (std::to_string(1543917600 + i) + ".txt"))) << i;
    EXPECT_EQ(TempDataRoot::ReadBytes(db / "1543917600.txt"), "P0|1|");
    EXPECT_EQ(NewestRecordName(db), "1543917604.txt");
}

TEST(NewestRecordName, IsTheLastTxtInNameOrder)
{
    TempDataRoot root;
    const auto db = root.Dirs().dbDir;
    EXPECT_EQ(NewestRecordName(db), "");
    TempDataRoot::WriteBytes(db / "url.ini", "[A0]");
    EXPECT_EQ(NewestRecordName(db), "");
    TempDataRoot::WriteBytes(db / "1543996800.txt", "");
    TempDataRoot::WriteBytes(db / "1543910400.txt", "");
    EXPECT_EQ(NewestRecordName(db), "1543996800.txt");
}

TEST(NewestRecordName, CountsOnlyRecordNamesAndLeavesTheOthersAlone)
{
    TempDataRoot root;
    const auto db = root.Dirs().dbDir;
    SetClockForTests([] { return LocalDateTime{2018, 12, 4, 18, 0, 0, 0}; });
    const std::vector<std::string> others = {"8640000000000001.txt", "9999999999.txt", "99999999999999999999.txt",
                                             Gbk("记录.txt")};
    for (const std::string &name : {std::string("1543910400.txt"), std::string("1543917600.txt")})
        TempDataRoot::WriteBytes(PathInDir(db, name), "A|1|");
    for (const std::string &name : others)
        TempDataRoot::WriteBytes(PathInDir(db, name), "X|2|");
    EXPECT_EQ(NewestRecordName(db), "1543917600.txt");
    std::vector<std::string> names;
    for (const RecordListEntry &entry : ListRecords(db))
        names.push_back(entry.name);
    EXPECT_EQ(names, (std::vector<std::string>{"1543910400", "1543917600"}));
    std::vector<std::string> left;
    for (const auto &file : NonRecordFiles(db))
        left.push_back(PathToGbk(file));
    EXPECT_EQ(left, others);
    SetClockForTests(nullptr);
    for (const std::string &name : others)
        EXPECT_TRUE(std::filesystem::exists(PathInDir(db, name)));
}

// A record saved under 甲铺, 乙铺, 丙铺 and loaded after the rules changed.
TEST(RecordColumns, CellsFollowTheirShopTitleAndOlderRecordsTheirPosition)
{
    TempDataRoot root;
    const auto db = root.Dirs().dbDir;
    SetClockForTests([] { return LocalDateTime{2018, 12, 4, 18, 0, 0, 0}; });
    const auto saved = SaveGridAsRecord(*test::MakeGrid({"甲铺", "乙铺", "丙铺"}, {{"1", "P", "1", "2", "3"}}), db);
    SetClockForTests(nullptr);
    ASSERT_TRUE(saved);
    EXPECT_TRUE(saved->titlesSaved);
    EXPECT_EQ(TempDataRoot::ReadBytes(db / "1543917600.txt"), "P|1|2|3|");
    EXPECT_EQ(TempDataRoot::ReadBytes(db / "columns.ini"), Gbk("[1543917600]\r\n1=甲铺\r\n2=乙铺\r\n3=丙铺\r\n"));
    EXPECT_EQ(NewestRecordName(db), "1543917600.txt");
    TempDataRoot::WriteBytes(db / "1543910400.txt", "P|1|2|3|"); // an older installation's record

    struct Case {
        std::vector<std::string> shops;
        Rows titled, older;
    };
    const Case cases[] = {
        {{"甲铺", "丙铺"}, {{"1", "P", "1", "3"}}, {{"1", "P", "1", "2"}}},
        {{"丙铺", "甲铺"}, {{"1", "P", "3", "1"}}, {{"1", "P", "1", "2"}}},
        {{"丁铺", "乙铺"}, {{"1", "P", "", "2"}}, {{"1", "P", "1", "2"}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.shops[0]);
        for (const auto &[name, expected] : {std::pair{"1543917600.txt", c.titled}, {"1543910400.txt", c.older}}) {
            const auto grid = test::MakeGrid(c.shops, {});
            LoadRecordIntoGrid(db / name, *grid);
            EXPECT_EQ(GridRows(*grid), expected) << name;
        }
    }
}

TEST(RecordColumns, TitlesReadBackWholeAndASectionIsReplacedOrDropped)
{
    TempDataRoot root;
    const auto db = root.Dirs().dbDir;
    const std::vector<std::string> odd{" A", "\"q\"", "B=C", ""};
    ASSERT_TRUE(WriteRecordColumns(db, "7.txt", *test::MakeGrid({"x"}, {})));
    ASSERT_TRUE(WriteRecordColumns(db, "7.txt", *test::MakeGrid(odd, {})));
    ASSERT_TRUE(WriteRecordColumns(db, "8", *test::MakeGrid({}, {})));
    EXPECT_EQ(ReadRecordColumns(db, "7").shops, odd);
    EXPECT_TRUE(ReadRecordColumns(db, "8.txt").known);
    EXPECT_FALSE(ReadRecordColumns(db, "9.txt").known);

    ASSERT_TRUE(DropRecordColumns(db, "7.txt"));
    EXPECT_FALSE(ReadRecordColumns(db, "7").known);
    EXPECT_EQ(TempDataRoot::ReadBytes(db / "columns.ini"), "[8]\r\n");
}

TEST(RecordColumns, ARewriteKeepsEveryOtherByte)
{
    TempDataRoot root;
    const auto db = root.Dirs().dbDir;
    const std::string before = "; by hand\n[5]\r\n1=x\r\n[7]\r\n1=a\r\n2=b\r\n\r\n[other]\r\n" + std::string(1, '\0') +
                               "\x80\xFF junk\r\n[9]\r\n1=z";
    TempDataRoot::WriteBytes(db / "columns.ini", before);
    EXPECT_EQ(ReadRecordColumns(db, "9").shops, std::vector<std::string>{"z"}); // past the zero byte
    ASSERT_TRUE(WriteRecordColumns(db, "8.txt", *test::MakeGrid({"B "}, {})));
    EXPECT_EQ(TempDataRoot::ReadBytes(db / "columns.ini"), before + "\r\n[8]\r\n1=\"B \"\r\n");
    ASSERT_TRUE(WriteRecordColumns(db, "7.txt", *test::MakeGrid({"c"}, {})));
    std::string after = before;
    after.replace(after.find("1=a\r\n2=b"), 8, "1=c");
    EXPECT_EQ(TempDataRoot::ReadBytes(db / "columns.ini"), after + "\r\n[8]\r\n1=\"B \"\r\n");
    EXPECT_EQ(ReadRecordColumns(db, "8").shops, std::vector<std::string>{"B "});
}

TEST(RecordColumns, ARecordIsSavedWhenItsTitlesCannotBe)
{
    TempDataRoot root;
    const auto db = root.Dirs().dbDir;
    std::filesystem::create_directory(db / "columns.ini");
    const auto saved = SaveGridAsRecord(*test::MakeGrid({"甲铺"}, {{"1", "P", "1"}}), db);
    ASSERT_TRUE(saved);
    EXPECT_FALSE(saved->titlesSaved);
    EXPECT_EQ(TempDataRoot::ReadBytes(saved->path), "P|1|");
}

// The record, its shop titles, the alert state and the last saved record's
// name are one change: a process ending before any step of it leaves the next
// start all of them as before or all as after.
TEST(SaveGridAsRecord, AProcessEndingAtAnyStepLeavesTheNextStartAllOldOrAllNew)
{
    const auto grid = test::MakeGrid({"甲铺"}, {{"1", "P", "9"}});
    for (int stop = 1; stop <= 6; ++stop) { // the journal, four renames, the journal's removal
        SCOPED_TRACE(stop);
        TempDataRoot root;
        const auto db = root.Dirs().dbDir;
        const auto alerts = db / "alerts.ini", columns = db / "columns.ini", last = db / "lastsaved.ini";
        TempDataRoot::WriteBytes(db / "1543910400.txt", "P|10|");
        TempDataRoot::WriteBytes(columns, Gbk("[1543910400]\r\n1=甲铺\r\n"));
        TempDataRoot::WriteBytes(alerts, "[alert1]\r\nproduct=P\r\ntarget=10\r\n");
        const auto files = [&] {
            return std::vector<std::string>{std::filesystem::exists(db / "1543917600.txt") ? "saved" : "none",
                                            TempDataRoot::ReadBytes(columns), TempDataRoot::ReadBytes(alerts),
                                            TempDataRoot::ReadBytes(last)};
        };
        const auto before = files();
        SetClockForTests([] { return LocalDateTime{2018, 12, 4, 18, 0, 0, 0}; });
        const std::string crossed = "[alert1]\r\nproduct=P\r\ntarget=10\r\nbelow1=S\r\n";
        SetFilesTogetherStopForTests([stop](int step) { return step == stop; });
        EXPECT_THROW((void)SaveGridAsRecord(*grid, db, {{alerts, crossed}}), FilesTogetherStopped);
        SetFilesTogetherStopForTests(nullptr);
        ASSERT_TRUE(FinishFilesTogether(ChangeJournalPath(root.Dirs().root)));
        const auto after = files();
        if (stop == 1) {
            EXPECT_EQ(after, before);
            EXPECT_EQ(NewestRecordName(db), "1543910400.txt");
        } else {
            EXPECT_EQ(after,
                      (std::vector<std::string>{"saved", Gbk("[1543910400]\r\n1=甲铺\r\n[1543917600]\r\n1=甲铺\r\n"),
                                                crossed, after[3]}));
            EXPECT_NE(after[3], "");
            EXPECT_EQ(NewestRecordName(db), "1543917600.txt");
            EXPECT_EQ(LoadRecordWithColumnsOf(*grid, db / "1543917600.txt")->Text(0, 2), "9");
        }
        SetClockForTests(nullptr);
    }
}

TEST(SaveGridAsRecord, ASideFileThatCannotBeWrittenDoesNotHoldUpTheRecord)
{
    TempDataRoot root;
    const auto db = root.Dirs().dbDir;
    std::filesystem::create_directory(db / "alerts.ini");
    test::WriteBytes(db / "alerts.ini" / "x", "x");
    const auto saved = SaveGridAsRecord(*test::MakeGrid({"甲铺"}, {{"1", "P", "1"}}), db, {{db / "alerts.ini", "a"}});
    ASSERT_TRUE(saved);
    EXPECT_TRUE(saved->titlesSaved);
    ASSERT_EQ(saved->notSaved.size(), 1u);
    EXPECT_EQ(saved->notSaved[0].path, db / "alerts.ini");
    EXPECT_EQ(TempDataRoot::ReadBytes(saved->path), "P|1|");
    EXPECT_EQ(NewestRecordName(db), PathToGbk(saved->path.filename()));
    // Nothing of the change is left behind.
    EXPECT_FALSE(std::filesystem::exists(ChangeJournalPath(root.Dirs().root)));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(db), {}), 4); // record, columns, lastsaved, folder
}
