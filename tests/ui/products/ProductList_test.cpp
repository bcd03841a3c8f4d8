#include "ui/capture/CaptureRunController.h"
#include "common/FullDisk.h"
#include "products/LinkFile.h"
#include "products/RecordFile.h"
#include "support/DataRoot.h"
#include "support/FileIo.h"
#include "ui/products/RecordListController.h"
#include "support/Gbk.h"
#include "ui/ShellOpen.h"
#include "ui/pages/RecordListPage.h"
#include "ui/products/ProductWindow.h"
#include "products/PackSizeFile.h"
#include "products/PriceAlerts.h"

#include <QComboBox>
#include "ui/EntryWindows.h"
#include "ui/FileDialogs.h"

#include "ProductGridFixture.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace corvix {
namespace {

using test::ProductGridTest;
using test::TempSession;

using Strings = std::vector<std::string>;

class ProductList : public ProductGridTest {};

TEST_F(ProductList, DeleteMiddleRowRenumbersSectionsIdsAndRecord)
{
    AddRows({{"1", "a", "1.1", ""}, {"2", "b", "2.2", ""}, {"3", "c", "3.3", "x"}});
    const auto linkPath = LinkFilePath(root.Dirs());
    TempSession::WriteBytes(linkPath, "[A0]\r\ntitle=a\r\nX=http://a\r\n[A1]\r\ntitle=b\r\nX=http://b\r\n"
                                       "[A2]\r\ntitle=c\r\nX=http://c/[A1]\r\n");
    TempSession::WriteBytes(root.Dirs().dbDir / "1700000000.txt", "old|");
    TempSession::WriteBytes(root.Dirs().dbDir / "1700000001.txt", "a|1.1||\r\nb|2.2||\r\nc|3.3|x|");
    SelectRow(1);
    QAction *item = window->ListPage()->GridMenu()->findChild<QAction *>(QStringLiteral("删除记录"));
    ASSERT_NE(item, nullptr);
    bool enabledDuringDelete = true;
    QObject::connect(&Grid(), &QAbstractItemModel::rowsAboutToBeRemoved, [&] { enabledDuringDelete = item->isEnabled(); });

    item->trigger();

    EXPECT_FALSE(enabledDuringDelete);
    EXPECT_TRUE(item->isEnabled());
    EXPECT_TRUE(test::TestSession().resultsChanged);
    EXPECT_EQ(Column(0), (Strings{"1", "2"}));
    EXPECT_EQ(Column(1), (Strings{"a", "c"}));
    EXPECT_EQ(TempSession::ReadBytes(linkPath),
              "[A0]\r\ntitle=a\r\nX=http://a\r\n[A1]\r\ntitle=c\r\nX=http://c/[A1]\r\n");
    EXPECT_EQ(TempSession::ReadBytes(root.Dirs().dbDir / "1700000001.txt"), "a|1.1||\r\nc|3.3|x|");
    EXPECT_EQ(TempSession::ReadBytes(root.Dirs().dbDir / "1700000000.txt"), "old|");
}

TEST_F(ProductList, DeleteRowSkipsEmptyRecordLinesAndFollowsGappedSections)
{
    AddRows({{"1", "a"}, {"2", "b"}, {"3", "c"}, {"4", "d"}});
    const auto linkPath = LinkFilePath(root.Dirs());
    // Rows are the sections that exist: A7 is row 2 and row 3 has none.
    TempSession::WriteBytes(linkPath, "[A0]\r\nX=http://a\r\n[A1]\r\nX=http://b\r\n[A7]\r\nX=http://c\r\n");
    TempSession::WriteBytes(root.Dirs().dbDir / "1700000001.txt", "a|\r\n\r\nb|\r\nc|\r\nd|");
    SelectRow(1);
    list->DeleteProductRow();
    EXPECT_EQ(Column(1), (Strings{"a", "c", "d"}));
    EXPECT_EQ(TempSession::ReadBytes(linkPath), "[A0]\r\nX=http://a\r\n[A1]\r\nX=http://c\r\n");
    EXPECT_EQ(ReadLink(root.Dirs(), 1, "X"), "http://c");
    EXPECT_EQ(ReadLink(root.Dirs(), 2, "X"), "");
    EXPECT_EQ(TempSession::ReadBytes(root.Dirs().dbDir / "1700000001.txt"), "a|\r\n\r\nc|\r\nd|");
}

TEST_F(ProductList, DeleteLastRowWithoutLinkFileOrRecord)
{
    AddRows({{"1", "a"}, {"2", "b"}});
    SelectRow(1);
    list->DeleteProductRow();
    EXPECT_EQ(Column(1), (Strings{"a"}));
    EXPECT_TRUE(test::TestSession().resultsChanged);
    EXPECT_FALSE(std::filesystem::exists(LinkFilePath(root.Dirs())));
    EXPECT_TRUE(messages.Texts().isEmpty());
}

TEST_F(ProductList, DeleteIsRefusedWhileAnOlderRecordIsShown)
{
    const auto linkPath = LinkFilePath(root.Dirs());
    const std::string links = "[A0]\r\ntitle=a\r\n[A1]\r\ntitle=b\r\n";
    TempSession::WriteBytes(linkPath, links);
    TempSession::WriteBytes(root.Dirs().dbDir / "1700000000.txt", "old a|\r\nold b|");
    TempSession::WriteBytes(root.Dirs().dbDir / "1700000001.txt", "a|\r\nb|");
    auto *records = new RecordListController(window.get(), test::TestSession());
    auto *run = new CaptureRunController(window.get(), test::TestSession());
    records->FillRecordList();
    window->RecordsPage()->List()->setCurrentItem(window->RecordsPage()->List()->topLevelItem(0));
    records->ViewRecord();
    SelectRow(0);
    list->DeleteProductRow();
    EXPECT_EQ(messages.Texts(), QStringList{QStringLiteral("正在查看以前的记录，不能删除：删除只用于当前的抓取结果。")});
    EXPECT_EQ(Column(1), (Strings{"old a", "old b"}));
    EXPECT_EQ(TempSession::ReadBytes(linkPath), links);
    EXPECT_EQ(TempSession::ReadBytes(root.Dirs().dbDir / "1700000001.txt"), "a|\r\nb|");
    EXPECT_FALSE(test::TestSession().resultsChanged);

    // A retry or a run shows current results again (no link holds "http", so
    // no page opens).
    ASSERT_TRUE(test::UntilSignal([&] { run->RetryFailed(); }, run, &CaptureRunController::runEnded));
    list->DeleteProductRow();
    EXPECT_EQ(Column(1), (Strings{"old b"}));
    records->ViewRecord();
    // Rebuilds the one row url.ini has left.
    ASSERT_TRUE(test::UntilSignal([&] { run->RunCapture(); }, run, &CaptureRunController::runEnded));
    SelectRow(0);
    list->DeleteProductRow();
    EXPECT_EQ(Grid().RowCount(), 0);
}

TEST_F(ProductList, DeleteOnAFullDiskChangesNeitherTheFilesNorTheGrid)
{
    test::FullDisk disk;
    test::TestSession().dirs.dbDir = disk.Dir();
    AddRows({{"1", "a"}, {"2", "b"}});
    const auto linkPath = LinkFilePath(root.Dirs());
    TempSession::WriteBytes(linkPath, "[A0]\r\ntitle=a\r\n[A1]\r\ntitle=b\r\n");
    TempSession::WriteBytes(disk.Dir() / "1700000001.txt", "a|\r\nb|");
    SelectRow(0);
    disk.Fill();
    list->DeleteProductRow();
    disk.Free();
    EXPECT_EQ(Column(1), (Strings{"a", "b"}));
    EXPECT_FALSE(test::TestSession().resultsChanged);
    EXPECT_EQ(TempSession::ReadBytes(linkPath), "[A0]\r\ntitle=a\r\n[A1]\r\ntitle=b\r\n");
    EXPECT_EQ(TempSession::ReadBytes(disk.Dir() / "1700000001.txt"), "a|\r\nb|");
    ASSERT_EQ(messages.Texts().size(), 1);
    EXPECT_TRUE(messages.Texts()[0].contains(QString::fromStdU16String(linkPath.u16string())));
}

TEST_F(ProductList, LeftClickBelowTheRowsAppendsANumberedBlankRow)
{
    AddRows({{"1", "a"}, {"2", "b"}});
    test::TestSession().currentCell = {1, 3, "Y"};
    QTest::mouseClick(View()->viewport(), Qt::LeftButton, {}, CellPoint(0, 1));
    EXPECT_EQ(Grid().RowCount(), 2);
    EXPECT_EQ(test::TestSession().currentCell.column, 0);
    EXPECT_EQ(test::TestSession().currentCell.row, 0);
    EXPECT_EQ(test::TestSession().currentCell.title, "");

    QTest::mouseClick(View()->viewport(), Qt::LeftButton, {}, CellPoint(-1, 2));
    ASSERT_EQ(Grid().RowCount(), 3);
    EXPECT_EQ(Column(0), (Strings{"1", "2", "3"}));
    EXPECT_EQ(Grid().Text(2, 1), "");
}

TEST_F(ProductList, RightClickNamesOnlySiteCells)
{
    AddRows({{"1", "a"}, {"2", "b"}});
    QTest::mouseClick(View()->viewport(), Qt::RightButton, {}, CellPoint(1, 3));
    EXPECT_EQ(test::TestSession().currentCell.row, 1);
    EXPECT_EQ(test::TestSession().currentCell.column, 3);
    // The title column and the space below the rows leave it as it was.
    QTest::mouseClick(View()->viewport(), Qt::RightButton, {}, CellPoint(0, 1));
    QTest::mouseClick(View()->viewport(), Qt::RightButton, {}, CellPoint(-1, 2));
    EXPECT_EQ(test::TestSession().currentCell.row, 1);
    EXPECT_EQ(test::TestSession().currentCell.column, 3);
}

TEST_F(ProductList, GridMenuOpensOnlyOverASelectedRow)
{
    AddRows({{"1", "a"}});
    View()->selectionModel()->clearSelection();
    window->ListPage()->ShowGridMenu(window->mapToGlobal(QPoint(20, 20)));
    EXPECT_FALSE(window->ListPage()->GridMenu()->isVisible());
    SelectRow(0);
    window->ListPage()->ShowGridMenu(window->mapToGlobal(QPoint(20, 20)));
    EXPECT_TRUE(window->ListPage()->GridMenu()->isVisible());
    window->ListPage()->GridMenu()->hide();
}

TEST_F(ProductList, SearchSelectsTheRowOrSaysNotFound)
{
    AddRows({{"1", "Apple", "1.5"}, {"2", "10 pack", ""}, {"3", Gbk("苹果"), ""}});
    auto *box = window->findChild<QLineEdit *>(QStringLiteral("编辑框8"));
    auto *button = window->findChild<QPushButton *>(QStringLiteral("按钮8"));
    ASSERT_TRUE(box && button);

    box->setText(QStringLiteral("苹"));
    button->click();
    EXPECT_EQ(View()->currentIndex().row(), 2);
    EXPECT_EQ(View()->selectionModel()->selectedRows().size(), 1);

    box->setText(QStringLiteral("1"));
    button->click();
    EXPECT_EQ(View()->currentIndex().row(), 0);

    box->setText(QStringLiteral("梨"));
    button->click();
    EXPECT_EQ(messages.Texts(), QStringList{QStringLiteral("没有找到：梨")});

    box->clear();
    button->click();
    EXPECT_EQ(messages.Texts().size(), 1);
}

TEST_F(ProductList, OpenLinkShowsTheCaptionForASecondThenOpensIt)
{
    AddRows({{"1", "a"}, {"2", "b"}});
    WriteLink(root.Dirs(), 1, "Y", "shop.example.com/item/1");
    QList<QUrl> opened;
    SetShellOpenHandlerForTests([&](const QUrl &url) { opened << url; });
    test::TestSession().currentCell = {1, 3, ""};
    QElapsedTimer clock;
    clock.start();
    list->OpenLinkInBrowser();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("即将打开：shop.example.com/item/1"));
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !opened.isEmpty(); }, 5000));
    SetShellOpenHandlerForTests(nullptr);
    EXPECT_GE(clock.elapsed(), 950);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Corvix"));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl(QStringLiteral("http://shop.example.com/item/1")));
    EXPECT_TRUE(messages.Texts().isEmpty());
}

TEST_F(ProductList, OpenLinkWithoutWebLinkSaysSo)
{
    AddRows({{"1", "a"}});
    WriteLink(root.Dirs(), 0, "Y", "file:///etc/passwd?http");
    bool opened = false;
    SetShellOpenHandlerForTests([&](const QUrl &) { opened = true; });
    test::TestSession().currentCell = {0, 2, ""};
    list->OpenLinkInBrowser();
    test::TestSession().currentCell = {0, 3, ""};
    list->OpenLinkInBrowser();
    SetShellOpenHandlerForTests(nullptr);
    EXPECT_FALSE(opened);
    EXPECT_EQ(messages.Texts(), (QStringList{QStringLiteral("未发现 \"X\"的任何链接可打开。"),
                                             QStringLiteral("这个链接不是网页地址，不能用浏览器打开：\r\n"
                                                            "file:///etc/passwd?http\r\n只能打开 http 或 https 链接。")}));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Corvix"));
}

TEST_F(ProductList, BothRunButtonsHandTheSpinBoxValueToTheRun)
{
    auto *run = new CaptureRunController(window.get(), test::TestSession());
    struct Case {
        const char *button;
        int links;
    };
    // No url.ini and no rows: the run says so, the retry has nothing to do.
    for (const Case &c : {Case{"按钮9", 4}, Case{"按钮10", 8}, Case{"按钮9", 1}}) {
        window->ListPage()->SetParallelLinks(c.links);
        auto *button = window->findChild<QPushButton *>(QString::fromUtf8(c.button));
        ASSERT_TRUE(test::UntilSignal([button] { button->click(); }, run, &CaptureRunController::runEnded));
        EXPECT_EQ(run->Run().ParallelLinks(), c.links) << c.button;
    }
    EXPECT_EQ(messages.Texts(), (QStringList(2, QStringLiteral("链接为空,执行不了"))));
}

} // namespace
} // namespace corvix

namespace corvix {
namespace {

class ProductListKeys : public ProductGridTest {
protected:
    void Focus(QWidget *w)
    {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        w->setFocus();
    }
};

TEST_F(ProductListKeys, EnterInTheSearchBoxSearches)
{
    AddRows({{"1", "Apple"}, {"2", "Pear"}});
    auto *box = window->findChild<QLineEdit *>(QStringLiteral("编辑框8"));
    Focus(box);
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        View()->selectionModel()->clearSelection();
        box->setText(QStringLiteral("Pe"));
        QTest::keyClick(box, key);
        EXPECT_EQ(window->ListPage()->SelectedRow(), 1) << key;
    }
}

TEST_F(ProductListKeys, DeleteAsksWithTheRowAndItsTitle)
{
    struct Case {
        const char *title;
        int answer;
        const char *question;
        Strings left;
    };
    const Case cases[] = {
        {"b", 0, "确定删除 第2行“b”？", {"a"}},
        {"", 0, "确定删除 第2行？", {"a"}},
        {"b", 1, "确定删除 第2行“b”？", {"a", "b"}}, // 否 keeps the row
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << (&c - &*std::begin(cases)));
        Grid().ClearRows();
        AddRows({{"1", "a"}, {"2", c.title}});
        questions.Answer(c.answer);
        const int asked = static_cast<int>(questions.Texts().size());
        SelectRow(1);
        Focus(View());
        QTest::keyClick(View(), Qt::Key_Delete);
        ASSERT_EQ(questions.Texts().size(), asked + 1);
        EXPECT_EQ(questions.Texts().last(), QString::fromUtf8(c.question));
        EXPECT_EQ(Column(1), c.left) << c.question << c.answer;
    }
}

} // namespace
} // namespace corvix

namespace corvix {
namespace {

class ProductEdit : public ProductGridTest {
protected:
    void SetUp() override
    {
        ProductGridTest::SetUp();
        AddRows({{"1", "a", "1.1", "1.2"}, {"2", "b", "2.1", "2.2"}});
        TempSession::WriteBytes(LinkFilePath(root.Dirs()),
                                "[A0]\r\ntitle=a\r\nX=http://a/x\r\n[A1]\r\ntitle=b\r\nX=http://b/x\r\nY=http://b/y\r\n");
    }
    QAction *Item(const char *utf8)
    {
        return window->ListPage()->GridMenu()->findChild<QAction *>(QString::fromUtf8(utf8));
    }
    std::string Links() { return TempSession::ReadBytes(LinkFilePath(root.Dirs())); }
    static void Fill(ProductWindow &w, const QString &title, const QString &x, const QString &y)
    {
        w.TitleBox()->setText(title);
        w.LinkBoxes()[0]->setText(x);
        w.LinkBoxes()[1]->setText(y);
    }
};

TEST_F(ProductEdit, DoubleClickOnTheTitleEditsTitleAndLinksInOneWrite)
{
    QTest::mouseDClick(View()->viewport(), Qt::LeftButton, {}, CellPoint(1, 1));
    QPointer<ProductWindow> w = window->findChild<ProductWindow *>();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(window->findChild<LinkInputWindow *>(), nullptr);
    EXPECT_EQ(w->TitleBox()->text(), "b");
    ASSERT_EQ(w->LinkBoxes().size(), 2u);
    EXPECT_EQ(w->LinkBoxes()[0]->accessibleName(), "X");
    EXPECT_EQ(w->LinkBoxes()[1]->text(), "http://b/y");

    Fill(*w, QStringLiteral("手机"), QStringLiteral("abc"), QString());
    w->OkButton()->click();
    EXPECT_EQ(messages.Texts(),
              QStringList{QStringLiteral("输入的链接不正确！\r\n请确保链接中带有：http 或 https 等协议。")});
    EXPECT_TRUE(w->isVisible()) << "nothing typed is lost";
    EXPECT_EQ(Grid().Text(1, 1), "b");

    Fill(*w, QStringLiteral("手机"), QStringLiteral("http://b.example/new"), QString());
    w->OkButton()->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());
    EXPECT_EQ(Links(), "[A0]\r\ntitle=a\r\nX=http://a/x\r\n[A1]\r\ntitle=" + Gbk("手机") + "\r\nX=http://b.example/new\r\n");
    EXPECT_EQ(Grid().Rows()[1], (Strings{"2", Gbk("手机"), "-", ""}));
}

// Sizes and alerts are kept by title: a rename in the editor takes them along.
TEST_F(ProductEdit, SizesAreKeptBesideTheLinksAndFollowARename)
{
    PriceAlerts alerts;
    alerts.Set({.product = "b", .shop = {}, .target = 10, .dropPercent = {}, .belowShops = {}});
    ASSERT_TRUE(alerts.Save(AlertsFilePath(root.Dirs())));
    PackSizeFile packs;
    packs.SetSize("b", "Y", "1kg");
    ASSERT_TRUE(packs.Save(PackSizeFilePath(root.Dirs())));

    ProductWindow *w = list->EditProduct(1);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->SizeBoxes()[1]->text(), "1kg");
    EXPECT_EQ(w->UnitBox()->currentIndex(), 0);
    Fill(*w, QStringLiteral("茶"), QStringLiteral("http://b.example/x"), QStringLiteral("http://b.example/y"));
    w->SizeBoxes()[0]->setText(QStringLiteral("2斤"));
    w->UnitBox()->setCurrentIndex(2); // 每kg
    w->OkButton()->click();
    EXPECT_TRUE(messages.Texts().isEmpty()) << messages.Texts().join(u'|').toStdString();

    const PackSizeFile stored = PackSizeFile::Load(PackSizeFilePath(root.Dirs()));
    EXPECT_EQ(stored.SizeText(Gbk("茶"), "X"), Gbk("2斤"));
    EXPECT_EQ(stored.SizeText(Gbk("茶"), "Y"), "1kg");
    EXPECT_EQ(stored.SizeText("b", "Y"), "");
    EXPECT_EQ(stored.UnitOf(Gbk("茶")), PriceUnit::PerKg);
    const PriceAlerts moved = PriceAlerts::Load(AlertsFilePath(root.Dirs()));
    EXPECT_NE(moved.Find(Gbk("茶"), {}), nullptr);
    EXPECT_EQ(moved.Find("b", {}), nullptr);
    EXPECT_TRUE(messages.Texts().isEmpty());
}

TEST_F(ProductEdit, RefusedOverAnOlderRecordAndKeptOnAFailedWrite)
{
    Grid().SetShowsOlderRecord(true);
    SelectRow(0);
    Item("编辑商品…")->trigger();
    EXPECT_EQ(window->findChild<ProductWindow *>(), nullptr);
    EXPECT_EQ(messages.Texts().size(), 1);
    Grid().SetShowsOlderRecord(false);

    test::FullDisk disk;
    test::TestSession().dirs.dbDir = disk.Dir();
    TempSession::WriteBytes(LinkFilePath(root.Dirs()), "[A0]\r\ntitle=a\r\n");
    ProductWindow *w = list->EditProduct(0);
    ASSERT_NE(w, nullptr);
    Fill(*w, QStringLiteral("z"), QStringLiteral("http://z.example/1"), QString());
    disk.Fill();
    w->OkButton()->click();
    disk.Free();
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(Links(), "[A0]\r\ntitle=a\r\n");
    EXPECT_EQ(Grid().Text(0, 1), "a");
    EXPECT_TRUE(messages.Texts().last().contains(QString::fromStdU16String(LinkFilePath(root.Dirs()).u16string())));
    w->reject();
}

TEST_F(ProductEdit, CtrlZBringsBackTheDeletedRowItsSectionAndItsRecordLine)
{
    const std::string links = Links();
    const auto record = root.Dirs().dbDir / "1700000001.txt";
    TempSession::WriteBytes(record, "a|1.1|1.2|\r\nb|2.1|2.2|");
    SelectRow(0);
    Item("删除记录")->trigger();
    ASSERT_EQ(Grid().RowCount(), 1);
    ASSERT_TRUE(Item("撤销删除")->isEnabled());
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    View()->setFocus();
    QTest::keyClick(View(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Grid().Rows(), (std::vector<Strings>{{"1", "a", "1.1", "1.2"}, {"2", "b", "2.1", "2.2"}}));
    EXPECT_EQ(Links(), links);
    EXPECT_EQ(TempSession::ReadBytes(record), "a|1.1|1.2|\r\nb|2.1|2.2|");
    EXPECT_FALSE(Item("撤销删除")->isEnabled()) << "only once";

    // Any change of the rows after the deletion makes it too late.
    SelectRow(1);
    list->DeleteProductRow();
    Grid().SetText(0, 2, "9.9");
    EXPECT_FALSE(Item("撤销删除")->isEnabled());
}

// 删除记录 and 撤销删除 change url.ini, the newest record and alerts.ini as one:
// a process ending before any step leaves the next start all of them before
// or all of them after.
TEST_F(ProductEdit, DeleteAndUndoEndedAtAnyStepAreWholeAtTheNextStart)
{
    const auto record = root.Dirs().dbDir / "1700000001.txt", alerts = root.Dirs().dbDir / "alerts.ini";
    const std::string links = Links();
    const auto reset = [&] {
        Grid().ClearRows();
        AddRows({{"1", "a", "1.1", "1.2"}, {"2", "b", "2.1", "2.2"}});
        TempSession::WriteBytes(LinkFilePath(root.Dirs()), links);
        TempSession::WriteBytes(record, "a|1.1|1.2|\r\nb|2.1|2.2|");
        TempSession::WriteBytes(alerts, "[alert1]\r\nproduct=a\r\ntarget=1\r\n");
        SelectRow(0);
    };
    const auto files = [&] { return Strings{Links(), TempSession::ReadBytes(record), TempSession::ReadBytes(alerts)}; };
    reset();
    const Strings before = files();
    list->DeleteProductRow();
    const Strings deleted = files();
    ASSERT_NE(deleted[0], before[0]);
    ASSERT_NE(deleted[1], before[1]);
    ASSERT_NE(deleted[2], before[2]);
    for (const bool undo : {false, true}) {
        for (int stop = 1; stop <= 5; ++stop) { // the journal, three renames, the journal's removal
            SCOPED_TRACE(std::string(undo ? "undo " : "delete ") + std::to_string(stop));
            reset();
            if (undo)
                list->DeleteProductRow();
            SetFilesTogetherStopForTests([stop](int step) { return step == stop; });
            EXPECT_THROW(undo ? list->UndoDelete() : list->DeleteProductRow(), FilesTogetherStopped);
            SetFilesTogetherStopForTests(nullptr);
            ASSERT_TRUE(FinishFilesTogether(ChangeJournalPath(root.Dirs().root)));
            EXPECT_EQ(files(), (stop == 1) == undo ? deleted : before);
        }
    }
}

// A url.ini that cannot be read (a folder in its place) is no empty product
// list: edit, delete, undo and import each stop, say which file, and write nothing.
TEST_F(ProductEdit, AnUnreadableLinkFileStopsEveryChangeAndIsNamed)
{
    const auto linkPath = LinkFilePath(root.Dirs());
    const auto unreadable = [&] {
        std::filesystem::remove_all(linkPath);
        std::filesystem::create_directory(linkPath);
    };
    const auto told = [&](const char *action) {
        ASSERT_EQ(messages.Texts().size(), 1) << action;
        const QString text = messages.Texts()[0];
        EXPECT_TRUE(text.startsWith(QString::fromUtf8(action) + QStringLiteral("失败：无法读取文件"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QString::fromStdU16String(linkPath.u16string()))) << action;
        EXPECT_TRUE(std::filesystem::is_directory(linkPath)) << action;
        EXPECT_EQ(Column(1), (Strings{"a", "b"})) << action;
        messages.Clear();
    };
    SelectRow(0);
    list->DeleteProductRow();
    ASSERT_EQ(Column(1), (Strings{"b"}));
    unreadable();
    list->UndoDelete();
    EXPECT_EQ(Column(1), (Strings{"b"}));
    EXPECT_TRUE(Item("撤销删除")->isEnabled()) << "can be tried again";
    ASSERT_EQ(messages.Texts().size(), 1);
    EXPECT_TRUE(messages.Texts()[0].startsWith(QStringLiteral("撤销删除失败：无法读取文件")));
    messages.Clear();
    Grid().ClearRows();
    AddRows({{"1", "a", "1.1", "1.2"}, {"2", "b", "2.1", "2.2"}});

    SelectRow(0);
    list->DeleteProductRow();
    told("删除记录");
    ProductWindow *w = list->EditProduct(0);
    ASSERT_NE(w, nullptr);
    Fill(*w, QStringLiteral("z"), QStringLiteral("http://z.example/1"), QString());
    w->OkButton()->click();
    EXPECT_TRUE(w->isVisible()) << "nothing typed is lost";
    told("保存商品");
    w->reject();
    const auto importFile = root.Dir() / "in.txt";
    TempSession::WriteBytes(importFile, "N,http://n\r\n");
    SetOpenDialogHandlerForTests(
        [&](const QString &, const QString &, const QString &) { return QString::fromStdU16String(importFile.u16string()); });
    import->FileImport();
    SetOpenDialogHandlerForTests(nullptr);
    told("导入商品");
}

TEST_F(ProductEdit, UndoOnAFullDiskChangesNothingAndCanBeTriedAgain)
{
    test::FullDisk disk;
    test::TestSession().dirs.dbDir = disk.Dir();
    TempSession::WriteBytes(LinkFilePath(root.Dirs()), "[A0]\r\ntitle=a\r\n[A1]\r\ntitle=b\r\n");
    SelectRow(0);
    list->DeleteProductRow();
    disk.Fill();
    list->UndoDelete();
    disk.Free();
    EXPECT_EQ(Links(), "[A0]\r\ntitle=b\r\n");
    EXPECT_EQ(Column(1), (Strings{"b"}));
    EXPECT_EQ(messages.Texts().size(), 1);
    list->UndoDelete();
    EXPECT_EQ(Links(), "[A0]\r\ntitle=a\r\n[A1]\r\ntitle=b\r\n");
    EXPECT_EQ(Column(1), (Strings{"a", "b"}));
}

} // namespace
} // namespace corvix
