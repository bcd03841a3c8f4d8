// Start-up with a large grid: a 10,000-row record and 20 enabled rules, from
// the constructor of the application shell until the main window is shown and
// painted with its rows; and the shutdown save of that grid.
// Run on a display: scripts/with-display build/bench/bench_startup_large
#include "app/Application.h"
#include "app/ProgramState.h"
#include "app/StartUp.h"
#include "products/ProductGridModel.h"
#include "support/Gbk.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

constexpr int kRows = 10000;
constexpr int kRules = 20;

void Write(const std::filesystem::path &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A program directory whose data root holds kRules enabled rules and one record
// of kRows rows filling every column.
void MakeProgramDir(const std::filesystem::path &dir)
{
    const auto root = dir / "varnwick";
    for (const char *sub : {"class", "db", "spider"})
        std::filesystem::create_directories(root / sub);
    std::string index;
    for (int k = 0; k < kRules; ++k) {
        const std::string title = corvix::Gbk("商城") + std::to_string(k);
        index += (k ? "\r\n" : "") + title;
        Write(corvix::PathInDir(root / "spider", title + ".spider.cfg"),
              "[time]t[/time]\r\n[left]<b>[/left]\r\n[right]</b>[/right]\r\n[style]1[/style]\r\n[tb][/tb]\r\n"
              "[tbd][/tbd]\r\n[fixed]0[/fixed]\r\n[open]1[/open]");
    }
    Write(root / "class" / "orlist.txt", index);
    std::string record;
    record.reserve(kRows * 160);
    for (int r = 0; r < kRows; ++r) {
        if (r)
            record += "\r\n";
        record += corvix::Gbk("商品名称第") + std::to_string(r) + "|";
        for (int k = 0; k < kRules; ++k)
            record += std::to_string(10 + (r + k) % 900) + ".50|";
    }
    Write(root / "db" / "1700000000.txt", record);
}

void BM_StartUpWithLargeRecord(benchmark::State &state)
{
    QTemporaryDir dir;
    const std::filesystem::path programDir(dir.path().toStdU16String());
    MakeProgramDir(programDir);
    int rows = 0, columns = 0;
    for (auto _ : state) {
        corvix::ResetProgramState();
        {
            corvix::AppShell shell(corvix::StartUpOptions{programDir, programDir});
            shell.Show();
            if (!QTest::qWaitForWindowExposed(shell.Window()))
                state.SkipWithError("the main window was not shown");
            shell.Window()->GridView()->viewport()->repaint();
            rows = shell.Window()->Grid()->RowCount();
            columns = shell.Window()->Grid()->ColumnCount();
            state.PauseTiming();
            shell.Window()->hide();
        }
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["rows"] = rows;
    state.counters["columns"] = columns;
}
BENCHMARK(BM_StartUpWithLargeRecord)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ShutdownSaveOfLargeGrid(benchmark::State &state)
{
    QTemporaryDir dir;
    const std::filesystem::path programDir(dir.path().toStdU16String());
    MakeProgramDir(programDir);
    const auto db = programDir / "varnwick" / "db";
    std::uintmax_t saved = 0;
    for (auto _ : state) {
        state.PauseTiming();
        corvix::ResetProgramState();
        corvix::AppShell shell(corvix::StartUpOptions{programDir, programDir});
        shell.Show();
        if (!QTest::qWaitForWindowExposed(shell.Window()))
            state.SkipWithError("the main window was not shown");
        corvix::Program().resultsChanged = true;
        state.ResumeTiming();
        shell.Window()->close(); // the shutdown save runs here
        state.PauseTiming();
        for (const auto &entry : std::filesystem::directory_iterator(db))
            if (entry.path().filename() != "1700000000.txt") {
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
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
