// A run over four shops, link by link against four links at once (one per
// shop), each page answered 300 ms late as a remote shop would: the time of the
// run and the memory of the whole process tree (the program and its browser
// processes, sampled every 100 ms) while it runs.
// Run on a display: scripts/with-display build/bench/bench_parallel_run
//
//   BM_ParallelRun  100 links, 25 products x 4 shops on 4 loopback hosts, first
//                   with 1 link at a time, then with 4; counters for both and
//                   their ratios (targets: time at most 0.3, memory at most 2)
#include "BrowserBench.h"
#include "ProcessTable.h"
#include "ShopPages.h"
#include "app/Application.h"
#include "common/BrowserTestSupport.h"
#include "common/TestHttpServer.h"
#include "common/TestSupport.h"
#include "products/ProductGridModel.h"
#include "support/Gbk.h"
#include "ui/Session.h"
#include "ui/browser/BrowserView.h"
#include "ui/capture/CaptureRun.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

namespace {

constexpr int kProducts = 25;
constexpr const char *kShops[] = {"X", "Y", "Z", "W"};
constexpr int kServerDelayMs = 300;

corvix::Rule PriceRule()
{
    corvix::Rule rule;
    rule.left = corvix::Gbk("<span class=\"price\">");
    rule.right = "</span>";
    rule.method = corvix::RuleMethod::Markers;
    rule.enabled = true;
    return rule;
}

struct RunResult {
    double seconds = 0;
    int priced = 0;
    long peakTreeKiB = 0;
};

struct ParallelFixture {
    corvix::test::TempSession root;
    corvix::test::TestHttpServer server;
    corvix::ProductGridModel grid;
    corvix::CaptureRun run{root.State(), grid};
    int first = 0;

    ParallelFixture()
    {
        server.RouteDelayed("/item", kServerDelayMs, corvix::bench::ItemPage());
        grid.AddFixedColumns();
        for (const char *shop : kShops) {
            grid.AddColumn(shop, 60, Qt::AlignHCenter);
            root.State().enabledRules.push_back({shop, PriceRule()});
        }
    }
    // Each shop on its own host; new query strings, so that no page comes from a cache.
    void Import(int products)
    {
        std::string buffer;
        for (int p = 0; p < products; ++p) {
            buffer += (p ? "\r\n" : "") + ("P" + std::to_string(p));
            for (int s = 0; s < 4; ++s)
                buffer += ",http://shop" + std::to_string(s) + ".localhost:" + std::to_string(server.Port())
                          + "/item?n=" + std::to_string(first++);
        }
        corvix::test::ImportLinks(root.Dirs(), grid.ShopTitles(), buffer);
    }
    RunResult Run(int parallel, int products)
    {
        Import(products);
        run.SetParallelLinks(parallel);
        RunResult result;
        const long pid = QCoreApplication::applicationPid();
        QTimer sampler;
        sampler.setInterval(100);
        QObject::connect(&sampler, &QTimer::timeout,
                         [&] { result.peakTreeKiB = std::max(result.peakTreeKiB, corvix::bench::TreeRssKiB(pid)); });
        sampler.start();
        QElapsedTimer clock;
        clock.start();
        result.priced = corvix::test::RunFromLinkFile(run).priced;
        result.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        sampler.stop();
        return result;
    }
};

void BM_ParallelRun(benchmark::State &state)
{
    ParallelFixture fixture;
    // The engine and every pane's browser exist before anything is measured.
    fixture.Run(4, 2);
    fixture.Run(1, 1);
    RunResult serial, parallel;
    for (auto _ : state) {
        serial = fixture.Run(1, kProducts);
        parallel = fixture.Run(4, kProducts);
    }
    state.counters["serial_s"] = serial.seconds;
    state.counters["parallel_s"] = parallel.seconds;
    state.counters["serial_priced"] = serial.priced;
    state.counters["parallel_priced"] = parallel.priced;
    state.counters["time_ratio"] = parallel.seconds / serial.seconds;
    state.counters["serial_tree_MiB"] = static_cast<double>(serial.peakTreeKiB) / 1024;
    state.counters["parallel_tree_MiB"] = static_cast<double>(parallel.peakTreeKiB) / 1024;
    state.counters["memory_ratio"] =
        serial.peakTreeKiB ? static_cast<double>(parallel.peakTreeKiB) / static_cast<double>(serial.peakTreeKiB) : 0;
}
BENCHMARK(BM_ParallelRun)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    return corvix::bench::RunBrowserBenchmarks(argc, argv);
}
