// The export button: the file dialog, the export into the chosen file, and
// what the user is told.
#include "common/FullDisk.h"
#include "common/TestSupport.h"
#include "products/ExcelExport.h"
#include "products/ProductGridModel.h"
#include "products/RecordStamp.h"
#include "products/WorkbookReader.h"
#include "support/Gbk.h"
#include "ui/FileDialogs.h"
#include "ui/ShellOpen.h"
#include "ui/UiSettings.h"
#include "ui/MainWindow.h"
#include "ui/pages/ProductListPage.h"
#include "ui/products/ExportController.h"

#include <QDir>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

using namespace corvix;
using corvix::test::MessageRecorder;
using corvix::test::TempSession;

namespace {

class ExportButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<MainWindow>();
        window->ListPage()->AddGridColumn(Gbk("京东"), 60, Qt::AlignHCenter);
        window->ListPage()->Grid()->AppendRows({{"1", Gbk("苹果"), "12.50"}});
        controller = new ExportController(window->ListPage(), test::TestSession(), settings);
        SetSaveDialogHandlerForTests([this](const QString &title, const QString &filter, const QString &offered) {
            titles << title;
            filters << filter;
            proposed << offered;
            return answer;
        });
    }
    void TearDown() override { SetSaveDialogHandlerForTests(nullptr); }
    QPushButton *Button() const { return window->findChild<QPushButton *>(QStringLiteral("按钮7")); }
    // Clicks 导出 and waits until what the export ends with has been told.
    void Click()
    {
        Button()->click();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !controller->Exporting(); }, 60000));
    }

    TempSession root;
    MessageRecorder messages;
    test::QuestionRecorder questions{0}; // 确定
    UiSettings settings{QString::fromStdU16String((root.Dir() / "settings.ini").u16string())};
    std::unique_ptr<MainWindow> window;
    ExportController *controller = nullptr;
    QString answer;
    QStringList titles, filters, proposed;
};

} // namespace

TEST_F(ExportButtonTest, CancellingTheDialogStartsNothing)
{
    const auto before = DirEntries(root.Dir());
    Click();
    EXPECT_EQ(titles, QStringList{"保存文件"});
    EXPECT_EQ(filters, QStringList{"Excel文档(*.xlsx)|*.xlsx"});
    EXPECT_EQ(DirEntries(root.Dir()), before);
    EXPECT_TRUE(messages.Texts().isEmpty());
}

TEST_F(ExportButtonTest, ExportsTheGridToTheChosenFile)
{
    const auto target = root.Dir() / "价格.xlsx";
    answer = QString::fromStdU16String(target.u16string());
    Click();
    EXPECT_TRUE(messages.Texts().isEmpty()) << messages.Texts().join("\n").toStdString();
    EXPECT_EQ(questions.Texts(), QStringList{QStringLiteral("导出成功：") + QDir::toNativeSeparators(answer)});
    EXPECT_EQ(questions.Buttons(), QList<QStringList>{(QStringList{"确定", "打开文件夹"})});
    const Sheet sheet = ReadSheet(target);
    EXPECT_EQ(Text(sheet, "C1"), "京东");
    EXPECT_EQ(Text(sheet, "B2"), "苹果");
    EXPECT_TRUE(window->findChild<QPushButton *>(QStringLiteral("按钮7"))->isEnabled());
}

TEST_F(ExportButtonTest, TheButtonIsOffWhileTheWorkbookIsWrittenAndAClosingWindowWaitsForIt)
{
    const auto target = root.Dir() / "价格.xlsx";
    answer = QString::fromStdU16String(target.u16string());
    Button()->click();
    EXPECT_TRUE(controller->Exporting());
    EXPECT_FALSE(Button()->isEnabled());
    // What the user does to the grid now does not reach the workbook.
    window->ListPage()->Grid()->SetText(0, 1, Gbk("梨"));
    controller->FinishExport();
    EXPECT_EQ(questions.Texts(), QStringList{QStringLiteral("导出成功：") + QDir::toNativeSeparators(answer)});
    EXPECT_TRUE(Button()->isEnabled());
    EXPECT_EQ(Text(ReadSheet(target), "B2"), "苹果");
}

TEST_F(ExportButtonTest, UsesTheTemplateInClassDir)
{
    MakeTemplate(root.Dirs().classDir / "temp.xls");
    const auto target = root.Dir() / "out.xlsx";
    answer = QString::fromStdU16String(target.u16string());
    Click();
    const Sheet sheet = ReadSheet(target);
    EXPECT_EQ(Text(sheet, "B2"), "苹果");
    EXPECT_EQ(Text(sheet, "A40"), "制表：价格组");
}

TEST_F(ExportButtonTest, AFailedExportIsShownInAMessage)
{
    const auto target = root.Dir() / "missing" / "out.xlsx";
    answer = QString::fromStdU16String(target.u16string());
    Click();
    ASSERT_EQ(messages.Texts().size(), 1);
    EXPECT_TRUE(messages.Texts()[0].startsWith(QStringLiteral("导出失败")));
    EXPECT_TRUE(messages.Texts()[0].contains(answer));
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(ExportButtonTest, AFullDiskKeepsTheOldWorkbookAndSaysSo)
{
    // Both writers: a fresh workbook, then a copy of the template.
    for (const bool withTemplate : {false, true}) {
        SCOPED_TRACE(withTemplate);
        messages.Clear();
        if (withTemplate)
            MakeTemplate(root.Dirs().classDir / "temp.xls");
        test::FullDisk disk;
        const auto target = disk.Dir() / "价格.xlsx";
        TempSession::WriteBytes(target, "previous export");
        answer = QString::fromStdU16String(target.u16string());
        disk.Fill();
        Click();
        disk.Free();
        EXPECT_EQ(TempSession::ReadBytes(target), "previous export");
        EXPECT_EQ(DirEntries(disk.Dir()), std::vector<std::string>{"价格.xlsx"});
        ASSERT_EQ(messages.Texts().size(), 1);
        EXPECT_TRUE(messages.Texts()[0].startsWith(QStringLiteral("导出失败")));
        EXPECT_TRUE(messages.Texts()[0].contains(answer));
        EXPECT_TRUE(messages.Texts()[0].endsWith(QStringLiteral("原来的文件保持不变。")));
    }
}

TEST_F(ExportButtonTest, ProposesADatedNameInTheLastFolderUsed)
{
    const fs::path folder = root.Dir() / "导出";
    fs::create_directories(folder);
    const QString native = QString::fromStdU16String(folder.u16string());
    struct Step {
        QString lastFolder; // as remembered before the click
        QString expectedFolder;
    };
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString fallback = QFileInfo(documents).isDir() ? documents : QDir::homePath();
    const Step steps[] = {
        {QString(), fallback},
        {native, native},
        {native + QStringLiteral("/gone"), fallback},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(testing::Message() << "row " << (&s - &*std::begin(steps)));
        settings.SetLastExportFolder(s.lastFolder);
        proposed.clear();
        Click();
        ASSERT_EQ(proposed.size(), 1);
        const QFileInfo file(proposed[0]);
        EXPECT_EQ(QDir(file.absolutePath()), QDir(s.expectedFolder)) << proposed[0].toStdString();
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^价格记录-\\d{8}-\\d{4}\\.xlsx$")).match(file.fileName()).hasMatch())
            << file.fileName().toStdString();
    }
}

TEST_F(ExportButtonTest, ASuccessfulExportRemembersItsFolderAndCanOpenIt)
{
    const fs::path folder = root.Dir() / "导出";
    fs::create_directories(folder);
    answer = QString::fromStdU16String((folder / "a.xlsx").u16string());
    QList<QUrl> opened;
    SetShellOpenHandlerForTests([&](const QUrl &url) { opened << url; });
    questions.Answer(1); // 打开文件夹
    Click();
    SetShellOpenHandlerForTests(nullptr);
    const QString native = QString::fromStdU16String(folder.u16string());
    EXPECT_EQ(settings.LastExportFolder(), native);
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(native)});

    // A failed export asks nothing and keeps the folder remembered before.
    questions.Answer(0);
    answer = QString::fromStdU16String((root.Dir() / "missing" / "b.xlsx").u16string());
    Click();
    EXPECT_EQ(questions.Texts().size(), 1);
    EXPECT_EQ(settings.LastExportFolder(), native);
}

TEST_F(ExportButtonTest, TheSheetIsNamedAfterTheRecordShownOrNowForResultsNeverSaved)
{
    const auto target = root.Dir() / "a.xlsx";
    answer = QString::fromStdU16String(target.u16string());
    std::string shown = "1543910400";
    controller->FollowShownRecord([&shown] { return shown; });
    const auto sheetName = [&] {
        const std::string workbook = ReadEntry(target, "xl/workbook.xml").value_or("");
        std::smatch found;
        std::regex_search(workbook, found, std::regex("<sheet name=\"([^\"]*)\""));
        return QString::fromStdString(found.str(1));
    };
    Click();
    EXPECT_EQ(sheetName(), SheetNameOf(*RecordDateTime(shown)));

    shown.clear();
    const QDateTime before = QDateTime::currentDateTime();
    Click();
    const QString now = sheetName();
    EXPECT_TRUE(now == SheetNameOf(before) || now == SheetNameOf(QDateTime::currentDateTime())) << now.toStdString();
}

TEST(TellExportProblems, EachKindOfFailureInItsOwnWordsAndACancelledExportSaysNothing)
{
    MessageRecorder messages;
    const auto error = [](FileError::Kind kind, const char *file, const char *reason) {
        FileError e = ExportError(kind, fs::path(file), QString::fromUtf8(reason));
        e.rows = 1048576;
        e.columns = 3;
        return Result<ExportDone>(tl::unexpected(e));
    };
    struct Row {
        Result<ExportDone> result;
        bool ok;
        QString message; // empty: none
    };
    const Row table[] = {
        {ExportDone{}, true, {}},
        {ExportDone{"/c/temp.xls"}, true,
         QStringLiteral("模板文件无法使用：\n/c/temp.xls\n它是旧的 Excel 97-2003 格式（.xls），读取它需要 LibreOffice "
                        "（soffice），但本机没有安装。本次导出没有使用模板。")},
        {error(FileError::Kind::Access, "/d/a.xlsx", "No space left on device"), false,
         QStringLiteral("导出失败：无法写入文件\n/d/a.xlsx\n（磁盘已满或没有写入权限），原来的文件保持不变。")},
        {error(FileError::Kind::TooLarge, "/d/a.xlsx", ""), false,
         QStringLiteral("导出失败：表格有 1048576 行、3 列，超出了 Excel 工作表的上限（1048575 行、16384 列）。")},
        {error(FileError::Kind::NoTemporaryFolder, "", "full"), false,
         QStringLiteral("导出失败：无法创建临时目录。\nfull")},
        {error(FileError::Kind::NotAWorkbook, "/c/temp.xls", ""), false,
         QStringLiteral("导出失败：模板文件不是可读的 Excel 工作簿。\n/c/temp.xls")},
        {error(FileError::Kind::Damaged, "/c/temp.xls", "no workbook part"), false,
         QStringLiteral("导出失败：模板文件已损坏或不是 Excel 工作簿。\n/c/temp.xls\nno workbook part")},
        {error(FileError::Kind::NotConverted, "/c/temp.xls", "timed out"), false,
         QStringLiteral("导出失败：无法转换旧格式的模板文件。\n/c/temp.xls\ntimed out")},
        {error(FileError::Kind::Cancelled, "/d/a.xlsx", ""), false, {}},
    };
    for (size_t i = 0; i < std::size(table); ++i) {
        SCOPED_TRACE(i);
        messages.Clear();
        EXPECT_EQ(TellExportProblems(table[i].result), table[i].ok);
        EXPECT_EQ(messages.Texts(), table[i].message.isEmpty() ? QStringList() : QStringList{table[i].message});
    }
}
