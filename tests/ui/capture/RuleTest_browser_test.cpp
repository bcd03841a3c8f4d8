// The rule test and marker picking through the real browser, driven from the
// rule editor page.
#include "common/BrowserTestSupport.h"
#include "common/FullDisk.h"
#include "common/TestHttpServer.h"
#include "common/TestSupport.h"

#include "support/DataRoot.h"
#include "ui/Session.h"
#include "ui/capture/CaptureWindow.h"
#include "products/LinkFile.h"
#include "products/PriceText.h"
#include "rules/RuleFile.h"
#include "ui/MainWindow.h"
#include "ui/browser/BrowserView.h"
#include "ui/capture/PricePickWindow.h"
#include "ui/capture/RuleTestController.h"
#include "ui/rules/RuleEditorController.h"
#include "ui/capture/RuleTestWindow.h"
#include "ui/capture/SourceViewWindow.h"
#include "support/DateTime.h"
#include "support/Gbk.h"
#include "ui/ShellOpen.h"
#include "ui/pages/RuleEditorPage.h"

#include <QComboBox>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <csignal>

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
    // Tests the rule <em>…</em> on the page at path.
    void TestEmRuleOn(const char *path)
    {
        editor_->link->setText(server_.Url(path));
        editor_->left->setPlainText("<em>");
        editor_->right->setPlainText("</em>");
        editor_->test->click();
    }

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
    TestEmRuleOn("/gbk");
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
    EXPECT_EQ(LogLines().last(), Prefix() + QStringLiteral("未获取到或暂无价格")) << "cleaned to nothing: no price";

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
    ASSERT_TRUE(WaitUntil([&] { return !window->Looking(); })) << "the test gives up when its time is up";
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
    ASSERT_TRUE(WaitUntil([&] { return e.controller->SourceWindow() != nullptr; }));
    EXPECT_EQ(e.controller->Window(), nullptr) << "closing";
    EXPECT_TRUE(opened_.isEmpty()) << "no GBK file handed to the system's viewer";
    const std::filesystem::path file = test::TestSession().dirs.classDir / "test.txt";
    SourceViewWindow *source = e.controller->SourceWindow();
    EXPECT_TRUE(source->Text()->toPlainText().contains(QStringLiteral("<span id=\"price\" class=\"big\">\n￥ 12.50</span>\n")));
    source->Search()->setText(QStringLiteral("12.50"));
    EXPECT_TRUE(source->FindNext());
    EXPECT_EQ(source->Text()->textCursor().selectedText(), QStringLiteral("12.50"));
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
    EXPECT_EQ(editor_->controller->SourceWindow(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return window.isNull(); }));
}

// A shop that writes its price in pieces (sign, whole part, cents) with a copy
// for screen readers, an image that never answers, and on its second product a
// price that a script fills in late.
QByteArray SplitPricePage(const char *whole, const char *cents, const char *script = "")
{
    const QByteArray price = QByteArray("$") + whole + "." + cents;
    return "<html><body><img src=\"/hang\"><div class=\"was\">原价 <span>$300.00</span></div>"
           "<a href=\"/elsewhere\"><span class=\"a-price\"><span class=\"a-offscreen\" style=\"position:absolute;"
           "width:1px;height:1px;overflow:hidden;clip:rect(0 0 0 0)\">" +
           price + "</span><span aria-hidden=\"true\"><span class=\"sym\">$</span><span class=\"whole\">" + whole +
           "<span class=\"dot\">.</span></span><span class=\"frac\">" + cents + "</span></span></span></a>" + script +
           "</body></html>";
}

// Clicks the first element the selector finds, near its left edge, with the
// mouse events a user's click sends to the page, once the block around the
// element shows a number (scripts' text is not shown): a user clicks a price
// that is there.
void ClickOn(PricePickWindow &pick, const char *selector)
{
    QPoint at;
    bool asked = false;
    const QString where =
        QStringLiteral("(function(){var e=document.querySelector('%1');"
                       "if(!/\\d/.test(e.parentElement.innerText)) return null;"
                       "var r=e.getBoundingClientRect(); return [r.left + 2, r.top + r.height / 2];})()")
            .arg(QString::fromLatin1(selector));
    ASSERT_TRUE(WaitUntil([&] {
        // No read may be left under way: its answer would outlive this frame.
        if (!at.isNull())
            return !asked;
        if (!asked) {
            asked = true;
            pick.Browser()->RunInDocument(where, [&](const QVariant &v, bool) {
                asked = false;
                if (!v.isNull())
                    at = QPoint(v.toList().value(0).toInt(), v.toList().value(1).toInt());
            });
        }
        return false;
    })) << selector;
    // The page's input goes to the view's render widget, as the mouse's would.
    QWidget *surface = pick.Browser()->focusProxy();
    for (QEvent::Type type : {QEvent::MouseMove, QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, surface->mapToGlobal(at), button,
                          type == QEvent::MouseButtonPress ? button : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(surface, &event);
    }
}

TEST_F(RuleTestBrowserTest, APriceClickedOnThePageBecomesTheSavedRule)
{
    SetCaptureTickIntervalForTests(1000); // the second page's price comes after 1.5 s
    server_.Route("/shop1", SplitPricePage("248", "00"));
    server_.Route("/shop2", SplitPricePage("", "", "<script>setTimeout(function(){"
                                                   "document.querySelector('.whole').prepend('179');"
                                                   "document.querySelector('.frac').textContent='99';"
                                                   "document.querySelector('.a-offscreen').textContent='$179.99';"
                                                   "}, 1500);</script>"));
    // Another product of the shop in url.ini is the second page.
    test::TempSession::WriteBytes(LinkFilePath(root_.Dirs()),
                                  Gbk("[A0]\r\ntitle=茶\r\n点选=" + server_.Url("/shop2").toStdString() + "\r\n"));
    MainWindow window;
    RuleEditorController saver(&window, root_.State());
    RuleTestController controller(window.EditorPage(), root_.State());
    window.show();
    Find<QLineEdit>(&window, "编辑框1")->setText(QStringLiteral("点选"));
    Find<QLineEdit>(&window, "编辑框6")->setText(server_.Url("/shop1"));
    Find<QPushButton>(&window, "按钮选取价格")->click();
    QPointer<PricePickWindow> pick(controller.PickWindow());
    ASSERT_FALSE(pick.isNull());
    EXPECT_EQ(pick->VerifyLink()->text(), server_.Url("/shop2"));
    // Ready while the image still hangs.
    ASSERT_TRUE(WaitUntil([&] { return pick->Status()->text().startsWith(QStringLiteral("移动鼠标")); }));

    ClickOn(*pick, ".was span");
    ASSERT_TRUE(WaitUntil([&] { return pick->Header()->text() == QStringLiteral("选取的价格：$300.00"); }))
        << pick->Header()->text().toStdString();
    // Picked again in the same window: the whole part stands for the whole price.
    ClickOn(*pick, ".whole");
    ASSERT_TRUE(WaitUntil([&] { return pick->Header()->text() == QStringLiteral("选取的价格：$248.00"); }))
        << pick->Header()->text().toStdString();
    EXPECT_EQ(pick->VerifyLink()->text(), server_.Url("/shop2"));
    ASSERT_TRUE(WaitUntil([&] { return pick->State() == PickState::Picked && !pick->Proposals().empty()
                                       && pick->Proposals()[0].checkedOnSecond; }, 15000));
    EXPECT_TRUE(pick->Browser()->url().path().endsWith(QStringLiteral("/shop1"))) << "the link did not navigate";
    const RuleProposal &first = pick->Proposals()[0];
    EXPECT_EQ(first.fit, PriceFit::Whole);
    EXPECT_EQ(GbkToUtf8(first.price), "$248.00");
    EXPECT_EQ(GbkToUtf8(first.secondPrice), "$179.99") << "the late price was not waited for";
    for (const RuleProposal &p : pick->Proposals())
        EXPECT_TRUE(p.fit == PriceFit::Whole || !p.holdsOnSecond || p.differsOnSecond || &p != &first)
            << GbkToUtf8(p.price);

    pick->UseProposal(0);
    EXPECT_EQ(Find<QPlainTextEdit>(&window, "编辑框2")->toPlainText(), FromGbk(first.rule.left));
    test::QuestionRecorder questions(0);
    Find<QPushButton>(&window, "按钮2")->click();
    EXPECT_EQ(questions.Texts(), QStringList{QStringLiteral("添加成功。是否立即启用这条规则？")});
    EXPECT_TRUE(messages_.Texts().isEmpty());
    const Rule saved = ParseRule(test::TempSession::ReadBytes(RuleFilePath(root_.Dirs(), Gbk("点选"))));
    EXPECT_TRUE(saved.enabled);
    EXPECT_EQ(saved.method, RuleMethod::Markers);
    EXPECT_EQ(saved.left, first.rule.left);
}

// Shop layouts of different kinds, two products each: a click on a piece of
// the first product's price must propose, first, a rule that reads the whole
// price there and the second product's whole price on its page.
TEST_F(RuleTestBrowserTest, TheFirstProposalReadsTheWholePriceOnBothProducts)
{
    SetCaptureTickIntervalForTests(1000);
    struct Layout {
        const char *name, *click;
        std::function<QByteArray(const char *, const char *)> page;
        const char *price1, *cents1, *price2, *cents2;
        double second; // the second product's price
    } layouts[] = {
        {"split", ".whole", [](const char *w, const char *c) { return SplitPricePage(w, c); }, "248", "00", "179", "99", 179.99},
        {"bold", "b", [](const char *w, const char *c) {
             return QByteArray("<html><body><div class=\"buy\"><span class=\"p\">￥<b>") + w + "</b>." + c +
                    "</span><i>618狂欢价</i></div></body></html>"; }, "368", "00", "45", "50", 45.5},
        {"plain", ".price", [](const char *w, const char *c) {
             return QByteArray("<html><body><del class=\"old\">￥9,999.00</del><span class=\"price\">￥") + w + "." + c +
                    "</span></body></html>"; }, "1,299", "00", "899", "00", 899},
        {"script", "#p", [](const char *w, const char *c) {
             return QByteArray("<html><body><div id=\"p\" class=\"pp\"></div><script>setTimeout(function(){"
                               "document.getElementById('p').textContent='￥") + w + "." + c +
                    "';}, 600);</script></body></html>"; }, "66", "60", "77", "70", 77.7},
        {"em", "em", [](const char *w, const char *c) {
             return QByteArray("<html><body><strong class=\"p-price\"><span>￥</span><em>") + w + "." + c +
                    "</em></strong><span class=\"sku\">商品编号 100234</span></body></html>"; }, "1099", "00", "5999", "00", 5999},
        {"label", ".label", [](const char *w, const char *c) {
             return QByteArray("<html><body><div class=\"final\"><span class=\"label\">到手价</span><span class=\"num\">￥") +
                    w + "." + c + "</span></div><div class=\"stock\">库存 1/4</div></body></html>"; }, "56", "80", "69", "90", 69.9},
        {"euro", "p", [](const char *w, const char *c) {
             return QByteArray("<html><body><div class=\"box\" data-price=\"") + w + "." + c + "\"><p class=\"prix\">" + w +
                    "," + c + " €</p></div></body></html>"; }, "89", "90", "120", "00", 120},
        {"listing", ".cost .int", [](const char *w, const char *c) {
             return QByteArray("<html><body><input type=\"hidden\" name=\"price\" value=\"") + w + "." + c +
                    "\"><div class=\"cost\">US$ <span class=\"int\">" + w + "</span>.<span class=\"dec\">" + c +
                    "</span></div><div class=\"also\"><div class=\"cost\">US$ 5.00</div></div></body></html>"; }, "19", "99", "24", "50", 24.5},
    };
    for (const Layout &l : layouts) {
        SCOPED_TRACE(testing::Message() << "row " << (&l - &*std::begin(layouts)));
        const QString path = QStringLiteral("/%1").arg(QString::fromLatin1(l.name));
        server_.Route(path + QStringLiteral("-1"), l.page(l.price1, l.cents1));
        server_.Route(path + QStringLiteral("-2"), l.page(l.price2, l.cents2));
        PricePickWindow pick;
        pick.show();
        pick.StartPick(server_.Url(path + QStringLiteral("-1")).toStdString(), server_.Url(path + QStringLiteral("-2")).toStdString());
        ASSERT_TRUE(WaitUntil([&] { return pick.State() == PickState::Picking; })) << l.name;
        ClickOn(pick, l.click);
        ASSERT_TRUE(WaitUntil([&] { return pick.State() == PickState::Picked && !pick.Proposals().empty()
                                           && pick.Proposals()[0].checkedOnSecond; })) << l.name;
        const RuleProposal &first = pick.Proposals()[0];
        EXPECT_EQ(first.fit, PriceFit::Whole) << l.name << ": " << GbkToUtf8(first.price);
        const std::optional<PriceText> second = ReadOnePrice(first.secondPrice);
        EXPECT_TRUE(second && second->value == l.second) << l.name << ": " << GbkToUtf8(first.secondPrice);
    }
}

TEST_F(RuleTestBrowserTest, APickNamesFramesOfAnotherOrigin)
{
    const QString other = server_.Url("/frame").replace(QStringLiteral("127.0.0.1"), QStringLiteral("localhost"));
    server_.Route("/frame", "<html><body><span>9.90</span></body></html>");
    server_.Route("/framed", ("<html><body><iframe src=\"" + other + "\"></iframe><iframe src=\"/frame\"></iframe>" +
                              "<span class=\"now\">5.00</span></body></html>").toUtf8());
    editor_->link->setText(server_.Url("/framed"));
    RuleEditorPage *page = &editor_->page;
    Find<QPushButton>(page, "按钮选取价格")->click();
    QPointer<PricePickWindow> pick(editor_->controller->PickWindow());
    ASSERT_TRUE(WaitUntil([&] { return pick->Status()->text().startsWith(QStringLiteral("移动鼠标")); }));
    EXPECT_TRUE(pick->Status()->text().endsWith(QStringLiteral("页面上有 1 个来自其他网站的框架，程序读取不到其中的价格")))
        << pick->Status()->text().toStdString();
}

TEST_F(RuleTestBrowserTest, AWindowWhoseRendererDiedIsReplaced)
{
    Editor &e = *editor_;
    TestEmRuleOn("/gbk");
    QPointer<RuleTestWindow> first(e.controller->Window());
    ASSERT_TRUE(WaitUntil([&] { return LogLines().size() == 1; }));
    ::kill(static_cast<pid_t>(first->Browser()->page()->renderProcessPid()), SIGKILL);
    ASSERT_TRUE(WaitUntil([&] { return first->Browser()->RendererGone(); }));
    e.test->click();
    EXPECT_TRUE(first.isNull()) << "not reused blank";
    ASSERT_TRUE(WaitUntil([&] { return LogLines().size() == 1 && LogLines().last() == Prefix() + "88"; }));
}

} // namespace
} // namespace corvix
