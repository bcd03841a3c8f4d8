#include "products/PriceNotices.h"

#include "capture/CellTexts.h"
#include "products/LinkFile.h"
#include "products/PriceChanges.h"
#include "products/PriceHistoryIndex.h"
#include "products/PriceText.h"
#include "products/ProductGridModel.h"
#include "products/RecordStamp.h"
#include "support/Gbk.h"
#include "support/HostName.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTimeZone>

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

// The first row of url.ini titled product, as the grid takes a title's first row.
int LinkRowOf(const LinkFile &links, const std::string &product)
{
    for (int row = 0; row < links.ProductCount(); ++row)
        if (links.ProductValue(row, "title") == product)
            return row;
    return -1;
}

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
        // Names of saves within one second, or made before the clock went
        // back, lie ahead of it: a record is one up to a day ahead.
        if (point.price && saved && *saved <= LatestRecordTimeAt(now) && saved->daysTo(now) <= 30) {
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
    const auto judgedRows =
        sources.judged ? FirstRowOfEachTitle(*sources.judged) : std::unordered_map<std::string_view, int>{};
    // The price a retry started from, when the cell still shows it.
    const auto judgedAlready = [&](const std::string &product, const std::string &shop, const std::string &text) {
        const auto found = judgedRows.find(product);
        const int column = sources.judged ? sources.judged->FindColumn(shop) : -1;
        return found != judgedRows.end() && column >= kFirstSiteColumn
               && sources.judged->Text(found->second, column) == text;
    };
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
                if (below && (alert->everyRun || !alert->Below(shop)))
                    notice.target = alert->target;
                alert->SetBelow(shop, below);
            }
            if (alert->riseAbove) {
                const bool above = *price > *alert->riseAbove;
                if (above && (alert->everyRun || !alert->Above(shop)))
                    notice.riseAbove = alert->riseAbove;
                alert->SetAbove(shop, above);
            }
            const bool changeTold = !alert->everyRun && judgedAlready(*product, shop, notice.newText);
            if (alert->dropPercent && notice.oldPrice && !changeTold
                && PercentBelow(*price, *notice.oldPrice) > *alert->dropPercent)
                notice.dropPercent = alert->dropPercent;
            if (alert->risePercent && notice.oldPrice && !changeTold
                && -PercentBelow(*price, *notice.oldPrice) > *alert->risePercent)
                notice.risePercent = alert->risePercent;
            if (alert->backInStock) {
                // Seen sold out at an earlier run, or in the record before: told once.
                notice.backInStock =
                    alert->SoldOut(shop) || (!notice.oldText.empty() && ClassifyCell(notice.oldText) == CellState::OutOfStock);
                alert->SetSoldOut(shop, false);
            }
            if (!notice.target && !notice.dropPercent && !notice.riseAbove && !notice.risePercent && !notice.backInStock)
                continue;
            if (sources.links)
                if (const int linkRow = LinkRowOf(*sources.links, *product); linkRow >= 0)
                    notice.link = WebAddress(sources.links->ProductValue(linkRow, shop));
            if (sources.history)
                notice.standing = StandingOf(*sources.history, current, c, *product, *price, sources.now);
            notices.push_back(std::move(notice));
        }
    }
    return notices;
}

QStringList NoticeReasons(const PriceNotice &notice)
{
    QStringList why;
    if (notice.backInStock)
        why << QStringLiteral("有货了");
    if (notice.target)
        why << QStringLiteral("低于目标 %1 元").arg(Amount(*notice.target));
    if (notice.riseAbove)
        why << QStringLiteral("高于 %1 元").arg(Amount(*notice.riseAbove));
    if (notice.oldPrice && *notice.oldPrice > notice.newPrice)
        why << QStringLiteral("比上次低 %1").arg(Percent(PercentBelow(notice.newPrice, *notice.oldPrice)));
    if (notice.oldPrice && *notice.oldPrice < notice.newPrice)
        why << QStringLiteral("比上次高 %1").arg(Percent(-PercentBelow(notice.newPrice, *notice.oldPrice)));
    if (notice.standing.lowest)
        why << QStringLiteral("历史最低");
    if (const auto average = notice.standing.average30Days; average && *average > notice.newPrice)
        why << QStringLiteral("比 30 天均价低 %1").arg(Percent(PercentBelow(notice.newPrice, *average)));
    return why;
}

QString NoticeLine(const PriceNotice &notice)
{
    const QStringList why = NoticeReasons(notice);
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
        if (notice.riseAbove)
            item[QStringLiteral("riseAbove")] = *notice.riseAbove;
        if (notice.risePercent)
            item[QStringLiteral("risePercent")] = *notice.risePercent;
        if (!notice.link.empty())
            item[QStringLiteral("link")] = FromGbk(notice.link);
        if (const auto average = notice.standing.average30Days) {
            item[QStringLiteral("average30Days")] = *average;
            item[QStringLiteral("belowAverage30DaysPercent")] = PercentBelow(notice.newPrice, *average);
        }
        list.append(item);
    }
    // A local time alone names no moment: the offset goes with it ("+08:00").
    const QString at = time.toTimeZone(QTimeZone(time.offsetFromUtc())).toString(Qt::ISODate);
    const QJsonObject document{
        {QStringLiteral("record"), record}, {QStringLiteral("time"), at}, {QStringLiteral("notices"), list}};
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

} // namespace corvix
