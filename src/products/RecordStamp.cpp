#include "products/RecordStamp.h"

#include "support/DateTime.h"
#include "support/TextUtils.h"

#include <QDate>
#include <QDateTime>
#include <QTimeZone>

#include <charconv>
#include <cstdio>

namespace corvix {
namespace {

constexpr LocalDateTime kStampBase{1970, 1, 1, 8, 0, 0, 0};

long long SecondsSinceStampBase(const LocalDateTime &t)
{
    const long long days = QDate(t.year, t.month, t.day).toJulianDay() - QDate(1970, 1, 1).toJulianDay();
    return days * 86400 + t.hour * 3600LL + t.minute * 60LL + t.second - 8 * 3600LL;
}

// Names written by other tools as JavaScript time values: milliseconds since
// 1970-01-01 UTC, read in the machine's own time zone.
std::optional<QDateTime> MillisecondsToDateTime(std::string_view name)
{
    const bool negative = !name.empty() && name[0] == '-';
    const std::string_view digits = negative ? name.substr(1) : name;
    if (digits.empty() || digits.size() > 16)
        return std::nullopt;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    long long ms = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), ms);
    // The script engine's time values end at 8.64e15 ms either side of 1970.
    if (ms > 8640000000000000LL)
        return std::nullopt;
    if (negative)
        ms = -ms;
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms);
    if (!local.isValid())
        return std::nullopt;
    return local;
}

// Shown the way the script engine's date text reads ("Tue Dec 4 18:00:00
// UTC+0800 2018" gives "2018-12-4 18:00:00").
std::string MillisecondsToDisplayTime(std::string_view name)
{
    const std::optional<QDateTime> local = MillisecondsToDateTime(name);
    if (!local)
        return {};
    const QDate d = local->date();
    const QTime t = local->time();
    // Years before 1 are shown counted back ("1 B.C."), and Qt has no year 0.
    const int year = d.year() > 0 ? d.year() : -d.year();
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d-%d-%d %02d:%02d:%02d", year, d.month(), d.day(), t.hour(), t.minute(),
                  t.second());
    return buffer;
}

} // namespace

std::string MakeRecordStamp()
{
    const LocalDateTime now = CurrentLocalTime();
    char milliseconds[8];
    std::snprintf(milliseconds, sizeof milliseconds, "%03d", now.millisecond);
    // Seconds, then the milliseconds, cut or padded to ten characters: for any
    // moment between 2001 and 2286 exactly the ten-digit second count.
    std::string text = std::to_string(SecondsSinceStampBase(now)) + milliseconds;
    text.resize(10, '0');
    return text;
}

std::string NextRecordStamp(std::string_view stamp)
{
    std::string text = std::to_string(TextToInteger(stamp) + 1);
    // Names keep their ten digits, so that name order stays time order.
    if (text.size() < stamp.size() && text[0] != '-')
        text.insert(0, stamp.size() - text.size(), '0');
    return text;
}

QDateTime LatestRecordTime()
{
    const LocalDateTime now = CurrentLocalTime();
    return LatestRecordTimeAt(QDateTime(QDate(now.year, now.month, now.day), QTime(now.hour, now.minute, now.second)));
}

QDateTime LatestRecordTimeAt(const QDateTime &now) { return now.addDays(1); }

bool IsRecordName(std::string_view name, const QDateTime &latest)
{
    // A ten-byte name is read as a number whatever it holds; only digits (a
    // stamp before 1970 has a sign) are a stamp.
    if (name.size() == 10) {
        const std::string_view digits = name[0] == '-' ? name.substr(1) : name;
        for (const char c : digits)
            if (c < '0' || c > '9')
                return false;
    }
    const std::optional<QDateTime> time = RecordDateTime(name);
    return time && time->isValid() && *time <= latest;
}

std::string StampToDisplayTime(std::string_view name)
{
    if (name.size() != 10)
        return MillisecondsToDisplayTime(name);
    const double base = ToAutomationDate(kStampBase);
    const double value = base + static_cast<double>(TextToInteger(name)) / 86400.0;
    const char *timePicture = LocaleUses24HourClock() == 0 ? "hh:mm:ss" : "HH:mm:ss";
    return FormatDateTime(value, "yyyy-M-dd ", timePicture, false);
}

std::optional<QDateTime> RecordDateTime(std::string_view name)
{
    if (name.size() != 10)
        return MillisecondsToDateTime(name);
    // The count runs on the local calendar, so it is added as if no zone
    // applied, and the calendar time it reaches is the local one.
    const QDateTime base(QDate(kStampBase.year, kStampBase.month, kStampBase.day),
                         QTime(kStampBase.hour, kStampBase.minute, kStampBase.second), QTimeZone::utc());
    const QDateTime reached = base.addSecs(TextToInteger(name));
    return QDateTime(reached.date(), reached.time());
}

} // namespace corvix
