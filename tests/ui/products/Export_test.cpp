// The export button: the file dialog, the export into the chosen file, and
// what the user is told.
#include "common/FullDisk.h"
#include "common/TestSupport.h"
#include "products/ExcelExport.h"
#include "products/ProductGridModel.h"
#include "products/WorkbookReader.h"
#include "support/Gbk.h"
#include "ui/FileDialogs.h"
#include "ui/MainWindow.h"
#include "ui/pages/ProductListPage.h"
#include "ui/products/ExportController.h"

#include <QPushButton>

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
        new ExportController(window->ListPage(), test::TestSession());
        SetFileDialogHandlerForTests([this](const QString &title, const QString &filter) {
            titles << title;
            filters << filter;
            return answer;
        });
    }
    void TearDown() override { SetFileDialogHandlerForTests(nullptr); }
    void Click() { window->findChild<QPushButton *>(QStringLiteral("按钮7"))->click(); }

    TempSession root;
    MessageRecorder messages;
    std::unique_ptr<MainWindow> window;
    QString answer;
    QStringList titles, filters;
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
    const Sheet sheet = ReadSheet(target);
    EXPECT_EQ(Text(sheet, "C1"), "京东");
    EXPECT_EQ(Text(sheet, "B2"), "苹果");
    EXPECT_TRUE(window->findChild<QPushButton *>(QStringLiteral("按钮7"))->isEnabled());
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
