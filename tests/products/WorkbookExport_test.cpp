// The export on a worker: what it tells the thread that started it, and what
// it leaves on disk when it is stopped or fails.
#include "common/CoreTestSupport.h"
#include "products/ExcelExport.h"
#include "products/ProductGridModel.h"
#include "products/WorkbookExport.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace corvix;
using corvix::test::TempDataRoot;

#include "products/WorkbookReader.h"

namespace {

constexpr int kWaitMs = 60000;

std::unique_ptr<ProductGridModel> GridOfRows(int rows)
{
    return MakeGrid({"京东"}, std::vector<std::vector<std::string>>(static_cast<size_t>(rows), {"1", "梨", "2.5"}));
}

Result<ExportDone> OutcomeOf(const QSignalSpy &finished)
{
    return finished.at(0).at(0).value<Result<ExportDone>>();
}

} // namespace

TEST(WorkbookExport, TellsProgressInBatchesThenTheWrittenWorkbook)
{
    struct Row {
        int rows;
        std::vector<std::pair<int, int>> progress;
    };
    const Row table[] = {
        {0, {}},
        {1, {{1, 1}}},
        {600, {{256, 600}, {512, 600}, {600, 600}}},
    };
    for (const Row &r : table) {
        SCOPED_TRACE(r.rows);
        QTemporaryDir dir;
        const auto target = TempPath(dir, "out.xlsx");
        WorkbookExport job(*GridOfRows(r.rows), {target, {}, {}, {}});
        QSignalSpy progress(&job, &WorkbookExport::progressChanged);
        QSignalSpy finished(&job, &WorkbookExport::finished);
        job.Start();
        ASSERT_TRUE(finished.wait(kWaitMs));
        ASSERT_TRUE(OutcomeOf(finished)) << OutcomeOf(finished).error().reason.toStdString();
        EXPECT_FALSE(job.Running());
        std::vector<std::pair<int, int>> told;
        for (const QList<QVariant> &signal : progress)
            told.emplace_back(signal.at(0).toInt(), signal.at(1).toInt());
        EXPECT_EQ(told, r.progress);
        const Sheet sheet = ReadSheet(target);
        EXPECT_EQ(Text(sheet, "C1"), "京东");
        EXPECT_EQ(Text(sheet, "B" + std::to_string(r.rows + 1)), r.rows ? "梨" : "商品名称");
    }
}

TEST(WorkbookExport, WritesTheGridAsItWasWhenTheExportWasMade)
{
    QTemporaryDir dir;
    const auto target = TempPath(dir, "out.xlsx");
    const auto grid = GridOfRows(2);
    WorkbookExport job(*grid, {target, {}, {}, {}});
    grid->SetText(0, 1, Gbk("苹果"));
    grid->RemoveRow(1);
    QSignalSpy finished(&job, &WorkbookExport::finished);
    job.Start();
    ASSERT_TRUE(finished.wait(kWaitMs));
    const Sheet sheet = ReadSheet(target);
    EXPECT_EQ(Text(sheet, "B2"), "梨");
    EXPECT_EQ(Text(sheet, "B3"), "梨");
}

TEST(WorkbookExport, StoppedOrDestroyedItLeavesTheTargetAsItWas)
{
    enum class Stop { CancelThenWait, DestroyUnfinished };
    for (const Stop stop : {Stop::CancelThenWait, Stop::DestroyUnfinished}) {
        SCOPED_TRACE(static_cast<int>(stop));
        QTemporaryDir dir;
        const auto target = TempPath(dir, "out.xlsx");
        TempDataRoot::WriteBytes(target, "previous export");
        {
            // Large enough that the worker is still writing when it is destroyed.
            WorkbookExport job(*GridOfRows(20000), {target, {}, {}, {}});
            QSignalSpy finished(&job, &WorkbookExport::finished);
            if (stop == Stop::CancelThenWait)
                job.Cancel();
            job.Start();
            if (stop == Stop::CancelThenWait) {
                // Wait tells the outcome at once, without an event loop.
                job.Wait();
                ASSERT_EQ(finished.size(), 1);
                ASSERT_FALSE(OutcomeOf(finished));
                EXPECT_EQ(OutcomeOf(finished).error().kind, FileError::Kind::Cancelled);
            }
        }
        EXPECT_EQ(TempDataRoot::ReadBytes(target), "previous export");
        EXPECT_EQ(DirEntries(target.parent_path()), std::vector<std::string>{"out.xlsx"});
    }
}

TEST(WorkbookExport, AFailureNamesTheTarget)
{
    QTemporaryDir dir;
    const auto target = TempPath(dir, "missing") / "out.xlsx";
    WorkbookExport job(*GridOfRows(3), {target, {}, {}, {}});
    QSignalSpy finished(&job, &WorkbookExport::finished);
    job.Start();
    ASSERT_TRUE(finished.wait(kWaitMs));
    const Result<ExportDone> outcome = OutcomeOf(finished);
    ASSERT_FALSE(outcome);
    EXPECT_EQ(outcome.error().kind, FileError::Kind::Access);
    EXPECT_EQ(outcome.error().path, target);
    EXPECT_FALSE(outcome.error().reason.isEmpty());
}
