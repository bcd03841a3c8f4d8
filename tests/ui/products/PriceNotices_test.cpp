// Price alerts in the window: set in "设置提醒", drawn as a bell, given on the
// desktop after a run through the notifier seam, gone with the deleted row.
#include "common/TestSupport.h"
#include "products/PriceHistoryLoader.h"
#include "products/ProductGridModel.h"
#include "support/Gbk.h"
#include "ui/MainWindow.h"
#include "ui/capture/CaptureRunController.h"
#include "ui/pages/ProductListPage.h"
#include "ui/products/AlertDialog.h"
#include "ui/products/ChangeMarksController.h"
#include "ui/products/DesktopNotifier.h"
#include "ui/products/PriceChangeDelegate.h"
#include "ui/products/PriceNoticesController.h"
#include "ui/products/ProductListController.h"
#include "ui/products/RecordListController.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QTreeView>

#include <gtest/gtest.h>

using namespace corvix;
using corvix::test::TempSession;

namespace {

struct Sent {
    QString title, body;
    std::function<void()> opened;
};

class FakeNotifier : public DesktopNotifier {
public:
    explicit FakeNotifier(std::vector<Sent> &sent) : sent_(sent) {}
    void Notify(const QString &title, const QString &body, std::function<void()> opened) override
    {
        sent_.push_back({title, body, std::move(opened)});
    }

private:
    std::vector<Sent> &sent_;
};

class PriceNoticesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TempSession::WriteBytes(root.Dirs().dbDir / "1543910400.txt", "A|20|18|\r\nB|9|9|");
        window = std::make_unique<MainWindow>();
        for (const char *title : {"X", "Y"})
            window->ListPage()->AddGridColumn(title, 60, Qt::AlignHCenter);
        run = new CaptureRunController(window.get(), test::TestSession());
        auto *records = new RecordListController(window.get(), test::TestSession());
        marks = new ChangeMarksController(window.get(), test::TestSession(), run, records);
        list = new ProductListController(window.get(), test::TestSession());
        history.Start(root.Dirs().dbDir);
        notices = new PriceNoticesController(window.get(), test::TestSession(), run, marks, history,
                                             std::make_unique<FakeNotifier>(sent));
        Grid().AppendRows({{"1", "A", "12", "18"}, {"2", "B", "9", "9"}});
    }
    ProductGridModel &Grid() { return *window->ListPage()->Grid(); }
    QTreeView *View() { return window->ListPage()->GridView(); }
    void Select(int row) { window->ListPage()->SelectAndShowRow(row); }
    void SetTarget(int row, double target)
    {
        Select(row);
        AlertDialog *dialog = notices->SetAlert();
        ASSERT_NE(dialog, nullptr);
        dialog->TargetBox()->setChecked(true);
        dialog->Target()->setValue(target);
        dialog->accept();
    }
    void RunEnds()
    {
        emit run->runStarted(true);
        emit run->runEnded();
    }

    TempSession root;
    test::MessageRecorder messages;
    test::QuestionRecorder questions;
    std::unique_ptr<MainWindow> window;
    CaptureRunController *run = nullptr;
    ChangeMarksController *marks = nullptr;
    ProductListController *list = nullptr;
    PriceHistoryLoader history;
    PriceNoticesController *notices = nullptr;
    std::vector<Sent> sent;
};

} // namespace

TEST_F(PriceNoticesTest, ARunUnderTheTargetNotifiesOnceAndTheNoticeOpensItsRow)
{
    SetTarget(0, 15);
    RunEnds();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].body.toStdString(), "A | X | 20 → 12（低于目标 15 元，比上次低 40.0%，历史最低）");
    EXPECT_TRUE(marks->Delegate()->ChangeToolTip(Grid().index(0, 2)).contains(QStringLiteral("历史最低")));
    Select(1);
    sent[0].opened();
    EXPECT_EQ(window->ListPage()->SelectedRow(), 0);

    RunEnds(); // still under: told already
    EXPECT_EQ(sent.size(), 1u);
}

TEST_F(PriceNoticesTest, TheDropFilterShowsOnlyTheRowsWithALowerPrice)
{
    RunEnds();
    window->ListPage()->DropFilter()->setChecked(true);
    EXPECT_FALSE(View()->isRowHidden(0, {}));
    EXPECT_TRUE(View()->isRowHidden(1, {}));
    window->ListPage()->DropFilter()->setChecked(false);
    EXPECT_FALSE(View()->isRowHidden(1, {}));
}

TEST_F(PriceNoticesTest, TheBellGoesWithTheDeletedRowAndComesBackWithTheUndo)
{
    SetTarget(0, 15);
    const auto bell = [this] { return marks->Delegate()->AlertMarked(Grid().index(0, 1)); };
    EXPECT_TRUE(bell());
    EXPECT_NE(TempSession::ReadBytes(AlertsFilePath(root.Dirs())).find("product=A\r\ntarget=15\r\n"), std::string::npos);

    Select(0);
    list->DeleteProductRow();
    EXPECT_TRUE(PriceAlerts::Load(AlertsFilePath(root.Dirs())).All().empty());
    EXPECT_FALSE(bell()); // row 0 is B now
    list->UndoDelete();
    EXPECT_EQ(PriceAlerts::Load(AlertsFilePath(root.Dirs())).Find("A", "")->target, 15);
    EXPECT_TRUE(bell());
}
