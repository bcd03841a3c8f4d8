#include "ui/products/PriceChangeDelegate.h"

#include "capture/CellTexts.h"
#include "products/ProductGridModel.h"
#include "support/Gbk.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <algorithm>

namespace corvix {

const QColor PriceChangeDelegate::kHigher(0xD0, 0x10, 0x10);
const QColor PriceChangeDelegate::kLower(0x00, 0x99, 0x33);
const QColor PriceChangeDelegate::kNotRefreshed(0x99, 0x99, 0x99);
const QColor PriceChangeDelegate::kBell(0xE0, 0x9A, 0x00);
const QColor PriceChangeDelegate::kOutOfStock(0x6A, 0x3D, 0x9A);
const QColor PriceChangeDelegate::kOutOfStockBackground(0xEE, 0xE6, 0xF6);

namespace {

bool OutOfStockCell(const QModelIndex &index)
{
    return index.column() >= kFirstSiteColumn && ClassifyCell(ToGbk(index.data().toString())) == CellState::OutOfStock;
}

} // namespace

void PriceChangeDelegate::SetChanges(PriceChanges changes)
{
    changes_ = std::move(changes);
}

const QColor PriceChangeDelegate::kCheapestBuy(0xDF, 0xF3, 0xDC);

void PriceChangeDelegate::SetUnitPrices(UnitPriceGrid prices)
{
    unitPrices_ = std::move(prices);
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
    if (OutOfStockCell(index))
        parts << QStringLiteral("缺货：商城显示此商品暂时无法购买（不算抓取失败）");
    if (const auto unit = unitPrices_.find({index.row(), index.column()}); unit != unitPrices_.end()) {
        parts << QStringLiteral("包装价：") + index.data().toString();
        if (unit->second.cheapest)
            parts << QStringLiteral("按单价最划算");
    }
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

bool PriceChangeDelegate::AlertMarked(const QModelIndex &index) const
{
    return index.column() == kProductTitleColumn && alertTips_.contains(ToGbk(index.data().toString()));
}

// A bell at the left of the title: drawn, since few fonts have one and no GBK
// text could store it.
void PriceChangeDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    if (!AlertMarked(index))
        return;
    const qreal h = std::min<qreal>(option.rect.height() - 4, 12);
    const QRectF bell(option.rect.left() + 3, option.rect.center().y() - h / 2, h * 0.9, h);
    QPainterPath body;
    body.moveTo(bell.left(), bell.top() + bell.height() * 0.8);
    body.cubicTo(bell.left() + bell.width() * 0.2, bell.top() + bell.height() * 0.6, bell.left() + bell.width() * 0.1,
                 bell.top(), bell.center().x(), bell.top());
    body.cubicTo(bell.right() - bell.width() * 0.1, bell.top(), bell.right() - bell.width() * 0.2,
                 bell.top() + bell.height() * 0.6, bell.right(), bell.top() + bell.height() * 0.8);
    body.closeSubpath();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(kBell);
    painter->drawPath(body);
    painter->drawEllipse(QPointF(bell.center().x(), bell.bottom() - h * 0.08), h * 0.14, h * 0.14);
    painter->restore();
}

void PriceChangeDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.data(kNotRefreshedRole).toBool())
        option->palette.setColor(QPalette::Text, kNotRefreshed);
    if (OutOfStockCell(index)) {
        option->font.setItalic(true);
        option->backgroundBrush = kOutOfStockBackground;
        if (!index.data(kNotRefreshedRole).toBool())
            option->palette.setColor(QPalette::Text, kOutOfStock);
        return;
    }
    if (const auto unit = unitPrices_.find({index.row(), index.column()}); unit != unitPrices_.end()) {
        option->text = FromGbk(UnitPriceText(unit->second));
        if (unit->second.cheapest) {
            option->text.prepend(QStringLiteral("★"));
            option->font.setBold(true);
            option->backgroundBrush = kCheapestBuy;
        }
    } else if (ShowsUnitPrices() && index.column() >= kFirstSiteColumn) {
        // A pack price among unit prices would read as one of them.
        option->palette.setColor(QPalette::Text, kNotRefreshed);
    }
    const PriceChange change = changes_.At(index.row(), index.column()).change;
    if (change != PriceChange::Higher && change != PriceChange::Lower)
        return;
    const bool higher = change == PriceChange::Higher;
    // Before the price: a narrow column elides the end of the text, and the
    // arrow must stay in sight.
    option->text.prepend(higher ? QStringLiteral("↑") : QStringLiteral("↓"));
    const QColor colour = higher ? kHigher : kLower;
    option->palette.setColor(QPalette::Text, colour);
    // White on the selection's dark blue would hide the colour: a selected
    // marked cell keeps it, on a pale shade of the selection.
    if (option->state.testFlag(QStyle::State_Selected)) {
        option->palette.setColor(QPalette::HighlightedText, colour);
        option->palette.setColor(QPalette::Highlight, PaleShadeOf(option->palette.color(QPalette::Highlight)));
    }
}

QColor PriceChangeDelegate::PaleShadeOf(const QColor &selection)
{
    // A quarter of the selection's colour over white: still the selection's
    // hue, light enough for red and green text.
    const auto pale = [](int channel) { return 255 - (255 - channel) / 4; };
    return QColor(pale(selection.red()), pale(selection.green()), pale(selection.blue()));
}

} // namespace corvix
