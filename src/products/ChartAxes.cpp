#include "products/ChartAxes.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace corvix {
namespace {

constexpr qint64 kMinuteMs = 60LL * 1000;
constexpr qint64 kDayMs = 24 * 60 * kMinuteMs;

struct Step {
    double size;
    int decimals;
};

// The smallest of 1, 2, 2.5, 5 × 10^k that cuts span into at most maxSteps.
Step RoundStep(double span, int maxSteps)
{
    const double least = span > 0.0 ? span / maxSteps : 1.0;
    const int power = static_cast<int>(std::floor(std::log10(least)));
    for (const double mantissa : {1.0, 2.0, 2.5, 5.0}) {
        const double size = mantissa * std::pow(10.0, power);
        // A hair of slack: a span of exactly five steps is five steps.
        if (size >= least * (1 - 1e-9))
            return {size, std::max(0, -power) + (mantissa == 2.5 ? 1 : 0)};
    }
    return {std::pow(10.0, power + 1), std::max(0, -power - 1)};
}

qint64 FloorTo(qint64 value, qint64 unit)
{
    const qint64 q = value / unit;
    return (q * unit > value ? q - 1 : q) * unit;
}

qint64 StepsToCover(qint64 span, qint64 step)
{
    return std::max<qint64>(1, (span + step - 1) / step);
}

} // namespace

PriceAxis PriceTicks(double low, double high)
{
    const Step step = RoundStep(high - low, kMaxPriceSteps);
    return {low, high, step.size, step.decimals};
}

PriceAxis PriceAxisFor(double lowest, double highest)
{
    const double margin = highest > lowest ? (highest - lowest) / 20 : std::max(1.0, std::fabs(lowest) / 20);
    double low = lowest - margin;
    if (lowest >= 0)
        low = std::max(0.0, low);
    const double high = highest + margin;
    const Step step = RoundStep(high - low, kMaxPriceSteps);
    return {std::floor(low / step.size) * step.size, std::ceil(high / step.size) * step.size, step.size, step.decimals};
}

TimeAxis RoundTimeAxis(const QDateTime &from, const QDateTime &to)
{
    // Round in the local clock, so that a day starts at midnight.
    const qint64 offset = from.offsetFromUtc() * 1000LL;
    const qint64 start = from.toMSecsSinceEpoch() + offset;
    const qint64 span = std::max<qint64>(0, to.toMSecsSinceEpoch() - from.toMSecsSinceEpoch());
    TimeAxis axis;
    qint64 step = 0;
    qint64 first = 0;
    if (span >= 2 * kDayMs) {
        axis.format = QStringLiteral("yyyy-MM-dd");
        first = FloorTo(start, kDayMs);
        static constexpr std::array<qint64, 9> kDays = {1, 2, 3, 7, 14, 30, 61, 91, 183};
        step = 365 * kDayMs;
        for (const qint64 days : kDays)
            if (StepsToCover(start + span - first, days * kDayMs) <= kMaxTimeSteps) {
                step = days * kDayMs;
                break;
            }
        while (StepsToCover(start + span - first, step) > kMaxTimeSteps)
            step += 365 * kDayMs;
    } else {
        axis.format = QStringLiteral("MM-dd hh:mm");
        static constexpr std::array<qint64, 12> kMinutes = {1, 2, 5, 10, 15, 30, 60, 120, 180, 360, 720, 1440};
        for (const qint64 minutes : kMinutes) {
            step = minutes * kMinuteMs;
            first = FloorTo(start, step);
            if (StepsToCover(start + span - first, step) <= kMaxTimeSteps)
                break;
        }
    }
    const qint64 steps = StepsToCover(start + span - first, step);
    axis.from = from.addMSecs(first - start);
    axis.to = from.addMSecs(first + steps * step - start);
    axis.tickCount = static_cast<int>(steps) + 1;
    return axis;
}

} // namespace corvix
