#pragma once
// Record file names: the save moment as ten decimal digits, seconds counted
// from the local calendar time 1970-01-01 08:00:00 (Unix time on a UTC+8 clock;
// elsewhere shifted, the same way in both directions).
#include <QDateTime>

#include <optional>
#include <string>
#include <string_view>

namespace corvix {

// The stamp of the current moment (the clock seam of support/DateTime.h).
std::string MakeRecordStamp();

// The stamp one second after stamp (a stamp of MakeRecordStamp).
std::string NextRecordStamp(std::string_view stamp);

// The save time of a record file name (without ".txt") for the record list:
// a ten-byte name as "yyyy-M-dd hh:mm:ss" (HH on the 24-hour clock); any other
// name that is a millisecond count since 1970-01-01 UTC as local time
// "yyyy-M-d HH:mm:ss" (no leading zeros in the date); else the empty text.
std::string StampToDisplayTime(std::string_view name);

// The same save time as a local QDateTime, read from the name by the same
// rules (a chart's time axis takes it); nullopt where the list shows no time.
std::optional<QDateTime> RecordDateTime(std::string_view name);

// The latest save time a record may have: a day after the current moment, so
// that a clock set a little ahead or a changed zone still gives records.
QDateTime LatestRecordTime();
// The same for the moment now.
QDateTime LatestRecordTimeAt(const QDateTime &now);

// True when name (a file name up to its first ".") is a record's: its save
// time reads back as a valid time no later than latest. Other files in the
// record folder (a stray copy, a count beyond any date, a clock far ahead) are
// not records and are left alone.
bool IsRecordName(std::string_view name, const QDateTime &latest);

} // namespace corvix
