#include "ui/pages/RecordListPage.h"

#include "ui/ContextMenuHook.h"
#include "ui/pages/PageControls.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace corvix {

RecordListPage::RecordListPage(QWidget *parent) : QWidget(parent)
{
    list_ = ReportList(QStringLiteral("超级列表框4"), QStringLiteral("记录列表"),
                       {{QStringLiteral("ID"), 50, Qt::AlignLeft},
                        {QStringLiteral("文件名（右键操作)"), 300, Qt::AlignLeft},
                        {QStringLiteral("保存时间"), 200, Qt::AlignLeft}});
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(list_);

    menu_ = Named(new QMenu(QStringLiteral("记录操作"), this), QStringLiteral("记录操作"));
    QAction *refresh = MenuItem(menu_, QStringLiteral("刷新列表"));
    QAction *view = MenuItem(menu_, QStringLiteral("查看"));
    connect(refresh, &QAction::triggered, this, &RecordListPage::refreshRequested);
    connect(view, &QAction::triggered, this, &RecordListPage::viewRequested);
    OnContextMenu(list_, [this](const QPoint &globalPos, bool) { ShowMenu(globalPos); });
    connect(list_, &QTreeWidget::itemDoubleClicked, this, &RecordListPage::viewRequested);
    list_->installEventFilter(this);
}

void RecordListPage::AppendRecord(const QString &name, const QString &saveTime)
{
    auto *item = new QTreeWidgetItem;
    item->setText(0, QString::number(list_->topLevelItemCount() + 1));
    item->setText(1, name);
    item->setText(2, saveTime);
    list_->addTopLevelItem(item);
}

void RecordListPage::ClearRecords()
{
    list_->clear();
}

std::optional<QString> RecordListPage::SelectedRecordName() const
{
    const QList<QTreeWidgetItem *> selected = list_->selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    return selected.front()->text(1);
}

bool RecordListPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !list_->selectedItems().isEmpty()) {
            emit viewRequested();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QString RecordListPage::SelectedRecordTime() const
{
    const QList<QTreeWidgetItem *> selected = list_->selectedItems();
    if (selected.isEmpty())
        return {};
    const QString time = selected.front()->text(2);
    return time.isEmpty() ? selected.front()->text(1) : time;
}

void RecordListPage::ShowMenu(const QPoint &globalPos)
{
    if (!list_->selectedItems().isEmpty())
        menu_->popup(globalPos);
}

} // namespace corvix
