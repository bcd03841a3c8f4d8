#include "ui/pages/PageControls.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>

namespace corvix {

QPushButton *Button(const QString &name, const QString &caption, int width, int height)
{
    auto *b = Named(new QPushButton(caption), name);
    b->setMinimumSize(width, height);
    b->setAutoDefault(true); // Enter presses the focused button, like Space
    return b;
}

QLabel *Label(const QString &name, const QString &text)
{
    return Named(new QLabel(text), name);
}

void Pair(QLabel *label, QWidget *control)
{
    label->setBuddy(control);
    control->setAccessibleName(label->text());
}

QTreeWidget *ReportList(const QString &name, const QString &accessibleName, const QList<ColumnSpec> &columns)
{
    auto *list = Named(new QTreeWidget, name);
    list->setAccessibleName(accessibleName);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setItemsExpandable(false);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setColumnCount(static_cast<int>(columns.size()));
    auto *header = new QTreeWidgetItem;
    for (int i = 0; i < columns.size(); ++i) {
        header->setText(i, columns[i].title);
        header->setTextAlignment(i, columns[i].alignment | Qt::AlignVCenter);
    }
    list->setHeaderItem(header);
    list->header()->setStretchLastSection(false);
    for (int i = 0; i < columns.size(); ++i)
        list->header()->resizeSection(i, columns[i].width);
    return list;
}

QAction *MenuItem(QMenu *menu, const QString &text)
{
    QAction *a = menu->addAction(text);
    a->setObjectName(text);
    return a;
}

} // namespace corvix
