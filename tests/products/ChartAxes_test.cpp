// Chart axes at round prices and times, for the data and for a zoomed part.
#include "products/ChartAxes.h"

#include <QTimeZone>

#include <gtest/gtest.h>

using namespace corvix;

namespace {

QString Text(const PriceAxis &a)
{
    return QString::asprintf("%g..%g by %g, %d decimals", a.low, a.high, a.step, a.decimals);
}

QString Text(const TimeAxis &a)
{
    const QString minute = QStringLiteral("MM-dd hh:mm");
    return a.from.toString(minute) + QStringLiteral("..") + a.to.toString(minute) + QStringLiteral(" in ") +
           QString::number(a.tickCount) + QStringLiteral(" ticks as ") + a.format;
}

QDateTime At(int month, int day, int hour, int minute, int second = 0, int offset = 0)
{
    return QDateTime(QDate(2024, month, day), QTime(hour, minute, second), QTimeZone(offset));
}

} // namespace

TEST(PriceAxisFor, AMarginWidenedToRoundTicks)
{
    const struct {
        double lowest, highest;
        const char *axis;
    } cases[] = {
        {95, 102, "94..104 by 2, 0 decimals"}, // not from 0
        {1000, 1499, "900..1600 by 100, 0 decimals"},
        {0, 13, "0..15 by 2.5, 1 decimals"}, // 2.5 takes a decimal; no negative prices
        {0.5, 0.9, "0.4..1 by 0.1, 1 decimals"},
        {100, 100, "94..106 by 2, 0 decimals"}, // one price: a tenth of it around it
        {5, 5, "4..6 by 0.5, 1 decimals"},      // a small one: at least 2
        {0, 0, "0..1 by 0.2, 1 decimals"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Text(PriceAxisFor(c.lowest, c.highest)), QLatin1String(c.axis)) << c.lowest;
    // A zoomed range stays as it is, with round steps.
    EXPECT_EQ(Text(PriceTicks(239.316, 251.9)), "239.316..251.9 by 2.5, 1 decimals");
    EXPECT_EQ(Text(PriceTicks(95.1, 95.4)), "95.1..95.4 by 0.05, 2 decimals");
}

TEST(RoundTimeAxis, WholeDaysFromTwoDaysElseRoundTimes)
{
    const struct {
        QDateTime from, to;
        const char *axis;
    } cases[] = {
        {At(5, 4, 16, 0), At(5, 6, 16, 0), "05-04 00:00..05-07 00:00 in 4 ticks as yyyy-MM-dd"},
        {At(1, 1, 12, 0), At(1, 21, 0, 0), "01-01 00:00..01-22 00:00 in 4 ticks as yyyy-MM-dd"}, // weeks
        {At(5, 7, 8, 3), At(5, 7, 20, 41), "05-07 06:00..05-07 21:00 in 6 ticks as MM-dd hh:mm"},
        {At(5, 7, 8, 3), At(5, 7, 8, 20), "05-07 08:00..05-07 08:20 in 5 ticks as MM-dd hh:mm"},
        {At(5, 7, 10, 0, 30), At(5, 7, 10, 0, 30), "05-07 10:00..05-07 10:01 in 2 ticks as MM-dd hh:mm"},
        // A day starts at the local midnight.
        {At(5, 4, 1, 0, 0, 8 * 3600), At(5, 6, 2, 0, 0, 8 * 3600), "05-04 00:00..05-07 00:00 in 4 ticks as yyyy-MM-dd"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Text(RoundTimeAxis(c.from, c.to)), QLatin1String(c.axis)) << c.from.toString().toStdString();
}
