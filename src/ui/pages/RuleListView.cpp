#include "ui/pages/RuleListView.h"

#include <QApplication>
#include <QPainter>
#include <QTreeWidget>

namespace corvix {

QColor ToQColor(ColorRef colour)
{
    return QColor(RedOf(colour), GreenOf(colour), BlueOf(colour));
}

ColorRef ToColorRef(const QColor &colour)
{
    return MakeColorRef(colour.red(), colour.green(), colour.blue());
}

RowColourDelegate::RowColourDelegate(QTreeWidget *list) : QStyledItemDelegate(list), list_(list)
{
    // The view paints the selected row's panel itself before the cells; give it
    // the same colours so that no platform highlight shows around the cells.
    QPalette palette = list->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Highlight, ToQColor(kSelectedRowBackground));
        palette.setColor(group, QPalette::HighlightedText, ToQColor(kSelectedRowText));
    }
    list->setPalette(palette);
}

RowColourDelegate *RowColourDelegate::On(QTreeWidget *list)
{
    if (auto *existing = qobject_cast<RowColourDelegate *>(list->itemDelegate()))
        return existing;
    auto *delegate = new RowColourDelegate(list);
    list->setItemDelegate(delegate);
    return delegate;
}

void RowColourDelegate::SetRowColours(int row, ColorRef text, ColorRef background)
{
    table_.Set(row, text, background);
    list_->viewport()->update();
}

void RowColourDelegate::RemoveRow(int row)
{
    table_.RemoveRow(row);
    list_->viewport()->update();
}

void RowColourDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const std::optional<RowColours> colours = ColoursFor(index.row(), selected);
    if (!colours) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    // Our colours replace the style's selection and focus drawing.
    opt.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
    opt.backgroundBrush = QBrush(ToQColor(colours->background));
    const QColor text = ToQColor(colours->text);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        opt.palette.setColor(group, QPalette::Text, text);
        opt.palette.setColor(group, QPalette::WindowText, text);
    }
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
}

int SelectedRow(const QTreeWidget *list)
{
    const QList<QTreeWidgetItem *> selected = list->selectedItems();
    if (selected.isEmpty())
        return -1;
    return list->indexOfTopLevelItem(selected.first());
}

} // namespace corvix
