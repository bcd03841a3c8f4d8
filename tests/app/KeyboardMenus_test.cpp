// Keyboard users reach every pop-up menu of the main window: the context-menu
// key (or Shift+F10) on a list view with a selected row opens the same menu,
// with the same enabled states, as a right-click; without a selected row it
// opens nothing. A right-click opens a menu only over a row.
#include "app/StartUp.h"

#include "common/TestSupport.h"
#include "products/ProductGridModel.h"
#include "support/Gbk.h"
#include "ui/MainWindow.h"
#include "ui/pages/ProductListPage.h"
#include "ui/pages/RecordListPage.h"
#include "ui/pages/RuleListPage.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QItemSelectionModel>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <filesystem>

using namespace corvix;
namespace fs = std::filesystem;

namespace {

class KeyboardMenus : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ResetTestSession();
        const fs::path root(dir_.path().toStdU16String());
        fs::create_directories(root / "varnwick" / "class");
        fs::create_directories(root / "varnwick" / "db");
        fs::create_directories(root / "varnwick" / "spider");
        test::TempSession::WriteBytes(root / "varnwick" / "class" / "orlist.txt", "Custom\r\nBuiltIn");
        test::TempSession::WriteBytes(root / "varnwick" / "spider" / "Custom.spider.cfg",
                                       "[fixed]0[/fixed]\r\n[open]1[/open]");
        test::TempSession::WriteBytes(root / "varnwick" / "spider" / "BuiltIn.spider.cfg",
                                       "[fixed]1[/fixed]\r\n[open]1[/open]");
        test::TempSession::WriteBytes(root / "varnwick" / "db" / "1600000000.txt", "a|1|2|\r\nb|3|4|");
        shell_ = std::make_unique<AppShell>(StartUpOptions{root, root / "fallback", {}});
        shell_->Show();
        window_ = shell_->Window();
    }

    void TearDown() override
    {
        for (QMenu *m : {window_->ListPage()->GridMenu(), window_->RulesPage()->Menu(), window_->RecordsPage()->Menu()})
            m->hide();
        shell_.reset();
    }

    static void PressContextMenuKey(QAbstractItemView *view)
    {
        view->setFocus();
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5), view->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(view, &event);
    }

    static void RightClick(QAbstractItemView *view, const QPoint &at)
    {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view->viewport(), &event);
    }

    static void Select(QAbstractItemView *view, int row)
    {
        view->selectionModel()->setCurrentIndex(view->model()->index(row, 0),
                                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    QTabWidget *Tabs() const { return window_->findChild<QTabWidget *>(QStringLiteral("选择夹1")); }

    static bool Enabled(QMenu *menu, const char *item)
    {
        auto *a = menu->findChild<QAction *>(QString::fromUtf8(item));
        return a && a->isEnabled();
    }

    test::MessageRecorder messages_;
    QTemporaryDir dir_;
    std::unique_ptr<AppShell> shell_;
    MainWindow *window_ = nullptr;
};

} // namespace

TEST_F(KeyboardMenus, ProductGridMenuOpensOnlyWithASelectedRow)
{
    Tabs()->setCurrentIndex(0);
    PressContextMenuKey(window_->ListPage()->GridView());
    EXPECT_FALSE(window_->ListPage()->GridMenu()->isVisible());

    Select(window_->ListPage()->GridView(), 1);
    PressContextMenuKey(window_->ListPage()->GridView());
    EXPECT_TRUE(window_->ListPage()->GridMenu()->isVisible());
    window_->ListPage()->GridMenu()->hide();

    QTest::keyClick(window_->ListPage()->GridView(), Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_TRUE(window_->ListPage()->GridMenu()->isVisible());
}

TEST_F(KeyboardMenus, RuleMenuKeepsTheStatesOfTheRightClick)
{
    Tabs()->setCurrentIndex(1); // fills the rule list
    QTreeWidget *rules = window_->RulesPage()->List();
    ASSERT_EQ(rules->topLevelItemCount(), 2);

    PressContextMenuKey(rules);
    EXPECT_FALSE(window_->RulesPage()->Menu()->isVisible()) << "no menu without a selected row";

    Select(rules, 1); // built-in
    PressContextMenuKey(rules);
    ASSERT_TRUE(window_->RulesPage()->Menu()->isVisible());
    EXPECT_FALSE(Enabled(window_->RulesPage()->Menu(), "删除"));
    EXPECT_FALSE(Enabled(window_->RulesPage()->Menu(), "启用/关闭"));
    EXPECT_TRUE(Enabled(window_->RulesPage()->Menu(), "编辑"));
    EXPECT_TRUE(Enabled(window_->RulesPage()->Menu(), "测试"));
    window_->RulesPage()->Menu()->hide();

    Select(rules, 0); // custom
    QTest::keyClick(rules, Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(window_->RulesPage()->Menu()->isVisible());
    EXPECT_TRUE(Enabled(window_->RulesPage()->Menu(), "删除"));
    EXPECT_TRUE(Enabled(window_->RulesPage()->Menu(), "启用/关闭"));
}

TEST_F(KeyboardMenus, RecordMenuOpensOnlyWithASelectedRow)
{
    Tabs()->setCurrentIndex(3);
    QTreeWidget *records = window_->RecordsPage()->List();
    ASSERT_EQ(records->topLevelItemCount(), 1);
    PressContextMenuKey(records);
    EXPECT_FALSE(window_->RecordsPage()->Menu()->isVisible());

    Select(records, 0);
    PressContextMenuKey(records);
    EXPECT_TRUE(window_->RecordsPage()->Menu()->isVisible());
}

TEST_F(KeyboardMenus, RightClickOnEmptyListSpaceOpensNoMenu)
{
    Tabs()->setCurrentIndex(1); // fills the rule list
    QAbstractItemView *views[] = {window_->ListPage()->GridView(), window_->RulesPage()->List(),
                                  window_->RecordsPage()->List()};
    QMenu *menus[] = {window_->ListPage()->GridMenu(), window_->RulesPage()->Menu(), window_->RecordsPage()->Menu()};
    for (int i : {0, 1, 2}) {
        Tabs()->setCurrentIndex(i == 2 ? 3 : i);
        QApplication::processEvents();
        Select(views[i], 0);
        const QPoint belowRows(5, views[i]->viewport()->height() - 3);
        ASSERT_FALSE(views[i]->indexAt(belowRows).isValid());
        RightClick(views[i], belowRows);
        EXPECT_FALSE(menus[i]->isVisible()) << i;
        RightClick(views[i], views[i]->visualRect(views[i]->model()->index(0, 1)).center());
        EXPECT_TRUE(menus[i]->isVisible()) << i;
        menus[i]->hide();
    }
}
