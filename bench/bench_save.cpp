// Saving a run's results: a 10,000-row record with its shop titles, the alert
// state and the name of the last saved record as one change (staged files, a
// journal, the renames), against the record alone written atomically, as one
// file costs. The data root holds 200 records already.
// Run: build/bench/bench_save
#include "BenchMain.h"
#include "products/ProductGridModel.h"
#include "products/RecordFile.h"
#include "support/FileIo.h"
#include "support/Gbk.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr int kRows = 10000;
constexpr int kShops = 20;

std::unique_ptr<corvix::ProductGridModel> MakeGrid()
{
    auto grid = std::make_unique<corvix::ProductGridModel>();
    grid->AddFixedColumns();
    for (int c = 0; c < kShops; ++c)
        grid->AddColumn(corvix::Gbk("商城") + std::to_string(c), 60, Qt::AlignHCenter);
    std::vector<std::vector<std::string>> rows;
    for (int r = 0; r < kRows; ++r) {
        std::vector<std::string> row{std::to_string(r + 1), corvix::Gbk("商品") + std::to_string(r)};
        for (int c = 0; c < kShops; ++c)
            row.push_back(std::to_string(1000 + (r * 7 + c) % 5000) + ".50");
        rows.push_back(std::move(row));
    }
    grid->AppendRows(std::move(rows));
    return grid;
}

fs::path MakeDataRoot(const QTemporaryDir &dir)
{
    const fs::path db = fs::path(dir.path().toStdString()) / "db";
    fs::create_directories(db);
    for (int i = 0; i < 200; ++i)
        corvix::WriteFileAtomically(db / (std::to_string(1500000000 + i * 3600) + ".txt"), "P|1|");
    return db;
}

void BM_SaveRecordWithItsSideFiles(benchmark::State &state)
{
    QTemporaryDir dir;
    const fs::path db = MakeDataRoot(dir);
    const auto grid = MakeGrid();
    const std::string alerts = "[alert1]\r\nproduct=P\r\ntarget=10\r\nbelow1=S\r\n";
    for (auto _ : state) {
        if (!corvix::SaveGridAsRecord(*grid, db, {{db / "alerts.ini", alerts}}))
            state.SkipWithError("save failed");
    }
}

void BM_WriteRecordAlone(benchmark::State &state)
{
    QTemporaryDir dir;
    const fs::path db = MakeDataRoot(dir);
    const std::string text = corvix::RecordText(*MakeGrid());
    for (auto _ : state) {
        if (!corvix::WriteFileAtomically(db / "1543910400.txt", text))
            state.SkipWithError("write failed");
    }
}

BENCHMARK(BM_SaveRecordWithItsSideFiles)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_WriteRecordAlone)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return corvix::bench::RunBenchmarks(argc, argv);
}
