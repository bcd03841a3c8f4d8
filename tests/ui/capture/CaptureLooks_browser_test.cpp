// How soon and on which pages a capture finds its price: the warm browser of a
// run, the looks between browser events, a DOM of 10,000 levels, and rules
// written for the older browser, on pages served from 127.0.0.1.
#include "common/BrowserTestSupport.h"
#include "common/TestHttpServer.h"
#include "common/TestSupport.h"

#include "rules/RuleFile.h"
#include "support/Gbk.h"
#include "ui/browser/BrowserView.h"
#include "ui/browser/WarmBrowser.h"
#include "ui/capture/CaptureWindow.h"
#include "ui/capture/RuleTestWindow.h"

#include <QPlainTextEdit>
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

namespace corvix {
namespace {

using test::TestHttpServer;

// The price comes 300 ms after the load; the marker is built from parts so that
// the script's own text never holds it.
const QByteArray kLatePage = "<html><body><div id=\"buy\"></div><script>addEventListener('load', function () {"
                             "setTimeout(function () { document.getElementById('buy').innerHTML = "
                             "'<span class=' + '\"price\">45.60</span>'; }, 300); });</script></body></html>";

class CaptureLooksTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::UseTestBrowserProfile(); }
    void SetUp() override
    {
        server_.Route("/late", kLatePage);
        server_.Route("/none", "<html><body><p>no price</p></body></html>");
        server_.Route("/older", "<html><body><SPAN id=price>￥ 12.50</SPAN>"
                                "<input type=number name=qty value=3><input type=tel title=t value=5></body></html>");
        // A page nested 10,000 levels deep, the price in the deepest level.
        server_.Route("/deep", "<html><body>" + QByteArray("<div>").repeated(10000) + "<b class=price>77.00</b>" +
                                   QByteArray("</div>").repeated(10000) + "</body></html>");
    }
    void TearDown() override { SetCaptureTickIntervalForTests(0); }

    std::string Capture(const QString &url, const std::string &rule, WarmBrowser *warm = nullptr)
    {
        std::string result;
        window_ = std::make_unique<CaptureWindow>(CaptureJob{1, 2, url.toStdString(), ParseRule(rule), {}, {}}, warm);
        QObject::connect(window_.get(), &CaptureWindow::captured,
                         [&result](const CaptureJob &, const std::string &text) { result = text; });
        window_->exec();
        return GbkToUtf8(result);
    }

    test::TempSession root_;
    TestHttpServer server_;
    std::unique_ptr<CaptureWindow> window_;
};

TEST_F(CaptureLooksTest, EveryWindowOfARunBorrowsTheOneWarmBrowser)
{
    WarmBrowser warm;
    std::vector<BrowserView *> browsers;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Capture(server_.Url("/older?n=%1").arg(i), test::MarkerRuleText("<span id=price>", "</span>"), &warm), "12.50");
        browsers.push_back(window_->Browser());
        EXPECT_EQ(window_->Browser()->objectName(), QStringLiteral("浏览互联网"));
        window_.reset();
        EXPECT_EQ(warm.View()->parent(), nullptr) << "given back when the window goes";
        EXPECT_TRUE(warm.View()->isHidden());
    }
    EXPECT_EQ(browsers[0], browsers[1]);
    EXPECT_EQ(browsers[1], browsers[2]);
    // A second window while the first holds the browser builds its own.
    CaptureWindow first(CaptureJob{}, &warm);
    CaptureWindow second(CaptureJob{}, &warm);
    EXPECT_EQ(first.Browser(), warm.View());
    EXPECT_NE(second.Browser(), warm.View());
}

TEST_F(CaptureLooksTest, OneWindowCapturesOneLinkAfterAnotherAndStaysShown)
{
    SetCaptureTickIntervalForTests(100);
    CaptureWindow window(nullptr);
    std::vector<std::pair<int, std::string>> results; // the job's row and its result
    QObject::connect(&window, &CaptureWindow::captured, [&](const CaptureJob &job, const std::string &text) {
        results.emplace_back(job.row, GbkToUtf8(text));
    });
    const struct {
        const char *path;
        std::string rule;
    } links[] = {
        {"/none", test::MarkerRuleText("<span id=price>", "</span>")},
        {"/older", test::MarkerRuleText("<span id=price>", "</span>")},
        {"/late", test::MarkerRuleText("<span class=#引号price#引号>", "</span>")},
    };
    for (int row = 0; row < 3; ++row) {
        // As a run does: the next job, the window shown unless it is, until the capture has ended.
        ASSERT_TRUE(test::UntilSignal(
            [&] {
                window.Start(CaptureJob{row, 2, server_.Url(QString::fromLatin1(links[row].path)).toStdString(),
                                        ParseRule(links[row].rule), {}, {}});
                window.ShowForRun();
            },
            &window, &CaptureWindow::captureEnded))
            << row;
        EXPECT_TRUE(window.isVisible()) << row;
        EXPECT_FALSE(window.Capturing()) << row;
    }
    const std::vector<std::pair<int, std::string>> expected{{0, "获取失败"}, {1, "12.50"}, {2, "45.60"}};
    EXPECT_EQ(results, expected);
    EXPECT_LT(window.TickCount(), 9) << "each capture counts its own ticks";
}

TEST_F(CaptureLooksTest, APriceIsTakenSoonAfterScriptsPutItInNotAtTheNextTick)
{
    SetCaptureTickIntervalForTests(2000);
    EXPECT_EQ(Capture(server_.Url("/late"), test::MarkerRuleText("<span class=#引号price#引号>", "</span>")), "45.60");
    EXPECT_EQ(window_->TickCount(), 0) << "found by a look between the ticks";
}

TEST_F(CaptureLooksTest, ADomTenThousandLevelsDeepIsPriced)
{
    SetCaptureTickIntervalForTests(2000);
    EXPECT_EQ(Capture(server_.Url("/deep"), test::MarkerRuleText("<b class=price>", "</b>")), "77.00");
}

TEST_F(CaptureLooksTest, RulesWrittenForTheOlderBrowserKeepWorking)
{
    SetCaptureTickIntervalForTests(100);
    struct Row {
        std::string rule;
        const char *price;
    } rows[] = {
        {test::MarkerRuleText("<span id=price>", "</span>"), "12.50"},         // unquoted attribute values
        {test::MarkerRuleText("<span id=#引号price#引号>", "</span>"), "12.50"}, // as picked in Corvix
        {test::ElementRuleText("input", "qty"), "3"},                          // type number reads as text
        {test::ElementRuleText("input", "2"), "5"},                            // and counts as a text input
        {test::MarkerRuleText("<SPAN id=price>", "</span>"), "获取失败"},        // capitals still never match
    };
    for (const Row &row : rows)
        EXPECT_EQ(Capture(server_.Url("/older"), row.rule), row.price) << GbkToUtf8(row.rule);
}

TEST_F(CaptureLooksTest, TheRuleTestLooksUntilScriptsPutThePriceIn)
{
    SetCaptureTickIntervalForTests(1000);
    RuleTestWindow window(test::TestSession().dirs);
    window.show();
    TestInputs inputs;
    inputs.left = Gbk("<span class=#引号price#引号>");
    inputs.right = "</span>";
    window.StartTest(server_.Url("/late").toStdString(), inputs);
    ASSERT_TRUE(test::WaitUntil([&] { return !window.TestLog()->toPlainText().isEmpty(); }, 5000));
    ASSERT_TRUE(test::WaitUntil([&] { return !window.Looking(); }, 5000)) << "the test stops looking after its line";
    const QStringList lines = window.TestLog()->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << "one line per test";
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("测试获取的价格为：45.60"))) << lines[0].toStdString();
}

} // namespace
} // namespace corvix
