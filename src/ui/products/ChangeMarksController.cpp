#include "ui/products/ChangeMarksController.h"

#include "products/LastSaved.h"
#include "products/PriceChanges.h"
#include "products/ProductGridModel.h"
#include "ui/MainWindow.h"
#include "ui/Session.h"
#include "ui/capture/CaptureRunController.h"
#include "ui/pages/ProductListPage.h"
#include "ui/products/PriceChangeDelegate.h"
#include "ui/products/RecordListController.h"
#include "ui/products/ShopColumnsController.h"

#include <QTreeView>

namespace corvix {

ChangeMarksController::ChangeMarksController(MainWindow *window, Session &session, CaptureRunController *run,
                                             RecordListController *records)
    : QObject(window), window_(window), grid_(window->ListPage()->Grid()), session_(session),
      delegate_(new PriceChangeDelegate(window->ListPage()->GridView()))
{
    window->ListPage()->GridView()->setItemDelegate(delegate_);
    connect(run, &CaptureRunController::runStarted, this, &ChangeMarksController::RunStarted);
    connect(run, &CaptureRunController::runEnded, this, &ChangeMarksController::RunEnded);
    connect(records, &RecordListController::recordViewed, this, &ChangeMarksController::RecordViewed);
    connect(window, &MainWindow::aboutToBeDestroyed, this, [this] { windowClosed_ = true; });
    connect(grid_, &ProductGridModel::showsOlderRecordChanged, this, [this](bool older) {
        if (!older && !running_)
            CurrentResultsBack();
    });
    // Rows appended below keep the marks of the rows above; a row removed or
    // put back moves the ones below it, so the marks are taken again.
    connect(grid_, &QAbstractItemModel::modelReset, this, [this] { ShowChangesSince(std::nullopt); });
    connect(grid_, &QAbstractItemModel::rowsRemoved, this, [this] {
        if (!running_)
            ShowChangesSince(earlier_);
    });
    connect(grid_, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex &, int, int last) {
        if (!running_ && last < grid_->RowCount() - 1)
            ShowChangesSince(earlier_);
    });
    // A new shop column moves the ones after it; the earlier record's cells
    // follow their shop titles, so the marks are taken again.
    connect(grid_, &QAbstractItemModel::columnsInserted, this, [this] {
        if (!running_)
            ShowChangesSince(earlier_);
    });
}

void ChangeMarksController::GridLoadedFrom(const std::string &name)
{
    shownRecord_ = name;
    currentRecord_ = name;
    ShowChangesSince(EarlierRecord());
}

void ChangeMarksController::RunStarted(bool retry)
{
    running_ = true;
    if (!retry) {
        shownRecord_.clear();
        currentRecord_.clear();
    }
    ShowChangesSince(std::nullopt);
}

void ChangeMarksController::RunEnded()
{
    running_ = false;
    if (!windowClosed_)
        ShowChangesSince(EarlierRecord());
}

void ChangeMarksController::RecordViewed(const std::string &name)
{
    shownRecord_ = name;
    ShowChangesSince(EarlierRecord());
}

void ChangeMarksController::CurrentResultsBack()
{
    shownRecord_ = currentRecord_;
    ShowChangesSince(EarlierRecord());
}

std::optional<RecordListEntry> ChangeMarksController::EarlierRecord() const
{
    const std::vector<RecordListEntry> entries = ListRecords(session_.dirs.dbDir);
    if (shownRecord_.empty())
        return LastSavedRecord(session_.dirs.dbDir, entries);
    return RecordSavedBefore(session_.dirs.dbDir, entries, shownRecord_);
}

void ChangeMarksController::ShowChangesSince(std::optional<RecordListEntry> earlier)
{
    earlier_ = std::move(earlier);
    if (!earlier_) {
        delegate_->ClearChanges();
    } else {
        RecordListEntry named = *earlier_;
        // A record whose name is no time is named by its name in the tooltip.
        if (named.displayTime.empty())
            named.displayTime = named.name;
        delegate_->SetChanges(CompareWithRecord(*grid_, session_.dirs.dbDir, named));
    }
    // Widths follow the texts once they stand: a run's cells change link by link.
    if (!running_)
        WidenShopColumnsToContent(*window_->ListPage());
    window_->ListPage()->GridView()->viewport()->update();
    emit marksChanged();
}

} // namespace corvix
