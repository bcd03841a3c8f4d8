// The rule test and marker picking through the real browser, driven from the
// rule editor page.
#include "common/BrowserTestSupport.h"
#include "common/FullDisk.h"
#include "common/TestHttpServer.h"
#include "common/TestSupport.h"

#include "support/DataRoot.h"
#include "ui/Session.h"
#include "ui/capture/CaptureWindow.h"
#include "ui/capture/RuleTestController.h"
#include "ui/capture/RuleTestWindow.h"
#include "support/DateTime.h"
#include "support/Gbk.h"
#include "ui/ShellOpen.h"
#include "ui/pages/RuleEditorPage.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace corvix {
namespace {

using test::PageFixture;
using test::TestHttpServer;
using test::WaitUntil;

template <typename T> T *Find(QWidget *page, const char *name)
{
    return page->findChild<T *>(QString::fromUtf8(name));
}

// The rule editor page with the controller bound to it, its controls found by
// their names.
struct Editor {
    Editor()
    {
        link = Find<QLineEdit>(&page, "编辑框6");
        left = Find<QPlainTextEdit>(&page, "编辑框2");
        right = Find<QPlainTextEdit>(&page, "编辑框3");
        elementMethod = Find<QRadioButton>(&page, "单选框2");
        name = Find<QLineEdit>(&page, "编辑框7");
        kind = Find<QComboBox>(&page, "组合框2");
        pick = Find<QPushButton>(&page, "按钮1");
        test = Find<QPushButton>(&page, "按钮4");
        controller = new RuleTestController(&page, test::TestSession());
    }
    RuleEditorPage page;
    QLineEdit *link, *name;
    QPlainTextEdit *left, *right;
    QRadioButton *elementMethod;
    QComboBox *kind;
    QPushButton *pick, *test;
    RuleTestController *controller;
};

class RuleTestBrowserTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::UseTestBrowserProfile(); }
    void SetUp() override
    {
        SetClockForTests([] { return LocalDateTime{2024, 3, 5, 14, 7, 9, 0}; });
        SetCaptureTickIntervalForTests(100); // a test without a price gives up after a second
        SetShellOpenHandlerForTests([this](const QUrl &url) { opened_ << url; });
        server_.Route("/gbk", PageFixture("gbk.html"), "text/html; charset=gbk");
        server_.Route("/nbsp", "<html><body><em>&nbsp;</em></body></html>");
        server_.RouteHang("/hang");
        editor_ = std::make_unique<Editor>();
    }
    void TearDown() override
    {
        if (RuleTestWindow *window = editor_->controller->Window())
            delete window;
        editor_.reset();
        SetShellOpenHandlerForTests(nullptr);
        SetClockForTests(nullptr);
        SetCaptureTickIntervalForTests(0);
    }

    QStringList LogLines() const
    {
        RuleTestWindow *window = editor_->controller->Window();
        if (!window)
            return {};
        return window->TestLog()->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QString Prefix() const { return FromGbk(FormatTimestamp()) + QStringLiteral("    测试获取的价格为："); }

    test::TempSession root_;
    test::MessageRecorder messages_;
    TestHttpServer server_;
    std::unique_ptr<Editor> editor_;
    QList<QUrl> opened_;
};

TEST_F(RuleTestBrowserTest, WithoutALinkTheUserIsAskedForOne)
{
    editor_->test->click();
    editor_->pick->click();
    EXPECT_EQ(messages_.Texts(), QStringList({QStringLiteral("请输入链接后再选取"), QStringLiteral("请输入链接后再选取")}));
    EXPECT_EQ(editor_->controller->Window(), nullptr) << "no test and no pick";
}

TEST_F(RuleTestBrowserTest, EachTestLogsALineInTheSameWindow)
{
    Editor &e = *editor_;
    e.link->setText(server_.Url("/gbk"));
    e.left->setPlainText("<em>");
    e.right->setPlainText("</em>");
    e.test->click();
    RuleTestWindow *window = e.controller->Window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->Testing());
    ASSERT_TRUE(WaitUntil([&] { return LogLines().size() == 1; }));
    EXPECT_EQ(LogLines().last(), Prefix() + "88");
    EXPECT_TRUE(window->TestLog()->isVisible());

    e.left->setPlainText("<EM>"); // markers keep their capitals: not found
    e.test->click();
    ASSERT_TRUE(WaitUntil([&] { return LogLines().size() == 2; }));
    EXPECT_EQ(e.controller->Window(), window) << "the open window is reused";
    EXPECT_EQ(LogLines().last(), Prefix() + QStringLiteral("未获取到或暂无价格"));

    e.link->setText(server_.Url("/nbsp"));
    e.left->setPlainText("<em>");
    e.test->click();
    ASSERT_TRUE(WaitUntil([&] { return LogLines().size() == 3; }));
    EXPECT_EQ(LogLines().last(), Prefix()) << "found, then cleaned to nothing";

    e.link->setText(server_.Url("/gbk"));
    e.elementMethod->setChecked(true);
    e.kind->setCurrentText("div");
    e.name->setText(QStringLiteral("stock"));
    e.test->click();
    ASSERT_TRUE(WaitUntil([&] { return LogLines().size() == 4; }));
    EXPECT_EQ(LogLines().last(), Prefix() + QStringLiteral("暂无报价"));

    e.name->setText(QStringLiteral("nothing"));
    e.test->click();
    ASSERT_TRUE(WaitUntil([&] { return LogLines().size() == 5; }));
    EXPECT_EQ(LogLines().last(), Prefix() + QStringLiteral("未获取到或暂无价格"));

    // A page that never arrives logs nothing, not the price of the page still shown.
    e.link->setText(server_.Url("/hang"));
    e.test->click();
    test::Wait(1500);
    EXPECT_EQ(LogLines().size(), 5);

    QPointer<RuleTestWindow> closing(window);
    window->close();
    EXPECT_EQ(e.controller->Window(), nullptr);
    ASSERT_FALSE(closing.isNull());
    EXPECT_FALSE(closing->Testing());
    ASSERT_TRUE(WaitUntil([&] { return closing.isNull(); })) << "the window is destroyed";
}

TEST_F(RuleTestBrowserTest, PickingWritesTheLoweredSourceAndCloses)
{
    Editor &e = *editor_;
    e.link->setText(server_.Url("/gbk"));
    e.pick->click();
    QPointer<RuleTestWindow> window(e.controller->Window());
    ASSERT_FALSE(window.isNull());
    EXPECT_TRUE(window->Picking());
    ASSERT_TRUE(WaitUntil([&] { return !opened_.isEmpty(); }));
    EXPECT_EQ(e.controller->Window(), nullptr) << "closing";
    const std::filesystem::path file = test::TestSession().dirs.classDir / "test.txt";
    EXPECT_EQ(opened_.first(), QUrl::fromLocalFile(QString::fromStdU16String(file.u16string())));
    EXPECT_TRUE(window.isNull() || !window->Picking());
    const std::string text = test::TempSession::ReadBytes(file);
    EXPECT_NE(text.find(Gbk("<a href=\"/other.html\">\r\nother</a>\r\n")), std::string::npos) << GbkToUtf8(text);
    EXPECT_NE(text.find(Gbk("<span id=\"price\" class=\"big\">\r\n￥ 12.50</span>\r\n")), std::string::npos);
    EXPECT_EQ(text.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string::npos);
    size_t gts = 0, breaks = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '>') {
            ++gts;
            breaks += text.compare(i + 1, 2, "\r\n") == 0;
        }
    }
    EXPECT_EQ(gts, breaks) << "a line break after every \">\"";
    ASSERT_TRUE(WaitUntil([&] { return window.isNull(); })) << "the pick window closes itself";
    EXPECT_EQ(opened_.size(), 1);
}

TEST_F(RuleTestBrowserTest, APickThatCannotWriteItsFileSaysSoAndOpensNothing)
{
    test::FullDisk disk;
    test::TestSession().dirs = PrepareDataRoot(disk.Dir(), {}).dirs;
    const std::filesystem::path file = test::TestSession().dirs.classDir / "test.txt";
    test::TempSession::WriteBytes(file, "an earlier pick");
    disk.Fill();
    editor_->link->setText(server_.Url("/gbk"));
    editor_->pick->click();
    QPointer<RuleTestWindow> window(editor_->controller->Window());
    ASSERT_TRUE(WaitUntil([&] { return !messages_.Texts().isEmpty(); }));
    disk.Free();
    EXPECT_TRUE(messages_.Texts()[0].startsWith(QStringLiteral("保存网页源码失败")));
    EXPECT_TRUE(messages_.Texts()[0].contains(QString::fromStdU16String(file.u16string())));
    EXPECT_EQ(test::TempSession::ReadBytes(file), "an earlier pick");
    EXPECT_TRUE(opened_.isEmpty());
    ASSERT_TRUE(WaitUntil([&] { return window.isNull(); }));
}

} // namespace
} // namespace corvix
