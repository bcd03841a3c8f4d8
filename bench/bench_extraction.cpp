// Price extraction from a page in the real browser, and the rule test's latency.
// Needs a display: scripts/with-display build-<dir>/bench/bench_extraction
//
//   BM_ExtractOn2MbPage       one extraction on a loaded 2 MB page: the script call,
//                             the transfer, the GBK conversion, lowering, the marker
//                             search (median of the repetitions)
//   BM_FirstExtractionAfterLoad  the same, asked right after the page's load event,
//                             when it also waits for the engine's first layout
//   BM_BarePageLoad           a plain QWebEnginePage loads the rule-test page
//   BM_RuleTestClickToLogLine from the click on "测试规则" to the test log line, on the
//                             same page (the test window stays open between clicks)
//   BM_FreshBarePageLoad / BM_FreshRuleTestClickToLogLine   the same with a new page
//                             (and a new test window) every time
#include "app/Application.h"
#include "common/TestSupport.h"
#include "ui/Session.h"
#include "ui/capture/CaptureWindow.h"
#include "ui/capture/RuleTestWindow.h"
#include "capture/PriceExtraction.h"
#include "ui/capture/RuleTestController.h"
#include "common/BrowserTestSupport.h"
#include "common/TestHttpServer.h"
#include "ui/browser/BrowserView.h"
#include "ui/browser/DomHelper.h"
#include "support/Gbk.h"
#include "ui/pages/RuleEditorPage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWebEnginePage>

#include <benchmark/benchmark.h>

#include <memory>
#include <optional>

namespace {

using namespace corvix;

QByteArray BigPage()
{
    // About 2 MB of product rows with Chinese text; the price near the end.
    QByteArray body = "<html><head><meta charset=\"utf-8\"><title>大页面</title></head><body>";
    int i = 0;
    while (body.size() < 2 * 1024 * 1024) {
        body += "<DIV class=\"Row\" data-id=\"" + QByteArray::number(i++) +
                "\"><A HREF=\"/item\">商品名称 Product Name 手机</A><SPAN class=\"old\">￥ 99.00</SPAN></DIV>\n";
    }
    body += "<SPAN ID=\"Price\">￥ 1,299.00</SPAN></body></html>";
    return body;
}

test::TestHttpServer &Server()
{
    static test::TestHttpServer server;
    static bool routed = false;
    if (!routed) {
        server.Route("/big", BigPage());
        server.Route("/item", "<html><body><p>Phone</p><EM>￥88</EM><img src=\"/img\"></body></html>");
        server.Route("/img", QByteArray(2000, 'x'), "image/png");
        routed = true;
    }
    return server;
}

std::unique_ptr<BrowserView> g_bigPageView; // loaded once, released before the application

// Loads the 2 MB page into a view; after the load the engine lays the page out
// for a while, so the first extraction waits for that.
BrowserView *LoadBigPage(std::unique_ptr<BrowserView> &view)
{
    view = std::make_unique<BrowserView>();
    view->resize(800, 600);
    view->show();
    return test::LoadPage(*view, Server().Url("/big"), 30000) ? view.get() : nullptr;
}

// One extraction with the marker rule; the time until the snapshot has arrived
// is added to snapshotMs.
std::string ExtractOnce(BrowserView &view, double &snapshotMs, double &totalSeconds)
{
    const Rule rule = ParseRule(Gbk("[style]1[/style][left]<span id=\"price\">[/left][right]</span>[/right]"));
    DomHelper helper;
    helper.AttachToWindow(&view);
    QElapsedTimer timer;
    timer.start();
    std::optional<std::string> result;
    helper.TakeSnapshot(RequestForRule(rule), nullptr, [&](const DomSnapshot &page) {
        snapshotMs += static_cast<double>(timer.nsecsElapsed()) / 1e6;
        result = ExtractPrice(rule, page);
    });
    test::WaitUntil([&] { return result.has_value(); }, 10000);
    totalSeconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    return result.value_or("");
}

void BM_ExtractOn2MbPage(benchmark::State &state)
{
    if (!g_bigPageView && !LoadBigPage(g_bigPageView)) {
        state.SkipWithError("page did not load");
        return;
    }
    double snapshotMs = 0, seconds = 0;
    ExtractOnce(*g_bigPageView, snapshotMs, seconds); // the page has been laid out
    snapshotMs = 0;
    std::string price;
    for (auto _ : state) {
        price = ExtractOnce(*g_bigPageView, snapshotMs, seconds);
        state.SetIterationTime(seconds);
    }
    if (price != "1,299.00")
        state.SkipWithError("wrong price");
    state.counters["page_MB"] = static_cast<double>(BigPage().size()) / (1024 * 1024);
    // The share of the time until the snapshot (script, transfer, GBK) has arrived.
    state.counters["snapshot_ms"] = snapshotMs / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ExtractOn2MbPage)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(25)
    ->ReportAggregatesOnly(true);

// For comparison: the first extraction right after the page's load event, which
// also waits for the engine's first layout of the page.
void BM_FirstExtractionAfterLoad(benchmark::State &state)
{
    for (auto _ : state) {
        std::unique_ptr<BrowserView> view;
        state.PauseTiming();
        if (!LoadBigPage(view)) {
            state.SkipWithError("page did not load");
            return;
        }
        state.ResumeTiming();
        double snapshotMs = 0, seconds = 0;
        ExtractOnce(*view, snapshotMs, seconds);
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_FirstExtractionAfterLoad)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)
    ->Repetitions(5)->ReportAggregatesOnly(true);

double BareLoadSeconds(QWebEnginePage &page)
{
    QElapsedTimer timer;
    timer.start();
    bool done = false;
    auto conn = QObject::connect(&page, &QWebEnginePage::loadFinished, [&] { done = true; });
    page.load(QUrl(Server().Url("/item")));
    test::WaitUntil([&] { return done; }, 10000);
    QObject::disconnect(conn);
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

void BM_BarePageLoad(benchmark::State &state)
{
    QWebEnginePage page(CaptureProfile());
    for (auto _ : state)
        state.SetIterationTime(BareLoadSeconds(page));
}
BENCHMARK(BM_BarePageLoad)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(20)
    ->ReportAggregatesOnly(true);

void BM_FreshBarePageLoad(benchmark::State &state)
{
    for (auto _ : state) {
        QWebEnginePage page(CaptureProfile());
        state.SetIterationTime(BareLoadSeconds(page));
    }
}
BENCHMARK(BM_FreshBarePageLoad)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(20)
    ->ReportAggregatesOnly(true);

// The rule editor page with a rule and a link filled in.
struct Editor {
    Editor()
    {
        link = Find<QLineEdit>("编辑框6");
        left = Find<QPlainTextEdit>("编辑框2");
        right = Find<QPlainTextEdit>("编辑框3");
        test = Find<QPushButton>("按钮4");
        link->setText(Server().Url("/item"));
        left->setPlainText("<em>");
        right->setPlainText("</em>");
        controller = new RuleTestController(&page, test::TestSession());
    }
    template <typename T>
    T *Find(const char *name)
    {
        return page.findChild<T *>(QString::fromUtf8(name));
    }
    RuleEditorPage page;
    QLineEdit *link;
    QPlainTextEdit *left, *right;
    QPushButton *test;
    RuleTestController *controller;
};

double ClickToLogLine(Editor &editor)
{
    QElapsedTimer timer;
    timer.start();
    editor.test->click();
    RuleTestWindow *window = editor.controller->Window();
    const int before = window->TestLog()->blockCount() - (window->TestLog()->toPlainText().isEmpty() ? 1 : 0);
    test::WaitUntil([&] { return window->TestLog()->toPlainText().count(QLatin1Char('\n')) >= before + 1; }, 10000);
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

void BM_RuleTestClickToLogLine(benchmark::State &state)
{
    Editor editor;
    for (auto _ : state)
        state.SetIterationTime(ClickToLogLine(editor));
    delete editor.controller->Window();
}
BENCHMARK(BM_RuleTestClickToLogLine)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(20)
    ->ReportAggregatesOnly(true);

void BM_FreshRuleTestClickToLogLine(benchmark::State &state)
{
    Editor editor;
    for (auto _ : state) {
        state.SetIterationTime(ClickToLogLine(editor));
        delete editor.controller->Window();
    }
}
BENCHMARK(BM_FreshRuleTestClickToLogLine)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)
    ->Repetitions(20)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv)
{
    corvix::PrepareQtBeforeApplication();
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    corvix::test::UseTestBrowserProfile();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_bigPageView.reset();
    return 0;
}
