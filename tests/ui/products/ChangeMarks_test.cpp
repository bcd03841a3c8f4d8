// The change marks of the product grid: drawn by the view against the record
// before, after a viewed record and at the end of a run.
#include "common/TestSupport.h"
#include "products/ProductGridModel.h"
#include "products/RecordFile.h"
#include "products/RecordStamp.h"
#include "support/Gbk.h"
#include "ui/MainWindow.h"
#include "ui/capture/CaptureRunController.h"
#include "ui/pages/ProductListPage.h"
#include "ui/pages/RecordListPage.h"
#include "ui/products/ChangeMarksController.h"
#include "ui/products/PriceChangeDelegate.h"
#include "ui/products/RecordListController.h"

#include <QHeaderView>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTreeView>
#include <QTreeWidget>

#include <algorithm>
#include <ranges>

#include <gtest/gtest.h>

using namespace corvix;
using corvix::test::MessageRecorder;
using corvix::test::TempSession;

namespace {

class ChangeMarksTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<MainWindow>();
        for (const char *title : {"X", "Y"})
            window->ListPage()->AddGridColumn(title, 60, Qt::AlignHCenter);
        run = new CaptureRunController(window.get(), test::TestSession());
        records = new RecordListController(window.get(), test::TestSession());
        marks = new ChangeMarksController(window.get(), test::TestSession(), run, records);
        Write("1543910400.txt", Gbk("A|10|￥20|\r\nB|5|-|"));
        Write("1543996800.txt", Gbk("B|5|5|\r\nA|1,299.00|18|\r\nC|1|1|"));
        records->FillRecordList();
    }

    void Write(const char *name, const std::string &bytes) { TempSession::WriteBytes(root.Dirs().dbDir / name, bytes); }
    ProductGridModel &Grid() { return *window->ListPage()->Grid(); }
    void View(int record)
    {
        QTreeWidget *list = window->RecordsPage()->List();
        list->setCurrentItem(list->topLevelItem(record));
        test::TriggerAction(*window->RecordsPage()->Menu(), QStringLiteral("查看"));
    }
    // The cell as the view draws it: its text and colour.
    std::pair<QString, QColor> Drawn(int row, int column)
    {
        QStyleOptionViewItem option;
        option.palette.setColor(QPalette::Text, Qt::black);
        marks->Delegate()->initStyleOption(&option, Grid().index(row, column));
        return {option.text, option.palette.color(QPalette::Text)};
    }
    QString Tip(int row, int column) { return marks->Delegate()->ChangeToolTip(Grid().index(row, column)); }

    TempSession root;
    MessageRecorder messages;
    std::unique_ptr<MainWindow> window;
    CaptureRunController *run = nullptr;
    RecordListController *records = nullptr;
    ChangeMarksController *marks = nullptr;
};

} // namespace

TEST_F(ChangeMarksTest, AViewedRecordIsMarkedAgainstTheOneBeforeIt)
{
    View(1);
    ASSERT_EQ(Grid().Text(1, 1), "A");
    EXPECT_EQ(window->ListPage()->GridView()->itemDelegate(), marks->Delegate());
    const QColor black(Qt::black);
    struct Case {
        int row, column;
        QString text;
        QColor colour;
        QString tip;
    };
    const QString time = FromGbk(StampToDisplayTime("1543910400"));
    const Case cases[] = {
        {1, 2, "↑1,299.00", PriceChangeDelegate::kHigher, "上次：10（" + time + "）"},
        {1, 3, "↓18", PriceChangeDelegate::kLower, "上次：￥20（" + time + "）"},
        {0, 2, "5", black, "上次：5（" + time + "）"}, // the same price: no mark
        {0, 3, "5", black, ""},                     // "-" before: not compared
        {2, 2, "1", black, ""},                     // not in the record before
        {1, 1, "A", black, ""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Drawn(c.row, c.column), std::make_pair(c.text, c.colour)) << c.row << "," << c.column;
        EXPECT_EQ(Tip(c.row, c.column), c.tip) << c.row << "," << c.column;
    }
    // The model's texts stay as the record has them.
    EXPECT_EQ(Grid().data(Grid().index(1, 2), Qt::DisplayRole).toString(), "1,299.00");
    EXPECT_EQ(TempSession::ReadBytes(root.Dirs().dbDir / "1543996800.txt"), Gbk("B|5|5|\r\nA|1,299.00|18|\r\nC|1|1|"));

    // The first record has none before it.
    View(0);
    EXPECT_EQ(Drawn(0, 2).first, "10");
}

TEST_F(ChangeMarksTest, ARunClearsTheMarksUntilItEndsThenComparesWithTheNewestRecord)
{
    View(1);
    emit run->runStarted(false);
    EXPECT_EQ(Drawn(1, 2).first, "1,299.00");
    Grid().ClearRows();
    Grid().AppendRows({{"1", "A", "1300", "1300"}});
    emit run->runEnded();
    EXPECT_EQ(Drawn(0, 2), std::make_pair(QString("↑1300"), PriceChangeDelegate::kHigher));
    EXPECT_EQ(Tip(0, 2), "上次：1,299.00（" + FromGbk(StampToDisplayTime("1543996800")) + "）");
}

TEST_F(ChangeMarksTest, ARetryOverARestoredRecordComparesWithTheOneBeforeIt)
{
    // As at start-up: the newest record restored into the grid.
    LoadRecordIntoGrid(root.Dirs().dbDir / "1543996800.txt", Grid());
    marks->GridLoadedFrom("1543996800");
    emit run->runStarted(true);
    emit run->runEnded();
    EXPECT_EQ(Drawn(1, 2).first, "↑1,299.00");
    // A deleted row moves the rows below it; their marks move with them.
    Grid().RemoveRow(0);
    EXPECT_EQ(Drawn(0, 3).first, "↓18");
}

// 1543910400 was saved after 1543996800, with the clock set back a day: a run
// compares with it, and a retry over it with the one saved before it.
TEST_F(ChangeMarksTest, AfterTheClockWentBackTheRecordSavedLastIsTheOneBefore)
{
    Write("lastsaved.ini",
          "[lastsaved]\r\nrecord=1543910400.txt\r\nbefore=1543996800.txt\r\nlatest=1543996800.txt\r\n");
    const auto saved = [](const char *name) { return FromGbk(StampToDisplayTime(name)); };
    emit run->runStarted(false);
    Grid().AppendRows({{"1", "A", "1300", "1300"}});
    emit run->runEnded();
    EXPECT_EQ(Tip(0, 2), "上次：10（" + saved("1543910400") + "）");

    Grid().ClearRows();
    LoadRecordIntoGrid(root.Dirs().dbDir / "1543910400.txt", Grid());
    marks->GridLoadedFrom("1543910400");
    emit run->runStarted(true);
    emit run->runEnded();
    EXPECT_EQ(Tip(0, 2), "上次：1,299.00（" + saved("1543996800") + "）");
}

TEST_F(ChangeMarksTest, BackFromAViewedRecordTheRestoredOneIsMarkedAgain)
{
    LoadRecordIntoGrid(root.Dirs().dbDir / "1543996800.txt", Grid());
    marks->GridLoadedFrom("1543996800");
    View(0);
    window->ListPage()->OlderRecordBanner()->findChild<QPushButton *>(QStringLiteral("返回当前结果"))->click();
    EXPECT_EQ(marks->ShownRecord(), "1543996800");
    EXPECT_EQ(Drawn(1, 2).first, "↑1,299.00");
}

// As at start-up: the newest record restored into the grid's 60 px columns.
TEST_F(ChangeMarksTest, ARestoredRecordIsMarkedAgainstTheOneBeforeItWholeAndReadableWhenSelected)
{
    LoadRecordIntoGrid(root.Dirs().dbDir / "1543996800.txt", Grid());
    marks->GridLoadedFrom("1543996800");
    EXPECT_EQ(Drawn(1, 2), std::make_pair(QString("↑1,299.00"), PriceChangeDelegate::kHigher));
    const QTreeView *view = window->ListPage()->GridView();
    EXPECT_GT(view->header()->sectionSize(2), view->fontMetrics().horizontalAdvance("↑1,299.00") + 4);
    EXPECT_EQ(view->header()->sectionSize(3), 60); // "↓18" fits already
    // Drawn selected, the mark keeps its red: not white on the selection.
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.rect = QRect(0, 0, 100, 24);
    option.state |= QStyle::State_Selected | QStyle::State_Active;
    QImage image(option.rect.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    marks->Delegate()->paint(&painter, option, Grid().index(1, 2));
    painter.end();
    const auto red = [&image](int i) {
        const QRgb p = image.pixel(i % 100, i / 100);
        return qRed(p) > 150 && qGreen(p) < 80 && qBlue(p) < 80;
    };
    EXPECT_GT(std::ranges::count_if(std::views::iota(0, 2400), red), 10);
}
