// The capture browser and the document helper on real pages served from 127.0.0.1.
#include "common/BrowserTestSupport.h"
#include "common/TestHttpServer.h"

#include "ui/Session.h"
#include "ui/browser/BrowserView.h"
#include "ui/browser/DomHelper.h"
#include "capture/MarkerSearch.h"
#include "support/Gbk.h"
#include "support/TextUtils.h"

#include <QApplication>
#include <QDialog>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>

namespace corvix {
namespace {

using test::LoadPage;
using test::PageFixture;
using test::SnapshotOf;
using test::TestHttpServer;
using test::WaitUntil;

ElementQuery Q(ElementReader reader, const char *utf8Name)
{
    return ElementQuery{reader, Gbk(utf8Name), 0};
}

DomRequest Ask(bool source, std::initializer_list<ElementQuery> queries)
{
    DomRequest request;
    request.pageSource = source;
    for (const ElementQuery &q : queries)
        request.AddElement(q.reader, q.name, q.skip);
    return request;
}

class BrowserTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::UseTestBrowserProfile(); }
    void SetUp() override
    {
        view_ = std::make_unique<BrowserView>();
        view_->resize(800, 600);
        view_->show();
    }
    void TearDown() override { view_.reset(); }

    BrowserView &View() { return *view_; }

    TestHttpServer server_;
    std::unique_ptr<BrowserView> view_;
};

TEST_F(BrowserTest, SpansAreFoundByClassOrPositionInDocumentOrder)
{
    server_.Route("/spans", PageFixture("spans.html"));
    ASSERT_TRUE(LoadPage(View(), server_.Url("/spans")));
    const auto span = ElementReader::GetSpanInnerHtml;
    const DomSnapshot page =
        SnapshotOf(View(), Ask(false, {Q(span, "b"), Q(span, "3"), Q(span, "x"), Q(span, "2.9"), Q(span, "first"),
                                       Q(span, "0"), Q(span, "4"), Q(ElementReader::GetDivInnerHtml, "1")}));
    ASSERT_TRUE(page.hasDocument);
    EXPECT_EQ(page.ElementValue(Q(span, "b")), "<b>99</b>.00");
    EXPECT_EQ(page.ElementValue(Q(span, "3")), "third");
    EXPECT_EQ(page.ElementValue(Q(span, "x")), "");
    EXPECT_EQ(page.ElementValue(Q(span, "2.9")), "<b>99</b>.00"); // position 2
    EXPECT_EQ(page.ElementValue(Q(span, "first")), "first");       // by inner text
    EXPECT_EQ(page.ElementValue(Q(span, "0")), "");
    EXPECT_EQ(page.ElementValue(Q(span, "4")), "");
    EXPECT_EQ(page.ElementValue(Q(ElementReader::GetDivInnerHtml, "1")), ""); // no div at all
    EXPECT_TRUE(page.pageSource.empty()) << "the source was not asked for";
}

TEST_F(BrowserTest, ThePositionTestIsMadeOnEachElementInTurn)
{
    const auto span = ElementReader::GetSpanInnerHtml;
    server_.Route("/two-first", "<body><span class=2>A</span><span>B</span><span>C</span></body>");
    server_.Route("/two-third", "<body><span>A</span><span>B</span><span class=2>C</span></body>");
    server_.Route("/skip", "<body><span id=p>A</span><span title=p>B</span></body>");
    ASSERT_TRUE(LoadPage(View(), server_.Url("/two-first")));
    EXPECT_EQ(SnapshotOf(View(), Ask(false, {Q(span, "2")})).ElementValue(Q(span, "2")), "A");
    ASSERT_TRUE(LoadPage(View(), server_.Url("/two-third")));
    EXPECT_EQ(SnapshotOf(View(), Ask(false, {Q(span, "2")})).ElementValue(Q(span, "2")), "B");
    ASSERT_TRUE(LoadPage(View(), server_.Url("/skip")));
    const ElementQuery skipOne{span, "p", 1};
    EXPECT_EQ(SnapshotOf(View(), Ask(false, {skipOne})).ElementValue(skipOne), "B");
}

TEST_F(BrowserTest, TextInputsAndHiddenInputsAreCountedApart)
{
    server_.Route("/inputs", PageFixture("inputs.html"));
    ASSERT_TRUE(LoadPage(View(), server_.Url("/inputs")));
    const auto text = ElementReader::GetTextInputValue;
    const auto hidden = ElementReader::GetHiddenInputValue;
    const auto area = ElementReader::GetTextAreaValue;
    struct Row {
        ElementQuery query;
        const char *expected;
    } rows[] = {
        {Q(text, "1"), "text-one"},     // hidden, checkbox and button do not count
        {Q(text, "2"), "secret-9"},     // password
        {Q(text, "3"), "untyped-3"},    // no type is a text input
        {Q(text, "t1"), "text-one"},    // by name
        {Q(text, "tid1"), "text-one"},  // by id
        {Q(text, "price-box"), "￥ 1,299.00"}, // by title
        {Q(text, "untyped"), "untyped-3"},     // by name, not the first text input
        {Q(text, "h1"), ""},            // hidden inputs are not text inputs
        {Q(text, "cb"), ""},            // nor are checkboxes
        {Q(text, "6"), ""},
        {Q(hidden, "1"), "hidden-one"},
        {Q(hidden, "2"), "hidden-two"},
        {Q(hidden, "hid2"), "hidden-two"},
        {Q(hidden, "t1"), ""},
        {Q(area, "ta"), "area one"},     // by class
        {Q(area, "area one"), "area one"}, // by inner text
        {Q(area, "area2"), "area & two 45.6"}, // by name
        {Q(area, "2"), "area & two 45.6"},
        {Q(area, "TA"), ""},             // exact comparison
    };
    DomRequest request;
    for (const Row &row : rows)
        request.AddElement(row.query.reader, row.query.name);
    const DomSnapshot page = SnapshotOf(View(), request);
    ASSERT_TRUE(page.hasDocument);
    for (const Row &row : rows)
        EXPECT_EQ(page.ElementValue(row.query), Gbk(row.expected)) << GbkToUtf8(row.query.name);
}

TEST_F(BrowserTest, PageSourceIsTheDocumentMarkupInGbk)
{
    server_.Route("/gbk", PageFixture("gbk.html"), "text/html; charset=gbk");
    server_.Route("/utf8", PageFixture("utf8.html"));
    ASSERT_TRUE(LoadPage(View(), server_.Url("/gbk")));
    DomSnapshot page = SnapshotOf(View(), Ask(true, {}));
    ASSERT_TRUE(page.hasDocument);
    EXPECT_EQ(page.address, server_.Url("/gbk").toStdString());
    // The markup as the browser holds it: tag names lowered, attribute values kept.
    EXPECT_NE(page.pageSource.find(Gbk("<span id=\"price\" class=\"Big\">￥ 12.50</span>")), std::string::npos)
        << GbkToUtf8(page.pageSource);
    EXPECT_NE(page.pageSource.find(Gbk("<title>商品页</title>")), std::string::npos);
    EXPECT_EQ(page.pageSource.rfind("<html", 0), 0u);

    ASSERT_TRUE(LoadPage(View(), server_.Url("/utf8")));
    page = SnapshotOf(View(), Ask(true, {Q(ElementReader::GetSpanInnerHtml, "price")}));
    // The emoji has no GBK form and becomes one "?"; the euro sign has one (0x80).
    EXPECT_EQ(page.ElementValue(Q(ElementReader::GetSpanInnerHtml, "price")), "\x80 19,99 ?");
    EXPECT_NE(page.pageSource.find(Gbk("手机 Müller")), std::string::npos) << "Ü has a GBK form";
}

// The markers are searched inside the page as the program searches the lowered
// source: ASCII letters of the page in either case, every other character as it
// is, a capital in a marker never matching.
TEST_F(BrowserTest, MarkersAreSearchedInThePageAsInTheLoweredSource)
{
    server_.Route("/markers", "<html><head><meta charset=\"utf-8\"></head><body><p class=\"Info\">Größe (L) "
                              "<b>$12.50</b> 价格：<i>9.9</i> axb-c A.B*C</p></body></html>");
    ASSERT_TRUE(LoadPage(View(), server_.Url("/markers")));
    const struct {
        const char *left, *right, *value;
    } rows[] = {
        {"<b>", "</b>", "$12.50"},
        {"class=\"info\">", "(", "größe "},
        {"(l) <b>$", "</b>", "12.50"},
        {"<B>", "</b>", ""},
        {"价格：<i>", "</i>", "9.9"},
        {"a.b", "c", "*"},
        {"<i>", "nowhere", ""},
    };
    DomRequest request;
    request.pageSource = true;
    for (const auto &row : rows)
        request.AddMarkers(MarkerForms(Gbk(row.left), Gbk(row.right)));
    const DomSnapshot page = SnapshotOf(View(), request);
    ASSERT_TRUE(page.hasDocument);
    for (const auto &row : rows) {
        const MarkerQuery query = MarkerForms(Gbk(row.left), Gbk(row.right));
        const std::string *value = page.MarkerValue(query);
        ASSERT_NE(value, nullptr) << row.left;
        EXPECT_EQ(*value, Gbk(row.value)) << row.left;
        EXPECT_EQ(*value, TextBetweenMarkers(ToLowerText(page.pageSource), query)) << row.left;
    }
}

TEST_F(BrowserTest, NoDocumentBeforeTheFirstPageOrWithoutABrowser)
{
    DomHelper helper;
    EXPECT_FALSE(helper.AttachToWindow(nullptr));
    std::optional<DomSnapshot> detached;
    helper.TakeSnapshot(Ask(true, {}), nullptr, [&](const DomSnapshot &s) { detached = s; });
    ASSERT_TRUE(WaitUntil([&] { return detached.has_value(); }));
    EXPECT_FALSE(detached->hasDocument);

    EXPECT_FALSE(helper.AttachToWindow(&View())) << "never sent to a page";
    const DomSnapshot fresh = SnapshotOf(View(), Ask(true, {}));
    EXPECT_FALSE(fresh.hasDocument);
    EXPECT_TRUE(fresh.pageSource.empty());
}

// The old page must never be reported as the new link's: neither while the new
// link is still on its way, nor when the new link is the same address.
TEST_F(BrowserTest, APageStillShownAfterNavigatingIsNoDocument)
{
    server_.Route("/a", "<body><span class=p>111</span></body>");
    server_.RouteHang("/hang");
    server_.RouteDelayed("/slow", 600, "<body><span class=p>222</span></body>");
    const ElementQuery price = Q(ElementReader::GetSpanInnerHtml, "p");

    ASSERT_TRUE(LoadPage(View(), server_.Url("/a")));
    ASSERT_EQ(SnapshotOf(View(), Ask(true, {price})).ElementValue(price), "111");

    // Snapshots asked at every event of the next navigation, and right after it started.
    std::vector<DomSnapshot> seen;
    DomHelper helper;
    helper.AttachToWindow(&View());
    auto ask = [&] { helper.TakeSnapshot(Ask(true, {price}), &View(), [&](const DomSnapshot &s) { seen.push_back(s); }); };
    QObject context;
    QObject::connect(&View(), &BrowserView::progressChanged, &context, ask);
    QObject::connect(&View(), &BrowserView::navigated, &context, ask);
    QSignalSpy finished(&View(), &BrowserView::downloadCompleted);
    const auto requestsOf = [&](const char *path) { return server_.RequestedPaths().count(QLatin1String(path)); };
    View().Navigate(server_.Url("/slow"));
    ask();
    // Once more while the server holds the response back.
    ASSERT_TRUE(WaitUntil([&] { return requestsOf("/slow") == 1; }));
    ask();
    ASSERT_TRUE(WaitUntil([&] { return finished.count() > 0; }));
    ask();
    ASSERT_TRUE(WaitUntil([&] { return !seen.empty() && seen.back().hasDocument; }));
    for (const DomSnapshot &s : seen) {
        SCOPED_TRACE(testing::Message() << "row " << (&s - &*std::begin(seen)));
        EXPECT_EQ(s.pageSource.find("111"), std::string::npos);
        if (s.hasDocument) {
            EXPECT_EQ(s.ElementValue(price), "222");
        }
    }
    EXPECT_FALSE(seen.front().hasDocument);

    // The same address again: until the new response, there is no document.
    QObject::disconnect(&View(), nullptr, &context, nullptr);
    std::vector<DomSnapshot> again;
    auto askAgain = [&] {
        helper.TakeSnapshot(Ask(true, {price}), &View(), [&](const DomSnapshot &s) { again.push_back(s); });
    };
    View().Navigate(server_.Url("/slow"));
    askAgain();
    ASSERT_TRUE(WaitUntil([&] { return requestsOf("/slow") == 2; }));
    askAgain();
    WaitUntil([&] { return again.size() == 2; }, 5000);
    ASSERT_EQ(again.size(), 2u);
    EXPECT_FALSE(again[0].hasDocument);
    EXPECT_FALSE(again[1].hasDocument);
    ASSERT_TRUE(WaitUntil([&] { return SnapshotOf(View(), Ask(false, {price})).ElementValue(price) == "222"; }));

    // A page that never answers leaves the old one on screen, and no document.
    ASSERT_TRUE(LoadPage(View(), server_.Url("/a")));
    View().Navigate(server_.Url("/hang"));
    ASSERT_TRUE(WaitUntil([&] { return requestsOf("/hang") == 1; }));
    const DomSnapshot hanging = SnapshotOf(View(), Ask(true, {price}));
    EXPECT_FALSE(hanging.hasDocument);
    EXPECT_TRUE(hanging.ElementValue(price).empty());
}

TEST_F(BrowserTest, EventsOfOnePageLoad)
{
    server_.Route("/frames", PageFixture("frames.html"));
    server_.Route("/frame-a", "<body><span class=inner>inner 1.00</span></body>");
    server_.Route("/frame-b", "<body>b</body>");
    QSignalSpy progress(&View(), &BrowserView::progressChanged);
    QSignalSpy navigated(&View(), &BrowserView::navigated);
    QSignalSpy finished(&View(), &BrowserView::downloadCompleted);
    View().Navigate(server_.Url("/frames"));
    ASSERT_TRUE(WaitUntil([&] { return finished.count() > 0; }));
    // The page's load waits for its frames: an event of theirs would have come first.
    EXPECT_EQ(finished.count(), 1) << "frames give no events of their own";
    EXPECT_GE(progress.count(), 1);
    EXPECT_EQ(progress.last().at(0).toInt(), 100);
    EXPECT_EQ(navigated.count(), 1);
    const DomSnapshot page = SnapshotOf(View(), Ask(true, {}));
    EXPECT_NE(page.pageSource.find("outer 7.00"), std::string::npos);
    EXPECT_EQ(page.pageSource.find("inner 1.00"), std::string::npos) << "frame contents are not in the source";
    // Page icons are never fetched.
    EXPECT_FALSE(server_.RequestedPaths().contains(QStringLiteral("/favicon.ico"))) << server_.RequestedPaths().join(' ').toStdString();
}

TEST_F(BrowserTest, DialogsPopUpsPermissionsAndDownloadsAreRefused)
{
    server_.Route("/alert", PageFixture("alert.html"));
    server_.Route("/popup", "<body><script>var w = window.open('/alert', '_blank');"
                            "document.title = w ? 'opened' : 'refused';</script></body>");
    server_.Route("/geo", "<body><script>navigator.geolocation.getCurrentPosition("
                          "function () { document.title = 'allowed'; },"
                          "function (e) { document.title = 'denied ' + e.code; });"
                          "Notification.requestPermission().then(function (p) { document.body.dataset.n = p; });"
                          "</script></body>");
    server_.Route("/file", "data", "application/octet-stream",
                  {{"Content-Disposition", "attachment; filename=\"x.bin\""}});

    auto dialogShown = [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible() && qobject_cast<QDialog *>(w))
                return true;
        return false;
    };
    ASSERT_TRUE(LoadPage(View(), server_.Url("/alert")));
    EXPECT_EQ(View().page()->title(), QStringLiteral("after-dialogs false null"));
    EXPECT_FALSE(dialogShown());

    ASSERT_TRUE(LoadPage(View(), server_.Url("/popup")));
    EXPECT_EQ(View().page()->title(), QStringLiteral("refused"));
    EXPECT_FALSE(dialogShown());
    EXPECT_EQ(server_.RequestedPaths().count(QStringLiteral("/alert")), 1) << "the pop-up loaded nothing";

    ASSERT_TRUE(LoadPage(View(), server_.Url("/geo")));
    ASSERT_TRUE(WaitUntil([&] { return View().page()->title().startsWith(QStringLiteral("denied")); }, 5000))
        << View().page()->title().toStdString();
    const DomRequest ask = Ask(true, {});
    ASSERT_TRUE(WaitUntil([&] { return SnapshotOf(View(), ask).pageSource.find("data-n=\"denied\"") != std::string::npos; }, 5000));

    std::vector<QWebEngineDownloadRequest::DownloadState> downloads;
    QObject::connect(CaptureProfile(), &QWebEngineProfile::downloadRequested, &View(),
                     [&](QWebEngineDownloadRequest *d) { downloads.push_back(d->state()); });
    View().Navigate(server_.Url("/file"));
    ASSERT_TRUE(WaitUntil([&] { return !downloads.empty(); }));
    EXPECT_EQ(downloads.front(), QWebEngineDownloadRequest::DownloadCancelled);
}

TEST_F(BrowserTest, AKilledRendererLeavesNoDocumentAndTheNextLinkLoads)
{
    server_.Route("/a", "<body><span class=p>111</span></body>");
    ASSERT_TRUE(LoadPage(View(), server_.Url("/a")));
    const qint64 pid = View().page()->renderProcessPid();
    ASSERT_GT(pid, 0);
    ::kill(static_cast<pid_t>(pid), SIGKILL);
    ASSERT_TRUE(WaitUntil([&] { return View().RendererGone(); }));
    EXPECT_FALSE(SnapshotOf(View(), Ask(true, {})).hasDocument);
    ASSERT_TRUE(LoadPage(View(), server_.Url("/a")));
    EXPECT_NE(SnapshotOf(View(), Ask(true, {})).pageSource.find("111"), std::string::npos);
}

TEST(CaptureProfileTest, SignInsLastBeyondOneWindow)
{
    test::UseTestBrowserProfile();
    QWebEngineProfile *profile = CaptureProfile();
    EXPECT_FALSE(profile->isOffTheRecord());
    EXPECT_TRUE(profile->persistentStoragePath().endsWith(QStringLiteral("/browser/storage")));
    EXPECT_TRUE(profile->cachePath().endsWith(QStringLiteral("/browser/cache")));
    EXPECT_EQ(profile->persistentCookiesPolicy(), QWebEngineProfile::ForcePersistentCookies);

    TestHttpServer server;
    server.Route("/login", "<body>welcome</body>", "text/html", {{"Set-Cookie", "member=42; Path=/"}});
    server.Route("/price", "<body>members only</body>");
    {
        BrowserView first;
        ASSERT_TRUE(LoadPage(first, server.Url("/login")));
    }
    BrowserView second;
    ASSERT_TRUE(LoadPage(second, server.Url("/price")));
    EXPECT_TRUE(server.LastRequestHeaders(QStringLiteral("/price")).contains("member=42"));
}

} // namespace
} // namespace corvix
