// Chart axes at round prices and times, for the data and for a zoomed part.
#include "products/ChartAxes.h"

#include <QTimeZone>

#include <gtest/gtest.h>

using namespace corvix;

namespace {

void ExpectAxis(const PriceAxis &axis, const PriceAxis &expected, const char *what)
{
    EXPECT_NEAR(axis.low, expected.low, 1e-9) << what;
    EXPECT_NEAR(axis.high, expected.high, 1e-9) << what;
    EXPECT_NEAR(axis.step, expected.step, 1e-9) << what;
    EXPECT_EQ(axis.decimals, expected.decimals) << what;
}

QDateTime At(int month, int day, int hour, int minute, int second = 0)
{
    return QDateTime(QDate(2024, month, day), QTime(hour, minute, second), QTimeZone::utc());
}

} // namespace

TEST(PriceAxisFor, AMarginWidenedToRoundTicks)
{
    const struct {
        double lowest, highest;
        PriceAxis axis;
        const char *what;
    } cases[] = {
        {95, 102, {94, 104, 2, 0}, "not from 0"},
        {1000, 1499, {900, 1600, 100, 0}, "hundreds"},
        {0, 13, {0, 15, 2.5, 1}, "2.5 takes a decimal; no negative prices"},
        {0.5, 0.9, {0.4, 1.0, 0.1, 1}, "below one"},
        {100, 100, {94, 106, 2, 0}, "one price: a tenth of it around"},
        {5, 5, {4, 6, 0.5, 1}, "a small price: at least 2 around"},
        {0, 0, {0, 1, 0.2, 1}, "zero"},
    };
    for (const auto &c : cases)
        ExpectAxis(PriceAxisFor(c.lowest, c.highest), c.axis, c.what);
}

TEST(PriceTicks, AZoomedRangeStaysWithRoundSteps)
{
    ExpectAxis(PriceTicks(239.316, 251.9), {239.316, 251.9, 2.5, 1}, "zoomed");
    ExpectAxis(PriceTicks(94, 104), {94, 104, 2, 0}, "whole");
    ExpectAxis(PriceTicks(95.1, 95.4), {95.1, 95.4, 0.05, 2}, "close in");
}

TEST(RoundTimeAxis, WholeDaysFromTwoDaysElseRoundTimes)
{
    const struct {
        QDateTime from, to;
        QDateTime roundFrom, roundTo;
        int ticks;
        const char *format;
    } cases[] = {
        {At(5, 4, 16, 0), At(5, 6, 16, 0), At(5, 4, 0, 0), At(5, 7, 0, 0), 4, "yyyy-MM-dd"},
        {At(1, 1, 12, 0), At(1, 21, 0, 0), At(1, 1, 0, 0), At(1, 22, 0, 0), 4, "yyyy-MM-dd"}, // weeks
        {At(5, 7, 8, 3), At(5, 7, 20, 41), At(5, 7, 6, 0), At(5, 7, 21, 0), 6, "MM-dd hh:mm"},
        {At(5, 7, 8, 3), At(5, 7, 8, 20), At(5, 7, 8, 0), At(5, 7, 8, 20), 5, "MM-dd hh:mm"},
        {At(5, 7, 10, 0, 30), At(5, 7, 10, 0, 30), At(5, 7, 10, 0), At(5, 7, 10, 1), 2, "MM-dd hh:mm"},
    };
    for (const auto &c : cases) {
        const TimeAxis axis = RoundTimeAxis(c.from, c.to);
        EXPECT_EQ(axis.from, c.roundFrom) << c.from.toString().toStdString();
        EXPECT_EQ(axis.to, c.roundTo) << c.from.toString().toStdString();
        EXPECT_EQ(axis.tickCount, c.ticks) << c.from.toString().toStdString();
        EXPECT_EQ(axis.format, QLatin1String(c.format)) << c.from.toString().toStdString();
    }
    // A day starts at the local midnight.
    const QTimeZone beijing(8 * 3600);
    const TimeAxis local = RoundTimeAxis(QDateTime(QDate(2024, 5, 4), QTime(1, 0), beijing),
                                         QDateTime(QDate(2024, 5, 6), QTime(2, 0), beijing));
    EXPECT_EQ(local.from, QDateTime(QDate(2024, 5, 4), QTime(0, 0), beijing));
}
