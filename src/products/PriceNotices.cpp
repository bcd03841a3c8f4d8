#include "products/PriceNotices.h"

#include "capture/CellTexts.h"

#include "products/PriceChanges.h"
#include "products/PriceHistoryIndex.h"
#include "products/PriceText.h"
#include "products/ProductGridModel.h"
#include "products/RecordStamp.h"
#include "support/Gbk.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <unordered_map>

namespace corvix {
namespace {

// The alert that speaks for one cell: the cell's own, else its product's.
PriceAlert *AlertOfCell(PriceAlerts &alerts, const std::string &product, const std::string &shop)
{
    PriceAlert *ofProduct = nullptr;
    for (PriceAlert &alert : alerts.All()) {
        if (alert.product != product)
            continue;
        if (alert.shop == shop)
            return &alert;
        if (alert.shop.empty())
            ofProduct = &alert;
    }
    return ofProduct;
}

QString Amount(double value) { return QString::number(value, 'f', 2).remove(QRegularExpression(QStringLiteral("\\.?0+$"))); }

QString Percent(double value) { return QString::number(value, 'f', 1) + u'%'; }

} // namespace

double PercentBelow(double now, double before)
{
    return before > 0.0 ? (before - now) / before * 100.0 : 0.0;
}

PriceStanding StandingOf(const PriceHistoryIndex &history, const ProductGridModel &grid, int column,
                         const std::string &product, double price, const QDateTime &now)
{
    std::vector<std::string> shops;
    for (int c = kFirstSiteColumn; c < grid.ColumnCount(); ++c)
        shops.push_back(grid.Title(c));
    const std::vector<PriceSeries> series = history.History(product, shops);
    const size_t s = static_cast<size_t>(column - kFirstSiteColumn);
    PriceStanding standing;
    if (column < kFirstSiteColumn || s >= series.size() || series[s].points.empty())
        return standing;
    const std::vector<PricePoint> &points = series[s].points;
    // A failed capture is no price to compare with.
    standing.lowest =
        std::all_of(points.begin(), points.end(), [price](const PricePoint &p) { return !p.price || price <= *p.price; });
    double sum = 0.0;
    int count = 0;
    for (const PricePoint &point : points) {
        const std::optional<QDateTime> saved = RecordDateTime(point.recordName);
        if (point.price && saved && *saved <= now && saved->daysTo(now) <= 30) {
            sum += *point.price;
            ++count;
        }
    }
    if (count > 0)
        standing.average30Days = sum / count;
    return standing;
}

std::vector<PriceNotice> FindPriceNotices(const ProductGridModel &current, const NoticeSources &sources,
                                          PriceAlerts &alerts)
{
    std::vector<PriceNotice> notices;
    if (alerts.All().empty())
        return notices;
    const auto previousRows =
        sources.previous ? FirstRowOfEachTitle(*sources.previous) : std::unordered_map<std::string_view, int>{};
    const auto rows = FirstRowOfEachTitle(current);
    std::vector<std::pair<int, const std::string *>> byRow;
    for (const auto &[title, row] : rows)
        if (const std::string &product = current.Text(row, kProductTitleColumn); alerts.HasProduct(product))
            byRow.emplace_back(row, &product);
    std::sort(byRow.begin(), byRow.end());
    std::unordered_map<int, DecimalMark> marks;
    for (const auto &[row, product] : byRow) {
        for (int c = kFirstSiteColumn; c < current.ColumnCount(); ++c) {
            const std::string &shop = current.Title(c);
            PriceAlert *alert = AlertOfCell(alerts, *product, shop);
            if (!alert)
                continue;
            const int pc = sources.previous ? sources.previous->FindColumn(shop) : -1;
            if (!marks.contains(c))
                marks[c] = ShopDecimalMark(current, c, sources.previous, pc);
            const CellState state = ClassifyCell(current.Text(row, c));
            if (state == CellState::OutOfStock) {
                if (alert->backInStock)
                    alert->SetSoldOut(shop, true);
                continue;
            }
            const std::optional<double> price =
                state == CellState::Price ? ReadPrice(current.Text(row, c), marks[c]) : std::nullopt;
            if (!price)
                continue; // a failed capture says nothing about the target
            PriceNotice notice;
            notice.row = row;
            notice.column = c;
            notice.product = *product;
            notice.shop = shop;
            notice.newText = current.Text(row, c);
            notice.newPrice = *price;
            if (const auto found = previousRows.find(*product); found != previousRows.end() && pc >= kFirstSiteColumn) {
                notice.oldText = sources.previous->Text(found->second, pc);
                notice.oldPrice = ReadPrice(notice.oldText, marks[c]);
            }
            if (alert->target) {
                const bool below = *price < *alert->target;
                if (below && !alert->Below(shop))
                    notice.target = alert->target;
                alert->SetBelow(shop, below);
            }
            if (alert->dropPercent && notice.oldPrice && PercentBelow(*price, *notice.oldPrice) > *alert->dropPercent)
                notice.dropPercent = alert->dropPercent;
            if (alert->backInStock) {
                // Seen sold out at an earlier run, or in the record before: told once.
                notice.backInStock =
                    alert->SoldOut(shop) || (!notice.oldText.empty() && ClassifyCell(notice.oldText) == CellState::OutOfStock);
                alert->SetSoldOut(shop, false);
            }
            if (!notice.target && !notice.dropPercent && !notice.backInStock)
                continue;
            if (sources.history)
                notice.standing = StandingOf(*sources.history, current, c, *product, *price, sources.now);
            notices.push_back(std::move(notice));
        }
    }
    return notices;
}

QString NoticeLine(const PriceNotice &notice)
{
    QStringList why;
    if (notice.backInStock)
        why << QStringLiteral("有货了");
    if (notice.target)
        why << QStringLiteral("低于目标 %1 元").arg(Amount(*notice.target));
    if (notice.oldPrice && *notice.oldPrice > notice.newPrice)
        why << QStringLiteral("比上次低 %1").arg(Percent(PercentBelow(notice.newPrice, *notice.oldPrice)));
    if (notice.standing.lowest)
        why << QStringLiteral("历史最低");
    if (const auto average = notice.standing.average30Days; average && *average > notice.newPrice)
        why << QStringLiteral("比 30 天均价低 %1").arg(Percent(PercentBelow(notice.newPrice, *average)));
    const QString old = notice.oldText.empty() ? QStringLiteral("—") : FromGbk(notice.oldText);
    return FromGbk(notice.product) + QStringLiteral(" | ") + FromGbk(notice.shop) + QStringLiteral(" | ") + old
           + QStringLiteral(" → ") + FromGbk(notice.newText) + QStringLiteral("（") + why.join(QStringLiteral("，"))
           + QStringLiteral("）");
}

QByteArray NoticesJson(const std::vector<PriceNotice> &notices, const QString &record, const QDateTime &time)
{
    QJsonArray list;
    for (const PriceNotice &notice : notices) {
        QJsonObject item{{QStringLiteral("product"), FromGbk(notice.product)},
                         {QStringLiteral("shop"), FromGbk(notice.shop)},
                         {QStringLiteral("oldText"), FromGbk(notice.oldText)},
                         {QStringLiteral("newText"), FromGbk(notice.newText)},
                         {QStringLiteral("newPrice"), notice.newPrice},
                         {QStringLiteral("lowest"), notice.standing.lowest},
                         {QStringLiteral("backInStock"), notice.backInStock},
                         {QStringLiteral("text"), NoticeLine(notice)}};
        if (notice.oldPrice) {
            item[QStringLiteral("oldPrice")] = *notice.oldPrice;
            item[QStringLiteral("belowPreviousPercent")] = PercentBelow(notice.newPrice, *notice.oldPrice);
        }
        if (notice.target)
            item[QStringLiteral("target")] = *notice.target;
        if (notice.dropPercent)
            item[QStringLiteral("dropPercent")] = *notice.dropPercent;
        if (const auto average = notice.standing.average30Days) {
            item[QStringLiteral("average30Days")] = *average;
            item[QStringLiteral("belowAverage30DaysPercent")] = PercentBelow(notice.newPrice, *average);
        }
        list.append(item);
    }
    const QJsonObject document{{QStringLiteral("record"), record}, {QStringLiteral("time"), time.toString(Qt::ISODate)}, {QStringLiteral("notices"), list}};
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

} // namespace corvix
