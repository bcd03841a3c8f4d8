#pragma once
// Local date-time values, the clock seam, and the program's date-time pictures.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace corvix {

struct LocalDateTime {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// The current local time. Tests replace the clock; pass nullptr to restore it.
LocalDateTime CurrentLocalTime();
void SetClockForTests(std::function<LocalDateTime()> clock);

// Automation dates: days since 1899-12-30, time of day as the fraction.
std::optional<LocalDateTime> FromAutomationDate(double value);
double ToAutomationDate(const LocalDateTime &value);

// 1 when the user's locale writes hours on the 24-hour clock, else 0.
// Tests may force the answer; pass -1 to read the locale again.
int LocaleUses24HourClock();
void SetLocaleClockForTests(int uses24Hour);

// Picture letters: yyyy, M, MM, dd, h, hh (12-hour), H, HH, mm, ss; all else copied.
// Pictures shorter than 3 bytes give an empty part. Results are GBK.
std::string FormatDateTime(double automationDate, std::string_view datePicture, std::string_view timePicture,
                           bool force24Hour);
// Style 0..3 and part 0..5 as the program uses them; no arguments = now, style 0, part 0.
std::string FormatTimestamp(std::optional<double> automationDate = std::nullopt, int style = 0, int part = 0);

} // namespace corvix
