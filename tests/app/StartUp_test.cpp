// Start-up and the shutdown save: the data root, one grid column per enabled
// rule, the restore of the newest record, and the save at close.
#include "app/StartUp.h"

#include "app/CommandLine.h"

#include "ui/Session.h"
#include "common/FullDisk.h"
#include "common/TestSupport.h"
#include "products/PriceHistoryLoader.h"
#include "products/ProductGridModel.h"
#include "products/RecordFile.h"
#include "products/TestGrids.h"
#include "products/WorkbookReader.h"
#include "support/FileIo.h"
#include "support/DateTime.h"
#include "support/Gbk.h"
#include "ui/MainWindow.h"
#include "ui/FileDialogs.h"
#include "ui/UiSettings.h"
#include "ui/pages/AboutPage.h"
#include "ui/pages/ProductListPage.h"
#include "ui/pages/RecordListPage.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QLockFile>
#include <QScreen>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <filesystem>

using namespace corvix;
namespace fs = std::filesystem;

namespace {

class StartUpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ResetTestSession();
        root_ = fs::path(dir_.path().toStdU16String());
        varnwick_ = root_ / "varnwick";
        fs::create_directories(varnwick_ / "class");
        fs::create_directories(varnwick_ / "db");
        fs::create_directories(varnwick_ / "spider");
    }

    std::unique_ptr<AppShell> Start()
    {
        return std::make_unique<AppShell>(StartUpOptions{root_, root_ / "fallback", {}});
    }

    void Write(const fs::path &path, const std::string &bytes) { test::TempSession::WriteBytes(path, bytes); }
    void Rule(const std::string &title, const std::string &open)
    {
        Write(PathInDir(varnwick_ / "spider", Gbk(title) + ".spider.cfg"),
              "[time]t[/time]\r\n[left]<b>[/left]\r\n[right]</b>[/right]\r\n[style]1[/style]\r\n[tb][/tb]\r\n"
              "[tbd]span[/tbd]\r\n[fixed]0[/fixed]\r\n[open]" + open + "[/open]");
    }
    std::vector<fs::path> RecordFiles() const
    {
        std::vector<fs::path> files;
        for (const auto &e : fs::directory_iterator(varnwick_ / "db"))
            if (e.path().extension() == ".txt")
                files.push_back(e.path());
        return files;
    }

    QTemporaryDir dir_;
    fs::path root_, varnwick_;
};

std::vector<std::string> Titles(const ProductGridModel &grid)
{
    std::vector<std::string> titles;
    for (int c = 0; c < grid.ColumnCount(); ++c)
        titles.push_back(grid.Title(c));
    return titles;
}

} // namespace

TEST_F(StartUpTest, FirstStartInAnEmptyDirectoryCreatesTheTreeAndTheIndex)
{
    fs::remove_all(varnwick_);
    auto shell = Start();
    EXPECT_TRUE(fs::is_directory(varnwick_ / "class"));
    EXPECT_TRUE(fs::is_directory(varnwick_ / "db"));
    EXPECT_TRUE(fs::is_directory(varnwick_ / "spider"));
    ASSERT_TRUE(fs::exists(varnwick_ / "class" / "orlist.txt"));
    EXPECT_EQ(fs::file_size(varnwick_ / "class" / "orlist.txt"), 0u);
    EXPECT_EQ(Titles(*shell->Window()->ListPage()->Grid()), (std::vector<std::string>{"ID", Gbk("商品名称")}));
    EXPECT_EQ(shell->State().dirs.dbDir, varnwick_ / "db");
}

TEST_F(StartUpTest, EnabledRulesBecomeColumnsInIndexOrder)
{
    Write(varnwick_ / "class" / "orlist.txt", "A\r\nB\r\n\r\nC\r\n" + Gbk("京东") + "\r\nD\r\nMissing");
    Rule("A", "1");
    Rule("B", "0");
    Rule("C", "1");
    Rule("京东", "1");
    Rule("D", " 1"); // a blank before the 1 is not enabled
    auto shell = Start();
    const ProductGridModel &grid = *shell->Window()->ListPage()->Grid();
    EXPECT_EQ(Titles(grid), (std::vector<std::string>{"ID", Gbk("商品名称"), "A", "C", Gbk("京东")}));
    for (int c = 2; c < grid.ColumnCount(); ++c) {
        EXPECT_EQ(shell->Window()->ListPage()->GridView()->header()->sectionSize(c), 60);
        EXPECT_TRUE(grid.ColumnAt(c).alignment & Qt::AlignHCenter);
    }
    std::vector<std::string> titles;
    for (const EnabledRule &rule : shell->State().enabledRules) {
        EXPECT_TRUE(rule.rule.enabled);
        titles.push_back(rule.title);
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"A", "C", Gbk("京东")}));
}

TEST_F(StartUpTest, NewestRecordIsRestoredWithRunningIds)
{
    Rule("A", "1");
    Rule("B", "1");
    Write(varnwick_ / "class" / "orlist.txt", "\r\nA\r\nB");
    Write(varnwick_ / "db" / "1500000000.txt", "old|1|2|");
    Write(varnwick_ / "db" / "1600000000.txt", "x|1.5|\r\n\r\n" + Gbk("苹果") + "|2|3|4|5|");
    Write(varnwick_ / "db" / "url.ini", "[A0]\r\ntitle=x\r\n");
    auto shell = Start();
    const ProductGridModel &grid = *shell->Window()->ListPage()->Grid();
    ASSERT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.Text(0, 0), "1");
    EXPECT_EQ(grid.Text(0, 1), "x");
    EXPECT_EQ(grid.Text(0, 2), "1.5");
    EXPECT_EQ(grid.Text(0, 3), "");
    EXPECT_EQ(grid.Text(1, 0), "2");
    EXPECT_EQ(grid.Text(1, 1), Gbk("苹果"));
    EXPECT_EQ(grid.Text(1, 3), "3");
    EXPECT_EQ(grid.ColumnCount(), 4) << "fields beyond the last column are dropped";
}

// A save the last process did not live to finish: its record was put in
// place, its side files not. The start finishes it before the grid is filled,
// so the grid shows that record, though the clock had been set back for it.
TEST_F(StartUpTest, ASaveLeftUnfinishedIsFinishedBeforeAnythingIsRead)
{
    Rule("A", "1");
    Write(varnwick_ / "class" / "orlist.txt", "A");
    Write(varnwick_ / "db" / "1543921200.txt", "old|1|"); // saved at 19:00, before the clock went back
    const auto stopAt = [&](int stop) {
        SetClockForTests([] { return LocalDateTime{2018, 12, 4, 18, 0, 0, 0}; });
        SetFilesTogetherStopForTests([stop](int step) { return step == stop; });
        EXPECT_THROW((void)SaveGridAsRecord(*test::MakeGrid({"A"}, {{"1", "new", "2"}}), varnwick_ / "db"),
                     FilesTogetherStopped);
        SetFilesTogetherStopForTests(nullptr);
        SetClockForTests(nullptr);
    };
    stopAt(3);
    {
        auto shell = Start();
        EXPECT_TRUE(shell->Usable());
        const ProductGridModel &grid = *shell->Window()->ListPage()->Grid();
        ASSERT_EQ(grid.RowCount(), 1);
        EXPECT_EQ(grid.Text(0, 1), "new");
        EXPECT_FALSE(fs::exists(varnwick_ / "changes.journal"));
    }

    // One that cannot be finished (a folder in the way) is named, and the
    // data root is left alone until it can.
    fs::remove(varnwick_ / "db" / "1543917600.txt");
    fs::remove(varnwick_ / "db" / "columns.ini");
    stopAt(2);
    fs::create_directories(varnwick_ / "db" / "columns.ini" / "in the way");
    test::MessageRecorder messages;
    auto shell = Start();
    EXPECT_FALSE(shell->Usable());
    ASSERT_EQ(messages.Texts().size(), 1);
    EXPECT_TRUE(messages.Texts()[0].startsWith(QStringLiteral("上次未完成的保存无法完成")))
        << messages.Texts()[0].toStdString();
    EXPECT_TRUE(
        messages.Texts()[0].contains(QString::fromStdU16String((varnwick_ / "db" / "columns.ini").u16string())));
    EXPECT_EQ(shell->Window()->ListPage()->Grid()->RowCount(), 0) << "nothing of the data root was read";
    EXPECT_TRUE(fs::exists(varnwick_ / "changes.journal"));
}

// Products imported after the last run are in url.ini, not in its record:
// the next start shows them too, beside the prices the record holds.
TEST_F(StartUpTest, ProductsImportedAfterTheLastRunAreShown)
{
    Rule("A", "1");
    Write(varnwick_ / "class" / "orlist.txt", "A");
    Write(varnwick_ / "db" / "1600000000.txt", "P|1.50|");
    Write(varnwick_ / "db" / "url.ini", "[A0]\r\ntitle=New\r\nA=http://n\r\n[A1]\r\ntitle=P\r\nA=http://p\r\n");
    auto shell = Start();
    EXPECT_EQ(shell->Window()->ListPage()->Grid()->Rows(),
              (std::vector<std::vector<std::string>>{{"1", "New", ""}, {"2", "P", "1.50"}}));
}

TEST_F(StartUpTest, CloseWritesARecordOnlyAfterResultsChanged)
{
    Write(varnwick_ / "db" / "1600000000.txt", "a|1|");
    {
        auto shell = Start();
        shell->Window()->close();
    }
    EXPECT_EQ(RecordFiles().size(), 1u) << "nothing is written without a capture or delete";

    {
        auto shell = Start();
        shell->State().resultsChanged = true;
        shell->Window()->ListPage()->Grid()->SetText(0, 1, Gbk("改过"));
        shell->Window()->close();
    }
    const auto files = RecordFiles();
    ASSERT_EQ(files.size(), 2u);
    std::string newest;
    for (const auto &f : files)
        if (f.filename() != "1600000000.txt")
            newest = test::TempSession::ReadBytes(f);
    EXPECT_EQ(newest, Gbk("改过") + "|");

    // The desktop session ending saves what changed, once: the close after it has nothing left.
    {
        auto shell = Start();
        shell->State().resultsChanged = true;
        shell->SaveForSessionEnd();
        EXPECT_EQ(RecordFiles().size(), 3u);
        shell->Window()->close();
    }
    EXPECT_EQ(RecordFiles().size(), 3u);
}

TEST_F(StartUpTest, AnExportUnderWayIsWrittenAndToldBeforeTheWindowCloses)
{
    Write(varnwick_ / "db" / "1600000000.txt", "a|1|");
    const fs::path target = root_ / "out.xlsx";
    SetSaveDialogHandlerForTests([&](const QString &, const QString &, const QString &) {
        return QString::fromStdU16String(target.u16string());
    });
    test::QuestionRecorder questions(0);
    {
        auto shell = Start();
        shell->Window()->findChild<QPushButton *>(QStringLiteral("按钮7"))->click();
        shell->Window()->close();
        EXPECT_EQ(questions.Texts().size(), 1) << "told before the window went";
    }
    SetSaveDialogHandlerForTests(nullptr);
    EXPECT_TRUE(ReadEntry(target, "xl/worksheets/sheet1.xml")) << "a whole workbook";
}

TEST_F(StartUpTest, FilesThatAreNoRecordsAreNamedOnceAndLeftAlone)
{
    Write(varnwick_ / "db" / "1600000000.txt", "a|\r\nb|");
    for (const char *name : {"99999999999999999999.txt", "8640000000000001.txt", "9999999999.txt"})
        Write(varnwick_ / "db" / name, "x|");
    test::MessageRecorder messages;
    auto shell = Start();
    EXPECT_EQ(shell->Window()->ListPage()->Grid()->RowCount(), 2) << "the real record is restored";
    ASSERT_EQ(messages.Texts().size(), 1);
    EXPECT_TRUE(messages.Texts()[0].contains(QStringLiteral("8640000000000001.txt"))) << messages.Texts()[0].toStdString();
    EXPECT_TRUE(messages.Texts()[0].contains(QStringLiteral("9999999999.txt")));
    EXPECT_EQ(RecordFiles().size(), 4u) << "nothing deleted";
}

TEST_F(StartUpTest, ARecordFolderThatCannotBeWrittenIsNamedAtStartUp)
{
    fs::remove(varnwick_ / "db");
    Write(varnwick_ / "db", ""); // as root, permission bits would prove nothing
    test::MessageRecorder messages;
    auto shell = Start();
    ASSERT_EQ(messages.Texts().size(), 1);
    EXPECT_TRUE(messages.Texts()[0].startsWith(QStringLiteral("数据目录无法写入"))) << messages.Texts()[0].toStdString();
    EXPECT_TRUE(messages.Texts()[0].contains(QString::fromStdU16String((varnwick_ / "db").u16string())));
}

TEST_F(StartUpTest, RecordListIsFilledAtStartUp)
{
    Write(varnwick_ / "db" / "1600000000.txt", "a|");
    Write(varnwick_ / "db" / "1500000000.txt", "b|");
    auto shell = Start();
    EXPECT_EQ(shell->Window()->RecordsPage()->List()->topLevelItemCount(), 2);
}

TEST_F(StartUpTest, TheHistoryIndexIsBuiltAtStartUpAndTakesTheRecordsSaved)
{
    Write(varnwick_ / "db" / "1500000000.txt", "a|1|");
    Write(varnwick_ / "db" / "1600000000.txt", "a|2|");
    auto shell = Start();
    shell->History().WaitUntilReady();
    EXPECT_EQ(shell->History().Index().RecordCount(), 2u);

    // Viewing a record saves the unsaved results first.
    SetClockForTests([] { return LocalDateTime{2021, 1, 1, 8, 0, 0, 0}; });
    shell->State().resultsChanged = true;
    QTreeWidget *records = shell->Window()->RecordsPage()->List();
    records->setCurrentItem(records->topLevelItem(0));
    test::TriggerAction(*shell->Window()->RecordsPage()->Menu(), QStringLiteral("查看"));
    EXPECT_EQ(shell->History().Index().RecordCount(), 3u);

    SetClockForTests([] { return LocalDateTime{2021, 1, 2, 8, 0, 0, 0}; });
    shell->State().resultsChanged = true;
    shell->Window()->close();
    SetClockForTests(nullptr);
    EXPECT_EQ(shell->History().Index().RecordCount(), 4u);
    EXPECT_EQ(RecordFiles().size(), 4u);
}

// A save at close that cannot be written says so, names the record file, and
// the program still ends; a copied data root is announced once.
TEST_F(StartUpTest, FailedShutdownSaveIsReportedAndTheProgramStillEnds)
{
    test::FullDisk disk;
    test::MessageRecorder messages;
    auto shell = std::make_unique<AppShell>(StartUpOptions{disk.Dir(), root_ / "fallback", {}});
    QSignalSpy finished(shell.get(), &AppShell::finished);
    EXPECT_TRUE(messages.Texts().isEmpty());
    shell->State().resultsChanged = true;
    shell->Window()->ListPage()->Grid()->AppendRow();
    shell->Window()->ListPage()->Grid()->SetText(0, 1, "a");
    disk.Fill();
    shell->Window()->close();
    EXPECT_EQ(finished.count(), 1);
    ASSERT_EQ(messages.Texts().size(), 1);
    EXPECT_TRUE(messages.Texts()[0].contains(QString::fromStdU16String((disk.Dir() / "varnwick" / "db").u16string())));
    EXPECT_TRUE(messages.Texts()[0].contains(QStringLiteral(".txt")));
    EXPECT_TRUE(fs::is_empty(disk.Dir() / "varnwick" / "db"));
    shell.reset();

    if (!disk.RealFilesystem())
        return;
    disk.Fill(); // the closed shell's lock file gave its room back
    messages.Clear();
    shell = std::make_unique<AppShell>(StartUpOptions{disk.Dir(), root_ / "fallback", {}});
    ASSERT_EQ(messages.Texts().size(), 1);
    EXPECT_TRUE(messages.Texts()[0].contains(QString::fromStdU16String((root_ / "fallback" / "varnwick").u16string())));
    shell.reset();
    messages.Clear();
    shell = std::make_unique<AppShell>(StartUpOptions{disk.Dir(), root_ / "fallback", {}});
    EXPECT_TRUE(messages.Texts().isEmpty()) << "said once";
}

// One program per data root: a second start is refused while the first one
// runs, and a lock left by a process that has died is taken over.
TEST_F(StartUpTest, ADataRootInUseIsRefusedAndAStaleLockTakenOver)
{
    test::MessageRecorder messages;
    const QString lockPath = QString::fromStdU16String((varnwick_ / "corvix.lock").u16string());
    {
        QLockFile held(lockPath);
        ASSERT_TRUE(held.tryLock(0));
        auto shell = Start();
        EXPECT_FALSE(shell->Usable());
        ASSERT_EQ(messages.Texts().size(), 1);
        EXPECT_TRUE(messages.Texts()[0].startsWith(QStringLiteral("数据目录正被进程 %1").arg(QCoreApplication::applicationPid())));
        EXPECT_TRUE(messages.Texts()[0].contains(lockPath));
        EXPECT_TRUE(shell->State().enabledRules.empty()) << "nothing of the data root was read";
    }
    messages.Clear();
    Write(varnwick_ / "corvix.lock", "999999999\ncorvix\n" + QSysInfo::machineHostName().toStdString() + "\n");
    auto shell = Start();
    EXPECT_TRUE(shell->Usable());
    EXPECT_TRUE(messages.Texts().isEmpty());
    auto second = Start();
    EXPECT_FALSE(second->Usable()) << "the first shell holds it now";
    shell.reset();
    second.reset();

    // A folder where the lock file belongs is named as such, not as a holder.
    fs::create_directory(varnwick_ / "corvix.lock");
    messages.Clear();
    EXPECT_FALSE(Start()->Usable());
    ASSERT_EQ(messages.Texts().size(), 1);
    EXPECT_TRUE(messages.Texts()[0].contains(QStringLiteral("文件夹"))) << messages.Texts()[0].toStdString();
    EXPECT_TRUE(messages.Texts()[0].contains(lockPath));
}

TEST_F(StartUpTest, WindowPlaceAndColumnWidthsAreRememberedBetweenRuns)
{
    Write(varnwick_ / "class" / "orlist.txt", Gbk("澜声旗舰店") + "\r\nB");
    Rule("澜声旗舰店", "1");
    Rule("B", "1");
    const fs::path settings = root_ / "settings.ini";
    const StartUpOptions options{root_, root_ / "fallback", settings};
    // A place on the screen: Qt 6.8 shrinks a restored window that is wider or
    // taller than its screen (the offscreen one is 800 px wide), as a window
    // placed by a user never is.
    const QRect place(10, 20, 780, 500);
    ASSERT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().contains(place)) << "a test screen too small";
    {
        AppShell shell(options);
        shell.Show();
        shell.Window()->setGeometry(place);
        shell.Window()->ListPage()->GridView()->header()->resizeSection(3, 123);
        shell.Window()->close();
    }
    AppShell shell(options);
    QHeaderView *header = shell.Window()->ListPage()->GridView()->header();
    EXPECT_EQ(header->sectionSize(3), 123);
    EXPECT_EQ(header->sectionSize(2), shell.Window()->ListPage()->ShopColumnWidth(QStringLiteral("澜声旗舰店")));
    EXPECT_GT(header->sectionSize(2), 60);
    shell.Show();
    EXPECT_EQ(shell.Window()->size(), place.size());
}

TEST_F(StartUpTest, ParallelLinksAreStoredAtOnceAndComeBackAtTheNextStart)
{
    const fs::path settings = root_ / "settings.ini";
    const QString settingsFile = QString::fromStdU16String(settings.u16string());
    const StartUpOptions options{root_, root_ / "fallback", settings};
    {
        AppShell shell(options);
        EXPECT_EQ(shell.Window()->ListPage()->ParallelLinks(), 1) << "the first start";
        shell.Window()->ListPage()->SetParallelLinks(6);
        // Stored before the window closes: a crash would not lose it.
        EXPECT_EQ(UiSettings(settingsFile).ParallelLinks(), 6);
    }
    AppShell shell(options);
    EXPECT_EQ(shell.Window()->ListPage()->ParallelLinks(), 6);
}

TEST_F(StartUpTest, AboutUsNamesTheVersion)
{
    auto shell = Start();
    EXPECT_EQ(shell->Window()->AboutUsPage()->Version()->text(), VersionText());
    EXPECT_TRUE(VersionText().startsWith(QStringLiteral("Corvix ")));
}
