// The capture run over loopback pages, compared with the bare page load, and
// the memory of the whole process tree as a run goes on.
// Run on a display: scripts/with-display build/bench/bench_capture_run
//
//   BM_BarePageLoad   one reused QWebEnginePage loads the pages one after the other
//   BM_CaptureRun     "开始抓取" over the same pages, one rule column, price in the page
//   BM_RunMemory      RSS of the program and its browser processes after 30 and 300 links
#include "ProcessTable.h"
#include "app/Application.h"
#include "ui/Session.h"
#include "ui/capture/CaptureRunController.h"
#include "common/TestHttpServer.h"
#include "common/TestSupport.h"
#include "products/ProductGridModel.h"
#include "rules/RuleFile.h"
#include "ui/browser/BrowserView.h"
#include "support/Gbk.h"
#include "ui/MainWindow.h"
#include "ui/pages/ProductListPage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QWebEnginePage>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using corvix::test::TestHttpServer;

QByteArray ItemPage()
{
    QByteArray body = "<html><head><title>item</title></head><body><h1>Item</h1>";
    for (int i = 0; i < 40; ++i)
        body += "<p>Some description text of the product, line " + QByteArray::number(i) + ".</p>";
    body += "<div class=\"buy\"><span class=\"price\">128.00</span></div></body></html>";
    return body;
}

TestHttpServer &Server()
{
    static TestHttpServer *server = [] {
        auto *s = new TestHttpServer;
        s->Route("/item", ItemPage());
        return s;
    }();
    return *server;
}

QString ItemUrl(int i)
{
    return Server().Url(QStringLiteral("/item?n=%1").arg(i));
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void BM_BarePageLoad(benchmark::State &state)
{
    QWebEnginePage page(corvix::CaptureProfile());
    std::vector<double> perPage;
    int n = 0;
    for (auto _ : state) {
        QEventLoop loop;
        QElapsedTimer clock;
        const auto conn = QObject::connect(&page, &QWebEnginePage::loadFinished, &loop, &QEventLoop::quit);
        clock.start();
        page.load(QUrl(ItemUrl(n++)));
        loop.exec();
        perPage.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        QObject::disconnect(conn);
    }
    state.counters["median_ms"] = Median(perPage);
}
BENCHMARK(BM_BarePageLoad)->Unit(benchmark::kMillisecond)->Iterations(100);

// A main window with one rule column and a capture run over `links` pages.
struct RunFixture {
    corvix::test::TempSession root;
    std::unique_ptr<corvix::MainWindow> window;
    corvix::CaptureRunController *run = nullptr;

    RunFixture()
    {
        corvix::Rule rule;
        rule.left = corvix::Gbk("<span class=#引号price#引号>");
        rule.right = "</span>";
        rule.method = corvix::RuleMethod::Markers;
        rule.enabled = true;
        window = std::make_unique<corvix::MainWindow>();
        window->ListPage()->AddGridColumn("X", 60, Qt::AlignHCenter);
        corvix::test::TestSession().enabledRules = {{"X", rule}};
        run = new corvix::CaptureRunController(window.get(), corvix::test::TestSession());
        window->show();
    }
    corvix::ProductGridModel *Grid() const { return window->ListPage()->Grid(); }
    void Import(int first, int links)
    {
        std::string buffer;
        for (int i = 0; i < links; ++i)
            buffer += (i ? "\r\n" : "") + ("P" + std::to_string(i)) + "," + ItemUrl(first + i).toStdString();
        corvix::test::TestSession().importBuffer = buffer;
    }
};

void BM_CaptureRun(benchmark::State &state)
{
    constexpr int kLinks = 100;
    RunFixture fixture;
    int first = 100000;
    std::vector<double> perLink;
    int captured = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fixture.Import(first, kLinks);
        first += kLinks;
        QElapsedTimer clock;
        qint64 last = 0;
        // The time from one result to the next is what one link costs the run.
        const auto conn = QObject::connect(fixture.Grid(), &QAbstractItemModel::dataChanged,
                                           [&](const QModelIndex &index) {
                                               if (index.column() != 2 || fixture.Grid()->Text(index.row(), 2).empty())
                                                   return;
                                               const qint64 now = clock.nsecsElapsed();
                                               perLink.push_back(static_cast<double>(now - last) / 1e6);
                                               last = now;
                                           });
        state.ResumeTiming();
        clock.start();
        fixture.run->RunCapture();
        state.PauseTiming();
        QObject::disconnect(conn);
        for (int r = 0; r < fixture.Grid()->RowCount(); ++r)
            captured += fixture.Grid()->Text(r, 2) == "128.00" ? 1 : 0;
        state.ResumeTiming();
    }
    state.counters["median_ms_per_link"] = Median(perLink);
    state.counters["priced"] = captured;
}
BENCHMARK(BM_CaptureRun)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_RunMemory(benchmark::State &state)
{
    constexpr int kLinks = 300;
    RunFixture fixture;
    long after30 = 0, after300 = 0;
    for (auto _ : state) {
        fixture.Import(200000, kLinks);
        int results = 0;
        const auto conn = QObject::connect(fixture.Grid(), &QAbstractItemModel::dataChanged,
                                           [&](const QModelIndex &index) {
                                               if (index.column() != 2 || fixture.Grid()->Text(index.row(), 2).empty())
                                                   return;
                                               ++results;
                                               if (results == 30)
                                                   after30 = corvix::bench::TreeRssKiB(QCoreApplication::applicationPid());
                                               if (results == kLinks)
                                                   after300 = corvix::bench::TreeRssKiB(QCoreApplication::applicationPid());
                                           });
        fixture.run->RunCapture();
        QObject::disconnect(conn);
    }
    state.counters["rss_after_30_MiB"] = static_cast<double>(after30) / 1024;
    state.counters["rss_after_300_MiB"] = static_cast<double>(after300) / 1024;
    state.counters["ratio"] = after30 ? static_cast<double>(after300) / static_cast<double>(after30) : 0;
}
BENCHMARK(BM_RunMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    corvix::PrepareQtBeforeApplication();
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    {
        corvix::SetCaptureProfileRoot({}); // the capture profile keeps nothing on disk
        corvix::CaptureProfile();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
