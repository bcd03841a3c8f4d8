// The price history window: the chart and the table of one product over the
// record files, opened from "列表操作", and its export.
#include "common/TestSupport.h"
#include "products/ChartAxes.h"
#include "products/PriceHistoryLoader.h"
#include "products/RecordStamp.h"
#include "products/WorkbookReader.h"
#include "support/Gbk.h"
#include "ui/FileDialogs.h"
#include "ui/UiSettings.h"
#include "ui/MainWindow.h"
#include "ui/pages/ProductListPage.h"
#include "ui/products/ExportController.h"
#include "ui/products/PriceHistoryController.h"
#include "ui/products/PriceHistoryWindow.h"

#include <QCategoryAxis>
#include <QDir>
#include <QFileInfo>
#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QValueAxis>

#include <gtest/gtest.h>

using namespace corvix;
using corvix::test::MessageRecorder;
using corvix::test::TempSession;

namespace {

const char *const kRecords[] = {"1543910400", "1543996800", "1544083200"};

class PriceHistoryWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto db = root.Dirs().dbDir;
        TempSession::WriteBytes(db / "1543910400.txt", Gbk("A|10|￥20|\r\nB|5|5|"));
        TempSession::WriteBytes(db / "1543996800.txt", Gbk("A|获取失败|21|"));
        TempSession::WriteBytes(db / "1544083200.txt", "A|1,100.00||");
        loader.Start(db);
    }
    void TearDown() override { SetSaveDialogHandlerForTests(nullptr); }

    static double X(int record) { return static_cast<double>(RecordDateTime(kRecords[record])->toMSecsSinceEpoch()); }
    static QLineSeries *Line(const PriceHistoryWindow &w, int s)
    {
        return static_cast<QLineSeries *>(w.Chart()->series().at(s));
    }
    static QList<QPointF> Points(const PriceHistoryWindow &w, int s) { return Line(w, s)->points(); }
    static QString Cell(const PriceHistoryWindow &w, int row, int column)
    {
        const QTableWidgetItem *item = w.Table()->item(row, column);
        return item ? item->text() : QString();
    }

    TempSession root;
    MessageRecorder messages;
    PriceHistoryLoader loader;
    const std::vector<std::string> shops{Gbk("京东"), Gbk("天猫")};
};

// The history of record files (name, bytes), loaded, for a window of one shop.
struct LoadedHistory {
    explicit LoadedHistory(std::initializer_list<std::pair<const char *, const char *>> records)
    {
        for (const auto &[name, bytes] : records)
            TempSession::WriteBytes(root.Dirs().dbDir / name, bytes);
        loader.Start(root.Dirs().dbDir);
        loader.WaitUntilReady();
    }
    TempSession root;
    PriceHistoryLoader loader;
};

} // namespace

TEST_F(PriceHistoryWindowTest, WaitsForTheIndexThenShowsALinePerShopAndTheTable)
{
    PriceHistoryWindow w("A", shops, loader);
    if (!loader.IsReady()) {
        EXPECT_EQ(w.Chart()->title(), "正在读取记录……");
        EXPECT_EQ(w.Table()->rowCount(), 0);
    }
    loader.WaitUntilReady();

    EXPECT_EQ(w.Chart()->title(), "A");
    // 京东 failed in the second record: its line breaks there, in one colour
    // and with one entry in the legend.
    ASSERT_EQ(w.Chart()->series().size(), 3);
    EXPECT_EQ(w.Chart()->series().at(0)->name(), "京东");
    EXPECT_EQ(w.Chart()->series().at(2)->name(), "天猫");
    EXPECT_EQ(Points(w, 0), (QList<QPointF>{{X(0), 10}}));
    EXPECT_EQ(Points(w, 1), (QList<QPointF>{{X(2), 1100}}));
    EXPECT_EQ(Points(w, 2), (QList<QPointF>{{X(0), 20}, {X(1), 21}}));
    EXPECT_EQ(Line(w, 1)->color(), Line(w, 0)->color());
    EXPECT_FALSE(w.Chart()->legend()->markers(Line(w, 1)).at(0)->isVisible());
    EXPECT_TRUE(Line(w, 0)->pointsVisible());
    EXPECT_EQ(w.Chart()->axes(Qt::Horizontal).at(0)->type(), QAbstractAxis::AxisTypeDateTime);

    // Prices as the shops wrote them.
    const QStringList expected[] = {{"10", "￥20"}, {"获取失败", "21"}, {"1,100.00", ""}};
    ASSERT_EQ(w.Table()->rowCount(), 3);
    ASSERT_EQ(w.Table()->columnCount(), 2);
    EXPECT_EQ(w.Table()->horizontalHeaderItem(1)->text(), "天猫");
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(w.Table()->verticalHeaderItem(r)->text(), FromGbk(StampToDisplayTime(kRecords[r])));
        EXPECT_EQ((QStringList{Cell(w, r, 0), Cell(w, r, 1)}), expected[r]) << r;
    }
    // The tooltip names the point nearest to the pointer.
    EXPECT_EQ(w.PointToolTip(1, X(2) - 1000),
              QStringLiteral("京东\n") + FromGbk(StampToDisplayTime(kRecords[2])) + QStringLiteral("：1,100.00"));
    EXPECT_EQ(w.accessibleName(), "价格走势：A");
    EXPECT_EQ(w.Table()->accessibleName(), "价格表");
    EXPECT_EQ(w.findChild<QChartView *>()->accessibleName(), "价格走势图");
}

TEST(PriceHistoryWindow, ThePriceAxisFitsThePricesAndZoomsToRoundTicks)
{
    LoadedHistory history({{"1543910400.txt", "A|95|"}, {"1544083200.txt", "A|102|"}});
    PriceHistoryWindow w("A", {Gbk("京东")}, history.loader);
    auto *prices = static_cast<QValueAxis *>(w.Chart()->axes(Qt::Vertical).at(0));
    auto *times = static_cast<QDateTimeAxis *>(w.Chart()->axes(Qt::Horizontal).at(0));
    EXPECT_EQ((std::pair{prices->min(), prices->max()}), (std::pair{94.0, 104.0}));
    EXPECT_EQ(prices->tickInterval(), 2);
    EXPECT_EQ(times->format(), "yyyy-MM-dd");

    w.resize(800, 600);
    w.show();
    w.Chart()->zoomIn(QRectF(w.Chart()->plotArea().center(), QSizeF(10, 10)));
    EXPECT_LT(prices->max() - prices->min(), 1.0);
    EXPECT_EQ(prices->tickInterval(), PriceTicks(prices->min(), prices->max()).step);
    EXPECT_EQ(times->format(), "MM-dd hh:mm");
    EXPECT_EQ(times->min().time().second(), 0);
    EXPECT_EQ(times->min().time().minute() % 5, 0) << times->min().toString().toStdString();
}

TEST_F(PriceHistoryWindowTest, OpensFromTheGridMenuForTheSelectedProduct)
{
    loader.WaitUntilReady();
    MainWindow window;
    ProductListPage *page = window.ListPage();
    for (const std::string &shop : shops)
        page->AddGridColumn(shop, 60, Qt::AlignHCenter);
    page->Grid()->AppendRows({{"1", "B", "6", "6"}, {"2", "A", "7", "7"}});
    new PriceHistoryController(page, loader);
    page->SelectAndShowRow(1);
    test::TriggerAction(*page->GridMenu(), QStringLiteral("价格走势"));
    auto *opened = window.findChild<PriceHistoryWindow *>();
    ASSERT_NE(opened, nullptr);
    EXPECT_TRUE(opened->isVisible());
    EXPECT_EQ(opened->windowTitle(), "价格走势 - A");
    EXPECT_EQ(opened->Table()->rowCount(), 3);
}

TEST_F(PriceHistoryWindowTest, ExportProposesADatedNameInTheLastFolderAndWritesTheTableWithNumbers)
{
    loader.WaitUntilReady();
    PriceHistoryWindow w("A", shops, loader);
    UiSettings settings(QString::fromStdU16String((root.Dir() / "settings.ini").u16string()));
    const QString folder = QString::fromStdU16String(root.Dir().u16string());
    settings.SetLastExportFolder(folder);
    w.KeepExportFolderIn(&settings);
    test::QuestionRecorder questions(0);
    QString proposed;
    const auto target = root.Dir() / "走势" / "走势.xlsx";
    std::filesystem::create_directories(target.parent_path());
    const QString chosen = QString::fromStdU16String(target.u16string());
    SetSaveDialogHandlerForTests([&](const QString &, const QString &, const QString &offered) {
        proposed = offered;
        return chosen;
    });
    w.findChild<QPushButton *>(QStringLiteral("导出"))->click();
    SetSaveDialogHandlerForTests(nullptr);
    EXPECT_FALSE(w.findChild<QPushButton *>(QStringLiteral("导出"))->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&w] { return !w.findChild<ExportRun *>(); }, 60000));
    EXPECT_TRUE(w.findChild<QPushButton *>(QStringLiteral("导出"))->isEnabled());
    EXPECT_EQ(proposed, folder + QStringLiteral("/价格走势-A-") +
                            QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".xlsx"));
    EXPECT_TRUE(messages.Texts().isEmpty()) << messages.Texts().join("\n").toStdString();
    EXPECT_EQ(questions.Texts(), QStringList{QStringLiteral("导出成功：") + QDir::toNativeSeparators(chosen)});
    EXPECT_EQ(settings.LastExportFolder(), QFileInfo(chosen).absolutePath());

    const Sheet sheet = ReadSheet(target);
    EXPECT_EQ(Text(sheet, "A1"), "记录时间");
    EXPECT_EQ(Text(sheet, "B1"), "京东");
    EXPECT_EQ(Text(sheet, "C1"), "天猫");
    EXPECT_EQ(Text(sheet, "A2"), GbkToUtf8(StampToDisplayTime(kRecords[0])));
    EXPECT_EQ(Text(sheet, "B4"), "1100");
    EXPECT_NE(sheet.cells.at("B4").type, "s") << "a price is a number";
    EXPECT_EQ(sheet.cells.count("C4"), 0u);
}

TEST(PriceHistoryWindow, FilesWhoseNamesAreNoTimesAreNoPoints)
{
    LoadedHistory history({{"a.txt", "A|3|"}, {"1600000000.txt", "A|4|"}, {"8640000000000001.txt", "A|5|"}});
    PriceHistoryWindow w("A", {Gbk("京东")}, history.loader);
    ASSERT_EQ(w.Chart()->series().size(), 1);
    const QList<QPointF> points = static_cast<QLineSeries *>(w.Chart()->series().at(0))->points();
    ASSERT_EQ(points.size(), 1);
    EXPECT_EQ(points[0].y(), 4);
}
