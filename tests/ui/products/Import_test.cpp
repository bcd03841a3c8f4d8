#include "common/FullDisk.h"
#include "products/LinkFile.h"
#include "support/Gbk.h"
#include "ui/EntryWindows.h"
#include "ui/FileDialogs.h"

#include "ProductGridFixture.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

#include <functional>
#include <vector>

namespace corvix {
namespace {

using test::ProductGridTest;
using test::TempSession;

class Import : public ProductGridTest {
protected:
    // Runs `user` on the paste window once it is shown modally, then closes it.
    void PasteWith(const QString &clipboard, const std::function<void(PasteImportWindow &)> &user)
    {
        QGuiApplication::clipboard()->setText(clipboard);
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto *w = qobject_cast<PasteImportWindow *>(QApplication::activeModalWidget());
            ASSERT_NE(w, nullptr);
            seen = true;
            editorText = w->Editor()->toPlainText();
            if (user)
                user(*w);
            w->close();
        });
        window->findChild<QPushButton *>(QStringLiteral("按钮5"))->click();
        EXPECT_TRUE(seen);
    }
    // The next file dialog chooses path.
    static void ChooseFile(const std::filesystem::path &path)
    {
        SetOpenDialogHandlerForTests(
            [path](const QString &, const QString &, const QString &) { return QString::fromStdU16String(path.u16string()); });
    }
    std::string Links() { return TempSession::ReadBytes(LinkFilePath(root.Dirs())); }
    // Starts again without products: no url.ini, no rows.
    void NoProducts()
    {
        std::filesystem::remove(LinkFilePath(root.Dirs()));
        Grid().ClearRows();
    }
    QString editorText;
};

TEST_F(Import, PasteNormalisesSeparatorsAndCountsLines)
{
    PasteWith(QStringLiteral("Phone，L1|L2\r\nCase《L3》"), nullptr);
    EXPECT_EQ(editorText, QStringLiteral("Phone,L1,L2\nCase,L3,"));
    EXPECT_EQ(Links(), "[A0]\r\ntitle=Phone\r\nX=L1\r\nY=L2\r\n[A1]\r\ntitle=Case\r\nX=L3\r\n");
    EXPECT_EQ(messages.Texts(), QStringList{QStringLiteral("已导入：2条数据。")});
}

TEST_F(Import, PastedLinesWithBareLineFeedsAreStillLines)
{
    // This desktop's clipboard separates lines with line feeds only.
    PasteWith(QStringLiteral("a|http://1\nb|http://2\n"), nullptr);
    EXPECT_EQ(Column(1), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(messages.Texts(), QStringList{QStringLiteral("已导入：2条数据。")});
}

TEST_F(Import, ClipboardWithoutSeparatorOpensEmptyButTypedLinesImport)
{
    PasteWith(QStringLiteral("Bare title\r\nx|y"), nullptr);
    EXPECT_EQ(editorText, QString());
    EXPECT_FALSE(std::filesystem::exists(LinkFilePath(root.Dirs())));
    EXPECT_TRUE(messages.Texts().isEmpty());

    PasteWith(QStringLiteral("Bare title"),
              [](PasteImportWindow &w) { w.Editor()->setPlainText(QStringLiteral("T《http://a》\nU|http://b")); });
    EXPECT_EQ(Column(1), (std::vector<std::string>{"T", "U"}));
    EXPECT_EQ(messages.Texts(), QStringList{QStringLiteral("已导入：2条数据。")});
}

TEST_F(Import, PasteWindowFollowsItsSize)
{
    PasteWith(QString(), [](PasteImportWindow &w) {
        // The box takes the width and the height above 确定 and 取消.
        w.resize(700, 260);
        QApplication::processEvents();
        const int height = w.Editor()->height();
        w.resize(720, 300);
        QApplication::processEvents();
        EXPECT_EQ(w.Editor()->width(), 720);
        EXPECT_EQ(w.Editor()->height(), height + 40);
    });
}

TEST_F(Import, FileImportReadsGbkBytes)
{
    const auto path = root.Dir() / "in.txt";
    TempSession::WriteBytes(path, Gbk("手机，http://a|http://b") + "\r\n" + Gbk("億元<http://c>") + "\r\n");
    QString askedTitle, askedFilter;
    SetOpenDialogHandlerForTests([&](const QString &title, const QString &filter, const QString &) {
        askedTitle = title;
        askedFilter = filter;
        return QString::fromStdU16String(path.u16string());
    });
    window->findChild<QPushButton *>(QStringLiteral("按钮6"))->click();
    SetOpenDialogHandlerForTests(nullptr);
    EXPECT_EQ(askedTitle, QStringLiteral("导入文件(只能是txt后缀格式)"));
    EXPECT_EQ(askedFilter, QStringLiteral("文本文档(*.txt)|*.txt"));
    EXPECT_EQ(Column(1), (std::vector<std::string>{Gbk("手机"), Gbk("億元")}));
    EXPECT_EQ(ReadLink(root.Dirs(), 0, "Y"), "http://b");
    EXPECT_EQ(ReadLink(root.Dirs(), 1, "X"), "http://c");
    EXPECT_EQ(messages.Texts(), QStringList{QStringLiteral("已导入：2条数据。")});
}

TEST_F(Import, FileImportStartsInTheFolderOfTheLastFileImported)
{
    const auto folder = root.Dir() / "链接";
    std::filesystem::create_directories(folder);
    TempSession::WriteBytes(folder / "in.txt", "P,http://a\r\n");
    QStringList folders;
    SetOpenDialogHandlerForTests([&](const QString &, const QString &, const QString &start) {
        folders << start;
        return QString::fromStdU16String((folder / "in.txt").u16string());
    });
    for (int i = 0; i < 2; ++i)
        window->findChild<QPushButton *>(QStringLiteral("按钮6"))->click();
    SetOpenDialogHandlerForTests(nullptr);
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString first = QFileInfo(documents).isDir() ? documents : QDir::homePath();
    EXPECT_EQ(folders, (QStringList{first, QString::fromStdU16String(folder.u16string())}));
}

// An import that would drop products of url.ini asks first; a spreadsheet's
// tab-separated cells are fields, and a line without a product is named.
TEST_F(Import, ImportThatWouldDropProductsAsksToAppendReplaceOrCancel)
{
    const auto path = root.Dir() / "sheet.txt";
    TempSession::WriteBytes(path, "Q\thttp://a\r\nNew\thttp://b\r\nTitleOnly\r\n");
    ChooseFile(path);
    const std::string before = "[A0]\r\ntitle=P\r\n[A1]\r\ntitle=Q\r\n";
    const struct {
        int answer;
        std::vector<std::string> titles;
    } cases[] = {{0, {"P", "Q", "New"}}, {1, {"Q", "New"}}, {2, {}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.answer);
        messages.Clear();
        NoProducts();
        TempSession::WriteBytes(LinkFilePath(root.Dirs()), before);
        test::QuestionRecorder question(c.answer);
        import->FileImport();
        ASSERT_EQ(question.Texts().size(), 1);
        EXPECT_TRUE(question.Texts()[0].startsWith(QStringLiteral("要用导入的 2 个商品替换现有的 2 个商品吗？\r\n")));
        EXPECT_EQ(question.Buttons().value(0), (QStringList{QStringLiteral("追加"), QStringLiteral("替换"), QStringLiteral("取消")}));
        EXPECT_EQ(Column(1), c.titles);
        const bool imported = !c.titles.empty();
        if (!imported) {
            EXPECT_EQ(Links(), before);
        }
        for (size_t i = 0; i < c.titles.size(); ++i)
            EXPECT_EQ(ReadLink(root.Dirs(), static_cast<int>(i), "title"), c.titles[i]);
        ASSERT_EQ(messages.Texts().size(), imported ? 1 : 0);
        if (imported) {
            EXPECT_TRUE(messages.Texts()[0].contains(QStringLiteral("已导入：2条数据。\r\n第3行没有导入")));
        }
    }
    SetOpenDialogHandlerForTests(nullptr);
}

// The products are in url.ini and in the grid the moment they are imported,
// with empty cells; the prices the grid showed stay with their products.
TEST_F(Import, ImportedProductsAreShownAndKeptAtOnce)
{
    TempSession::WriteBytes(LinkFilePath(root.Dirs()), "[A0]\r\ntitle=P\r\nX=http://p\r\n");
    AddRows({{"1", "P", "9.90", ""}});
    Grid().MarkNotRefreshed({{0, 2}});
    const auto path = root.Dir() / "in.txt";
    TempSession::WriteBytes(path, "New,http://n,http://m\r\n");
    ChooseFile(path);
    questions.Answer(0); // 追加
    import->FileImport();
    SetOpenDialogHandlerForTests(nullptr);
    EXPECT_EQ(Links(), "[A0]\r\ntitle=P\r\nX=http://p\r\n[A1]\r\ntitle=New\r\nX=http://n\r\nY=http://m\r\n");
    EXPECT_EQ(Grid().Rows(), (std::vector<std::vector<std::string>>{{"1", "P", "9.90", Gbk("—")}, {"2", "New", "", ""}}));
    EXPECT_TRUE(Grid().NotRefreshed(0, 2)) << "a price from before a stopped run stays marked";
    EXPECT_FALSE(Grid().NotRefreshed(1, 2));
    EXPECT_EQ(messages.Texts(), QStringList{QStringLiteral("已导入：1条数据。")});
}

// The grid's rows are url.ini's products from the import on, the newest
// record's lines not yet: a delete takes no other product's prices with it.
TEST_F(Import, ADeleteAfterAnImportLeavesOtherProductsRecordLines)
{
    TempSession::WriteBytes(LinkFilePath(root.Dirs()), "[A0]\r\ntitle=Old\r\n");
    const auto record = root.Dirs().dbDir / "1700000001.txt";
    TempSession::WriteBytes(record, "Old|1.00||");
    AddRows({{"1", "Old", "1.00", ""}});
    const auto path = root.Dir() / "in.txt";
    TempSession::WriteBytes(path, "New,http://n\r\n");
    ChooseFile(path);
    questions.Answer(1); // 替换
    import->FileImport();
    SetOpenDialogHandlerForTests(nullptr);
    ASSERT_EQ(Column(1), std::vector<std::string>{"New"});
    questions.Answer(0); // 是
    SelectRow(0);
    list->DeleteProductRow();
    EXPECT_EQ(Grid().RowCount(), 0);
    EXPECT_EQ(ReadLink(root.Dirs(), 0, "title"), "");
    EXPECT_EQ(TempSession::ReadBytes(record), "Old|1.00||");
}

TEST_F(Import, AnImportThatCannotBeWrittenSaysSoAndChangesNothing)
{
    test::FullDisk disk;
    test::TestSession().dirs.dbDir = disk.Dir();
    const auto linkPath = LinkFilePath(root.Dirs());
    const std::string before = "[A0]\r\ntitle=old\r\n";
    TempSession::WriteBytes(linkPath, before);
    AddRows({{"1", "old", "1.00", ""}});
    const auto path = root.Dir() / "in.txt";
    TempSession::WriteBytes(path, "A,http://a\r\n");
    ChooseFile(path);
    questions.Answer(1); // 替换
    disk.Fill();
    import->FileImport();
    disk.Free();
    SetOpenDialogHandlerForTests(nullptr);
    ASSERT_EQ(messages.Texts().size(), 1);
    EXPECT_TRUE(messages.Texts()[0].startsWith(QStringLiteral("导入商品失败"))) << messages.Texts()[0].toStdString();
    EXPECT_TRUE(messages.Texts()[0].contains(QString::fromStdU16String(linkPath.u16string())));
    EXPECT_EQ(TempSession::ReadBytes(linkPath), before);
    EXPECT_EQ(Grid().Rows(), (std::vector<std::vector<std::string>>{{"1", "old", "1.00", ""}}));
}

TEST_F(Import, FileImportReadsUtf8WithLineFeedsAndSaysWhatItLeavesOut)
{
    const auto path = root.Dir() / "utf8.txt";
    // As a Linux editor writes it; the third link of the first line has no rule column.
    TempSession::WriteBytes(path, "手机，http://a|http://b|http://c\n外壳😀,http://d\n");
    SetOpenDialogHandlerForTests(
        [&](const QString &, const QString &, const QString &) { return QString::fromStdU16String(path.u16string()); });
    import->FileImport();
    SetOpenDialogHandlerForTests(nullptr);
    EXPECT_EQ(Column(1), (std::vector<std::string>{Gbk("手机"), Gbk("外壳?")}));
    EXPECT_EQ(Links().find("http://c"), std::string::npos) << "no shop for the third link";
    EXPECT_EQ(messages.Texts(),
              QStringList{QStringLiteral("已导入：2条数据。\r\n另有1个链接被忽略：只启用了2条采集规则，每行只用前2个链接。"
                                         "\r\n第2行有无法用GBK保存的字符，已换成“?”，请检查这些行。")});
}

TEST_F(Import, FileImportCancelledOrEmpty)
{
    SetOpenDialogHandlerForTests([](const QString &, const QString &, const QString &) { return QString(); });
    import->FileImport();

    const auto missing = root.Dir() / "missing.txt";
    SetOpenDialogHandlerForTests(
        [&](const QString &, const QString &, const QString &) { return QString::fromStdU16String(missing.u16string()); });
    import->FileImport();
    SetOpenDialogHandlerForTests(nullptr);
    EXPECT_FALSE(std::filesystem::exists(LinkFilePath(root.Dirs())));
    EXPECT_EQ(Grid().RowCount(), 0);
    EXPECT_TRUE(messages.Texts().isEmpty());
}

// The ways an entry window can end, and whether each keeps the entry.
struct Ending {
    const char *way;
    std::function<void(EntryWindow &)> end;
    bool kept;
};

std::vector<Ending> Endings()
{
    return {
        {"确定", [](EntryWindow &w) { w.OkButton()->click(); }, true},
        {"close button", [](EntryWindow &w) { w.close(); }, true},
        {"取消", [](EntryWindow &w) { w.CancelButton()->click(); }, false},
        {"Escape", [](EntryWindow &w) { QTest::keyClick(&w, Qt::Key_Escape); }, false},
    };
}

TEST_F(Import, PasteWindowKeepsTheTextByOkOrClosingAndDiscardsItByCancelOrEscape)
{
    for (const Ending &e : Endings()) {
        messages.Clear();
        NoProducts();
        PasteWith(QStringLiteral("Phone,L1"), [&](PasteImportWindow &w) {
            EXPECT_EQ(w.OkButton()->text(), QStringLiteral("确定"));
            EXPECT_EQ(w.CancelButton()->text(), QStringLiteral("取消"));
            e.end(w);
        });
        EXPECT_EQ(Column(1), e.kept ? std::vector<std::string>{"Phone"} : std::vector<std::string>{}) << e.way;
        EXPECT_EQ(messages.Texts().size(), e.kept ? 1 : 0) << e.way;
    }
}

class EditCell : public ProductGridTest {
protected:
    LinkInputWindow *DoubleClick(int row, int column)
    {
        QTest::mouseDClick(View()->viewport(), Qt::LeftButton, {}, CellPoint(row, column));
        return qobject_cast<LinkInputWindow *>(QApplication::activeWindow() == window.get()
                                                   ? window->findChild<LinkInputWindow *>()
                                                   : QApplication::activeWindow());
    }
    static void Close(LinkInputWindow *w, const QString &text)
    {
        w->Editor()->setPlainText(text);
        w->close();
        QApplication::processEvents();
    }
};

TEST_F(EditCell, IdAndTitleColumnsOpenNoLinkWindow)
{
    AddRows({{"1", "a"}});
    EXPECT_EQ(import->EditCell(CellPoint(0, 0)), nullptr);
    EXPECT_EQ(import->EditCell(CellPoint(0, 1)), nullptr);
    EXPECT_EQ(window->findChild<LinkInputWindow *>(), nullptr);
}

TEST_F(EditCell, LinkCellIsPrefilledFromTheLinkFileAndStoresHostLikeText)
{
    AddRows({{"1", "a", "", ""}});
    WriteLink(root.Dirs(), 0, "Y", "http://old/1");
    LinkInputWindow *w = DoubleClick(0, 3);
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(w->isModal());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("请输入Y链接"));
    EXPECT_EQ(w->Editor()->toPlainText(), QStringLiteral("http://old/1"));
    Close(w, QStringLiteral("shop.example.com/item/1"));
    EXPECT_EQ(ReadLink(root.Dirs(), 0, "Y"), "shop.example.com/item/1");
    EXPECT_EQ(Grid().Text(0, 3), "-");
    EXPECT_TRUE(messages.Texts().isEmpty());
}

TEST_F(EditCell, RejectedAndEmptyEntriesChangeNothing)
{
    AddRows({{"1", "a", "9.9", ""}});
    WriteLink(root.Dirs(), 0, "X", "http://keep");
    const std::string before = TempSession::ReadBytes(LinkFilePath(root.Dirs()));
    Close(import->EditCell(CellPoint(0, 2)), QStringLiteral("abc"));
    EXPECT_EQ(messages.Texts(),
              QStringList{QStringLiteral("输入的链接不正确！\r\n请确保链接中带有：http 或 https 等协议。")});
    Close(import->EditCell(CellPoint(0, 2)), QString());
    EXPECT_EQ(messages.Texts().size(), 1);
    EXPECT_EQ(TempSession::ReadBytes(LinkFilePath(root.Dirs())), before);
    EXPECT_EQ(Grid().Text(0, 2), "9.9");
}

TEST_F(EditCell, EntryGoesToTheCellItsWindowWasOpenedFor)
{
    AddRows({{"1", "a", "", ""}, {"2", "b", "", ""}});
    LinkInputWindow *w = import->EditCell(CellPoint(0, 2));
    // A second window, for another row's link, moves CurrentCell there.
    LinkInputWindow *other = import->EditCell(CellPoint(1, 3));
    Close(w, QStringLiteral("http://own.example/1"));
    EXPECT_EQ(ReadLink(root.Dirs(), 0, "X"), "http://own.example/1");
    EXPECT_EQ(Grid().Text(0, 2), "-");
    EXPECT_EQ(Grid().Text(1, 3), "");
    other->reject();
}

TEST_F(EditCell, LinkForABlankRuleTitleIsRefused)
{
    window->ListPage()->AddGridColumn(" ", 60, Qt::AlignHCenter);
    AddRows({{"1", "a", "", "", "9.9"}});
    Close(import->EditCell(CellPoint(0, 4)), QStringLiteral("http://shop.example/1"));
    EXPECT_EQ(messages.Texts(),
              QStringList{QStringLiteral("规则名称只有空格，无法为它保存链接：请先给这个规则换一个不是空白的名称。")});
    EXPECT_EQ(Grid().Text(0, 4), "9.9");
    EXPECT_FALSE(std::filesystem::exists(LinkFilePath(root.Dirs())));
}

TEST_F(EditCell, EntriesOnAFullDiskLeaveTheCellAndTheLinkFile)
{
    test::FullDisk disk;
    test::TestSession().dirs.dbDir = disk.Dir();
    AddRows({{"1", "a", "9.9", ""}});
    const auto linkPath = LinkFilePath(root.Dirs());
    TempSession::WriteBytes(linkPath, "[A0]\r\ntitle=a\r\n");
    LinkInputWindow *link = import->EditCell(CellPoint(0, 2));
    disk.Fill();
    Close(link, QStringLiteral("http://shop.example/1"));
    disk.Free();
    EXPECT_EQ(Grid().Text(0, 2), "9.9");
    EXPECT_EQ(TempSession::ReadBytes(linkPath), "[A0]\r\ntitle=a\r\n");
    EXPECT_EQ(messages.Texts().filter(QString::fromStdU16String(linkPath.u16string())).size(), 1);
}

TEST_F(EditCell, AClickThatResetsCurrentCellLeavesTheEntryWithItsOwnCell)
{
    AddRows({{"1", "a", "", ""}, {"2", "b", "", ""}});
    LinkInputWindow *w = import->EditCell(CellPoint(1, 2));
    ASSERT_NE(w, nullptr);
    QTest::mouseClick(View()->viewport(), Qt::LeftButton, {}, CellPoint(0, 1));
    ASSERT_EQ(test::TestSession().currentCell.column, 0);
    Close(w, QStringLiteral("http://own.example/1"));
    EXPECT_EQ(ReadLink(root.Dirs(), 1, "X"), "http://own.example/1");
    EXPECT_EQ(Grid().Text(1, 2), "-");
    EXPECT_EQ(Grid().Text(0, 0), "1");
    EXPECT_FALSE(TempSession::ReadBytes(LinkFilePath(root.Dirs())).find("ID=") != std::string::npos);
}

} // namespace
} // namespace corvix

namespace corvix {
namespace {

TEST_F(EditCell, LinkWindowKeepsTheEntryByOkOrClosingAndDiscardsItByCancelOrEscape)
{
    AddRows({{"1", "a", "", ""}});
    for (const Ending &e : Endings()) {
        Grid().SetText(0, 2, "a");
        QPointer<LinkInputWindow> w = import->EditCell(CellPoint(0, 2));
        ASSERT_NE(w, nullptr);
        w->Editor()->setPlainText(QStringLiteral("http://shop.example/1"));
        e.end(*w);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(Grid().Text(0, 2), e.kept ? "-" : "a") << e.way;
        EXPECT_EQ(ReadLink(root.Dirs(), 0, "X"), e.kept ? "http://shop.example/1" : "") << e.way;
        EXPECT_TRUE(w.isNull()) << e.way << ": the window is gone";
        std::filesystem::remove(LinkFilePath(root.Dirs()));
    }
}

} // namespace
} // namespace corvix
