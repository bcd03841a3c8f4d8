// The price history over years of records: 1,000 record files of 1,000
// products and 3 sites each (about 60 MB). Measured: building the index from
// the files (on this thread, and on the worker as the program does), one
// title's history, opening the history window of one title (chart and table,
// shown and painted once), adding one newly saved record, and the change marks
// of a 1,000-row grid against a record. Memory: the growth of the process's peak
// resident size while the index is built.
// Run: build/bench/bench_history (without a display on the offscreen platform)
#include "BenchMain.h"
#include "ProcessTable.h"
#include "products/PriceChanges.h"
#include "products/PriceHistoryIndex.h"
#include "products/PriceHistoryLoader.h"
#include "products/ProductGridModel.h"
#include "products/RecordList.h"
#include "support/Gbk.h"
#include "ui/products/PriceHistoryWindow.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kRecords = 1000;
constexpr int kProducts = 1000;
constexpr int kSites = 3;
constexpr long long kFirstStamp = 1543910400;
constexpr long long kDay = 86400;

std::string Title(int product)
{
    return corvix::Gbk("某品牌 智能手机 128GB 黑色 型号") + std::to_string(product);
}

const std::vector<std::string> &Sites()
{
    static const std::vector<std::string> sites{corvix::Gbk("京东"), corvix::Gbk("天猫"), corvix::Gbk("苏宁")};
    return sites;
}

// The cells as captures leave them: plain, grouped and signed prices, and
// now and then a failure.
std::string Price(int record, int product, int site)
{
    static const std::string failed = corvix::Gbk("获取失败");
    static const std::string yen = corvix::Gbk("￥");
    const int n = record * 31 + product * 7 + site;
    if (n % 23 == 0)
        return failed;
    const int value = 900 + (n % 600);
    switch (site) {
    case 0: return std::to_string(value) + ".00";
    case 1: return yen + std::to_string(value);
    default: return "1," + std::to_string(value) + ".50";
    }
}

void WriteRecord(const fs::path &db, int record)
{
    std::string text;
    for (int p = 0; p < kProducts; ++p) {
        if (p > 0)
            text += "\r\n";
        text += Title(p) + "|";
        for (int s = 0; s < kSites; ++s)
            text += Price(record, p, s) + "|";
    }
    std::ofstream(db / (std::to_string(kFirstStamp + record * kDay) + ".txt"), std::ios::binary) << text;
}

const fs::path &RecordDir()
{
    static QTemporaryDir dir;
    static const fs::path db = [] {
        const fs::path path(dir.path().toStdString());
        for (int r = 0; r < kRecords; ++r)
            WriteRecord(path, r);
        return path;
    }();
    return db;
}

void BM_BuildIndex(benchmark::State &state)
{
    const fs::path &db = RecordDir();
    long growthKb = 0;
    for (auto _ : state) {
        corvix::bench::ResetPeakRss();
        const long before = corvix::bench::ProcStatusKb("VmRSS:");
        corvix::PriceHistoryIndex index;
        index.AddRecords(db, corvix::ListRecordEntries(db));
        growthKb = std::max(growthKb, corvix::bench::ProcStatusKb("VmHWM:") - before);
        if (index.RecordCount() != kRecords)
            state.SkipWithError("records missing");
    }
    state.counters["peak_growth_MB"] = static_cast<double>(growthKb) / 1024.0;
}

void BM_BuildIndexOnWorker(benchmark::State &state)
{
    const fs::path &db = RecordDir();
    for (auto _ : state) {
        corvix::PriceHistoryLoader loader;
        loader.Start(db);
        loader.WaitUntilReady();
        if (loader.Index().RecordCount() != kRecords)
            state.SkipWithError("records missing");
    }
}

const corvix::PriceHistoryIndex &BuiltIndex()
{
    static const corvix::PriceHistoryIndex index = [] {
        corvix::PriceHistoryIndex built;
        built.AddRecords(RecordDir(), corvix::ListRecordEntries(RecordDir()));
        return built;
    }();
    return index;
}

void BM_HistoryOfOneTitle(benchmark::State &state)
{
    const corvix::PriceHistoryIndex &index = BuiltIndex();
    const std::string title = Title(kProducts / 2);
    size_t points = 0;
    for (auto _ : state) {
        const auto history = index.History(title, Sites());
        points = history[0].points.size() + history[1].points.size() + history[2].points.size();
        benchmark::DoNotOptimize(history);
    }
    state.counters["points"] = static_cast<double>(points);
}

// From the menu item to a painted window: the history of the title, its
// chart and table, shown and drawn once.
void BM_OpenHistoryWindow(benchmark::State &state)
{
    corvix::PriceHistoryLoader loader;
    loader.Start(RecordDir());
    loader.WaitUntilReady();
    const std::string title = Title(kProducts / 2);
    for (auto _ : state) {
        corvix::PriceHistoryWindow window(title, Sites(), loader);
        window.show();
        benchmark::DoNotOptimize(window.grab());
        if (window.History().rows.size() != kRecords)
            state.SkipWithError("records missing");
    }
}

void BM_AddNewRecord(benchmark::State &state)
{
    const fs::path &db = RecordDir();
    corvix::PriceHistoryIndex index;
    index.AddRecords(db, corvix::ListRecordEntries(db));
    QTemporaryDir newer;
    const fs::path newDir(newer.path().toStdString());
    int record = kRecords;
    for (auto _ : state) {
        state.PauseTiming();
        WriteRecord(newDir, record);
        const fs::path file = std::to_string(kFirstStamp + record * kDay) + ".txt";
        ++record;
        state.ResumeTiming();
        index.AddRecord(newDir, corvix::RecordEntryOf(file));
    }
}

void BM_CompareWithRecord(benchmark::State &state)
{
    const fs::path &db = RecordDir();
    const std::vector<corvix::RecordListEntry> entries = corvix::ListRecordEntries(db);
    corvix::ProductGridModel grid;
    grid.AddFixedColumns();
    for (const std::string &site : Sites())
        grid.AddColumn(site, 60, Qt::AlignHCenter);
    std::vector<std::vector<std::string>> rows;
    for (int p = 0; p < kProducts; ++p)
        rows.push_back({std::to_string(p + 1), Title(p), Price(kRecords, p, 0), Price(kRecords, p, 1),
                        Price(kRecords, p, 2)});
    grid.AppendRows(std::move(rows));
    for (auto _ : state) {
        const corvix::PriceChanges changes = corvix::CompareWithRecord(grid, db, entries.back());
        benchmark::DoNotOptimize(changes);
    }
}

BENCHMARK(BM_BuildIndex)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_BuildIndexOnWorker)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_HistoryOfOneTitle)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenHistoryWindow)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_AddNewRecord)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_CompareWithRecord)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return corvix::bench::RunBenchmarks(argc, argv);
}
