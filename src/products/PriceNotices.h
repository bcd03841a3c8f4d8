#pragma once
// The notices after a run: the prices that went under their target ("低于 n 元
// 时提醒") or over their rise limit ("高于 n 元时提醒"), or fell or rose by more
// than their share ("比上次降价超过 n%", "比上次涨价超过 n%") against the record
// saved before. Products and shops are matched by title, as in the change
// marks (a title's first row counts, rows without a title are left out).
// A limit tells once per crossing: the alert remembers the shops beyond it
// and forgets one when its price is back. An alert set to tell after every
// run tells as long as its condition holds.
#include "products/PriceAlerts.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

namespace corvix {

class LinkFile;
class PriceHistoryIndex;
class ProductGridModel;

// Where a price stands among the earlier records of its product and shop.
struct PriceStanding {
    bool lowest = false;                 // at or under every earlier price ("历史最低")
    // Mean of the earlier prices saved in the 30 days before now, and of those
    // up to a day ahead of it (names that lie ahead of the clock).
    std::optional<double> average30Days;
};

struct PriceNotice {
    int row = 0;    // grid row and column of the price
    int column = 0;
    std::string product; // GBK
    std::string shop;    // GBK
    std::string oldText; // GBK cell of the earlier record; empty when it had none
    std::string newText; // GBK
    std::optional<double> oldPrice;
    double newPrice = 0.0;
    std::optional<double> target;      // the target it went under
    std::optional<double> dropPercent; // the alert's share it fell by more than
    bool backInStock = false;          // the shop had the product out of stock, now it has a price
    PriceStanding standing;
    std::optional<double> riseAbove{};   // the limit it went over
    std::optional<double> risePercent{}; // the alert's share it rose by more than
    std::string link{};                  // GBK web address of the product at the shop; empty when unknown
};

struct NoticeSources {
    const ProductGridModel *previous = nullptr; // the record before, in the grid's columns; none: no old prices
    const PriceHistoryIndex *history = nullptr; // the earlier records; none: no standing
    QDateTime now;
    const LinkFile *links = nullptr;            // url.ini, for the notices' links; none: no links
    // A retry: the prices it started from, already judged by the run that
    // captured them. A change against the earlier record that such a price
    // shows was told then and is not told again.
    const ProductGridModel *judged = nullptr;
};

// The notices for the prices of current, in row and column order. Updates the
// crossing state of alerts (the caller saves them).
std::vector<PriceNotice> FindPriceNotices(const ProductGridModel &current, const NoticeSources &sources,
                                          PriceAlerts &alerts);

// The standing of price among the earlier prices of product at the shop of
// grid column `column` (a record saved without shop titles counts by position).
PriceStanding StandingOf(const PriceHistoryIndex &history, const ProductGridModel &grid, int column,
                         const std::string &product, double price, const QDateTime &now);

// How much lower now is than before, in percent of before (12.5 for 80 after 91.43).
double PercentBelow(double now, double before);

// Why the notice is given, for people: "低于目标 99 元", "比上次低 12.5%",
// "高于 120 元", "比上次高 8.0%", "历史最低", "比 30 天均价低 8.0%".
QStringList NoticeReasons(const PriceNotice &notice);

// One line for people: "<product> | <shop> | <old> → <new>（低于目标 99 元，比上次低
// 12.5%，历史最低，比 30 天均价低 8.0%）".
QString NoticeLine(const PriceNotice &notice);

// The notices as a JSON document for --notify-command: {"record": ..., "time":
// ISO 8601 with the UTC offset ("2018-12-04T18:00:00+08:00"), "notices":
// [{"product", "shop", "oldText", "newText", "oldPrice", "newPrice", "target",
// "dropPercent", "riseAbove", "risePercent", "backInStock", "belowPreviousPercent",
// "lowest", "average30Days", "belowAverage30DaysPercent", "link", "text"}]},
// numbers and the link absent where unknown.
QByteArray NoticesJson(const std::vector<PriceNotice> &notices, const QString &record, const QDateTime &time);

} // namespace corvix
