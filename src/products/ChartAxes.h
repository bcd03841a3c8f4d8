#pragma once
// Axes that read well on a chart of prices over time: price ticks at round
// steps (1, 2, 2.5 or 5 times a power of ten), time ticks at whole days or
// round hours and minutes, for the data as a whole and for any part of it a
// zoom shows.
#include <QDateTime>
#include <QString>

namespace corvix {

struct PriceAxis {
    double low = 0.0;
    double high = 0.0;
    double step = 0.0; // between two ticks, which stand at its multiples
    int decimals = 0;  // the fewest that write every tick exactly
};

// The ticks of a price range as a zoom left it: the range stays, the ticks
// come at most kMaxPriceSteps + 1 at the multiples of a round step.
PriceAxis PriceTicks(double low, double high);

// The axis of prices from lowest to highest: a margin of a twentieth of the
// span each side, widened to the next ticks, and not below 0 for prices that
// are not. Equal prices stand amid a span of a tenth of the price (at least 2).
PriceAxis PriceAxisFor(double lowest, double highest);

struct TimeAxis {
    QDateTime from;
    QDateTime to;
    int tickCount = 2; // evenly from from to to, each a round time
    QString format;    // "yyyy-MM-dd", or "MM-dd hh:mm" for a span under two days
};

// The time axis over from..to widened to round ticks: whole days (local
// midnights) for a span of two days or more, else round minutes or hours.
TimeAxis RoundTimeAxis(const QDateTime &from, const QDateTime &to);

constexpr int kMaxPriceSteps = 6;
constexpr int kMaxTimeSteps = 6;

} // namespace corvix
