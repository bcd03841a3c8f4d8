// Start-up with a large grid: a 10,000-row record and 20 enabled rules, and a
// 50 MB record of 1.5 million rows and 2 rules, from the constructor of the
// application shell until the main window is shown and painted with its rows;
// the 50 MB record loaded again into the shown window (查看); and the shutdown
// save of the 10,000-row grid.
// Run on a display: scripts/with-display build/bench/bench_startup_large
#include "BenchMain.h"
#include "app/Application.h"
#include "common/TestSupport.h"
#include "ui/Session.h"
#include "app/StartUp.h"
#include "products/ProductGridModel.h"
#include "products/RecordFile.h"
#include "support/Gbk.h"
#include "ui/MainWindow.h"
#include "ui/pages/ProductListPage.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

namespace {

struct RecordShape {
    int rows;
    int rules;
    bool earlierRecord = false; // the same prices saved a day before: the marks compare with it
};
constexpr RecordShape kWide{10000, 20};
constexpr RecordShape kLong{1500000, 2};
constexpr RecordShape kLongWithEarlier{1500000, 2, true};

// A program directory whose data root holds shape.rules enabled rules and one
// record of shape.rows rows filling every column.
void MakeProgramDir(const std::filesystem::path &dir, RecordShape shape)
{
    const auto root = dir / "varnwick";
    for (const char *sub : {"class", "db", "spider"})
        std::filesystem::create_directories(root / sub);
    std::string index;
    for (int k = 0; k < shape.rules; ++k) {
        const std::string title = corvix::Gbk("商城") + std::to_string(k);
        index += (k ? "\r\n" : "") + title;
        corvix::test::WriteBytes(corvix::PathInDir(root / "spider", title + ".spider.cfg"),
                                 corvix::test::MarkerRuleText("<b>", "</b>"));
    }
    corvix::test::WriteBytes(root / "class" / "orlist.txt", index);
    std::string record;
    record.reserve(static_cast<size_t>(shape.rows) * (16 + 8 * shape.rules));
    for (int r = 0; r < shape.rows; ++r) {
        if (r)
            record += "\r\n";
        record += corvix::Gbk("商品名称第") + std::to_string(r) + "|";
        for (int k = 0; k < shape.rules; ++k)
            record += std::to_string(10 + (r + k) % 900) + ".50|";
    }
    corvix::test::WriteBytes(root / "db" / "1700000000.txt", record);
    if (shape.earlierRecord)
        corvix::test::WriteBytes(root / "db" / "1699913600.txt", record);
}

void StartUpWithRecord(benchmark::State &state, RecordShape shape)
{
    QTemporaryDir dir;
    const std::filesystem::path programDir(dir.path().toStdU16String());
    MakeProgramDir(programDir, shape);
    const auto record = programDir / "varnwick" / "db" / "1700000000.txt";
    state.counters["record_mb"] = static_cast<double>(std::filesystem::file_size(record)) / 1e6;
    int rows = 0, columns = 0;
    for (auto _ : state) {
        corvix::test::ResetTestSession();
        {
            corvix::AppShell shell(corvix::StartUpOptions{programDir, programDir, {}});
            shell.Show();
            if (!QTest::qWaitForWindowExposed(shell.Window()))
                state.SkipWithError("the main window was not shown");
            shell.Window()->ListPage()->GridView()->viewport()->repaint();
            rows = shell.Window()->ListPage()->Grid()->RowCount();
            columns = shell.Window()->ListPage()->Grid()->ColumnCount();
            state.PauseTiming();
            shell.Window()->hide();
        }
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["rows"] = rows;
    state.counters["columns"] = columns;
    if (rows != shape.rows)
        state.SkipWithError("the grid does not hold every row of the record");
}

void BM_StartUpWithLargeRecord(benchmark::State &state)
{
    StartUpWithRecord(state, kWide);
}
BENCHMARK(BM_StartUpWithLargeRecord)->Unit(benchmark::kMillisecond)->Iterations(5);

// Target: the window shows with the 50 MB record in under 5 s.
void BM_StartUpWith50MbRecord(benchmark::State &state)
{
    StartUpWithRecord(state, kLong);
}
BENCHMARK(BM_StartUpWith50MbRecord)->Unit(benchmark::kMillisecond)->Iterations(3);

// As above, with a second 50 MB record before it, which the change marks of the
// restored grid are taken against.
void BM_StartUpWith50MbRecordAndTheOneBefore(benchmark::State &state)
{
    StartUpWithRecord(state, kLongWithEarlier);
}
BENCHMARK(BM_StartUpWith50MbRecordAndTheOneBefore)->Unit(benchmark::kMillisecond)->Iterations(3);

// 查看 of the 50 MB record on the record list: the grid is cleared and loaded
// again while the main window is on screen.
void BM_ViewOf50MbRecordInShownWindow(benchmark::State &state)
{
    QTemporaryDir dir;
    const std::filesystem::path programDir(dir.path().toStdU16String());
    MakeProgramDir(programDir, kLong);
    corvix::test::ResetTestSession();
    corvix::AppShell shell(corvix::StartUpOptions{programDir, programDir, {}});
    shell.Show();
    if (!QTest::qWaitForWindowExposed(shell.Window()))
        state.SkipWithError("the main window was not shown");
    const auto record = programDir / "varnwick" / "db" / "1700000000.txt";
    corvix::ProductGridModel &grid = *shell.Window()->ListPage()->Grid();
    for (auto _ : state) {
        grid.ClearRows();
        corvix::LoadRecordIntoGrid(record, grid);
        shell.Window()->ListPage()->GridView()->viewport()->repaint();
    }
    state.counters["rows"] = grid.RowCount();
}
BENCHMARK(BM_ViewOf50MbRecordInShownWindow)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ShutdownSaveOfLargeGrid(benchmark::State &state)
{
    QTemporaryDir dir;
    const std::filesystem::path programDir(dir.path().toStdU16String());
    MakeProgramDir(programDir, kWide);
    const auto db = programDir / "varnwick" / "db";
    std::uintmax_t saved = 0;
    for (auto _ : state) {
        state.PauseTiming();
        corvix::test::ResetTestSession();
        corvix::AppShell shell(corvix::StartUpOptions{programDir, programDir, {}});
        shell.Show();
        if (!QTest::qWaitForWindowExposed(shell.Window()))
            state.SkipWithError("the main window was not shown");
        shell.State().resultsChanged = true;
        state.ResumeTiming();
        shell.Window()->close(); // the shutdown save runs here
        state.PauseTiming();
        for (const auto &entry : std::filesystem::directory_iterator(db))
            if (entry.path().filename() != "1700000000.txt" && entry.path().extension() == ".txt") {
                saved = entry.file_size();
                std::filesystem::remove(entry.path());
            }
        state.ResumeTiming();
    }
    state.counters["record_bytes"] = static_cast<double>(saved);
}
BENCHMARK(BM_ShutdownSaveOfLargeGrid)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    corvix::PrepareQtBeforeApplication();
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    return corvix::bench::RunBenchmarks(argc, argv);
}
