// The main window's catalogue: names, kinds, captions, columns, items, initial
// states, menus, accessible names and keyboard order.
#include "ui/EntryWindows.h"
#include "ui/HelpWindow.h"
#include "ui/MainWindow.h"
#include "ui/pages/AboutPage.h"
#include "ui/pages/ProductListPage.h"

#include "products/ProductGridModel.h"
#include "support/Gbk.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeView>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTreeWidget>
#include <functional>
#include <gtest/gtest.h>

using namespace corvix;

namespace {

template <typename T> T *Find(QWidget *w, const char *name)
{
    return w->findChild<T *>(QString::fromUtf8(name));
}

QString AccessibleName(QWidget *w)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Name) : QString();
}

struct ButtonSpec {
    const char *name;
    const char *caption;
};

} // namespace

TEST(MainWindowCatalogue, CaptionAndTabPagesInOrder)
{
    MainWindow w;
    EXPECT_EQ(w.windowTitle(), "Corvix");
    auto *tabs = Find<QTabWidget>(&w, "选择夹1");
    ASSERT_NE(tabs, nullptr);
    const QStringList expected{"列表", "采集管理", "采集添加", "查询记录列表", "关于我们"};
    ASSERT_EQ(tabs->count(), expected.size());
    for (int i = 0; i < tabs->count(); ++i)
        EXPECT_EQ(tabs->tabText(i), expected[i]);
    EXPECT_EQ(tabs->currentIndex(), 0);
}

TEST(MainWindowCatalogue, ButtonsCarryTheirCaptions)
{
    MainWindow w;
    const ButtonSpec buttons[] = {
        {"按钮8", "查询"},     {"按钮9", "开始抓取"},      {"按钮10", "失败重抓"}, {"按钮5", "粘贴导入"},
        {"按钮6", "文件导入"}, {"按钮7", "导出"},          {"按钮2", "添加"},      {"按钮1", "选取标记/元素"},
        {"按钮4", "测试规则"},
    };
    for (const auto &b : buttons) {
        auto *button = Find<QPushButton>(&w, b.name);
        ASSERT_NE(button, nullptr) << b.name;
        EXPECT_EQ(button->text(), QString::fromUtf8(b.caption)) << b.name;
    }
}

TEST(MainWindowCatalogue, LabelsAndEditBoxes)
{
    MainWindow w;
    const std::pair<const char *, const char *> labels[] = {
        {"标签9", "查询"},     {"标签1", "采集名称："}, {"标签2", "标记左"},    {"标签3", "标记右"},
        {"标签6", "元素名称："}, {"标签8", "支持：标题/索引/ID/Class等方式。"}, {"标签7", "元素类型："},
        {"标签5", "链接地址："},
    };
    for (const auto &[name, text] : labels) {
        auto *label = Find<QLabel>(&w, name);
        ASSERT_NE(label, nullptr) << name;
        EXPECT_EQ(label->text(), QString::fromUtf8(text)) << name;
    }
    for (const char *name : {"编辑框8", "编辑框1", "编辑框7", "编辑框6"}) {
        auto *edit = Find<QLineEdit>(&w, name);
        ASSERT_NE(edit, nullptr) << name;
        EXPECT_TRUE(edit->text().isEmpty()) << name;
    }
    for (const char *name : {"编辑框2", "编辑框3"}) {
        auto *edit = Find<QPlainTextEdit>(&w, name);
        ASSERT_NE(edit, nullptr) << name;
        EXPECT_EQ(edit->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn) << name;
    }
    EXPECT_EQ(Find<QGroupBox>(&w, "分组框4")->title(), "采集测试");
    EXPECT_NE(Find<QGroupBox>(&w, "分组框1"), nullptr);
    EXPECT_NE(Find<QGroupBox>(&w, "分组框2"), nullptr);
}

// Every page fits the window's first-start size, so the window keeps that size
// and fits a small (800 px) screen; Qt 6.8 shrinks a restored window to its
// screen, and a larger minimum would push it wider again.
TEST(MainWindowFirstSize, RoomyWithinTheScreenAndAsWideAsTheColumns)
{
    const struct {
        int columns;
        QSize available, expected;
    } cases[] = {
        {250, {1280, 1024}, {900, 600}},   // ID and 商品名称 only
        {1200, {1920, 1080}, {1240, 600}}, // many shops: every column in view
        {1200, {1280, 1024}, {1240, 600}},
        {1400, {1280, 1024}, {1240, 600}}, // no wider than the screen leaves room for
        {250, {800, 600}, {760, 540}},
        {250, {}, {900, 600}}, // no screen known
    };
    for (const auto &c : cases)
        EXPECT_EQ(FirstWindowSize(c.columns, c.available), c.expected) << c.columns << " on " << c.available.width();
}

TEST(MainWindowCatalogue, ShownAtItsFirstStartSize)
{
    MainWindow w;
    w.show();
    // Roomier than the grid's two columns need, within the (offscreen) screen.
    EXPECT_EQ(w.size(), FirstWindowSize(250, w.screen()->availableGeometry().size()));
    EXPECT_GT(w.height(), 440);
    EXPECT_FALSE(w.windowIcon().isNull());
    EXPECT_LE(w.minimumSizeHint().width(), 736);
    // The search box keeps room for a product's name at that width.
    EXPECT_GE(Find<QLineEdit>(&w, "编辑框8")->width(), 80);
}

TEST(MainWindowCatalogue, ParallelLinksSpinBoxSitsBesideTheRunButton)
{
    MainWindow w;
    w.show();
    auto *spin = Find<QSpinBox>(&w, "同时抓取");
    ASSERT_NE(spin, nullptr);
    EXPECT_EQ(spin->minimum(), 1);
    EXPECT_EQ(spin->maximum(), 8);
    EXPECT_EQ(spin->value(), 1);
    EXPECT_EQ(w.ListPage()->ParallelLinks(), 1);
    EXPECT_EQ(Find<QLabel>(&w, "标签同时抓取")->text(), "同时抓取");
    // Left to right: 开始抓取, the label, the spin box, 失败重抓.
    const int run = Find<QPushButton>(&w, "按钮9")->geometry().right();
    const int label = Find<QLabel>(&w, "标签同时抓取")->geometry().left();
    EXPECT_LT(run, label);
    EXPECT_LT(label, spin->geometry().left());
    EXPECT_LT(spin->geometry().right(), Find<QPushButton>(&w, "按钮10")->geometry().left());

    QSignalSpy changed(w.ListPage(), &ProductListPage::parallelLinksChanged);
    w.ListPage()->SetParallelLinks(12);
    EXPECT_EQ(w.ListPage()->ParallelLinks(), 8);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.first().at(0).toInt(), 8);
}

TEST(MainWindowCatalogue, RuleEditorStartsOnTheMarkerMethod)
{
    MainWindow w;
    auto *marker = Find<QRadioButton>(&w, "单选框1");
    auto *element = Find<QRadioButton>(&w, "单选框2");
    ASSERT_NE(marker, nullptr);
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(marker->text(), "[方式一]标记取出方式");
    EXPECT_EQ(element->text(), "[方式二]元素取出方式");
    EXPECT_TRUE(marker->isChecked());
    EXPECT_FALSE(element->isChecked());
    auto *pages = Find<QTabWidget>(&w, "选择夹2");
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(pages->count(), 2);
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_EQ(pages->tabText(0), "方式一：标记");
    EXPECT_EQ(pages->tabText(1), "方式二：元素");

    auto *kind = Find<QComboBox>(&w, "组合框2");
    ASSERT_NE(kind, nullptr);
    QStringList items;
    for (int i = 0; i < kind->count(); ++i)
        items << kind->itemText(i);
    EXPECT_EQ(items, (QStringList{"span", "div", "input", "inputs", "text"}));
    EXPECT_FALSE(kind->isEditable());
}

TEST(MainWindowCatalogue, ListViewColumns)
{
    MainWindow w;
    auto *grid = Find<QTreeView>(&w, "超级列表框1");
    ASSERT_NE(grid, nullptr);
    ASSERT_EQ(w.ListPage()->Grid()->ColumnCount(), 2);
    EXPECT_EQ(w.ListPage()->Grid()->Title(0), "ID");
    EXPECT_EQ(w.ListPage()->Grid()->Title(1), Gbk("商品名称"));
    EXPECT_EQ(grid->header()->sectionSize(0), 50);
    EXPECT_EQ(grid->header()->sectionSize(1), 200);
    EXPECT_TRUE(w.ListPage()->Grid()->ColumnAt(0).alignment & Qt::AlignLeft);
    EXPECT_TRUE(w.ListPage()->Grid()->ColumnAt(1).alignment & Qt::AlignHCenter);

    struct Expect {
        const char *list;
        QList<std::pair<QString, int>> columns;
    };
    const Expect lists[] = {
        {"超级列表框2",
         {{"ID", 50}, {"采集名称 ( 右键编辑/删除 )", 300}, {"方式", 100}, {"状态", 50}, {"添加时间", 260}}},
        {"超级列表框4", {{"ID", 50}, {"文件名（右键操作)", 300}, {"保存时间", 200}}},
    };
    for (const auto &e : lists) {
        auto *list = Find<QTreeWidget>(&w, e.list);
        ASSERT_NE(list, nullptr) << e.list;
        ASSERT_EQ(list->columnCount(), e.columns.size()) << e.list;
        for (int i = 0; i < e.columns.size(); ++i) {
            EXPECT_EQ(list->headerItem()->text(i), e.columns[i].first) << e.list << i;
            EXPECT_EQ(list->header()->sectionSize(i), e.columns[i].second) << e.list << i;
        }
    }
    auto *rules = Find<QTreeWidget>(&w, "超级列表框2");
    EXPECT_TRUE(rules->headerItem()->textAlignment(2) & Qt::AlignHCenter);
    EXPECT_TRUE(rules->headerItem()->textAlignment(3) & Qt::AlignHCenter);
    EXPECT_TRUE(rules->headerItem()->textAlignment(4) & Qt::AlignLeft);
}

TEST(MainWindowCatalogue, AddedRuleColumnsAreSixtyWideAndCentred)
{
    MainWindow w;
    w.ListPage()->AddGridColumn(Gbk("京东"), 60, Qt::AlignHCenter);
    ASSERT_EQ(w.ListPage()->Grid()->ColumnCount(), 3);
    EXPECT_EQ(w.ListPage()->GridView()->header()->sectionSize(2), 60);
    EXPECT_EQ(w.ListPage()->Grid()->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), "京东");
}

TEST(MainWindowCatalogue, ThreePopupMenusWithTheirItems)
{
    MainWindow w;
    const std::pair<const char *, QStringList> menus[] = {
        {"采集管理", {"刷新", "启用/关闭", "编辑", "测试", "删除"}},
        {"记录操作", {"刷新列表", "查看"}},
        {"列表操作", {"删除记录", "撤销删除", "编辑商品…", "浏览器打开[默认浏览器]", "价格走势", "设置提醒…", "提醒方式…"}},
    };
    for (const auto &[name, items] : menus) {
        auto *menu = Find<QMenu>(&w, name);
        ASSERT_NE(menu, nullptr) << name;
        QStringList texts;
        for (QAction *a : menu->actions())
            texts << a->text();
        EXPECT_EQ(texts, items) << name;
    }
    EXPECT_EQ(w.menuBar()->actions().size(), 0) << "the window has no menu bar";
}

TEST(MainWindowCatalogue, AboutBrowserIsCreatedOnlyWhenItsPageIsShown)
{
    MainWindow w;
    EXPECT_EQ(w.AboutUsPage()->Browser(), nullptr);
    EXPECT_EQ(Find<QWidget>(&w, "超文本浏览框1"), nullptr);
}

TEST(MainWindowAccessibility, LabelledControlsTakeTheLabelAsName)
{
    MainWindow w;
    const std::pair<const char *, const char *> pairs[] = {
        {"标签1", "编辑框1"}, {"标签2", "编辑框2"}, {"标签3", "编辑框3"}, {"标签6", "编辑框7"},
        {"标签7", "组合框2"}, {"标签5", "编辑框6"}, {"标签9", "编辑框8"}, {"标签同时抓取", "同时抓取"},
    };
    for (const auto &[labelName, controlName] : pairs) {
        auto *label = Find<QLabel>(&w, labelName);
        auto *control = Find<QWidget>(&w, controlName);
        ASSERT_NE(label, nullptr);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(label->buddy(), control) << controlName;
        EXPECT_EQ(control->accessibleName(), label->text()) << controlName;
        // Qt on Unix reports a drop-down's current item as its name, as the
        // desktop's accessibility bus expects; the other controls report the label.
        if (!qobject_cast<QComboBox *>(control)) {
            EXPECT_EQ(AccessibleName(control), label->text()) << controlName;
        }
    }
}

TEST(MainWindowAccessibility, UnlabelledControlsSayWhatTheyAre)
{
    MainWindow w;
    EXPECT_EQ(AccessibleName(Find<QWidget>(&w, "超级列表框1")), "商品列表");
    EXPECT_EQ(AccessibleName(Find<QWidget>(&w, "超级列表框2")), "采集规则列表");
    EXPECT_EQ(AccessibleName(Find<QWidget>(&w, "超级列表框4")), "记录列表");

    PasteImportWindow paste;
    EXPECT_EQ(AccessibleName(paste.Editor()), "粘贴导入内容");
    LinkInputWindow link;
    link.setWindowTitle(QStringLiteral("请输入第3行的标题"));
    EXPECT_EQ(AccessibleName(link.Editor()), "请输入第3行的标题");
}

TEST(MainWindowAccessibility, TabOrderFollowsTheVisualOrder)
{
    MainWindow w;
    auto chainFrom = [&](const char *first, int steps) {
        QStringList names;
        QWidget *at = Find<QWidget>(&w, first);
        for (int i = 0; at && i < steps; ++i) {
            names << at->objectName();
            at = at->nextInFocusChain();
            // A spin box's own editor hands its focus to the spin box.
            const auto handsFocusOn = [](QWidget *c) { return c->focusProxy() && c->focusProxy() == c->parentWidget(); };
            while (at && (at->focusPolicy() == Qt::NoFocus || handsFocusOn(at)))
                at = at->nextInFocusChain();
        }
        return names;
    };
    EXPECT_EQ(chainFrom("编辑框8", 11), (QStringList{"编辑框8", "按钮8", "降价", "单价", "按钮9", "同时抓取", "按钮10", "按钮5",
                                                   "按钮6", "按钮7", "超级列表框1"}));
    const QStringList editor = chainFrom("编辑框1", 20);
    const QStringList expected{"编辑框1", "按钮2", "单选框1", "单选框2", "选择夹2", "编辑框2",
                               "编辑框3", "编辑框7", "组合框2", "编辑框6", "按钮1", "按钮4"};
    // The tab bar of 选择夹2 takes focus as a child of the tab widget.
    QStringList named;
    for (const QString &n : editor)
        if (!n.isEmpty() && !n.startsWith("qt_"))
            named << n;
    for (const QString &n : expected)
        EXPECT_TRUE(named.contains(n)) << n.toStdString();
    EXPECT_LT(named.indexOf("编辑框1"), named.indexOf("按钮2"));
    EXPECT_LT(named.indexOf("编辑框3"), named.indexOf("编辑框7"));
    EXPECT_LT(named.indexOf("编辑框6"), named.indexOf("按钮1"));
    EXPECT_LT(named.indexOf("按钮1"), named.indexOf("按钮4"));
}

TEST(EntryWindows, CaptionsSizesAndEditBoxes)
{
    PasteImportWindow paste;
    EXPECT_EQ(paste.windowTitle(), "粘贴导入窗口。自动识别数据支持： ， , | < > 《 》 等符号分割。");
    EXPECT_EQ(paste.size(), QSize(968, 301));
    EXPECT_EQ(paste.Editor()->objectName(), "编辑框1");
    LinkInputWindow link;
    EXPECT_TRUE(link.windowTitle().isEmpty());
    EXPECT_EQ(link.size(), QSize(438, 269));
    EXPECT_EQ(link.Editor()->objectName(), "编辑框1");
}

TEST(MainWindowAccessibility, ButtonsWorkWithSpaceAndEnter)
{
    MainWindow w;
    w.show();
    for (const char *name : {"按钮8", "按钮9", "按钮2", "按钮4"}) {
        auto *button = Find<QPushButton>(&w, name);
        ASSERT_NE(button, nullptr);
        QSignalSpy clicked(button, &QPushButton::clicked);
        QTest::keyClick(button, Qt::Key_Space);
        QTest::keyClick(button, Qt::Key_Return);
        QTest::keyClick(button, Qt::Key_Enter);
        EXPECT_EQ(clicked.count(), 3) << name;
    }
}

TEST(MainWindowCatalogue, StartPageShipsInsideTheProgram)
{
    MainWindow w;
    QFile page(QStringLiteral(":/about/index.html"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    EXPECT_TRUE(html.contains(QStringLiteral("开始抓取")));
    EXPECT_FALSE(html.contains(QStringLiteral("http://"))) << "the start page needs no network";
    EXPECT_FALSE(html.contains(QStringLiteral("https://")));
}

TEST(MainWindowCatalogue, ShopColumnsAreAsWideAsTheirTitlesAndAtLeastSixty)
{
    MainWindow w;
    const QFontMetrics metrics = w.ListPage()->GridView()->header()->fontMetrics();
    const QStringList titles{QStringLiteral("京东"), QStringLiteral("澜声旗舰店"),
                             QStringLiteral("澜声旗舰店官方网上商城（自营）")};
    for (const QString &title : titles)
        w.ListPage()->AddShopColumn(ToGbk(title));
    QHeaderView *header = w.ListPage()->GridView()->header();
    for (int i = 0; i < titles.size(); ++i) {
        const int width = header->sectionSize(2 + i);
        EXPECT_GE(width, 60) << i;
        EXPECT_GT(width, metrics.horizontalAdvance(titles[i])) << i;
        EXPECT_EQ(width, w.ListPage()->ShopColumnWidth(titles[i])) << i;
        EXPECT_TRUE(w.ListPage()->Grid()->ColumnAt(2 + i).alignment & Qt::AlignHCenter);
    }
    EXPECT_EQ(header->sectionSize(2), 60) << "a short title keeps the narrowest width";
    EXPECT_LT(header->sectionSize(3), header->sectionSize(4));
}

TEST(MainWindowHelp, HasASectionForEachPartOfTheProgram)
{
    MainWindow w;
    w.ShowHelp();
    QStringList headings;
    for (QTextBlock b = w.Help()->Text()->document()->begin(); b.isValid(); b = b.next())
        if (b.blockFormat().headingLevel() == 2)
            headings << b.text();
    for (const char *section : {"使用方法", "同时抓取", "停止抓取", "价格变化标记", "价格走势", "查看以往的记录",
                                "降价提醒", "提醒方式", "定时抓取", "快捷键", "数据保存在哪里"})
        EXPECT_TRUE(headings.contains(QString::fromUtf8(section))) << section;
}

// The help walks through what a user does, in the words of the windows, and
// names none of the program's own files.
TEST(MainWindowHelp, DescribesEachStepInTheWordsOfTheWindows)
{
    MainWindow w;
    w.ShowHelp();
    const QString text = w.Help()->Text()->toPlainText();
    for (const char *words : {"在页面上选取价格", "验证链接", "“验证”", "使用此规则", "添加成功。是否立即启用这条规则？",
                              "“启用”", "暂不启用", "编辑商品…", "撤销删除", "要用导入的 n 个商品替换现有的 m 个商品吗？",
                              "追加", "替换", "设置提醒…", "页面源代码"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(words))) << words;
    for (const char *file : {"test.txt", "url.ini", "orlist.txt", ".spider.cfg", "alerts.ini", "columns.ini"})
        EXPECT_FALSE(text.contains(QString::fromUtf8(file))) << file;
}

TEST(MainWindowHelp, F1AndTheHelpButtonOpenTheStartPage)
{
    MainWindow w;
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    const std::pair<const char *, std::function<void()>> ways[] = {
        {"F1", [&] { QTest::keyClick(&w, Qt::Key_F1); }},
        {"帮助", [&] { Find<QPushButton>(&w, "帮助")->click(); }},
    };
    for (const auto &[way, ask] : ways) {
        if (w.Help())
            w.Help()->close();
        ask();
        ASSERT_NE(w.Help(), nullptr) << way;
        EXPECT_TRUE(w.Help()->isVisible()) << way;
        EXPECT_EQ(w.Help()->windowTitle(), "帮助");
        EXPECT_EQ(w.Help()->Text()->source(), QUrl(QStringLiteral("qrc:/about/index.html")));
        EXPECT_TRUE(w.Help()->Text()->toPlainText().contains(QStringLiteral("开始抓取"))) << way;
    }
    EXPECT_EQ(w.findChildren<HelpWindow *>().size(), 1) << "one help window, shown again";
    EXPECT_EQ(w.AboutUsPage()->Browser(), nullptr) << "help starts no browser engine";
}

TEST(MainWindowHelp, AboutUsShowsTheVersion)
{
    MainWindow w;
    w.SetVersionText(QStringLiteral("Corvix 1.2.3"));
    EXPECT_EQ(w.AboutUsPage()->Version()->text(), "Corvix 1.2.3");
    EXPECT_EQ(Find<QLabel>(&w, "版本"), w.AboutUsPage()->Version());
}

TEST(MainWindowCatalogue, EmptyGridSaysWhatToDoFirst)
{
    MainWindow w;
    w.show();
    ProductGridModel &grid = *w.ListPage()->Grid();
    QLabel *hint = w.ListPage()->EmptyGridHint();
    QTreeView *view = w.ListPage()->GridView();
    for (const char *step : {"采集添加", "粘贴导入", "文件导入", "开始抓取"})
        EXPECT_TRUE(hint->text().contains(QString::fromUtf8(step))) << step;
    // Over the rows' area, and a click there reaches the grid.
    EXPECT_TRUE(view->viewport()->geometry().contains(hint->geometry()));
    EXPECT_NE(view->childAt(hint->geometry().center()), hint);

    const struct {
        const char *change;
        std::function<void()> make;
        bool shown;
    } steps[] = {
        {"none", [] {}, true},
        {"a row added", [&] { grid.AppendRow(); }, false},
        {"the row removed", [&] { grid.RemoveRow(0); }, true},
        {"rows loaded", [&] { grid.AppendRows({{"1", "a"}, {"2", "b"}}); }, false},
        {"rows cleared", [&] { grid.ClearRows(); }, true},
    };
    for (const auto &s : steps) {
        s.make();
        EXPECT_EQ(hint->isVisible(), s.shown) << s.change;
    }
}
