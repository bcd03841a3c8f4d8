// The rule list on the tab "采集管理": filling, row colours, the menu and its
// items "启用/关闭", "删除", "编辑" and "测试".
#include "RuleUiFixture.h"

#include "support/DataRoot.h"
#include "common/FullDisk.h"

#include "products/ProductGridModel.h"
#include "ui/pages/ProductListPage.h"
#include "ui/pages/RuleListView.h"
#include "ui/capture/CaptureRunController.h"

#include <QHeaderView>
#include <QTreeView>

#include <QApplication>
#include <QContextMenuEvent>
#include <QImage>
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>

using namespace corvix;
using namespace corvix::test;

namespace {

const RowColours kBlueOnWhite{0xFF0000, 0xFFFFFF};
const RowColours kRedOnWhite{0x0000FF, 0xFFFFFF};
const RowColours kWhiteOnPink{0xFFFFFF, MakeColorRef(255, 80, 128)};

class RuleListTest : public RuleUiTest {
protected:
    ~RuleListTest() override { window.RulesPage()->Menu()->hide(); }

    std::optional<RowColours> Colours(int row, bool selected)
    {
        return list.Colours()->ColoursFor(row, selected);
    }
    std::string Bytes(const char *utf8Title) { return RuleBytes(QString::fromUtf8(utf8Title)); }
    QStringList Column(int column)
    {
        QStringList cells;
        for (int i = 0; i < List()->topLevelItemCount(); ++i)
            cells << Cell(i, column);
        return cells;
    }
    // Three custom rules A (enabled), B (closed), C (enabled).
    void ThreeRules()
    {
        WriteRule("A", RuleText("1", "1"));
        WriteRule("B", RuleText("2", "0"));
        WriteRule("C", RuleText("1", "1"));
        WriteIndex("\r\nA\r\nB\r\nC");
        OpenRuleList();
    }
};

TEST_F(RuleListTest, OpeningTheTabFillsTheListFromIndexAndFiles)
{
    WriteRule("京东", RuleText("1", "1", "1", "2018年05月06日 02时03分09秒"));
    WriteRule("淘宝", "[time]t2[/time]\r\n[fixed]0[/fixed]\r\n[open]0[/open]");
    WriteRule("Odd", "[time]t3[/time][fixed] 1[/fixed][open]yes[/open]");
    WriteRule("Ignored", RuleText("1", "1")); // not in the index
    WriteIndex("\r\n京东\r\n\r\n淘宝\r\n  \r\nNoFile\r\nOdd");
    OpenRuleList();

    ASSERT_EQ(List()->topLevelItemCount(), 4);
    EXPECT_EQ(Column(0), (QStringList{"1", "2", "3", "4"}));
    EXPECT_EQ(Column(1), (QStringList{"京东", "淘宝", "NoFile", "Odd"}));
    EXPECT_EQ(Column(2), (QStringList{"内置", "自定义添加", "自定义添加", "自定义添加"}));
    EXPECT_EQ(Column(3), (QStringList{"启用", "关闭", "关闭", "关闭"}));
    EXPECT_EQ(Column(4), (QStringList{"2018年05月06日 02时03分09秒", "t2", "", "t3"}));
    EXPECT_EQ(Colours(0, false), kBlueOnWhite);
    for (int row : {1, 2, 3})
        EXPECT_EQ(Colours(row, false), kRedOnWhite) << row;
    EXPECT_TRUE(messages.Texts().isEmpty());
}

TEST_F(RuleListTest, RefreshRebuildsTheRows)
{
    ThreeRules();
    WriteRule("D", RuleText("1", "0"));
    WriteIndex("\r\nA\r\nD");
    List()->topLevelItem(0)->setText(3, "关闭");
    MenuItem("刷新")->trigger();
    EXPECT_EQ(Column(1), (QStringList{"A", "D"}));
    EXPECT_EQ(Column(3), (QStringList{"启用", "关闭"}));
    EXPECT_EQ(Colours(1, false), kRedOnWhite);
}

TEST_F(RuleListTest, AnEmptyIndexGivesAnEmptyListAndNoMenu)
{
    OpenRuleList();
    EXPECT_EQ(List()->topLevelItemCount(), 0);
    EXPECT_TRUE(std::filesystem::exists(RuleIndexPath(root.Dirs())));
    list.ShowRuleMenu(QPoint(100, 100), false);
    EXPECT_FALSE(window.RulesPage()->Menu()->isVisible());
}

TEST_F(RuleListTest, NoMenuWithoutASelectedRow)
{
    ThreeRules();
    List()->clearSelection();
    list.ShowRuleMenu(QPoint(100, 100), false);
    EXPECT_FALSE(window.RulesPage()->Menu()->isVisible());
}

TEST_F(RuleListTest, MenuOfABuiltInRuleCannotDeleteOrToggle)
{
    WriteRule("Builtin", RuleText("1", "1", "1"));
    WriteRule("Custom", RuleText("1", "0"));
    WriteIndex("Builtin\r\nCustom");
    OpenRuleList();
    QMenu *menu = window.RulesPage()->Menu();

    SelectRow(0);
    list.ShowRuleMenu(QPoint(100, 120), false);
    ASSERT_TRUE(menu->isVisible());
    EXPECT_EQ(menu->pos(), QPoint(103, 123));
    EXPECT_FALSE(MenuItem("删除")->isEnabled());
    EXPECT_FALSE(MenuItem("启用/关闭")->isEnabled());
    for (const char *item : {"编辑", "测试", "刷新"})
        EXPECT_TRUE(MenuItem(item)->isEnabled()) << item;
    menu->hide();

    SelectRow(1);
    list.ShowRuleMenu(QPoint(50, 60), true);
    ASSERT_TRUE(menu->isVisible());
    EXPECT_EQ(menu->pos(), QPoint(50, 60));
    for (const char *item : {"编辑", "测试", "刷新", "删除", "启用/关闭"})
        EXPECT_TRUE(MenuItem(item)->isEnabled()) << item;
}

TEST_F(RuleListTest, RightClickAndShiftF10OpenTheMenu)
{
    ThreeRules();
    Tabs()->setCurrentIndex(1);
    SelectRow(1);
    QWidget *viewport = List()->viewport();
    const QPoint local = List()->visualItemRect(List()->topLevelItem(1)).center();
    QContextMenuEvent mouse(QContextMenuEvent::Mouse, local, viewport->mapToGlobal(local));
    QApplication::sendEvent(viewport, &mouse);
    EXPECT_TRUE(window.RulesPage()->Menu()->isVisible());
    window.RulesPage()->Menu()->hide();

    QKeyEvent key(QEvent::KeyPress, Qt::Key_F10, Qt::ShiftModifier);
    QApplication::sendEvent(List(), &key);
    EXPECT_TRUE(window.RulesPage()->Menu()->isVisible());
}

TEST_F(RuleListTest, ToggleTwiceFlipsFileCellAndColour)
{
    ThreeRules();
    SelectRow(0);
    MenuItem("启用/关闭")->trigger();
    EXPECT_EQ(RuleField(Bytes("A"), "open"), "0");
    EXPECT_EQ(Bytes("A"), Gbk(RuleText("1", "0")));
    EXPECT_EQ(Cell(0, 3), "关闭");
    EXPECT_EQ(Colours(0, false), kRedOnWhite);

    MenuItem("启用/关闭")->trigger();
    EXPECT_EQ(Bytes("A"), Gbk(RuleText("1", "1")));
    EXPECT_EQ(Cell(0, 3), "启用");
    EXPECT_EQ(Colours(0, false), kBlueOnWhite);
    EXPECT_TRUE(messages.Texts().isEmpty());
    // Only the selected rule changes.
    EXPECT_EQ(Bytes("B"), Gbk(RuleText("2", "0")));
}

TEST_F(RuleListTest, ToggleReplacesEveryPairOfTheCurrentValue)
{
    WriteRule("Twice", "[time]t[/time]\r\n[open]1[/open]\r\n[tb]x[/tb]\r\n[open]1[/open]");
    WriteIndex("Twice");
    OpenRuleList();
    SelectRow(0);
    MenuItem("启用/关闭")->trigger();
    EXPECT_EQ(Bytes("Twice"), "[time]t[/time]\r\n[open]0[/open]\r\n[tb]x[/tb]\r\n[open]0[/open]");
    EXPECT_EQ(Cell(0, 3), "关闭");
}

TEST_F(RuleListTest, ToggleWithoutOpenTagAppendsEnabledWhateverTheCellShows)
{
    for (const char *shown : {"关闭", "启用"}) {
        SCOPED_TRACE(shown);
        WriteRule("NoFlag", "[time]t[/time]\r\n[style]1[/style]");
        WriteIndex("NoFlag");
        OpenRuleList();
        SelectRow(0);
        List()->topLevelItem(0)->setText(3, QString::fromUtf8(shown));
        MenuItem("启用/关闭")->trigger();
        EXPECT_EQ(Bytes("NoFlag"), "[time]t[/time]\r\n[style]1[/style]\r\n[open]1[/open]");
        EXPECT_EQ(Cell(0, 3), "启用");
        EXPECT_EQ(Colours(0, false), kBlueOnWhite);
    }
}

TEST_F(RuleListTest, ToggleDecidesFromTheCellNotTheFile)
{
    ThreeRules();
    SelectRow(0);
    List()->topLevelItem(0)->setText(3, "关闭"); // the file says "[open]1[/open]"
    MenuItem("启用/关闭")->trigger();
    EXPECT_EQ(RuleField(Bytes("A"), "open"), "1");
    EXPECT_EQ(Cell(0, 3), "启用");

    SelectRow(1);
    List()->topLevelItem(1)->setText(3, "启用"); // the file says "[open]0[/open]"
    MenuItem("启用/关闭")->trigger();
    EXPECT_EQ(RuleField(Bytes("B"), "open"), "0");
    EXPECT_EQ(Cell(1, 3), "关闭");
}

TEST_F(RuleListTest, ToggleOfAMissingFileOrAnUnclosedFlagChangesNothingAndSaysSo)
{
    WriteRule("Unclosed", "[time]t[/time]\r\n[open]1\r\n[fixed]0[/fixed]");
    WriteIndex("Gone\r\nUnclosed");
    OpenRuleList();
    for (int row : {0, 1}) {
        SCOPED_TRACE(row);
        messages.Clear();
        SelectRow(row);
        MenuItem("启用/关闭")->trigger();
        EXPECT_EQ(Cell(row, 3), "关闭");
        EXPECT_EQ(Colours(row, false), kRedOnWhite);
        ASSERT_EQ(messages.Texts().size(), 1);
        EXPECT_TRUE(messages.Texts()[0].startsWith(QStringLiteral("启用/关闭失败")));
    }
    EXPECT_FALSE(RuleExists("Gone"));
    EXPECT_EQ(Bytes("Unclosed"), "[time]t[/time]\r\n[open]1\r\n[fixed]0[/fixed]");
}

TEST_F(RuleListTest, EnablingARuleAddsItsColumnAtOnceInIndexOrder)
{
    ThreeRules();
    ProductListPage *page = window.ListPage();
    ProductGridModel &grid = *page->Grid();
    for (const char *title : {"A", "C"}) {
        page->AddShopColumn(title);
        test::TestSession().enabledRules.push_back({title, ParseRule(Gbk(RuleText("1", "1")))});
    }
    grid.AppendRows({{"1", "p", "1.0", "3.0"}, {"2", "q", "1.5", "3.5"}});
    WriteRule("B", RuleText("2", "0", "0", "B's time"));

    SelectRow(0);
    MenuItem("启用/关闭")->trigger(); // A closes: its column stays
    SelectRow(1);
    MenuItem("启用/关闭")->trigger(); // B opens between A and C
    ASSERT_EQ(grid.ColumnCount(), 5);
    EXPECT_EQ(grid.Title(3), "B");
    EXPECT_EQ(grid.Rows(), (std::vector<std::vector<std::string>>{{"1", "p", "1.0", "", "3.0"}, {"2", "q", "1.5", "", "3.5"}}));
    EXPECT_GE(page->GridView()->header()->sectionSize(3), 60);
    const auto &rules = test::TestSession().enabledRules;
    ASSERT_EQ(rules.size(), 3u);
    EXPECT_EQ(rules[0].title, "A");
    EXPECT_TRUE(rules[0].rule.enabled) << "a closed rule keeps its column and its rule until a restart";
    EXPECT_EQ(rules[1].title, "B");
    EXPECT_EQ(rules[1].rule.time, "B's time");
    EXPECT_EQ(rules[2].title, "C");
}

TEST_F(RuleListTest, ColumnsWaitForTheEndOfACaptureRun)
{
    ThreeRules();
    CaptureRunController run(&window, root.State());
    columns.FollowRun(&run);
    emit run.runStarted(false);
    SelectRow(1);
    MenuItem("启用/关闭")->trigger();
    EXPECT_EQ(window.ListPage()->Grid()->ColumnCount(), 2);
    emit run.runEnded();
    ASSERT_EQ(window.ListPage()->Grid()->ColumnCount(), 5);
    EXPECT_EQ(window.ListPage()->Grid()->Title(3), "B");
    EXPECT_EQ(test::TestSession().enabledRules.size(), 3u);
}

TEST_F(RuleListTest, DeletingTheSecondOfThreeKeepsTheOtherIds)
{
    ThreeRules();
    SelectRow(1);
    MenuItem("删除")->trigger();
    EXPECT_EQ(messages.Texts(), QStringList{QStringLiteral("删除规则成功！")});
    EXPECT_EQ(Column(0), (QStringList{"1", "3"}));
    EXPECT_EQ(Column(1), (QStringList{"A", "C"}));
    EXPECT_FALSE(RuleExists("B"));
    EXPECT_EQ(IndexTitles(), (std::vector<std::string>{"A", "C"}));
    // C keeps its own colour as it moves up into the place of B.
    EXPECT_EQ(Colours(0, false), kBlueOnWhite);
    EXPECT_EQ(Colours(1, false), kBlueOnWhite);
    MenuItem("刷新")->trigger();
    EXPECT_EQ(Column(0), (QStringList{"1", "2"}));
    EXPECT_EQ(Colours(1, false), kBlueOnWhite);
}

TEST_F(RuleListTest, DeletingARuleWhoseFileIsGoneStillSucceeds)
{
    WriteIndex("A\r\nGone");
    WriteRule("A", RuleText("1", "1"));
    OpenRuleList();
    SelectRow(1);
    MenuItem("删除")->trigger();
    EXPECT_EQ(messages.Texts(), QStringList{QStringLiteral("删除规则成功！")});
    EXPECT_EQ(IndexTitles(), std::vector<std::string>{"A"});
    EXPECT_EQ(Column(1), QStringList{"A"});
}

TEST_F(RuleListTest, AFileThatCannotBeDeletedIsReportedAndKept)
{
    ThreeRules();
    // A directory where the rule file should be cannot be deleted as a file.
    std::filesystem::remove(RuleFilePath(root.Dirs(), "B"));
    std::filesystem::create_directories(RuleFilePath(root.Dirs(), "B") / "inside");
    SelectRow(1);
    MenuItem("删除")->trigger();
    ASSERT_EQ(messages.Texts().size(), 1);
    EXPECT_TRUE(messages.Texts()[0].startsWith(QStringLiteral("删除规则失败")));
    EXPECT_EQ(IndexTitles(), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(Column(1), (QStringList{"A", "B", "C"}));
}

TEST_F(RuleListTest, WritesOnAFullDiskSaySoAndChangeNothing)
{
    FullDisk disk;
    test::TestSession().dirs = PrepareDataRoot(disk.Dir(), {}).dirs;
    ThreeRules();
    // An index larger than the rule file a delete frees, so that its rewrite
    // finds no room either.
    std::string index = "A\r\nB\r\nC";
    for (int i = 0; i < 400; ++i)
        index += "\r\nNoFile" + std::to_string(i);
    WriteIndex(index);
    disk.Fill();
    const auto expectKept = [&](const QString &action, const std::filesystem::path &file, auto act) {
        messages.Clear();
        const std::string before = TempSession::ReadBytes(file);
        act();
        EXPECT_EQ(TempSession::ReadBytes(file), before) << action.toStdString();
        ASSERT_EQ(messages.Texts().size(), 1);
        EXPECT_TRUE(messages.Texts()[0].startsWith(action + QStringLiteral("失败")));
        EXPECT_TRUE(messages.Texts()[0].contains(QString::fromStdU16String(file.u16string())));
    };
    expectKept("保存规则", RuleFilePath(root.Dirs(), "A"), [&] {
        Fill("A", 2, "", "", "price");
        Control<QPushButton>("按钮2")->click();
    });
    SelectRow(0);
    expectKept("启用/关闭规则", RuleFilePath(root.Dirs(), "A"), [&] { MenuItem("启用/关闭")->trigger(); });
    SelectRow(1);
    expectKept("删除规则", RuleIndexPath(root.Dirs()), [&] { MenuItem("删除")->trigger(); });
    EXPECT_EQ(Column(3), (QStringList{"启用", "关闭", "启用"}));
    EXPECT_TRUE(RuleExists("B"));
    disk.Free();
}

TEST_F(RuleListTest, SelectedRowIsWhiteOnPinkWhateverItsState)
{
    ThreeRules();
    for (int row : {0, 1}) {
        SCOPED_TRACE(row);
        EXPECT_EQ(Colours(row, true), kWhiteOnPink);
    }
    EXPECT_EQ(Colours(7, false), std::nullopt); // never registered

    // And that is what is painted.
    window.resize(800, 500);
    Tabs()->setCurrentIndex(1);
    window.show();
    SelectRow(1);
    QApplication::processEvents();
    auto pixelOfRow = [&](int row) {
        const QRect rect = List()->visualItemRect(List()->topLevelItem(row));
        const QImage image = List()->viewport()->grab().toImage();
        return image.pixelColor(rect.left() + 300, rect.center().y()); // an empty part of column 2
    };
    EXPECT_EQ(ToColorRef(pixelOfRow(1)), kWhiteOnPink.background);
    EXPECT_EQ(ToColorRef(pixelOfRow(0)), kWhite);
    SelectRow(0);
    QApplication::processEvents();
    EXPECT_EQ(ToColorRef(pixelOfRow(0)), kWhiteOnPink.background);
    EXPECT_EQ(ToColorRef(pixelOfRow(1)), kWhite);
    window.hide();
}

TEST_F(RuleListTest, EditLoadsTheSelectedRuleIntoTheEditor)
{
    ThreeRules();
    SelectRow(1);
    MenuItem("编辑")->trigger();
    EXPECT_EQ(Title()->text(), "B");
    EXPECT_TRUE(ElementMethod()->isChecked());
    EXPECT_EQ(Tabs()->currentIndex(), 2);
    EXPECT_EQ(ruleTestRuns, 0);
}

TEST_F(RuleListTest, TestLoadsTheRuleAndThenRunsTheRuleTest)
{
    ThreeRules();
    QString titleWhenTestRan;
    int tabWhenTestRan = -1;
    onRuleTest = [&] {
        titleWhenTestRan = Title()->text();
        tabWhenTestRan = Tabs()->currentIndex();
    };
    SelectRow(2);
    MenuItem("测试")->trigger();
    EXPECT_EQ(titleWhenTestRan, "C");
    EXPECT_EQ(tabWhenTestRan, 2);
    EXPECT_EQ(ruleTestRuns, 1);

    // Without a selected row there is no rule to test.
    List()->clearSelection();
    MenuItem("测试")->trigger();
    EXPECT_EQ(ruleTestRuns, 1);
}

} // namespace

TEST_F(RuleListTest, DeleteAsksFirstAndNoKeepsTheRule)
{
    ThreeRules();
    SelectRow(1);
    questions.Answer(1); // 否
    MenuItem("删除")->trigger();
    EXPECT_EQ(questions.Texts(), QStringList{QStringLiteral("确定删除 规则“B”？")});
    EXPECT_EQ(questions.Buttons(), QList<QStringList>{(QStringList{"是", "否"})});
    EXPECT_TRUE(RuleExists("B"));
    EXPECT_EQ(Column(1), (QStringList{"A", "B", "C"}));
    EXPECT_TRUE(messages.Texts().isEmpty());
}

TEST_F(RuleListTest, TheDeleteKeyDeletesACustomRuleAndLeavesABuiltInOne)
{
    WriteRule("Builtin", RuleText("1", "1", "1"));
    WriteRule("Custom", RuleText("1", "0"));
    WriteIndex("Builtin\r\nCustom");
    OpenRuleList();
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    List()->setFocus();
    // The menu of a built-in rule leaves 删除 disabled; the key still serves the others.
    SelectRow(0);
    list.ShowRuleMenu(QPoint(10, 10), false);
    window.RulesPage()->Menu()->hide();
    QTest::keyClick(List(), Qt::Key_Delete);
    EXPECT_EQ(messages.Texts(), QStringList{QStringLiteral("内置规则不能删除。")});
    EXPECT_TRUE(questions.Texts().isEmpty());
    EXPECT_TRUE(RuleExists("Builtin"));

    SelectRow(1);
    QTest::keyClick(List(), Qt::Key_Delete);
    EXPECT_EQ(questions.Texts(), QStringList{QStringLiteral("确定删除 规则“Custom”？")});
    EXPECT_FALSE(RuleExists("Custom"));
    EXPECT_EQ(Column(1), QStringList{"Builtin"});
}
