// The side files columns.ini and alerts.ini with very long sections. Targets:
// reading or writing the section of a record of 50,000 shop titles under
// 0.5 s; reading an alert that lists 50,000 shops under 0.5 s. The time grows
// with the number of titles, not with its square.
#include "common/CoreTestSupport.h"
#include "products/LinkFile.h"
#include "products/PriceAlerts.h"
#include "products/RecordColumns.h"
#include "products/TestGrids.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using namespace corvix;

namespace {

std::vector<std::string> ShopTitles(int n)
{
    std::vector<std::string> titles;
    for (int i = 0; i < n; ++i)
        titles.push_back("shop " + std::to_string(i));
    return titles;
}

void BM_ReadRecordColumns(benchmark::State &state)
{
    test::TempDataRoot root;
    const auto db = root.Dirs().dbDir;
    WriteRecordColumns(db, "1700000000.txt", *test::MakeGrid(ShopTitles(static_cast<int>(state.range(0))), {}));
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadRecordColumns(db, "1700000000"));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReadRecordColumns)->Arg(20000)->Arg(50000)->Arg(200000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_WriteRecordColumns(benchmark::State &state)
{
    test::TempDataRoot root;
    const auto db = root.Dirs().dbDir;
    const auto grid = test::MakeGrid(ShopTitles(static_cast<int>(state.range(0))), {});
    for (auto _ : state)
        benchmark::DoNotOptimize(WriteRecordColumns(db, "1700000000.txt", *grid));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_WriteRecordColumns)->Arg(20000)->Arg(50000)->Arg(200000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_ParseAlertOfManyShops(benchmark::State &state)
{
    PriceAlerts alerts;
    alerts.Set({"P", "", 10, std::nullopt, ShopTitles(static_cast<int>(state.range(0)))});
    const std::string text = alerts.Text();
    for (auto _ : state)
        benchmark::DoNotOptimize(PriceAlerts::Parse(text));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ParseAlertOfManyShops)->Arg(20000)->Arg(50000)->Arg(200000)->Unit(benchmark::kMillisecond)->Complexity();

} // namespace

BENCHMARK_MAIN();
