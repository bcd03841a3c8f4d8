// The page "关于我们": its browser starts with the first look at the page and
// shows the start page that ships inside the program.
#include "common/BrowserTestSupport.h"

#include "ui/MainWindow.h"
#include "ui/pages/AboutPage.h"

#include <QWebEngineView>
#include <gtest/gtest.h>

using namespace corvix;

TEST(AboutPage, ItsTabStartsTheBrowserOnceOnTheStartPage)
{
    MainWindow w;
    w.ShowTab(MainTab::RecordList);
    EXPECT_EQ(w.AboutUsPage()->Browser(), nullptr);

    w.ShowTab(MainTab::About);
    QWebEngineView *browser = w.AboutUsPage()->Browser();
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->objectName(), QStringLiteral("超文本浏览框1"));
    EXPECT_TRUE(test::WaitUntil([&] { return browser->url() == QUrl(QStringLiteral("qrc:/about/index.html")); }));

    w.ShowTab(MainTab::List);
    w.ShowTab(MainTab::About);
    EXPECT_EQ(w.AboutUsPage()->Browser(), browser);
    EXPECT_EQ(w.findChildren<QWebEngineView *>().size(), 1);
}
