#include "app/StartUp.h"

#include "app/CommandLine.h"
#include "capture/CapturePlan.h"
#include "products/LinkFile.h"

#include "support/DataRoot.h"
#include "support/DataRootLock.h"
#include "support/FileIo.h"
#include "support/PathText.h"
#include "ui/Events.h"
#include "ui/capture/CaptureRunController.h"
#include "ui/capture/RuleTestController.h"
#include "ui/products/ChangeMarksController.h"
#include "ui/products/DesktopNotifier.h"
#include "ui/products/PriceNoticesController.h"
#include "ui/products/UnitPricesController.h"
#include "ui/products/ExportController.h"
#include "ui/products/ImportController.h"
#include "products/PriceHistoryLoader.h"
#include "products/ProductGridModel.h"
#include "ui/products/PriceHistoryController.h"
#include "ui/products/ProductListController.h"
#include "products/RecordFile.h"
#include "products/RecordList.h"
#include "ui/products/RecordListController.h"
#include "ui/products/ShopColumnsController.h"
#include "rules/EnabledRules.h"
#include "ui/rules/RuleEditorController.h"
#include "ui/rules/RuleListController.h"
#include "support/Gbk.h"
#include "ui/MainWindow.h"
#include "ui/browser/BrowserView.h"
#include "ui/MessageBox.h"
#include "ui/StepProgress.h"
#include "ui/UiSettings.h"
#include "ui/pages/ProductListPage.h"
#include "ui/pages/RecordListPage.h"
#include "ui/pages/RuleListPage.h"

#include <QHeaderView>
#include <QTreeView>
#include <QTreeWidget>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStandardPaths>

namespace corvix {

// The shell owns the controllers and destroys them, in reverse order, before
// the window: the rule list uses the rule editor, and no handler may run on a
// half-destroyed window.
struct AppShell::Controllers {
    std::unique_ptr<RuleTestController> ruleTest;
    std::unique_ptr<RuleEditorController> ruleEditor;
    std::unique_ptr<RuleListController> ruleList;
    std::unique_ptr<ProductListController> productList;
    std::unique_ptr<ImportController> import;
    std::unique_ptr<CaptureRunController> captureRun;
    std::unique_ptr<RecordListController> recordList;
    std::unique_ptr<ExportController> exporter;
    std::unique_ptr<ChangeMarksController> changeMarks;
    std::unique_ptr<PriceNoticesController> priceNotices;
    std::unique_ptr<UnitPricesController> unitPrices;
    std::unique_ptr<PriceHistoryController> priceHistory;
    std::unique_ptr<ShopColumnsController> shopColumns;
};

AppShell::AppShell(StartUpOptions options)
    : options_(std::move(options)), history_(std::make_unique<PriceHistoryLoader>())
{
    settings_ = options_.settingsFile.empty()
                    ? std::make_unique<UiSettings>()
                    : std::make_unique<UiSettings>(PathText(options_.settingsFile));
    window_ = std::make_unique<MainWindow>();
    window_->SetVersionText(VersionText());
    controllers_ = std::make_unique<Controllers>();
    BindControllers();
    RememberParallelLinks();
    StartUp();
    connect(window_.get(), &MainWindow::aboutToBeDestroyed, this, [this] {
        SaveWindowLayout();
        // The workbook being exported is written (or its failure told) first.
        controllers_->exporter->FinishExport();
        closing_ = true;
        if (!controllers_->captureRun->Running())
            Finish();
    });
    // The desktop session ends (log out, shut down): what the run captured is
    // saved now, as a close would, for there may be no later chance.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this] { SaveForSessionEnd(); });
    connect(controllers_->captureRun.get(), &CaptureRunController::runEnded, this, [this] {
        if (closing_)
            Finish();
        else if (controllers_->captureRun->LastRunChangedGrid())
            SaveRunResults();
    });
}

AppShell::~AppShell()
{
    controllers_.reset();
    window_.reset();
    settings_.reset();
}

void AppShell::Show()
{
    const QByteArray geometry = settings_->WindowGeometry();
    if (!geometry.isEmpty())
        window_->restoreGeometry(geometry);
    else
        window_->ResizeToFirstSize(); // wide enough for the rule columns start-up added
    window_->show();
}

// The columns of the three lists, after start-up has given the grid its rule columns.
void AppShell::RestoreWindowLayout()
{
    settings_->RestoreColumnWidths(*window_->ListPage()->GridView()->header());
    settings_->RestoreColumnWidths(*window_->RulesPage()->List()->header());
    settings_->RestoreColumnWidths(*window_->RecordsPage()->List()->header());
}

void AppShell::SaveWindowLayout()
{
    settings_->SetWindowGeometry(window_->saveGeometry());
    settings_->SaveColumnWidths(*window_->ListPage()->GridView()->header());
    settings_->SaveColumnWidths(*window_->RulesPage()->List()->header());
    settings_->SaveColumnWidths(*window_->RecordsPage()->List()->header());
    settings_->Sync();
}

void AppShell::BindControllers()
{
    MainWindow *w = window_.get();
    auto &c = *controllers_;
    Session &s = session_;
    c.ruleTest = std::make_unique<RuleTestController>(w->EditorPage(), s);
    c.ruleEditor = std::make_unique<RuleEditorController>(w, s);
    c.ruleList = std::make_unique<RuleListController>(w, s, c.ruleEditor.get(),
                                                      [test = c.ruleTest.get()] { test->TestRule(); });
    c.productList = std::make_unique<ProductListController>(w, s);
    c.import = std::make_unique<ImportController>(w->ListPage(), s, *settings_);
    c.captureRun = std::make_unique<CaptureRunController>(w, s);
    c.recordList = std::make_unique<RecordListController>(w, s);
    c.exporter = std::make_unique<ExportController>(w->ListPage(), s, *settings_);
    c.changeMarks = std::make_unique<ChangeMarksController>(w, s, c.captureRun.get(), c.recordList.get());
    c.exporter->FollowShownRecord([marks = c.changeMarks.get()] { return marks->ShownRecord(); });
    // After the change marks: the notices compare with the record they take.
    c.priceNotices = std::make_unique<PriceNoticesController>(w, s, c.captureRun.get(), c.changeMarks.get(), *history_,
                                                              MakeDesktopNotifier(w));
    c.unitPrices = std::make_unique<UnitPricesController>(w->ListPage(), s, c.changeMarks.get());
    c.priceHistory = std::make_unique<PriceHistoryController>(w->ListPage(), *history_, settings_.get());
    c.priceHistory->FollowUnitPrices(&s.dirs);
    connect(c.recordList.get(), &RecordListController::recordSaved, history_.get(),
            &PriceHistoryLoader::AddRecordFile);
    c.productList->FollowRun(c.captureRun.get());
    c.shopColumns = std::make_unique<ShopColumnsController>(w->ListPage(), s);
    c.shopColumns->FollowRun(c.captureRun.get());
    connect(c.ruleEditor.get(), &RuleEditorController::rulesChanged, c.shopColumns.get(),
            &ShopColumnsController::RulesChanged);
    connect(c.ruleList.get(), &RuleListController::rulesChanged, c.shopColumns.get(),
            &ShopColumnsController::RulesChanged);
}

// "同时抓取" comes back as it was last set, and each change is stored at once.
void AppShell::RememberParallelLinks()
{
    ProductListPage *page = window_->ListPage();
    page->SetParallelLinks(settings_->ParallelLinks());
    connect(page, &ProductListPage::parallelLinksChanged, this,
            [settings = settings_.get()](int links) { settings->SetParallelLinks(links); });
}

PreparedDataRoot PrepareProgramDataRoot(const StartUpOptions &options)
{
    std::filesystem::path programDir = options.programDir;
    std::filesystem::path fallbackDir = options.fallbackDir;
    if (programDir.empty())
        programDir = std::filesystem::path(QCoreApplication::applicationDirPath().toStdU16String());
    if (fallbackDir.empty())
        fallbackDir = std::filesystem::path(
            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdU16String());
    return PrepareDataRoot(programDir, fallbackDir);
}

QString DataRootInUseText(const DataRootLock &lock, const std::filesystem::path &root)
{
    const QString lockPath = PathText(lock.Path());
    if (lock.PlaceTaken())
        return QStringLiteral("无法锁定数据目录：锁文件的位置被一个文件夹（或其他不是文件的东西）占用：\n") + lockPath
               + QStringLiteral("\n请将它删除或改名后再启动。");
    return QStringLiteral("数据目录正被") + lock.Holder() + QStringLiteral("使用：\n")
           + PathText(root) + QStringLiteral("\n（锁文件 ") + lockPath
           + QStringLiteral("）\n同一个数据目录只能由一个 Corvix 使用，请先关闭它。");
}

QString UnfinishedSaveText(const FileError &error)
{
    return QStringLiteral("上次未完成的保存无法完成，无法写入文件：\n") + PathText(error.path) + QStringLiteral("\n（")
           + error.reason + QStringLiteral("）\n为免数据前后不一致，暂不使用这个数据目录，请解决后再启动。");
}

QString NonRecordFilesText(const std::filesystem::path &dbDir)
{
    const std::vector<std::filesystem::path> files = NonRecordFiles(dbDir);
    if (files.empty())
        return {};
    QString text = QStringLiteral("记录目录中这些文件的名字不是有效的保存时间，不作为记录（文件保持原样）：\n")
                   + PathText(dbDir);
    for (const auto &file : files)
        text += QStringLiteral("\n  ") + PathText(file);
    return text;
}

void AppShell::StartUp()
{
    Session &program = session_;
    const PreparedDataRoot root = PrepareProgramDataRoot(options_);
    program.dirs = root.dirs;
    lock_ = std::make_unique<DataRootLock>(program.dirs.root);
    if (lock_->HeldElsewhere() || lock_->PlaceTaken()) {
        usable_ = false;
        ShowMessage(DataRootInUseText(*lock_, program.dirs.root));
        return;
    }
    // A save the last process did not live to finish is finished first:
    // everything read below sees its files all old or all new.
    if (const Result<void> finished = FinishFilesTogether(ChangeJournalPath(program.dirs.root)); !finished) {
        usable_ = false;
        ShowMessage(UnfinishedSaveText(finished.error()));
        return;
    }
    SetCaptureProfileRoot(program.dirs.root);
    TellWhereTheDataLives(root);
    if (const QString others = NonRecordFilesText(program.dirs.dbDir); !others.isEmpty())
        ShowMessage(others);

    // One grid column per enabled rule, in index order. Rules enabled later
    // get their columns then; none goes before the program ends.
    program.enabledRules.clear();
    for (auto &rule : LoadEnabledRules(program.dirs, ProcessPendingEvents)) {
        window_->ListPage()->AddShopColumn(rule.title);
        program.enabledRules.push_back(std::move(rule));
    }
    RestoreWindowLayout();

    // The results of the last run come back into the grid, on url.ini's products.
    const std::string newest = NewestRecordName(program.dirs.dbDir);
    const std::filesystem::path file = PathInDir(program.dirs.dbDir, newest);
    if (!newest.empty()) {
        // Before the window is shown: a large record gets a bar of its own.
        StepProgress bar(nullptr, QStringLiteral("正在载入上次的记录……"));
        LoadRecordIntoGrid(file, *window_->ListPage()->Grid(), [&bar](int read, int lines) { bar.Tell(read, lines); });
    }
    FollowLinkFileProducts(*window_->ListPage()->Grid(), LinkFilePath(program.dirs), program.dirs.dbDir);
    if (!newest.empty())
        controllers_->changeMarks->GridLoadedFrom(RecordEntryOf(file.filename()).name);

    controllers_->recordList->FillRecordList();
    history_->Start(program.dirs.dbDir);
}

void AppShell::TellWhereTheDataLives(const PreparedDataRoot &root)
{
    const auto shown = [](const std::filesystem::path &path) { return PathText(path); };
    if (!root.copiedFrom.empty())
        ShowMessage(QStringLiteral("数据目录无法写入（只读或磁盘已满）：\n") + shown(root.copiedFrom)
                    + QStringLiteral("\n其中的规则、链接和记录已复制到：\n") + shown(root.dirs.root)
                    + QStringLiteral("\n以后的数据都保存在这里。"));
    else if (!root.copyError.empty())
        ShowMessage(QStringLiteral("数据目录无法写入（只读或磁盘已满）：\n") + shown(root.dirs.root)
                    + QStringLiteral("\n也无法复制到用户数据目录（") + QString::fromLocal8Bit(root.copyError.c_str())
                    + QStringLiteral("）。\n本次仍使用原目录，保存的内容将无法写入。"));
    // A root that became read-only since it was made.
    else if (const QString why = WhyNotWritable(root.dirs.dbDir); !why.isEmpty())
        ShowMessage(QStringLiteral("数据目录无法写入（") + why + QStringLiteral("）：\n") + shown(root.dirs.dbDir)
                    + QStringLiteral("\n本次抓取的结果将无法保存。"));
}

void AppShell::Finish()
{
    if (finished_)
        return;
    finished_ = true;
    ShutdownSave();
    emit finished();
}

void AppShell::ShutdownSave()
{
    if (!session_.resultsChanged)
        return;
    std::filesystem::path record;
    if (!controllers_->recordList->SaveResults(&record))
        ShowWriteFailure(QStringLiteral("保存本次抓取结果"), record);
}

void AppShell::SaveForSessionEnd()
{
    if (!usable_ || finished_)
        return;
    controllers_->captureRun->StopRun();
    ShutdownSave();
}

// Each run or retry that changed prices is a record of its own, saved when it
// ends: a window left open for a week keeps every day's prices. A failed save
// is told, and the close tries again.
void AppShell::SaveRunResults()
{
    std::filesystem::path record;
    if (!controllers_->recordList->SaveResults(&record)) {
        ShowWriteFailure(QStringLiteral("保存本次抓取结果"), record);
        return;
    }
    // The grid now shows that record: its marks stay against the one before.
    controllers_->changeMarks->GridLoadedFrom(RecordEntryOf(record.filename()).name);
}

} // namespace corvix
