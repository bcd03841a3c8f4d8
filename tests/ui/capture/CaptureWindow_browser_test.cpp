// One link of a capture run through the real browser: the modal capture window
// of one job, its handlers and its result, on pages served from 127.0.0.1.
#include "common/BrowserTestSupport.h"
#include "common/TestHttpServer.h"
#include "common/TestSupport.h"

#include "ui/Session.h"
#include "ui/capture/CaptureWindow.h"
#include "ui/capture/RuleTestWindow.h"
#include "products/ProductGridModel.h"
#include "ui/browser/BrowserView.h"
#include "support/Gbk.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

namespace corvix {
namespace {

using test::PageFixture;
using test::TestHttpServer;

CaptureWindow *OpenCaptureWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<CaptureWindow *>(w); window && window->isVisible())
            return window;
    return nullptr;
}

class CaptureJobTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::UseTestBrowserProfile(); }
    void SetUp() override
    {
        grid_.AddFixedColumns();
        grid_.AddColumn("X", 60, Qt::AlignHCenter);
        grid_.AppendRow();
        grid_.AppendRow();
        SetCaptureTickIntervalForTests(100);
        server_.Route("/gbk", PageFixture("gbk.html"), "text/html; charset=gbk");
        server_.Route("/spans", PageFixture("spans.html"));
        server_.Route("/inputs", PageFixture("inputs.html"));
        server_.Route("/late", PageFixture("late.html"));
        server_.Route("/alert", PageFixture("alert.html"));
        server_.RouteHang("/hang");
        server_.RouteStatus("/missing", 404, "<html><body>gone</body></html>");
    }
    void TearDown() override
    {
        SetCaptureTickIntervalForTests(0);
    }

    // Captures url into cell (1, 2) as a run does, and returns the cell's text
    // (UTF-8). The window stays until the next capture, for its state.
    std::string Capture(const QString &url, const std::string &rule)
    {
        window_.reset();
        window_ = std::make_unique<CaptureWindow>(CaptureJob{1, 2, url.toStdString(), ParseRule(rule), {}, {}});
        QSignalSpy results(window_.get(), &CaptureWindow::captured);
        QObject::connect(window_.get(), &CaptureWindow::captured, &grid_,
                         [this](const CaptureJob &job, const std::string &text) { grid_.SetText(job.row, job.column, text); });
        QObject::connect(window_.get(), &CaptureWindow::downloadedWithoutPrice, &grid_,
                         [this](const CaptureJob &job) { grid_.SetText(job.row, job.column, {}); });
        window_->exec();
        results_ = static_cast<int>(results.count());
        if (results_ > 0) {
            const auto job = results.first().first().value<CaptureJob>();
            EXPECT_EQ(job.row, 1);
            EXPECT_EQ(job.column, 2);
            EXPECT_EQ(job.link, url.toStdString());
        }
        return GbkToUtf8(grid_.Text(1, 2));
    }

    test::TempSession root_;
    ProductGridModel grid_;
    TestHttpServer server_;
    std::unique_ptr<CaptureWindow> window_;
    int results_ = 0; // reports of the last capture
};

TEST_F(CaptureJobTest, APriceIsRecordedAndTheWindowGoes)
{
    struct Row {
        const char *path;
        std::string rule;
        const char *price;
    } rows[] = {
        // The source is lowered; the marker is written the way the lowered source reads.
        {"/gbk", test::MarkerRuleText("<span id=#引号price#引号 class=#引号big#引号>", "</span>"), "12.50"},
        {"/gbk", test::MarkerRuleText("<div class=#引号stock#引号>", "</div>"), "暂无报价"},
        {"/spans", test::ElementRuleText("span", "b"), "99.00"},
        {"/inputs", test::ElementRuleText("input", "price-box"), "1,299.00"},
        {"/inputs", test::ElementRuleText("inputs", "2"), "hidden-two"},
        {"/alert", test::ElementRuleText("span", "price"), "7.25"}, // dialogs do not stall a capture
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "row " << (&row - &*std::begin(rows)));
        grid_.SetText(1, 2, "old");
        EXPECT_EQ(Capture(server_.Url(row.path), row.rule), row.price) << row.path;
        EXPECT_EQ(results_, 1) << "one result per link";
        EXPECT_FALSE(window_->Capturing());
        EXPECT_EQ(ComposeRuleText(window_->Job().rule), ComposeRuleText(ParseRule(row.rule))) << "the rule stays until the next link";
        EXPECT_LT(window_->TickCount(), 9);
        EXPECT_EQ(OpenCaptureWindow(), nullptr);
    }
    EXPECT_EQ(grid_.Text(0, 2), "") << "only the current cell changes";
}

TEST_F(CaptureJobTest, APriceThatScriptsInsertAfterLoadIsFoundAtATick)
{
    SetCaptureTickIntervalForTests(500);
    EXPECT_EQ(Capture(server_.Url("/late"), test::ElementRuleText("span", "price")), "45.60");
    EXPECT_GE(window_->TickCount(), 3) << "the price came about two seconds after the load";
}

TEST_F(CaptureJobTest, NoPriceFailsOnTheTenthTick)
{
    SetCaptureTickIntervalForTests(50);
    struct Row {
        const char *path;
        std::string rule;
    } rows[] = {
        {"/hang", test::MarkerRuleText("<em>", "</em>")},
        {"/missing", test::MarkerRuleText("<em>", "</em>")},
        {"/spans", test::ElementRuleText("Span", "b")},
        {"/gbk", test::MarkerRuleText("<EM>", "</EM>")},
        {"/gbk", Gbk("[style]3[/style][left]<em>[/left][right]</em>[/right]")},
        {"/gbk", std::string()},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "row " << (&row - &*std::begin(rows)));
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(Capture(server_.Url(row.path), row.rule), "获取失败") << row.path;
        EXPECT_EQ(results_, 1);
        EXPECT_EQ(window_->TickCount(), 9);
        EXPECT_GE(timer.elapsed(), 10 * 50 - 20);
    }
}

TEST_F(CaptureJobTest, TheNinthPageLoadWithoutAPriceFails)
{
    // A page that keeps reloading itself completes a download again and
    // again; the ticks are slow enough never to decide.
    server_.Route("/reloads",
                  "<html><body>no price yet<script>"
                  "addEventListener('load', function () { setTimeout(function () { location.reload(); }, 20); });"
                  "</script></body></html>");
    SetCaptureTickIntervalForTests(20000);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(Capture(server_.Url("/reloads"), test::MarkerRuleText("<em>", "</em>")), "获取失败");
    // The ninth empty event fails the link and is still counted, as every
    // empty one is.
    EXPECT_EQ(results_, 1);
    EXPECT_EQ(window_->EmptyResultCount(), 9);
    EXPECT_EQ(window_->TickCount(), 0);
    EXPECT_LT(timer.elapsed(), 20000);
    EXPECT_EQ(OpenCaptureWindow(), nullptr);
}

TEST_F(CaptureJobTest, ClosingTheWindowByHandEndsTheLinkOnly)
{
    grid_.SetText(1, 2, "12.00");
    SetCaptureTickIntervalForTests(1000);
    QTimer::singleShot(600, [] {
        if (CaptureWindow *window = OpenCaptureWindow())
            window->close();
    });
    EXPECT_EQ(Capture(server_.Url("/hang"), test::MarkerRuleText("<em>", "</em>")), "12.00");
    EXPECT_EQ(results_, 0) << "a window closed by hand reports nothing";
    EXPECT_FALSE(window_->Capturing());
    EXPECT_EQ(OpenCaptureWindow(), nullptr);
}

TEST(CaptureWindowTest, ControlsAndTheirFirstState)
{
    test::UseTestBrowserProfile();
    test::TempSession root;
    {
        RuleTestWindow window(test::TestSession().dirs);
        EXPECT_EQ(window.windowTitle(), QStringLiteral("[Corvix]抓取窗口，请勿关闭。"));
        EXPECT_EQ(window.size(), QSize(923, 414));
        auto *browser = window.findChild<BrowserView *>(QStringLiteral("浏览互联网"));
        ASSERT_NE(browser, nullptr);
        EXPECT_EQ(browser->accessibleName(), QStringLiteral("抓取页面"));
        auto *log = window.findChild<QPlainTextEdit *>(QStringLiteral("编辑框1"));
        ASSERT_NE(log, nullptr);
        EXPECT_EQ(log->accessibleName(), QStringLiteral("测试日志"));
        EXPECT_TRUE(log->isHidden());
        auto *clock = window.findChild<QTimer *>(QStringLiteral("时钟1"));
        ASSERT_NE(clock, nullptr);
        EXPECT_FALSE(clock->isActive());
        EXPECT_EQ(clock->interval(), 0);
        EXPECT_EQ(browser->Navigation(), 0u) << "no current link, no navigation";
        EXPECT_EQ(window.findChild<QPushButton *>(QStringLiteral("停止按钮")), nullptr) << "a rule test is no run";
    }
    {
        CaptureWindow window(CaptureJob{});
        EXPECT_TRUE(window.Capturing());
        EXPECT_TRUE(window.Clock()->isActive());
        EXPECT_EQ(window.Clock()->interval(), 1000);
        window.reject();
        EXPECT_FALSE(window.Capturing());
        EXPECT_FALSE(window.Clock()->isActive());
    }
}

} // namespace
} // namespace corvix
