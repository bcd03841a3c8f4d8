// The capture run end to end: the real capture browser against pages of the
// loopback test server, with a shortened tick interval.
#include "app/StartUp.h"
#include "ui/capture/CaptureRunController.h"
#include "ui/capture/CaptureWindow.h"
#include "common/BrowserTestSupport.h"
#include "common/TestHttpServer.h"
#include "common/TestSupport.h"
#include "products/LinkFile.h"
#include "products/ProductGridModel.h"
#include "products/RecordFile.h"
#include "rules/RuleFile.h"
#include "support/Gbk.h"
#include "support/PathText.h"
#include "ui/MainWindow.h"
#include "ui/pages/ProductListPage.h"

#include <QApplication>
#include <QKeyEvent>
#include <QStatusBar>
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

namespace corvix {
namespace {

using test::TempSession;
using Strings = std::vector<std::string>;

// Rule X reads <span class="price">, rule Y reads <b id="p">: one page can
// serve both columns, each with its own rule.
const std::string kRuleX = test::MarkerRuleText("<span class=#引号price#引号>", "</span>");
const std::string kRuleY = test::MarkerRuleText("<b id=#引号p#引号>", "</b>");

QByteArray Page(const QByteArray &body)
{
    return "<html><head><title>p</title></head><body>" + body + "</body></html>";
}

class CaptureRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::UseTestBrowserProfile();
        SetCaptureTickIntervalForTests(100);
        window = std::make_unique<MainWindow>();
        window->ListPage()->AddGridColumn("X", 60, Qt::AlignHCenter);
        window->ListPage()->AddGridColumn("Y", 60, Qt::AlignHCenter);
        test::TestSession().enabledRules = {{"X", ParseRule(kRuleX)}, {"Y", ParseRule(kRuleY)}};
        run = new CaptureRunController(window.get(), test::TestSession());
        window->show();

        server.Route("/both", Page("<span class=\"price\">12.50</span><b id=\"p\">7.00</b>"));
        server.Route("/x2", Page(QByteArray::fromStdString(Gbk("<span class=\"price\">￥ 3.20</span>"))), "text/html; charset=gbk");
        server.Route("/none", Page("<p>no price here</p>"));
        // The price element is made by a script well after the load; the page
        // source never holds the marker before that.
        server.Route("/late", Page("<div id=\"box\">loading</div><script>"
                                   "window.addEventListener('load', function () { setTimeout(function () {"
                                   " var s = document.createElement('span'); s.className = 'pri' + 'ce';"
                                   " s.textContent = '45.60'; document.getElementById('box').appendChild(s);"
                                   "}, 1500); });</script>"));
        server.RouteHang("/hang");
        // A guard: no test may wait forever on a window that nothing closes.
        guard.setInterval(20000);
        QObject::connect(&guard, &QTimer::timeout, [] { CloseCaptureWindows(); });
        guard.start();
    }
    void TearDown() override
    {
        guard.stop();
        SetCaptureTickIntervalForTests(0);
        window.reset();
    }
    static int CloseCaptureWindows()
    {
        int closed = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *capture = qobject_cast<CaptureWindow *>(w); capture && capture->isVisible()) {
                capture->close();
                ++closed;
            }
        return closed;
    }
    static CaptureWindow *ShownCaptureWindow()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *capture = qobject_cast<CaptureWindow *>(w); capture && capture->isVisible())
                return capture;
        return nullptr;
    }
    std::string Url(const char *path) { return server.Url(QString::fromUtf8(path)).toStdString(); }
    ProductGridModel &Grid() { return *window->ListPage()->Grid(); }
    Strings Row(int r)
    {
        Strings texts;
        for (int c = 0; c < Grid().ColumnCount(); ++c)
            texts.push_back(Grid().Text(r, c));
        return texts;
    }
    // Does start (a click, a call) and waits for the end of the run it starts.
    bool UntilRunEnds(const std::function<void()> &start, CaptureRunController *controller = nullptr)
    {
        return test::UntilSignal(start, controller ? controller : run, &CaptureRunController::runEnded);
    }
    // A click on the button of `in` named name, and the run it starts, to its end.
    bool ClickAndWait(QWidget *in, const char *name, CaptureRunController *controller = nullptr)
    {
        auto *button = in->findChild<QPushButton *>(QString::fromUtf8(name));
        return button && UntilRunEnds([button] { button->click(); }, controller);
    }
    static CaptureRunController *RunOf(AppShell &shell) { return shell.Window()->findChild<CaptureRunController *>(); }
    int Requests(const QString &path) { return static_cast<int>(server.RequestedPaths().count(path)); }
    // The products of text become url.ini's, as an import for the grid's shops makes them.
    void Import(const std::string &text) { test::ImportLinks(root.Dirs(), Grid().ShopTitles(), text); }

    TempSession root;
    test::MessageRecorder messages;
    test::TestHttpServer server;
    std::unique_ptr<MainWindow> window;
    CaptureRunController *run = nullptr;
    QTimer guard;
};

// An import is url.ini's product list, each section whole: a blank field
// leaves no link of the product that had the row before, and products beyond
// the import go (the import replaced them: asked when it was imported).
TEST_F(CaptureRun, FromImportCapturesEveryLinkWithTheRuleOfItsColumn)
{
    TempSession::WriteBytes(LinkFilePath(root.Dirs()), "[A0]\r\ntitle=Old\r\nX=" + Url("/old") + "\r\nY=" + Url("/old")
                                                           + "\r\n[A1]\r\ntitle=Case\r\n[A3]\r\ntitle=Gone\r\nX="
                                                           + Url("/old") + "\r\n");
    Import("Phone,," + Url("/both") + "\r\n" + //
                             "Case," + Url("/x2") + ",file:///etc/passwd?http\r\n" + //
                             "TitleOnly\r\n" +                                       //
                             "Extra,," + Url("/both") + "," + Url("/extra"));
    ASSERT_TRUE(ClickAndWait(window.get(), "按钮9"));

    EXPECT_TRUE(test::TestSession().resultsChanged);
    ASSERT_EQ(Grid().RowCount(), 3);
    EXPECT_EQ(Row(0), (Strings{"1", "Phone", Gbk("—"), "7.00"}));
    EXPECT_EQ(Row(1), (Strings{"2", "Case", "3.20", ""}));
    EXPECT_EQ(Row(2), (Strings{"3", "Extra", Gbk("—"), "7.00"}));
    // One message at the end names the local file; a product a shop does not sell is no failure.
    EXPECT_EQ(messages.Texts(), QStringList{QStringLiteral("您输入的链接不正确,录入失败\nCase / Y")});
    // A field beyond the last rule column is neither captured nor stored.
    EXPECT_EQ(Requests("/extra"), 0);
    EXPECT_EQ(Requests("/old"), 0);
    EXPECT_EQ(TempSession::ReadBytes(LinkFilePath(root.Dirs())),
              "[A0]\r\ntitle=Phone\r\nY=" + Url("/both") + "\r\n[A1]\r\ntitle=Case\r\nX=" + Url("/x2")
                  + "\r\nY=file:///etc/passwd?http\r\n[A2]\r\ntitle=Extra\r\nY=" + Url("/both") + "\r\n");
    EXPECT_FALSE(window->RunProgress()->isVisible());

    // url.ini holds the import now: the next click captures the same links from there.
    messages.Clear();
    const int before = Requests("/x2");
    ASSERT_TRUE(UntilRunEnds([&] { run->RunCapture(); }));
    EXPECT_EQ(Requests("/x2"), before + 1);
    EXPECT_EQ(Requests("/old"), 0);
    EXPECT_EQ(Row(1), (Strings{"2", "Case", "3.20", ""}));
}

TEST_F(CaptureRun, FromLinkFileRebuildsTheRows)
{
    LinkFile links;
    links.SetValue("A0", "title", "[A9] odd title");
    links.SetValue("A0", "X", Url("/both"));
    links.SetValue("A0", "Y", Url("/both?[A5]"));
    // Rows are the sections there are, in number order, whatever their gaps.
    links.SetValue("A17", "title", "c");
    links.SetValue("A17", "Y", Url("/both"));
    links.SetValue("A4", "title", Gbk("手机"));
    links.SetValue("A4", "X", Url("/x2"));
    ASSERT_TRUE(links.Save(LinkFilePath(root.Dirs())));
    Grid().AppendRows({{"1", "stale", "1", "2"}});

    ASSERT_TRUE(UntilRunEnds([&] { run->RunCapture(); }));

    ASSERT_EQ(Grid().RowCount(), 3);
    EXPECT_EQ(Row(0), (Strings{"1", "[A9] odd title", "12.50", "7.00"}));
    EXPECT_EQ(Row(1), (Strings{"2", Gbk("手机"), "3.20", Gbk("—")}));
    EXPECT_EQ(Row(2), (Strings{"3", "c", Gbk("—"), "7.00"}));
    EXPECT_TRUE(messages.Texts().isEmpty());
    // The grid's menu is left on the cell of the last link captured.
    EXPECT_EQ(test::TestSession().currentCell.row, 2);
    EXPECT_EQ(test::TestSession().currentCell.column, 3);
}

TEST_F(CaptureRun, EmptyLinkFileSaysSoAndKeepsTheGrid)
{
    Grid().AppendRows({{"1", "keep", "1", "2"}});
    TempSession::WriteBytes(LinkFilePath(root.Dirs()), "title=[A0]\r\n");
    ASSERT_TRUE(UntilRunEnds([&] { run->RunCapture(); }));
    EXPECT_EQ(messages.Texts(), QStringList{QStringLiteral("链接为空,执行不了")});
    EXPECT_EQ(Row(0), (Strings{"1", "keep", "1", "2"}));
    EXPECT_FALSE(test::TestSession().resultsChanged) << "nothing changed, nothing to save";
}

// A url.ini that exists but cannot be read is no empty product list: neither
// button runs, the grid and the file stay, and the message names the file.
TEST_F(CaptureRun, AnUnreadableLinkFileRunsNothingAndSaysWhy)
{
    Grid().AppendRows({{"1", "keep", "1", Gbk("获取失败")}});
    std::filesystem::create_directory(LinkFilePath(root.Dirs()));
    const struct {
        const char *button;
        QString action;
    } rows[] = {{"按钮9", QStringLiteral("开始抓取")}, {"按钮10", QStringLiteral("失败重抓")}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.button);
        messages.Clear();
        ASSERT_TRUE(ClickAndWait(window.get(), row.button));
        ASSERT_EQ(messages.Texts().size(), 1);
        EXPECT_TRUE(messages.Texts()[0].startsWith(row.action + QStringLiteral("失败：无法读取文件\n")))
            << messages.Texts()[0].toStdString();
        EXPECT_TRUE(messages.Texts()[0].contains(PathText(LinkFilePath(root.Dirs()))));
        EXPECT_EQ(Row(0), (Strings{"1", "keep", "1", Gbk("获取失败")}));
        EXPECT_FALSE(test::TestSession().resultsChanged) << "nothing changed, nothing to save";
    }
    EXPECT_TRUE(std::filesystem::is_directory(LinkFilePath(root.Dirs())));
}

TEST_F(CaptureRun, PriceInTheLoadingPageIsTakenBeforeTheLoadEnds)
{
    // The image never arrives, so the page never completes; no tick comes in time.
    SetCaptureTickIntervalForTests(60000);
    server.Route("/slow", Page("<span class=\"price\">8.80</span><img src=\"/img-hang\">"));
    server.RouteHang("/img-hang");
    Import("P," + Url("/slow"));
    ASSERT_TRUE(UntilRunEnds([&] { run->RunCapture(); }));
    EXPECT_EQ(Row(0), (Strings{"1", "P", "8.80", Gbk("—")}));
}

TEST_F(CaptureRun, PriceInsertedByScriptAfterLoadIsFoundAtATick)
{
    SetCaptureTickIntervalForTests(500); // ten ticks outlast the page's one and a half seconds
    Import("Late," + Url("/late"));
    ASSERT_TRUE(UntilRunEnds([&] { run->RunCapture(); }));
    EXPECT_EQ(Row(0), (Strings{"1", "Late", "45.60", Gbk("—")}));
}

TEST_F(CaptureRun, NoPriceOrNoAnswerFailsAtTheTenthTick)
{
    Import("A," + Url("/none") + "," + Url("/hang"));
    ASSERT_TRUE(UntilRunEnds([&] { run->RunCapture(); }));
    EXPECT_EQ(Row(0), (Strings{"1", "A", Gbk("获取失败"), Gbk("获取失败")}));
}

// A page still parsing when its link times out must not hold up the next
// link's load: each small page gets its price within its own ten ticks.
TEST_F(CaptureRun, APageThatTimesOutCostsOnlyItsOwnLink)
{
    QByteArray huge = "<html><body>";
    huge.reserve(31 << 20);
    while (huge.size() < (30 << 20))
        huge += "<div class=\"row\"><a href=\"/item\">Product name</a><em>99.00</em></div>\n";
    server.Route("/huge", huge + "<span class=\"price\">1.00</span></body></html>");
    Import("A," + Url("/huge") + "\r\nB," + Url("/both") + "\r\nC," + Url("/both?c"));
    ASSERT_TRUE(UntilRunEnds([&] { run->RunCapture(); }));
    const std::string none = Gbk("—");
    EXPECT_EQ(Row(0), (Strings{"1", "A", Gbk("获取失败"), none}));
    EXPECT_EQ(Row(1), (Strings{"2", "B", "12.50", none}));
    EXPECT_EQ(Row(2), (Strings{"3", "C", "12.50", none}));
}

TEST_F(CaptureRun, ClosingTheWindowByHandMovesToTheNextLinkAndKeepsTheCellsPrice)
{
    SetCaptureTickIntervalForTests(60000);
    Grid().AppendRows({{"1", "A", "5.00", "6.00"}});
    Import("A," + Url("/none") + "," + Url("/both"));
    QTimer closer;
    closer.setInterval(200);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (Requests("/none") > 0 && Grid().Text(0, 2).empty() && Requests("/both") == 0)
            if (CloseCaptureWindows() > 0)
                closer.stop();
    });
    closer.start();
    ASSERT_TRUE(UntilRunEnds([&] { run->RunCapture(); }));
    EXPECT_EQ(Row(0), (Strings{"1", "A", "5.00", "7.00"}));
    EXPECT_TRUE(Grid().NotRefreshed(0, 2));
    EXPECT_FALSE(Grid().NotRefreshed(0, 3));
}

// The run shows one capture window for all its links: it stays on screen from
// one link to the next, is shown again after a close by hand, and goes with the run.
TEST_F(CaptureRun, OneCaptureWindowShowsEveryLinkOfTheRun)
{
    SetCaptureTickIntervalForTests(60000);
    Import("A," + Url("/none") + "," + Url("/both") + "\r\nB," + Url("/both") + "," + Url("/both"));
    std::set<QWidget *> shown;
    int pricesShown = 0;
    const auto visibleCaptureWindows = [&] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *capture = qobject_cast<CaptureWindow *>(w); capture && capture->isVisible()) {
                shown.insert(capture);
                EXPECT_EQ(capture->windowTitle(), QStringLiteral("[Corvix]抓取窗口，请勿关闭。"));
                EXPECT_TRUE(capture->isModal());
            }
    };
    QObject::connect(&Grid(), &QAbstractItemModel::dataChanged, [&](const QModelIndex &index) {
        if (index.column() >= 2 && !Grid().Text(index.row(), index.column()).empty()) {
            visibleCaptureWindows();
            ++pricesShown;
        }
    });
    // Between two links, before the next one starts, the window is still shown.
    int shownBetweenLinks = 0;
    QObject::connect(window->RunProgress(), &QProgressBar::valueChanged, [&](int done) {
        const QWidgetList widgets = QApplication::topLevelWidgets();
        shownBetweenLinks += done > 1 && std::any_of(widgets.begin(), widgets.end(), [](QWidget *w) {
            return qobject_cast<CaptureWindow *>(w) && w->isVisible();
        });
    });
    QTimer closer;
    closer.setInterval(100);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (Requests("/none") > 0 && CloseCaptureWindows() > 0)
            closer.stop();
    });
    closer.start();
    ASSERT_TRUE(UntilRunEnds([&] { run->RunCapture(); }));
    EXPECT_EQ(Row(0), (Strings{"1", "A", "", "7.00"}));
    EXPECT_EQ(Row(1), (Strings{"2", "B", "12.50", "7.00"}));
    EXPECT_EQ(pricesShown, 3) << "each price lands while the window is shown";
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_EQ(shownBetweenLinks, 2) << "after the second and the third link";
    for (QWidget *w : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<CaptureWindow *>(w), nullptr) << "the window goes with the run";
}

TEST_F(CaptureRun, APageLoadedWithoutAPriceEmptiesItsCellUntilTheResult)
{
    SetCaptureTickIntervalForTests(60000);
    ASSERT_TRUE(WriteRuleText(root.Dirs(), "X", kRuleX));
    Grid().AppendRows({{"1", "a", Gbk("获取失败"), "7.00"}});
    WriteLink(root.Dirs(), 0, "X", Url("/none"));
    QTimer closer;
    closer.setInterval(50);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (Grid().Text(0, 2).empty() && CloseCaptureWindows() > 0)
            closer.stop();
    });
    closer.start();
    ASSERT_TRUE(UntilRunEnds([&] { run->RetryFailed(); }));
    EXPECT_EQ(Row(0), (Strings{"1", "a", Gbk("获取失败"), "7.00"})) << "closed by hand after the page had loaded";
}

TEST_F(CaptureRun, RetryCapturesEmptyAndFailedCellsWithTheRuleFileFromDisk)
{
    // The rule file on disk differs from the one loaded at start-up.
    ASSERT_TRUE(WriteRuleText(root.Dirs(), "X", test::MarkerRuleText("<b id=#引号p#引号>", "</b>")));
    Grid().AppendRows({{"1", "a", "12.50", Gbk("获取失败")},
                       {"2", "b", Gbk("获取失败"), ""},
                       {"3", "", "x", "y"}});
    WriteLink(root.Dirs(), 0, "Y", Url("/both"));
    WriteLink(root.Dirs(), 1, "X", Url("/both"));
    WriteLink(root.Dirs(), 1, "Y", "file:///etc/passwd?http");
    ASSERT_TRUE(WriteRuleText(root.Dirs(), "Y", kRuleY));

    ASSERT_TRUE(ClickAndWait(window.get(), "按钮10"));

    EXPECT_TRUE(test::TestSession().resultsChanged);
    EXPECT_EQ(Row(0), (Strings{"1", "a", "12.50", "7.00"}));
    EXPECT_EQ(Row(1), (Strings{"2", "b", "7.00", Gbk("链接不正确")}));
    // The title column is no site: an empty title stays empty.
    EXPECT_EQ(Row(2), (Strings{"3", "", "x", "y"}));
    EXPECT_TRUE(messages.Texts().isEmpty());
}

// A page without a price that declares its one product sold out is "缺货", a
// shop's own stock words stay as read; neither is a failure, so the retry
// passes them by. A list of other products saying "已售完" decides nothing.
TEST_F(CaptureRun, SoldOutPagesAreOutOfStockAndTheRetryLeavesThem)
{
    const QByteArray others = QByteArray::fromStdString(Gbk("<ul><li>红茶 已售完</li></ul>"));
    server.Route("/soldout", Page("<script type=\"application/ld+json\">{\"@type\":\"Product\",\"offers\":"
                                  "{\"availability\":\"https://schema.org/OutOfStock\"}}</script>" + others),
                 "text/html; charset=gbk");
    server.Route("/instock", Page("<script type=\"application/ld+json\">{\"@type\":\"Product\",\"offers\":"
                                  "{\"availability\":\"https://schema.org/InStock\"}}</script>" + others),
                 "text/html; charset=gbk");
    server.Route("/words", Page(QByteArray::fromStdString(Gbk("<span class=\"price\">暂时缺货</span>"))),
                 "text/html; charset=gbk");
    ASSERT_TRUE(WriteRuleText(root.Dirs(), "X", kRuleX));
    LinkFile links;
    links.SetProductValue(0, "title", "a");
    links.SetProductValue(0, "X", Url("/soldout"));
    links.SetProductValue(1, "title", "b");
    links.SetProductValue(1, "X", Url("/words"));
    links.SetProductValue(2, "title", "c");
    links.SetProductValue(2, "X", Url("/instock"));
    ASSERT_TRUE(links.Save(LinkFilePath(root.Dirs())));

    ASSERT_TRUE(UntilRunEnds([&] { run->RunCapture(); }));
    EXPECT_EQ(Row(0), (Strings{"1", "a", Gbk("缺货"), Gbk("—")}));
    EXPECT_EQ(Row(1), (Strings{"2", "b", Gbk("暂时缺货"), Gbk("—")}));
    EXPECT_EQ(Row(2), (Strings{"3", "c", Gbk("获取失败"), Gbk("—")}));

    ASSERT_TRUE(UntilRunEnds([&] { run->RetryFailed(); }));
    EXPECT_EQ(Requests("/soldout"), 1);
    EXPECT_EQ(Requests("/words"), 1);
    EXPECT_EQ(Requests("/instock"), 2);
}

TEST_F(CaptureRun, ASecondClickDuringARunIsIgnoredAndProgressIsShown)
{
    Import("A," + Url("/none") + "\r\nB," + Url("/both"));
    bool sawProgress = false;
    QString product;
    QTimer during;
    during.setSingleShot(true);
    during.setInterval(300);
    QObject::connect(&during, &QTimer::timeout, [&] {
        sawProgress = window->RunProgress()->isVisible();
        product = window->RunProgressText()->text();
        EXPECT_TRUE(run->Running());
        run->RunCapture();
        run->RetryFailed();
    });
    during.start();
    ASSERT_TRUE(UntilRunEnds([&] { run->RunCapture(); }));
    EXPECT_TRUE(sawProgress);
    EXPECT_EQ(product, QStringLiteral("A"));
    EXPECT_FALSE(window->RunProgress()->isVisible());
    EXPECT_FALSE(run->Running());
    EXPECT_EQ(Requests("/none"), 1);
    EXPECT_EQ(Requests("/both"), 1);
    ASSERT_EQ(Grid().RowCount(), 2);
    EXPECT_EQ(Row(0), (Strings{"1", "A", Gbk("获取失败"), Gbk("—")}));
    EXPECT_EQ(Row(1), (Strings{"2", "B", "12.50", Gbk("—")}));
}

TEST_F(CaptureRun, ResultsSurviveASaveAndARestore)
{
    Import("Phone," + Url("/both") + "," + Url("/none"));
    ASSERT_TRUE(UntilRunEnds([&] { run->RunCapture(); }));
    ASSERT_TRUE(SaveGridAsRecord(Grid(), root.Dirs().dbDir));
    const std::string name = NewestRecordName(root.Dirs().dbDir);
    ASSERT_FALSE(name.empty());
    MainWindow next;
    next.ListPage()->AddGridColumn("X", 60, Qt::AlignHCenter);
    next.ListPage()->AddGridColumn("Y", 60, Qt::AlignHCenter);
    LoadRecordIntoGrid(PathInDir(root.Dirs().dbDir, name), *next.ListPage()->Grid());
    ASSERT_EQ(next.ListPage()->Grid()->RowCount(), 1);
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(next.ListPage()->Grid()->Text(0, c), Grid().Text(0, c)) << c;
    EXPECT_EQ(next.ListPage()->Grid()->Text(0, 3), Gbk("获取失败"));
}

// Closing the main window mid-run: the link in progress still lands, the run
// goes no further, the results are saved, and only then does the program end.
TEST_F(CaptureRun, ClosingTheMainWindowStopsTheRunSavesAndEnds)
{
    TempSession::WriteBytes(root.Dirs().spiderDir / "X.spider.cfg", kRuleX);
    TempSession::WriteBytes(root.Dirs().classDir / "orlist.txt", "X");
    server.RouteDelayed("/slow", 600, Page("<span class=\"price\">9.90</span>"));
    SetCaptureTickIntervalForTests(1000); // the slow page must not run out of time on a busy machine
    AppShell shell(StartUpOptions{root.Dir(), {}, {}});
    QSignalSpy finished(&shell, &AppShell::finished);
    Import("A," + Url("/slow") + "\r\nB," + Url("/both"));
    shell.Show();
    QTimer::singleShot(200, [&] {
        shell.Window()->close();
        EXPECT_EQ(finished.count(), 0) << "the link in progress ends first";
    });
    ASSERT_TRUE(ClickAndWait(shell.Window(), "按钮9", RunOf(shell)));
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(Requests("/both"), 0);
    const std::string newest = NewestRecordName(root.Dirs().dbDir);
    ASSERT_FALSE(newest.empty());
    // The product the run did not reach is kept, as url.ini keeps it.
    EXPECT_EQ(TempSession::ReadBytes(PathInDir(root.Dirs().dbDir, newest)), "A|9.90|\r\nB||");
}

// Each run that changed prices is saved when it ends; a run that changed
// nothing and the close after them add no record.
TEST_F(CaptureRun, ARunThatChangedPricesIsSavedWhenItEnds)
{
    TempSession::WriteBytes(root.Dirs().spiderDir / "X.spider.cfg", kRuleX);
    TempSession::WriteBytes(root.Dirs().classDir / "orlist.txt", "X");
    const auto records = [&] {
        int n = 0;
        for (const auto &entry : std::filesystem::directory_iterator(root.Dirs().dbDir))
            n += entry.path().extension() == ".txt";
        return n;
    };
    {
        AppShell shell(StartUpOptions{root.Dir(), {}, {}});
        Import("A," + Url("/both"));
        shell.Show();
        ASSERT_TRUE(ClickAndWait(shell.Window(), "按钮9", RunOf(shell)));
        EXPECT_EQ(records(), 1);
        EXPECT_EQ(TempSession::ReadBytes(PathInDir(root.Dirs().dbDir, NewestRecordName(root.Dirs().dbDir))), "A|12.50|");
        ASSERT_TRUE(ClickAndWait(shell.Window(), "按钮9", RunOf(shell)));
        EXPECT_EQ(records(), 1) << "the same prices again";
        shell.Window()->close();
    }
    EXPECT_EQ(records(), 1);
}

// Stopping mid-run, by the status bar's button or by Escape in the capture
// window: the link in progress still lands, nothing after it is loaded, and
// the status bar says how far the run came.
TEST_F(CaptureRun, StopEndsTheRunAfterTheCurrentLink)
{
    server.RouteDelayed("/slow", 500, Page("<span class=\"price\">9.90</span>"));
    SetCaptureTickIntervalForTests(1000); // the slow page must not run out of time on a busy machine
    const std::function<void()> stops[] = {
        [this] { window->findChild<QPushButton *>(QStringLiteral("停止抓取"))->click(); },
        [] {
            CaptureWindow *capture = ShownCaptureWindow();
            ASSERT_NE(capture, nullptr);
            // The line under the page says what is loading and how long it may take.
            const auto *status = capture->findChild<QLabel *>(QStringLiteral("抓取状态"));
            EXPECT_TRUE(status && status->text().startsWith(QStringLiteral("商品：A　商城：X　剩余 ")));
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(capture, &escape);
            EXPECT_TRUE(capture->isVisible()) << "Escape leaves the link to finish";
        },
        // The modal window's own button, which says it is Escape.
        [] {
            CaptureWindow *capture = ShownCaptureWindow();
            auto *button = capture ? capture->findChild<QPushButton *>(QStringLiteral("停止按钮")) : nullptr;
            ASSERT_NE(button, nullptr);
            EXPECT_TRUE(button->toolTip().contains(QStringLiteral("Esc"))) << button->toolTip().toStdString();
            button->click();
            EXPECT_FALSE(button->isEnabled()) << "a run stops once";
            EXPECT_TRUE(capture->isVisible());
        },
    };
    for (const auto &stop : stops) {
        SCOPED_TRACE(testing::Message() << "row " << (&stop - &*std::begin(stops)));
        // What the run does not reach keeps its title and price, drawn as not refreshed.
        Grid().ClearRows();
        Grid().AppendRows({{"1", "B", "1.00", "2.00"}, {"2", "A", "3.00", "4.00"}});
        Import("A," + Url("/slow") + "," + Url("/both") + "\r\nB," + Url("/both"));
        QTimer::singleShot(200, stop);
        ASSERT_TRUE(ClickAndWait(window.get(), "按钮9"));
        ASSERT_EQ(Grid().RowCount(), 2);
        EXPECT_EQ(Row(0), (Strings{"1", "A", "9.90", "4.00"}));
        EXPECT_EQ(Row(1), (Strings{"2", "B", "1.00", Gbk("—")}));
        EXPECT_FALSE(Grid().NotRefreshed(0, 2));
        EXPECT_TRUE(Grid().NotRefreshed(0, 3));
        EXPECT_TRUE(Grid().NotRefreshed(1, 2));
        EXPECT_EQ(window->statusBar()->currentMessage(), QStringLiteral("已停止抓取：完成 1 / 3 条链接。"));
        EXPECT_FALSE(run->Running());
    }
    EXPECT_EQ(Requests("/both"), 0);
    EXPECT_TRUE(test::TestSession().resultsChanged);
}

// The page of the link before does not stay in view while the next one loads.
TEST_F(CaptureRun, ALinkLoadingShowsABlankPageUntilItsOwnPageIsThere)
{
    server.RouteDelayed("/slowy", 500, Page("<b id=\"p\">8.80</b>"));
    SetCaptureTickIntervalForTests(1000);
    const auto coverShown = [] {
        CaptureWindow *capture = ShownCaptureWindow();
        const auto *cover = capture ? capture->findChild<QWidget *>(QStringLiteral("空白遮盖")) : nullptr;
        return cover && cover->isVisible();
    };
    std::vector<bool> covered;
    QObject::connect(&run->Run(), &corvix::CaptureRun::linkStarted, window.get(), [&](const CaptureJob &job) {
        // Once the window is shown for the link, long before the slow page answers.
        if (job.link == Url("/slowy"))
            QTimer::singleShot(0, window.get(), [&] { covered.push_back(coverShown()); });
    });
    QObject::connect(&run->Run(), &corvix::CaptureRun::linkFinished, window.get(),
                     [&](const CaptureJob &, const std::string &, double) { covered.push_back(coverShown()); });
    Import("A," + Url("/both") + "," + Url("/slowy"));
    ASSERT_TRUE(ClickAndWait(window.get(), "按钮9"));
    EXPECT_EQ(Row(0), (Strings{"1", "A", "12.50", "8.80"}));
    EXPECT_EQ(covered, (std::vector<bool>{false, true, false}));
}

TEST(BadLinkSummary, ListsAtMostTwentyLinksThenTheCount)
{
    EXPECT_EQ(BadLinkSummary({{Gbk("手机"), Gbk("京东")}}), QStringLiteral("您输入的链接不正确,录入失败\n手机 / 京东"));
    const std::vector<BadLink> many(23, BadLink{"p", "s"});
    const QStringList lines = BadLinkSummary(many).split(u'\n');
    ASSERT_EQ(lines.size(), 22);
    EXPECT_EQ(lines[20], QStringLiteral("p / s"));
    EXPECT_EQ(lines[21], QStringLiteral("……共 23 条"));
}

} // namespace
} // namespace corvix
