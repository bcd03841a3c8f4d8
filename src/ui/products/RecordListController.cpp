#include "ui/products/RecordListController.h"

#include "ui/Session.h"
#include "products/ProductGridModel.h"
#include "products/RecordFile.h"
#include "products/RecordList.h"
#include "support/Gbk.h"
#include "ui/ContextMenuHook.h"
#include "ui/MainWindow.h"
#include "ui/MessageBox.h"

#include <QAction>
#include <QMenu>
#include <QTabWidget>
#include <QTreeWidget>

namespace corvix {
namespace {

QAction *MenuAction(QMenu *menu, const QString &name)
{
    for (QAction *action : menu->actions())
        if (action->objectName() == name)
            return action;
    return nullptr;
}

QTreeWidgetItem *SelectedRecord(QTreeWidget *list)
{
    const auto selected = list->selectedItems();
    return selected.isEmpty() ? nullptr : selected.front();
}

} // namespace

RecordListController::RecordListController(MainWindow *window, Session &session) : QObject(window), window_(window), session_(session)
{
    if (QAction *refresh = MenuAction(window_->RecordMenu(), QStringLiteral("刷新列表")))
        connect(refresh, &QAction::triggered, this, &RecordListController::RefreshRecordList);
    if (QAction *view = MenuAction(window_->RecordMenu(), QStringLiteral("查看")))
        connect(view, &QAction::triggered, this, &RecordListController::ViewRecord);
    OnContextMenu(window_->RecordList(), [this](const QPoint &globalPos, bool) { ShowRecordMenu(globalPos); });
}

void RecordListController::ShowRecordMenu(const QPoint &globalPos)
{
    if (SelectedRecord(window_->RecordList()))
        window_->RecordMenu()->popup(globalPos);
}

void RecordListController::FillRecordList()
{
    QTreeWidget *list = window_->RecordList();
    for (const RecordListEntry &entry : ListRecordEntries(session_.dirs.dbDir)) {
        auto *item = new QTreeWidgetItem;
        item->setText(0, QString::number(list->topLevelItemCount() + 1));
        item->setText(1, FromGbk(entry.name));
        item->setText(2, FromGbk(entry.displayTime));
        list->addTopLevelItem(item);
    }
}

void RecordListController::RefreshRecordList()
{
    window_->RecordList()->clear();
    FillRecordList();
}

void RecordListController::ViewRecord()
{
    const QTreeWidgetItem *chosen = SelectedRecord(window_->RecordList());
    if (!chosen)
        return;
    const std::string name = ToGbk(chosen->text(1)) + ".txt";
    ProductGridModel &grid = *window_->Grid();
    const std::filesystem::path dbDir = session_.dirs.dbDir;

    // Results of this run that are not saved yet would be lost: the shutdown
    // save would write the snapshot being viewed in their place. They are saved
    // now, and the viewed snapshot, already on disk, needs no save at shutdown.
    if (session_.resultsChanged) {
        if (!SaveGridAsRecord(grid, dbDir)) {
            ShowMessage(QStringLiteral("本次的抓取结果无法保存到：\n%1\n为免丢失，未载入所选记录。")
                            .arg(QString::fromStdU16String(dbDir.u16string())));
            return;
        }
        session_.resultsChanged = false;
        RefreshRecordList();
    }

    grid.ClearRows();
    LoadRecordIntoGrid(PathInDir(dbDir, name), grid);
    grid.SetShowsOlderRecord(true);
    window_->Tabs()->setCurrentIndex(0);
}

} // namespace corvix
