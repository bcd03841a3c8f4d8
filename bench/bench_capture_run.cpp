// The capture run over loopback pages, compared with a bare page that polls for
// the price, and the memory of the whole process tree as a run goes on.
// Run on a display: scripts/with-display build/bench/bench_capture_run
//
//   BM_BarePageLoad    one reused QWebEnginePage loads the pages one after the other
//   BM_BareLoadToEnd/p one reused QWebEnginePage loads page p to its end, looking at
//                      nothing: what the engine alone needs (p 2 and 3)
//   BM_BarePricePoll/p one reused QWebEnginePage loads page p and looks for the price
//                      every 25 ms: the median time from the load to the price
//   BM_RunPerLink/p    a CaptureRun over links of page p: the median time per link,
//                      window and all, from its start to its result
//   BM_CaptureRun      "开始抓取" over the small page, one rule column, price in the page
//   BM_RunMemory       RSS of the program and its browser processes after 30 and 300 links
//   BM_SixHeavyPages   six links to page 2 in one run: each link's time, the worst later/first
//   BM_HugeThenSmall   page 3 (runs out of time), then page 0 twice: each link's time
//   BM_OutOfMemoryPage a page allocating without end, then page 0: peak RSS of the process tree
// Pages p: 0 a small shop page, 1 a page whose script puts the price in 1.5 s
// after the load, 2 a 1.5 MB page, 3 a 30 MB page (price at the end of both).
#include "BrowserBench.h"
#include "ProcessTable.h"
#include "ShopPages.h"
#include "app/Application.h"
#include "ui/Session.h"
#include "ui/capture/CaptureRun.h"
#include "ui/capture/CaptureWindow.h"
#include "ui/browser/WarmBrowser.h"
#include "ui/capture/CaptureRunController.h"
#include "common/BrowserTestSupport.h"
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
#include <QTimer>
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

using corvix::bench::ItemPage;

using corvix::test::TestHttpServer;

QByteArray LatePage()
{
    return "<html><body><h1>Item</h1><div class=\"buy\" id=\"buy\"></div><script>"
           "addEventListener('load', function () { setTimeout(function () {"
           "document.getElementById('buy').innerHTML = '<span class=' + '\"price\">128.00</span>'; }, 1500); });"
           "</script></body></html>";
}

QByteArray LargePage(int bytes)
{
    QByteArray body = "<html><head><meta charset=\"utf-8\"><title>large</title></head><body>";
    body.reserve(bytes + 200);
    int i = 0;
    while (body.size() < bytes) {
        body += "<div class=\"row\" data-id=\"" + QByteArray::number(i) +
                "\"><a href=\"/item\">Product name 商品 " + QByteArray::number(i + 1) + "</a><em>99.00</em></div>\n";
        ++i;
    }
    body += "<div class=\"buy\"><span class=\"price\">128.00</span></div></body></html>";
    return body;
}

const char *const kPagePaths[] = {"/item", "/late", "/large", "/huge"};

TestHttpServer &Server()
{
    static TestHttpServer *server = [] {
        auto *s = new TestHttpServer;
        s->Route("/item", ItemPage());
        s->Route("/late", LatePage());
        s->Route("/large", LargePage(1536 * 1024));
        s->Route("/huge", LargePage(30 * 1024 * 1024));
        return s;
    }();
    return *server;
}

QString PageUrl(int page, int i)
{
    return Server().Url(QStringLiteral("%1?n=%2").arg(QLatin1String(kPagePaths[page])).arg(i));
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

// One reused QWebEnginePage loads page p to its end, without looking at it: what
// the engine alone needs for the page.
void BM_BareLoadToEnd(benchmark::State &state)
{
    const int kind = static_cast<int>(state.range(0));
    QWebEnginePage page(corvix::CaptureProfile());
    std::vector<double> perPage;
    static int n = 500000;
    for (auto _ : state) {
        QEventLoop loop;
        QElapsedTimer clock;
        const auto conn = QObject::connect(&page, &QWebEnginePage::loadFinished, &loop, &QEventLoop::quit);
        clock.start();
        page.load(QUrl(PageUrl(kind, n++)));
        loop.exec();
        perPage.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        QObject::disconnect(conn);
    }
    state.counters["median_ms"] = Median(perPage);
}
BENCHMARK(BM_BareLoadToEnd)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond)->Iterations(3);

// How many links of each page a measurement takes.
int LinksOf(int page)
{
    constexpr int kLinks[] = {60, 6, 10, 3};
    return kLinks[page];
}

void BM_BarePricePoll(benchmark::State &state)
{
    const int kind = static_cast<int>(state.range(0));
    QWebEnginePage page(corvix::CaptureProfile());
    const QString probe = QStringLiteral(
        "(function () { var e = document.querySelector('span.price'); return e ? e.textContent : ''; })()");
    std::vector<double> perPage;
    int n = 0;
    for (auto _ : state) {
        for (int link = 0; link < LinksOf(kind); ++link) {
            QEventLoop loop;
            QElapsedTimer clock;
            QTimer poll;
            poll.setInterval(25);
            bool asking = false;
            QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
                if (asking)
                    return;
                asking = true;
                page.runJavaScript(probe, [&](const QVariant &value) {
                    asking = false;
                    if (!value.toString().isEmpty())
                        loop.quit();
                });
            });
            clock.start();
            page.load(QUrl(PageUrl(kind, n++)));
            poll.start();
            loop.exec();
            perPage.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        }
    }
    state.counters["median_ms"] = Median(perPage);
}
BENCHMARK(BM_BarePricePoll)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->Iterations(1);

// One shop "X" whose rule reads <span class="price">, as the grid of a run shows it.
void UseShopX(corvix::Session &session, corvix::ProductGridModel &grid)
{
    corvix::Rule rule;
    rule.left = corvix::Gbk("<span class=#引号price#引号>");
    rule.right = "</span>";
    rule.method = corvix::RuleMethod::Markers;
    rule.enabled = true;
    session.enabledRules = {{"X", rule}};
    grid.AddFixedColumns();
    grid.AddColumn("X", 60, Qt::AlignHCenter);
}

void BM_RunPerLink(benchmark::State &state)
{
    const int kind = static_cast<int>(state.range(0));
    corvix::test::TempSession root;
    corvix::Session &session = corvix::test::TestSession();
    corvix::ProductGridModel grid;
    UseShopX(session, grid);
    std::vector<double> perLink;
    int priced = 0;
    static int first = 300000;
    for (auto _ : state) {
        std::string buffer;
        for (int i = 0; i < LinksOf(kind); ++i)
            buffer += (i ? "\r\n" : "") + ("P" + std::to_string(i)) + "," + PageUrl(kind, first++).toStdString();
        corvix::test::ImportLinks(session.dirs, grid.ShopTitles(), buffer);
        corvix::CaptureRun run(session, grid);
        QObject::connect(&run, &corvix::CaptureRun::linkFinished,
                         [&](const corvix::CaptureJob &, const std::string &text, double seconds) {
                             perLink.push_back(seconds * 1000);
                             priced += text == "128.00" ? 1 : 0;
                         });
        corvix::test::RunFromLinkFile(run);
    }
    state.counters["median_ms_per_link"] = Median(perLink);
    state.counters["priced"] = priced;
}
BENCHMARK(BM_RunPerLink)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->Iterations(1);

// One capture window per link of the small page, each with a browser of its own
// (0) or all borrowing one warm browser (1): the per-link cost of the browser.
void BM_WindowPerLink(benchmark::State &state)
{
    const bool warm = state.range(0) == 1;
    corvix::Rule rule;
    rule.left = corvix::Gbk("<span class=#引号price#引号>");
    rule.right = "</span>";
    rule.method = corvix::RuleMethod::Markers;
    corvix::WarmBrowser browser;
    std::vector<double> perLink;
    static int first = 400000;
    for (auto _ : state) {
        for (int i = 0; i < 60; ++i) {
            QElapsedTimer clock;
            clock.start();
            auto *window = new corvix::CaptureWindow(
                corvix::CaptureJob{.row = 0, .column = 2, .link = PageUrl(0, first++).toStdString(), .rule = rule,
                                   .product = {}, .shop = {}},
                warm ? &browser : nullptr);
            window->setAttribute(Qt::WA_DeleteOnClose);
            window->exec();
            perLink.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        }
    }
    state.counters["median_ms_per_link"] = Median(perLink);
}
BENCHMARK(BM_WindowPerLink)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->Iterations(1);

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
        corvix::test::ImportLinks(corvix::test::TestSession().dirs, Grid()->ShopTitles(), buffer);
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
        corvix::test::UntilSignal([&] { fixture.run->RunCapture(); }, fixture.run,
                                  &corvix::CaptureRunController::runEnded);
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
        corvix::test::UntilSignal([&] { fixture.run->RunCapture(); }, fixture.run,
                                  &corvix::CaptureRunController::runEnded);
        QObject::disconnect(conn);
    }
    state.counters["rss_after_30_MiB"] = static_cast<double>(after30) / 1024;
    state.counters["rss_after_300_MiB"] = static_cast<double>(after300) / 1024;
    state.counters["ratio"] = after30 ? static_cast<double>(after300) / static_cast<double>(after30) : 0;
}
BENCHMARK(BM_RunMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

// Runs the links of paths one after another in one run (column X, the price
// rule of the shop pages) and gives each link's seconds and text; while it
// runs, samples the RSS of the whole process tree every 50 ms.
struct LinkTimes {
    std::vector<double> ms;
    std::vector<std::string> texts;
    long peakTreeKiB = 0;
};

LinkTimes RunLinks(const std::vector<QString> &urls)
{
    corvix::test::TempSession root;
    corvix::Session &session = corvix::test::TestSession();
    corvix::ProductGridModel grid;
    UseShopX(session, grid);
    std::string buffer;
    for (size_t i = 0; i < urls.size(); ++i)
        buffer += (i ? "\r\n" : "") + ("P" + std::to_string(i)) + "," + urls[i].toStdString();
    corvix::test::ImportLinks(session.dirs, grid.ShopTitles(), buffer);
    LinkTimes times;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        times.peakTreeKiB = std::max(times.peakTreeKiB, corvix::bench::TreeRssKiB(QCoreApplication::applicationPid()));
    });
    sampler.start(50);
    corvix::CaptureRun run(session, grid);
    QObject::connect(&run, &corvix::CaptureRun::linkFinished,
                     [&](const corvix::CaptureJob &, const std::string &text, double seconds) {
                         times.ms.push_back(seconds * 1000);
                         times.texts.push_back(text);
                     });
    corvix::test::RunFromLinkFile(run);
    return times;
}

void ReportLinks(benchmark::State &state, const LinkTimes &times)
{
    for (size_t i = 0; i < times.ms.size(); ++i)
        state.counters["link" + std::to_string(i + 1) + "_ms"] = times.ms[i];
    state.counters["priced"] = static_cast<double>(std::count(times.texts.begin(), times.texts.end(), "128.00"));
    state.counters["peak_tree_MiB"] = static_cast<double>(times.peakTreeKiB) / 1024;
}

// Six links to the same 1.5 MB page, one after another in the reused browser:
// later links should take about as long as the first.
void BM_SixHeavyPages(benchmark::State &state)
{
    static int first = 400000;
    for (auto _ : state) {
        std::vector<QString> urls;
        for (int i = 0; i < 6; ++i)
            urls.push_back(PageUrl(2, first++));
        const LinkTimes times = RunLinks(urls);
        ReportLinks(state, times);
        double worst = 0;
        for (size_t i = 1; i < times.ms.size(); ++i)
            worst = std::max(worst, times.ms[i] / times.ms[0]);
        state.counters["worst_later_over_first"] = worst;
    }
}
BENCHMARK(BM_SixHeavyPages)->Unit(benchmark::kMillisecond)->Iterations(1);

// A 30 MB page that runs out of time, then two small pages: each small page
// should take what it takes on its own.
void BM_HugeThenSmall(benchmark::State &state)
{
    static int first = 500000;
    for (auto _ : state)
        ReportLinks(state, RunLinks({PageUrl(3, first), PageUrl(0, first + 1), PageUrl(0, first + 2)}));
    first += 3;
}
BENCHMARK(BM_HugeThenSmall)->Unit(benchmark::kMillisecond)->Iterations(1);

// A page whose script allocates without end, then a small page: the peak RSS
// of the process tree shows the renderer memory bound.
void BM_OutOfMemoryPage(benchmark::State &state)
{
    Server().Route("/oom", "<html><body><script>var a = []; for (;;) a.push(new Array(1e6).fill(1.5));</script>"
                           "</body></html>");
    for (auto _ : state)
        ReportLinks(state, RunLinks({Server().Url(QStringLiteral("/oom")), PageUrl(0, 600000)}));
}
BENCHMARK(BM_OutOfMemoryPage)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    return corvix::bench::RunBrowserBenchmarks(argc, argv);
}
