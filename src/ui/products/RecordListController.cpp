#include "ui/products/RecordListController.h"

#include "support/PathText.h"
#include "ui/Session.h"
#include "products/PriceAlerts.h"
#include "products/ProductGridModel.h"
#include "products/RecordColumns.h"
#include "products/RecordFile.h"
#include "products/RecordList.h"
#include "support/FileIo.h"
#include "support/Gbk.h"
#include "ui/MainWindow.h"
#include "ui/MessageBox.h"
#include "ui/StepProgress.h"
#include "ui/pages/ProductListPage.h"
#include "ui/pages/RecordListPage.h"

#include <utility>

namespace corvix {

RecordListController::RecordListController(MainWindow *window, Session &session)
    : QObject(window), window_(window), page_(window->RecordsPage()), session_(session)
{
    connect(page_, &RecordListPage::refreshRequested, this, &RecordListController::RefreshRecordList);
    connect(page_, &RecordListPage::viewRequested, this, &RecordListController::ViewRecord);
    ProductListPage *listPage = window_->ListPage();
    connect(listPage, &ProductListPage::backToCurrentRequested, this, &RecordListController::ReturnToCurrentResults);
    // A capture run that rebuilds the grid makes the kept rows out of date.
    connect(listPage->Grid(), &ProductGridModel::showsOlderRecordChanged, this, [this](bool older) {
        if (!older)
            currentRows_.reset();
    });
}

void RecordListController::FillRecordList()
{
    for (const RecordListEntry &entry : ListRecordEntries(session_.dirs.dbDir))
        page_->AppendRecord(FromGbk(entry.name), FromGbk(entry.displayTime));
}

void RecordListController::RefreshRecordList()
{
    page_->ClearRecords();
    FillRecordList();
}

bool RecordListController::SaveResults(std::filesystem::path *file)
{
    // The alert state of a run goes with its record, and waits for no other.
    const std::optional<std::string> alerts = std::exchange(session_.alertsAfterRun, std::nullopt);
    const std::filesystem::path alertsPath = AlertsFilePath(session_.dirs);
    std::vector<FileContents> alongside;
    if (alerts)
        alongside.push_back({alertsPath, *alerts});
    const Result<SavedRecord> saved = SaveGridAsRecord(*window_->ListPage()->Grid(), session_.dirs.dbDir, alongside);
    if (file)
        *file = saved ? saved->path : saved.error().path;
    if (!saved) {
        if (alerts && !WriteFileAtomically(alertsPath, *alerts))
            ShowWriteFailure(QStringLiteral("保存提醒状态"), alertsPath);
        return false;
    }
    // The record is safe; without its titles it is read by position later.
    for (const FileError &notSaved : saved->notSaved) {
        if (notSaved.path == RecordColumnsPath(session_.dirs.dbDir))
            ShowWriteFailure(QStringLiteral("保存记录的店铺名称"), notSaved);
        else if (notSaved.path == alertsPath)
            ShowWriteFailure(QStringLiteral("保存提醒状态"), notSaved);
        else
            ShowWriteFailure(QStringLiteral("保存记录"), notSaved);
    }
    session_.resultsChanged = false;
    emit recordSaved(saved->path);
    RefreshRecordList();
    return true;
}

void RecordListController::ViewRecord()
{
    const std::optional<QString> chosen = page_->SelectedRecordName();
    if (!chosen)
        return;
    const std::string name = ToGbk(*chosen) + ".txt";
    const QString saveTime = page_->SelectedRecordTime();
    ProductGridModel &grid = *window_->ListPage()->Grid();
    const std::filesystem::path dbDir = session_.dirs.dbDir;

    // Results of this run that are not saved yet would be lost: the shutdown
    // save would write the snapshot being viewed in their place. They are saved
    // now, and the viewed snapshot, already on disk, needs no save at shutdown.
    if (session_.resultsChanged && !SaveResults()) {
        ShowMessage(QStringLiteral("本次的抓取结果无法保存到：\n%1\n为免丢失，未载入所选记录。")
                        .arg(PathText(dbDir)));
        return;
    }

    // Looking from one older record to the next keeps the rows of today.
    if (!grid.ShowsOlderRecord())
        currentRows_ = grid.Rows();
    grid.ClearRows();
    {
        StepProgress bar(window_, QStringLiteral("正在载入记录……"));
        LoadRecordIntoGrid(PathInDir(dbDir, name), grid, [&bar](int read, int lines) { bar.Tell(read, lines); });
    }
    grid.SetShowsOlderRecord(true);
    window_->ListPage()->ShowOlderRecordBanner(saveTime);
    window_->ShowTab(MainTab::List);
    emit recordViewed(ToGbk(*chosen));
}

void RecordListController::ReturnToCurrentResults()
{
    ProductGridModel &grid = *window_->ListPage()->Grid();
    if (!grid.ShowsOlderRecord() || !currentRows_)
        return;
    std::vector<std::vector<std::string>> rows = std::move(*currentRows_);
    grid.ClearRows();
    grid.AppendRows(std::move(rows));
    grid.SetShowsOlderRecord(false);
}

} // namespace corvix
