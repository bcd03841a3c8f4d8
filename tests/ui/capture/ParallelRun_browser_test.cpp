// Several links at once: the same pages captured link by link and side by side
// give the same grid, and no host ever loads two links at the same time.
#include "common/BrowserTestSupport.h"
#include "common/TestHttpServer.h"
#include "common/TestSupport.h"
#include "products/ProductGridModel.h"
#include "rules/RuleFile.h"
#include "support/Gbk.h"
#include "support/HostName.h"
#include "ui/Session.h"
#include "ui/browser/BrowserView.h"
#include "ui/capture/CapturePane.h"
#include "ui/capture/CaptureRun.h"
#include "ui/capture/CaptureWindow.h"
#include "ui/capture/ParallelCaptureWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>

#include <csignal>

namespace corvix {
namespace {

using Strings = std::vector<std::string>;

QByteArray Page(const QByteArray &body)
{
    return "<html><head><title>p</title></head><body>" + body + "</body></html>";
}

Rule PriceRule() { return test::MarkerRule("<span class=\"price\">", "</span>"); }

class ParallelRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::UseTestBrowserProfile();
        SetCaptureTickIntervalForTests(300);
        grid.AddFixedColumns();
        for (const char *shop : {"X", "Y", "Z", "W"}) {
            grid.AddColumn(shop, 60, Qt::AlignHCenter);
            session().enabledRules.push_back({shop, PriceRule()});
            // A retry reads the rules from disk.
            test::TempDataRoot::WriteBytes(RuleFilePath(root.Dirs(), shop), ComposeRuleText(PriceRule()));
        }
        server.Route("/now", Page("<span class=\"price\">12.50</span>"));
        server.RouteDelayed("/slow", 400, Page("<span class=\"price\">9.90</span>"));
        // The price is put in by a script after the load.
        server.Route("/script", Page("<div id=\"box\"></div><script>window.addEventListener('load', function () {"
                                     " setTimeout(function () { document.getElementById('box').innerHTML ="
                                     " '<span class=\"price\">45.60</span>'; }, 300); });</script>"));
        server.Route("/none", Page("<p>no price</p>"));
        server.RouteHang("/hang");
    }
    void TearDown() override { SetCaptureTickIntervalForTests(0); }

    Session &session() { return root.State(); }
    void Import(const std::string &text) { test::ImportLinks(root.Dirs(), grid.ShopTitles(), text); }
    // Shop X and Z share a host; Y and W have one each.
    std::string Link(const char *host, const char *path)
    {
        return "http://" + std::string(host) + ".localhost:" + std::to_string(server.Port()) + path;
    }
    std::vector<Strings> Rows() const
    {
        std::vector<Strings> rows;
        for (int r = 0; r < grid.RowCount(); ++r) {
            rows.emplace_back();
            for (int c = 0; c < grid.ColumnCount(); ++c)
                rows.back().push_back(grid.Text(r, c));
        }
        return rows;
    }

    test::TempSession root;
    test::TestHttpServer server;
    ProductGridModel grid;
};

TEST_F(ParallelRun, SideBySideGivesTheGridOfARunLinkByLink)
{
    Import("P1," + Link("a", "/now") + "," + Link("b", "/script") + "," + Link("a", "/slow") + ","
                             + Link("c", "/now") + "\r\n"                                                      //
                             + "P2," + Link("a", "/slow") + "," + Link("b", "/hang") + "," + Link("a", "/now") + ","
                             + Link("c", "/script") + "\r\n"                                                   //
                             + "P3," + Link("a", "/none") + "," + Link("b", "/now") + "," + Link("a", "/script")
                             + ",file:///etc/passwd?http");
    CaptureRun run(session(), grid);
    std::map<std::string, int> loading; // links under way per host
    int most = 0;
    std::vector<std::string> problems;
    QObject::connect(&run, &CaptureRun::linkStarted, [&](const CaptureJob &job) {
        if (loading[HostOfAddress(job.link)]++ > 0)
            problems.push_back("two links of " + HostOfAddress(job.link));
        int all = 0;
        for (const auto &entry : loading)
            all += entry.second;
        most = std::max(most, all);
    });
    QObject::connect(&run, &CaptureRun::linkFinished, [&](const CaptureJob &job, const std::string &, double seconds) {
        if (seconds > 0)
            --loading[HostOfAddress(job.link)];
    });

    const RunSummary serial = test::RunFromLinkFile(run);
    const std::vector<Strings> expected = Rows();
    ASSERT_EQ(expected.size(), 3u);
    EXPECT_EQ(expected[0], (Strings{"1", "P1", "12.50", "45.60", "9.90", "12.50"}));
    EXPECT_EQ(expected[1], (Strings{"2", "P2", "9.90", Gbk("获取失败"), "12.50", "45.60"}));
    EXPECT_EQ(expected[2], (Strings{"3", "P3", Gbk("获取失败"), "12.50", "45.60", ""}));
    EXPECT_EQ(most, 1);

    run.SetParallelLinks(4);
    most = 0;
    const RunSummary sideBySide = test::RunFromLinkFile(run);
    EXPECT_EQ(Rows(), expected);
    EXPECT_EQ(sideBySide.done, serial.done);
    EXPECT_EQ(sideBySide.priced, serial.priced);
    EXPECT_EQ(sideBySide.badLinks.size(), 1u);
    // Three hosts: at most three links at once, and more than one.
    EXPECT_EQ(most, 3);
    EXPECT_EQ(problems, Strings{});

    // The retry side by side takes the empty and failed cells, and only them.
    server.Route("/hang", Page("<span class=\"price\">5.00</span>"));
    const RunSummary retry = test::RetryFailed(run);
    EXPECT_EQ(retry.done, 3);
    EXPECT_EQ(retry.priced, 1);
    std::vector<Strings> retried = expected;
    retried[1][3] = "5.00";
    retried[2][5] = Gbk("链接不正确");
    EXPECT_EQ(Rows(), retried);
    EXPECT_EQ(problems, Strings{});
}

ParallelCaptureWindow *ShownRunWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<ParallelCaptureWindow *>(w); window && window->isVisible())
            return window;
    return nullptr;
}

// A page that crashes its renderer (a document nested too deep to lay out)
// and one that allocates without end lose their own links and do not loop; a
// neighbour whose renderer is lost meanwhile (killed here, as a shared
// renderer goes with its crashing page) is loaded again and priced.
TEST_F(ParallelRun, CrashingAndOutOfMemoryNeighboursCostOnlyTheirOwnCells)
{
    SetCaptureTickIntervalForTests(500); // the reload of the killed link has a busy machine's time
    server.Route("/crash", Page("<script>var e = document.body; for (var i = 0; i < 10000; ++i)"
                                " e = e.appendChild(document.createElement('div'));</script>"));
    server.Route("/oom", Page("<script>var a = []; for (;;) a.push(new Array(1e6).fill(1.5));</script>"));
    std::string import;
    for (const char *p : {"P1", "P2", "P3"})
        import += std::string(p) + "," + Link("a", "/crash") + "," + Link("b", "/slow") + "," + Link("c", "/oom")
                  + "," + Link("d", "/script") + "\r\n";
    Import(import);
    CaptureRun run(session(), grid);
    run.SetParallelLinks(4);
    int lost = 0;
    bool killed = false;
    QTimer killer;
    QObject::connect(&killer, &QTimer::timeout, [&] {
        ParallelCaptureWindow *window = ShownRunWindow();
        for (CapturePane *pane : window ? window->Panes() : std::vector<CapturePane *>{}) {
            const qint64 pid = pane->Browser()->page()->renderProcessPid();
            if (!killed && pane->State().Capturing() && pane->State().Job().row == 1
                && pane->State().Job().link.find("/slow") != std::string::npos && pid > 0) {
                QObject::connect(pane->Browser(), &BrowserView::rendererLost, pane, [&] { ++lost; });
                killed = ::kill(static_cast<pid_t>(pid), SIGKILL) == 0;
            }
        }
    });
    killer.start(50);
    test::RunFromLinkFile(run);
    const std::string fail = Gbk("获取失败");
    EXPECT_TRUE(killed);
    EXPECT_GE(lost, 1);
    EXPECT_EQ(Rows(), (std::vector<Strings>{{"1", "P1", fail, "9.90", fail, "45.60"},
                                            {"2", "P2", fail, "9.90", fail, "45.60"},
                                            {"3", "P3", fail, "9.90", fail, "45.60"}}));
}

// Escape or the window's stop button asks the run to stop: the links under way
// still land, nothing else starts. A close by hand ends the links under way
// without a result, and the run goes on in the window shown again.
TEST_F(ParallelRun, EscapeStopsAfterTheLinksUnderWayAndACloseByHandSkipsThem)
{
    SetCaptureTickIntervalForTests(1000);
    server.RouteDelayed("/slower", 800, Page("<span class=\"price\">7.00</span>"));
    const std::string import = "P1," + Link("a", "/slower") + "," + Link("b", "/slower") + "\r\n" //
                               + "P2," + Link("a", "/now") + "," + Link("b", "/now");
    CaptureRun run(session(), grid);
    run.SetParallelLinks(2);

    const std::function<void(ParallelCaptureWindow *)> stops[] = {
        // Escape in one pane asks every pane.
        [](ParallelCaptureWindow *window) {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(window->Panes()[0], &escape);
        },
        [](ParallelCaptureWindow *window) {
            auto *button = window->findChild<QPushButton *>(QStringLiteral("停止按钮"));
            ASSERT_NE(button, nullptr);
            EXPECT_TRUE(button->toolTip().contains(QStringLiteral("Esc"))) << button->toolTip().toStdString();
            button->click();
        },
    };
    const std::string none = Gbk("—");
    for (const auto &stop : stops) {
        SCOPED_TRACE(testing::Message() << "row " << (&stop - &*std::begin(stops)));
        Import(import);
        QString status;
        QTimer::singleShot(300, [&] {
            ParallelCaptureWindow *window = ShownRunWindow();
            ASSERT_NE(window, nullptr);
            ASSERT_EQ(window->Panes().size(), 2u);
            stop(window);
            status = window->Panes()[1]->findChild<QLabel *>(QStringLiteral("抓取状态"))->text();
        });
        const RunSummary stopped = test::RunFromLinkFile(run);
        EXPECT_TRUE(stopped.stopped);
        EXPECT_TRUE(status.startsWith(QStringLiteral("商品：P1　商城：Y　剩余 "))) << status.toStdString();
        EXPECT_TRUE(status.endsWith(QStringLiteral("（本条完成后停止抓取）"))) << status.toStdString();
        // P2 was not reached: its row stays, as url.ini keeps it.
        EXPECT_EQ(Rows(),
                  (std::vector<Strings>{{"1", "P1", "7.00", "7.00", none, none}, {"2", "P2", "", "", none, none}}));
        EXPECT_EQ(server.RequestedPaths().count(QStringLiteral("/now")), 0);
    }

    Import(import);
    QTimer::singleShot(300, [&] { ASSERT_NE(ShownRunWindow(), nullptr); ShownRunWindow()->close(); });
    // The links after the close load in the window shown again.
    int shownAtResult = 0;
    const auto conn = QObject::connect(&run, &CaptureRun::linkFinished, [&](const CaptureJob &job, const std::string &, double) {
        shownAtResult += job.row == 1 && ShownRunWindow() != nullptr ? 1 : 0;
    });
    const RunSummary closed = test::RunFromLinkFile(run);
    QObject::disconnect(conn);
    EXPECT_EQ(shownAtResult, 2);
    EXPECT_FALSE(closed.stopped);
    EXPECT_EQ(closed.done, 4);
    // The links closed by hand keep the prices they had.
    EXPECT_EQ(Rows(), (std::vector<Strings>{{"1", "P1", "7.00", "7.00", none, none}, {"2", "P2", "12.50", "12.50", none, none}}));
}

} // namespace
} // namespace corvix
