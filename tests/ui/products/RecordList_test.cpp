// The record list tab: entries, the menu 记录操作, 刷新列表 and 查看.
#include "ui/Session.h"
#include "common/TestSupport.h"
#include "products/ProductGridModel.h"
#include "products/RecordFile.h"
#include "products/RecordList.h"
#include "ui/products/RecordListController.h"
#include "products/RecordStamp.h"
#include "support/DateTime.h"
#include "support/Gbk.h"
#include "ui/MainWindow.h"
#include "ui/pages/ProductListPage.h"
#include "ui/pages/RecordListPage.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTabWidget>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace corvix;
using corvix::test::MessageRecorder;
using corvix::test::TempSession;

TEST(TextBeforeMarker, BytesBeforeTheFirstMarkerFromStart)
{
    struct Case {
        std::string text, marker;
        TextPos start;
        bool ignoreCase;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"1543910400.txt", ".", 1, false, "1543910400"},
        {"a.b.txt", ".", 1, false, "a"},
        {"a.b.txt", ".", 3, false, "a.b"},
        {"a.b.txt", ".", 0, false, "a"},  // below 1 means 1
        {"a.b.txt", ".", -5, false, "a"},
        {"noext", ".", 1, false, ""},
        {".txt", ".", 1, false, ""},
        {"abcXdef", "x", 1, false, ""},
        {"abcXdef", "x", 1, true, "abc"},
        {Gbk("億x.txt"), "|", 1, false, ""}, // the "|" inside 億 is no marker
    };
    for (const auto &c : cases)
        EXPECT_EQ(TextBeforeMarker(c.text, c.marker, c.start, c.ignoreCase), c.expected)
            << c.text << " / " << c.marker << " / " << c.start;
}

TEST(ListRecordEntries, ListsTxtFilesInNameOrderWithTheirSaveTimes)
{
    TempSession root;
    const auto db = root.Dirs().dbDir;
    EXPECT_TRUE(ListRecordEntries(db).empty());
    for (const char *name : {"1543996800.txt", "url.ini", "1543910400.txt", "a.b.txt"})
        TempSession::WriteBytes(db / name, "x|");
    const auto entries = ListRecordEntries(db);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "1543910400");
    EXPECT_EQ(entries[1].name, "1543996800");
    EXPECT_EQ(entries[2].name, "a");
    EXPECT_EQ(entries[0].displayTime, StampToDisplayTime("1543910400"));
    EXPECT_FALSE(entries[0].displayTime.empty());
    EXPECT_EQ(entries[2].displayTime, StampToDisplayTime("a"));
}

namespace {

class RecordListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<MainWindow>();
        for (const char *title : {"X", "Y"})
            window->ListPage()->AddGridColumn(title, 60, Qt::AlignHCenter);
        controller = new RecordListController(window.get(), test::TestSession());
    }
    void TearDown() override { SetClockForTests(nullptr); }

    QTreeWidget *List() { return window->RecordsPage()->List(); }
    QTabWidget *Tabs() { return window->findChild<QTabWidget *>(QStringLiteral("选择夹1")); }
    ProductGridModel &Grid() { return *window->ListPage()->Grid(); }
    void Write(const char *name, const std::string &bytes)
    {
        TempSession::WriteBytes(root.Dirs().dbDir / name, bytes);
    }
    void Select(int row) { List()->setCurrentItem(List()->topLevelItem(row)); }
    // A capture's unsaved results ("captured|7|8|" under X, Y), then 查看 of
    // the older record listed before them.
    void ViewAnOlderRecordAfterACapture()
    {
        SetClockForTests([] { return LocalDateTime{2018, 12, 6, 8, 0, 0, 0}; });
        Write("1543910400.txt", "old|1|2|");
        controller->FillRecordList();
        Grid().AppendRows({{"1", "captured", "7", "8"}});
        test::TestSession().resultsChanged = true;
        Select(0);
        controller->ViewRecord();
    }
    void Trigger(const char *item)
    {
        test::TriggerAction(*window->RecordsPage()->Menu(), QString::fromUtf8(item));
    }
    std::vector<std::string> Row(int r)
    {
        std::vector<std::string> row;
        for (int c = 0; c < Grid().ColumnCount(); ++c)
            row.push_back(Grid().Text(r, c));
        return row;
    }
    QStringList ListRow(int r)
    {
        const QTreeWidgetItem *item = List()->topLevelItem(r);
        return {item->text(0), item->text(1), item->text(2)};
    }

    TempSession root;
    MessageRecorder messages;
    std::unique_ptr<MainWindow> window;
    RecordListController *controller = nullptr;
};

} // namespace

TEST_F(RecordListTest, FillListsRecordFilesOnlyNumberedFromOne)
{
    Write("1543996800.txt", "b|");
    Write("1543910400.txt", "a|");
    Write("url.ini", "[A0]");
    controller->FillRecordList();
    ASSERT_EQ(List()->topLevelItemCount(), 2);
    EXPECT_EQ(ListRow(0), (QStringList{"1", "1543910400", FromGbk(StampToDisplayTime("1543910400"))}));
    EXPECT_EQ(ListRow(1), (QStringList{"2", "1543996800", FromGbk(StampToDisplayTime("1543996800"))}));
}

TEST_F(RecordListTest, RefreshReplacesTheRows)
{
    Write("1543910400.txt", "a|");
    controller->FillRecordList();
    Write("1543996800.txt", "b|");
    Trigger("刷新列表");
    ASSERT_EQ(List()->topLevelItemCount(), 2);
    EXPECT_EQ(ListRow(1)[0], "2");
    EXPECT_EQ(ListRow(1)[1], "1543996800");
}

TEST_F(RecordListTest, MenuOpensOnlyOverASelectedRow)
{
    Write("1543910400.txt", "a|");
    controller->FillRecordList();
    window->show();
    QWidget *viewport = List()->viewport();
    const QPoint at(10, 10);
    auto rightClick = [&] {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QCoreApplication::sendEvent(viewport, &event);
    };
    rightClick();
    EXPECT_FALSE(window->RecordsPage()->Menu()->isVisible());
    Select(0);
    rightClick();
    EXPECT_TRUE(window->RecordsPage()->Menu()->isVisible());
    window->RecordsPage()->Menu()->hide();
    // The keyboard's context-menu key reaches the same handler.
    QContextMenuEvent key(QContextMenuEvent::Keyboard, at, viewport->mapToGlobal(at));
    QCoreApplication::sendEvent(viewport, &key);
    EXPECT_TRUE(window->RecordsPage()->Menu()->isVisible());
    window->RecordsPage()->Menu()->hide();
}

TEST_F(RecordListTest, ViewReplacesTheGridAndShowsTheListTab)
{
    Write("1543910400.txt", "old|1|2|");
    Write("1543996800.txt", "new|3|4|");
    Grid().AppendRows({{"1", "shown", "0", "0"}, {"2", "shown", "0", "0"}});
    controller->FillRecordList();
    Tabs()->setCurrentIndex(3);
    Select(0);
    Trigger("查看");
    ASSERT_EQ(Grid().RowCount(), 1);
    EXPECT_EQ(Row(0), (std::vector<std::string>{"1", "old", "1", "2"}));
    EXPECT_EQ(Tabs()->currentIndex(), 0);
    EXPECT_FALSE(test::TestSession().resultsChanged);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root.Dirs().dbDir), {}), 2);
}

TEST_F(RecordListTest, ViewFitsFieldsToTodaysColumns)
{
    Write("1543910400.txt", "two|1|2|\r\nthree|1|2|3|");
    controller->FillRecordList();
    window->ListPage()->AddGridColumn("Z", 60, Qt::AlignHCenter); // three sites now
    Select(0);
    controller->ViewRecord();
    ASSERT_EQ(Grid().RowCount(), 2);
    EXPECT_EQ(Row(0), (std::vector<std::string>{"1", "two", "1", "2", ""}));
    EXPECT_EQ(Row(1), (std::vector<std::string>{"2", "three", "1", "2", "3"}));
}

TEST_F(RecordListTest, FewerColumnsDropSurplusFields)
{
    Write("1543910400.txt", "four|1|2|3|4|");
    controller->FillRecordList();
    Select(0);
    controller->ViewRecord();
    ASSERT_EQ(Grid().RowCount(), 1);
    EXPECT_EQ(Row(0), (std::vector<std::string>{"1", "four", "1", "2"}));
}

TEST_F(RecordListTest, ViewingANameWithTwoDotsLooksForTheShortNameAndEmptiesTheGrid)
{
    Write("a.b.txt", "x|1|2|");
    Grid().AppendRows({{"1", "shown", "0", "0"}});
    controller->FillRecordList();
    ASSERT_EQ(List()->topLevelItemCount(), 1);
    EXPECT_EQ(ListRow(0)[1], "a");
    Select(0);
    controller->ViewRecord();
    EXPECT_EQ(Grid().RowCount(), 0);
    EXPECT_TRUE(messages.Texts().isEmpty());
}

TEST_F(RecordListTest, ViewingWithoutASelectionChangesNothing)
{
    Write("1543910400.txt", "old|1|2|");
    Grid().AppendRows({{"1", "shown", "0", "0"}});
    controller->FillRecordList();
    controller->ViewRecord();
    EXPECT_EQ(Grid().RowCount(), 1);
}

TEST_F(RecordListTest, ViewingAfterACaptureSavesTheUnsavedResultsFirst)
{
    ViewAnOlderRecordAfterACapture();
    // 2018-12-06 08:00:00 local from 1970-01-01 08:00:00 local.
    EXPECT_EQ(TempSession::ReadBytes(root.Dirs().dbDir / "1544054400.txt"), "captured|7|8|");
    EXPECT_FALSE(test::TestSession().resultsChanged);
    EXPECT_EQ(Row(0), (std::vector<std::string>{"1", "old", "1", "2"}));
    ASSERT_EQ(List()->topLevelItemCount(), 2);
    EXPECT_EQ(ListRow(1)[1], "1544054400");
}

// The crossings a run's notices left are saved in the record's change, once.
TEST_F(RecordListTest, TheAlertStateOfARunIsSavedWithItsRecord)
{
    SetClockForTests([] { return LocalDateTime{2018, 12, 6, 8, 0, 0, 0}; });
    Grid().AppendRows({{"1", "captured", "7", "8"}});
    const std::string crossed = "[alert1]\r\nproduct=captured\r\ntarget=9\r\nbelow1=X\r\n";
    test::TestSession().alertsAfterRun = crossed;
    std::filesystem::path saved;
    ASSERT_TRUE(controller->SaveResults(&saved));
    EXPECT_EQ(saved.filename(), "1544054400.txt");
    EXPECT_EQ(TempSession::ReadBytes(root.Dirs().dbDir / "alerts.ini"), crossed);
    EXPECT_FALSE(test::TestSession().alertsAfterRun);
    TempSession::WriteBytes(root.Dirs().dbDir / "alerts.ini", "");
    ASSERT_TRUE(controller->SaveResults());
    EXPECT_EQ(TempSession::ReadBytes(root.Dirs().dbDir / "alerts.ini"), "") << "not written again";
    EXPECT_TRUE(messages.Texts().isEmpty());
}

TEST_F(RecordListTest, UnsavableResultsAreKeptOnScreenAndReported)
{
    Write("1543910400.txt", "old|1|2|");
    controller->FillRecordList();
    Grid().AppendRows({{"1", "captured", "7", "8"}});
    test::TestSession().resultsChanged = true;
    Select(0);
    std::filesystem::remove_all(root.Dirs().dbDir);
    controller->ViewRecord();
    EXPECT_EQ(messages.Texts().size(), 1);
    EXPECT_TRUE(test::TestSession().resultsChanged);
    EXPECT_EQ(Row(0)[1], "captured");
}

TEST_F(RecordListTest, DoubleClickOrEnterOnARecordViewsIt)
{
    Write("1543910400.txt", "old|1|2|");
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const std::function<void()> gestures[] = {
        [&] {
            const QRect row = List()->visualItemRect(List()->topLevelItem(0));
            // A double-click is a press and release, then the second press.
            QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, row.center());
            QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, row.center());
        },
        [&] {
            Select(0);
            List()->setFocus();
            QTest::keyClick(List(), Qt::Key_Return);
        },
    };
    for (const auto &gesture : gestures) {
        SCOPED_TRACE(testing::Message() << "row " << (&gesture - &*std::begin(gestures)));
        Grid().ClearRows();
        Grid().SetShowsOlderRecord(false);
        controller->RefreshRecordList();
        Tabs()->setCurrentIndex(3);
        QCoreApplication::processEvents(); // the list lays out its rows
        gesture();
        ASSERT_EQ(Grid().RowCount(), 1) << (&gesture - gestures);
        EXPECT_EQ(Row(0)[1], "old");
        EXPECT_EQ(Tabs()->currentIndex(), 0);
    }
}

TEST_F(RecordListTest, AnOlderRecordShowsItsBannerAndTheCurrentResultsComeBack)
{
    Write("1543910400.txt", "old|1|2|");
    Write("1543996800.txt", "older still|3|4|");
    Grid().AppendRows({{"1", "today", "5", "6"}, {"2", "today 2", "", ""}});
    controller->FillRecordList();
    window->show();
    QWidget *banner = window->ListPage()->OlderRecordBanner();
    EXPECT_FALSE(banner->isVisible());

    Select(0);
    controller->ViewRecord();
    ASSERT_TRUE(banner->isVisible());
    const QString time = FromGbk(StampToDisplayTime("1543910400"));
    EXPECT_EQ(banner->findChild<QLabel *>()->text(), QStringLiteral("正在查看 ") + time + QStringLiteral(" 的记录"));

    // A second older record: the current results are still the ones kept.
    Select(1);
    controller->ViewRecord();
    EXPECT_EQ(Row(0)[1], "older still");
    banner->findChild<QPushButton *>(QStringLiteral("返回当前结果"))->click();
    EXPECT_FALSE(banner->isVisible());
    EXPECT_FALSE(Grid().ShowsOlderRecord());
    ASSERT_EQ(Grid().RowCount(), 2);
    EXPECT_EQ(Row(0), (std::vector<std::string>{"1", "today", "5", "6"}));
    EXPECT_EQ(Row(1)[1], "today 2");
}

TEST_F(RecordListTest, TheBannerGoesWhenARunShowsCurrentResults)
{
    Write("1543910400.txt", "old|1|2|");
    controller->FillRecordList();
    window->show();
    Select(0);
    controller->ViewRecord();
    Grid().SetShowsOlderRecord(false); // as a capture run does when it rebuilds the grid
    EXPECT_FALSE(window->ListPage()->OlderRecordBanner()->isVisible());
}

// Results saved under the rules X, Y; the rules are swapped and the program
// started again: 查看 puts each price under its own shop.
TEST_F(RecordListTest, ViewingARecordOfOtherRulesShowsPricesUnderTheirShops)
{
    ViewAnOlderRecordAfterACapture();

    MainWindow swapped;
    for (const char *title : {"Y", "X"})
        swapped.ListPage()->AddGridColumn(title, 60, Qt::AlignHCenter);
    auto *restarted = new RecordListController(&swapped, test::TestSession());
    restarted->FillRecordList();
    QTreeWidget *list = swapped.RecordsPage()->List();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    list->setCurrentItem(list->topLevelItem(1));
    restarted->ViewRecord();
    const ProductGridModel &grid = *swapped.ListPage()->Grid();
    ASSERT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(grid.Rows()[0], (std::vector<std::string>{"1", "captured", "8", "7"}));
}
