#include "support/DateTime.h"

#include "support/Gbk.h"
#include "support/GbkBytes.h"
#include "support/TextUtils.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTime>

#include <cmath>
#include <cstdio>

namespace corvix {
namespace {

std::function<LocalDateTime()> &ClockOverride()
{
    static std::function<LocalDateTime()> clock;
    return clock;
}

int &LocaleClockOverride()
{
    static int value = -1;
    return value;
}

// The range of automation dates that the calendar conversion accepts:
// 0100-01-01 to 9999-12-31.
constexpr double kFirstAutomationDate = -657434.0;
constexpr double kLastAutomationDate = 2958465.99999;

const qint64 kAutomationEpochJulianDay = QDate(1899, 12, 30).toJulianDay();

void AppendNumber(std::string &out, int value, int width)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
    out += buffer;
}

// Formats one picture. Only the listed letter runs are pictures; every other
// byte, and every two-byte character whole, is copied. Date pictures know the
// date letters only, time pictures the time letters only, like the platform's
// separate date and time formatters.
std::string FormatPicture(const LocalDateTime &t, std::string_view picture, bool isDate, bool force24Hour)
{
    std::string out;
    const size_t n = picture.size();
    for (size_t i = 0; i < n;) {
        const char c = picture[i];
        if (IsLeadByte(c)) {
            const size_t len = CharBytesAt(picture, i);
            out.append(picture.substr(i, len));
            i += len;
            continue;
        }
        size_t run = 1;
        while (i + run < n && picture[i + run] == c)
            ++run;
        const std::string_view letters = picture.substr(i, run);
        bool done = true;
        if (isDate && c == 'y' && run == 4)
            AppendNumber(out, t.year, 4);
        else if (isDate && c == 'M' && run <= 2)
            AppendNumber(out, t.month, static_cast<int>(run));
        else if (isDate && c == 'd' && run == 2)
            AppendNumber(out, t.day, 2);
        else if (!isDate && (c == 'h' || c == 'H') && run <= 2) {
            int hour = t.hour;
            if (c == 'h' && !force24Hour) {
                hour %= 12;
                if (hour == 0)
                    hour = 12;
            }
            AppendNumber(out, hour, static_cast<int>(run));
        } else if (!isDate && c == 'm' && run == 2)
            AppendNumber(out, t.minute, 2);
        else if (!isDate && c == 's' && run == 2)
            AppendNumber(out, t.second, 2);
        else
            done = false;
        if (!done)
            out.append(letters);
        i += run;
    }
    // The platform formats into a 50-byte buffer; a longer result fails and
    // leaves that part empty.
    if (out.size() + 1 > 50)
        return {};
    return out;
}

} // namespace

LocalDateTime CurrentLocalTime()
{
    if (ClockOverride())
        return ClockOverride()();
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), t.msec()};
}

void SetClockForTests(std::function<LocalDateTime()> clock) { ClockOverride() = std::move(clock); }

std::optional<LocalDateTime> FromAutomationDate(double value)
{
    if (!std::isfinite(value) || value < kFirstAutomationDate || value > kLastAutomationDate)
        return std::nullopt;
    // The whole days count from 1899-12-30 in either direction; the fraction is
    // always the time of day (-1.25 is 1899-12-29 06:00). Rounded to the second.
    const double days = std::trunc(value);
    long long seconds = std::llround(std::fabs(value - days) * 86400.0);
    qint64 julian = kAutomationEpochJulianDay + static_cast<qint64>(days);
    if (seconds >= 86400) {
        seconds -= 86400;
        ++julian;
    }
    const QDate date = QDate::fromJulianDay(julian);
    if (!date.isValid())
        return std::nullopt;
    LocalDateTime t;
    t.year = date.year();
    t.month = date.month();
    t.day = date.day();
    t.hour = static_cast<int>(seconds / 3600);
    t.minute = static_cast<int>(seconds / 60 % 60);
    t.second = static_cast<int>(seconds % 60);
    return t;
}

double ToAutomationDate(const LocalDateTime &value)
{
    const QDate date(value.year, value.month, value.day);
    const double days = static_cast<double>(date.toJulianDay() - kAutomationEpochJulianDay);
    const double fraction =
        (value.hour * 3600.0 + value.minute * 60.0 + value.second + value.millisecond / 1000.0) / 86400.0;
    return days < 0 ? days - fraction : days + fraction;
}

int LocaleUses24HourClock()
{
    if (LocaleClockOverride() >= 0)
        return LocaleClockOverride();
    // The system locale's time picture: "H" hours are the 24-hour clock.
    const QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    return format.contains(QLatin1Char('H')) ? 1 : 0;
}

void SetLocaleClockForTests(int uses24Hour) { LocaleClockOverride() = uses24Hour < 0 ? -1 : (uses24Hour ? 1 : 0); }

std::string FormatDateTime(double automationDate, std::string_view datePicture, std::string_view timePicture,
                           bool force24Hour)
{
    const std::optional<LocalDateTime> t = FromAutomationDate(automationDate);
    if (!t)
        return {};
    std::string out;
    if (datePicture.size() >= 3)
        out = FormatPicture(*t, datePicture, true, force24Hour);
    if (timePicture.size() >= 3)
        out += FormatPicture(*t, timePicture, false, force24Hour);
    return out;
}

std::string FormatTimestamp(std::optional<double> automationDate, int style, int part)
{
    struct Pictures {
        std::string date, time, monthDay, hourMinute, minuteSecond;
    };
    static const Pictures styles[4] = {
        {Gbk("yyyy年MM月dd日 "), Gbk("hh时mm分ss秒"), Gbk("MM月dd日"), Gbk("hh时mm分"), Gbk("mm分ss秒")},
        {"yyyy-MM-dd ", "hh:mm:ss", "MM-dd", "hh:mm", "mm:ss"},
        {"yyyy/MM/dd ", "hh/mm/ss", "MM/dd", "hh/mm", "mm/ss"},
        {"yyyyMMdd", "hhmmss", "MMdd", "hhmm", "mmss"},
    };
    double when = 0;
    if (automationDate) {
        when = *automationDate;
    } else {
        LocalDateTime now = CurrentLocalTime();
        now.millisecond = 0; // the clock is read to the second; never rounded up
        when = ToAutomationDate(now);
    }
    const Pictures &p = styles[(style >= 0 && style <= 3) ? style : 0];
    std::string date;
    std::string time;
    switch (part) {
    case 1: date = TrimText(p.date); break;
    case 2: date = p.monthDay; break;
    case 3: time = p.time; break;
    case 4: time = p.hourMinute; break;
    case 5: time = p.minuteSecond; break;
    default:
        date = p.date;
        time = p.time;
        break;
    }
    if (LocaleUses24HourClock() == 1)
        time = ReplaceText(time, "hh", "HH");
    return FormatDateTime(when, date, time, false);
}

} // namespace corvix
