#pragma once
// Draws the change marks of the product grid: a price higher than in the
// earlier record in red with "↑", a lower one in green with "↓" (the colours of
// Chinese market screens), and a tooltip with the earlier price. Only the
// drawing changes; the model keeps its texts.
#include "products/PriceChanges.h"
#include "products/UnitPrices.h"

#include <QColor>
#include <QStyledItemDelegate>

#include <set>
#include <string>
#include <unordered_map>
#include <utility>

namespace corvix {

class PriceChangeDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static const QColor kHigher;
    static const QColor kLower;
    // A cell a stopped run did not reach still shows its earlier text.
    static const QColor kNotRefreshed;
    static const QColor kBell;
    // A sold-out product: neither a failure (red) nor an old price (grey).
    static const QColor kOutOfStock;
    static const QColor kOutOfStockBackground;

    using QStyledItemDelegate::QStyledItemDelegate;

    void SetChanges(PriceChanges changes);
    void ClearChanges();
    const PriceChanges &Changes() const { return changes_; }

    // The products with a price alert (GBK titles) and what each is set to:
    // their title cell has a bell and tells the alert in its tooltip.
    void SetAlerts(std::unordered_map<std::string, QString> tipOfTitle);
    // Whether the cell is a title drawn with the bell.
    bool AlertMarked(const QModelIndex &index) const;
    // The cells whose price is the lowest of all records ("历史最低").
    void SetLowestCells(std::set<std::pair<int, int>> cells);
    // Cells shown as prices per unit (the toggle "单价"); empty: as captured.
    void SetUnitPrices(UnitPriceGrid prices);
    bool ShowsUnitPrices() const { return !unitPrices_.empty(); }
    const UnitPriceGrid &UnitPrices() const { return unitPrices_; }
    static const QColor kCheapestBuy;

    // "上次：<earlier cell>（<earlier record's time>）" for a marked cell, "历史最低"
    // for a lowest price, the alert of a product's title; else empty.
    QString ChangeToolTip(const QModelIndex &index) const;

    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;
    // The cell as it is drawn: the model's text after the arrow, in the colour
    // of its mark, also when it is selected (on a pale selection colour).
    // Public so that what the view draws can be checked.
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    static QColor PaleShadeOf(const QColor &selection);

    PriceChanges changes_;
    std::unordered_map<std::string, QString> alertTips_;
    std::set<std::pair<int, int>> lowest_;
    UnitPriceGrid unitPrices_;
};

} // namespace corvix
