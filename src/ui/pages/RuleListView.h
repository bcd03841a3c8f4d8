#pragma once
// Drawing of the rule list 超级列表框2: each row in the colours registered for
// its index, a selected row white on pink whatever its state.
#include "rules/RowColours.h"

#include <QColor>
#include <QStyledItemDelegate>

class QTreeWidget;

namespace corvix {

QColor ToQColor(ColorRef colour);
ColorRef ToColorRef(const QColor &colour);

class RowColourDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    // The list's colour delegate, installed on first use (owned by the list).
    static RowColourDelegate *On(QTreeWidget *list);

    // Registers the colours of one row and repaints the list.
    void SetRowColours(int row, ColorRef text, ColorRef background);
    // Forgets a removed row; the rows below keep their colours as they move up.
    void RemoveRow(int row);
    // What a row is drawn in; nothing means the list's own colours.
    std::optional<RowColours> ColoursFor(int row, bool selected) const { return table_.ColoursFor(row, selected); }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    explicit RowColourDelegate(QTreeWidget *list);

    QTreeWidget *list_;
    RowColourTable table_;
};

// The row of the list's current selection, -1 when no row is selected.
int SelectedRow(const QTreeWidget *list);

} // namespace corvix
