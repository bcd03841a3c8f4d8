// Joining the parts of a capture split over machines: 100,000 products at 20
// shops in 8 parts, read from their files and joined into the run's grid
// (the record's save is bench_save's). The merge runs once after all parts;
// this is how long it holds the data root.
// Run: build/bench/bench_merge
#include "BenchMain.h"
#include "capture/CaptureParts.h"
#include "capture/CapturePlan.h"
#include "products/ProductGridModel.h"
#include "support/Gbk.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <string>

namespace {

namespace fs = std::filesystem;

constexpr int kProducts = 100000;
constexpr int kShops = 20;
constexpr int kParts = 8;

corvix::CapturePlan MakePlan()
{
    corvix::CapturePlan plan;
    for (int s = 0; s < kShops; ++s)
        plan.shops.push_back(corvix::Gbk("商城") + std::to_string(s));
    for (int r = 0; r < kProducts; ++r) {
        plan.titles.push_back(corvix::Gbk("商品") + std::to_string(r));
        for (int s = 0; s < kShops; ++s) {
            const std::string link = "https://shop" + std::to_string(s) + ".example/item/" + std::to_string(r);
            plan.links.push_back({r, s + 2, link, link, corvix::LinkKind::Web});
        }
    }
    return plan;
}

// Every part's files, each link captured with a price.
void WriteParts(const corvix::CapturePlan &plan, const fs::path &runDir)
{
    for (int i = 0; i < kParts; ++i) {
        const corvix::PartSpec spec{i, kParts};
        corvix::PartCells part = corvix::EmptyPart(plan, spec);
        for (const corvix::PlannedLink &link : corvix::PlanForPart(plan, spec).links)
            part.cells[static_cast<size_t>(link.row)][static_cast<size_t>(link.column - 2)] =
                std::to_string(100 + (link.row + link.column) % 900) + ".00";
        if (!corvix::WritePart(runDir, part))
            std::abort();
    }
}

void BM_MergeParts100kProducts20Shops(benchmark::State &state)
{
    QTemporaryDir dir;
    const fs::path runDir = fs::path(dir.path().toStdString()) / "run";
    const corvix::CapturePlan plan = MakePlan();
    WriteParts(plan, runDir);
    corvix::ProductGridModel previous;
    previous.AddFixedColumns();
    for (const std::string &shop : plan.shops)
        previous.AddColumn(shop, 60, Qt::AlignHCenter);
    for (auto _ : state) {
        const corvix::RunParts parts = corvix::ReadRunParts(runDir, plan);
        const corvix::JoinedRun joined = corvix::JoinParts(plan, previous, parts.parts);
        if (joined.priced != kProducts * kShops)
            state.SkipWithError("not every link joined");
        benchmark::DoNotOptimize(joined.rows.data());
    }
}

BENCHMARK(BM_MergeParts100kProducts20Shops)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return corvix::bench::RunBenchmarks(argc, argv);
}
