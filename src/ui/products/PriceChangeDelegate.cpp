#include "ui/products/PriceChangeDelegate.h"

#include "products/ProductGridModel.h"
#include "support/Gbk.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QToolTip>

namespace corvix {

const QColor PriceChangeDelegate::kHigher(0xD0, 0x10, 0x10);
const QColor PriceChangeDelegate::kLower(0x00, 0x99, 0x33);
const QColor PriceChangeDelegate::kNotRefreshed(0x99, 0x99, 0x99);

void PriceChangeDelegate::SetChanges(PriceChanges changes)
{
    changes_ = std::move(changes);
}

void PriceChangeDelegate::ClearChanges()
{
    changes_ = PriceChanges();
}

void PriceChangeDelegate::SetAlerts(std::unordered_map<std::string, QString> tipOfTitle)
{
    alertTips_ = std::move(tipOfTitle);
}

void PriceChangeDelegate::SetLowestCells(std::set<std::pair<int, int>> cells)
{
    lowest_ = std::move(cells);
}

QString PriceChangeDelegate::ChangeToolTip(const QModelIndex &index) const
{
    if (index.column() == kProductTitleColumn) {
        const auto found = alertTips_.find(ToGbk(index.data().toString()));
        return found == alertTips_.end() ? QString() : found->second;
    }
    QStringList parts;
    const PriceChangeMark &mark = changes_.At(index.row(), index.column());
    if (mark.change != PriceChange::NotCompared)
        parts << QStringLiteral("上次：") + FromGbk(mark.previousText) + QStringLiteral("（")
                     + FromGbk(changes_.PreviousTime()) + QStringLiteral("）");
    if (lowest_.contains({index.row(), index.column()}))
        parts << QStringLiteral("历史最低");
    return parts.join(u'\n');
}

bool PriceChangeDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                    const QModelIndex &index)
{
    const QString tip = event->type() == QEvent::ToolTip ? ChangeToolTip(index) : QString();
    if (tip.isEmpty())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QToolTip::showText(event->globalPos(), tip, view);
    return true;
}

void PriceChangeDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    // The bell is no GBK character: it is drawn, never stored.
    if (index.column() == kProductTitleColumn && alertTips_.contains(ToGbk(option->text)))
        option->text.prepend(QStringLiteral("🔔"));
    if (index.data(kNotRefreshedRole).toBool())
        option->palette.setColor(QPalette::Text, kNotRefreshed);
    const PriceChange change = changes_.At(index.row(), index.column()).change;
    if (change != PriceChange::Higher && change != PriceChange::Lower)
        return;
    const bool higher = change == PriceChange::Higher;
    // Before the price: a narrow column elides the end of the text, and the
    // arrow must stay in sight.
    option->text.prepend(higher ? QStringLiteral("↑") : QStringLiteral("↓"));
    option->palette.setColor(QPalette::Text, higher ? kHigher : kLower);
}

} // namespace corvix
