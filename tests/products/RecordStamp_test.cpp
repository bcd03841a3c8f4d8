#include "products/RecordStamp.h"
#include "support/DateTime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <utility>

using namespace corvix;

namespace {

class RecordStampTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        SetClockForTests(nullptr);
        SetLocaleClockForTests(-1);
        if (savedTz_)
            setenv("TZ", savedTz_->c_str(), 1);
        else if (changedTz_)
            unsetenv("TZ");
        tzset();
    }
    void SetClock(LocalDateTime t)
    {
        SetClockForTests([t] { return t; });
    }
    // POSIX zone strings need no zone database: "CST-8" is UTC+8.
    void SetZone(const char *tz)
    {
        if (!changedTz_ && std::getenv("TZ"))
            savedTz_ = std::getenv("TZ");
        changedTz_ = true;
        setenv("TZ", tz, 1);
        tzset();
    }

private:
    std::optional<std::string> savedTz_;
    bool changedTz_ = false;
};

TEST_F(RecordStampTest, MakeRecordStampCountsFromLocalEightOClock)
{
    struct Case {
        LocalDateTime now;
        std::string stamp;
    };
    const Case cases[] = {
        // Unix time of 2018-12-04 18:00:00 at UTC+8, whatever the machine's zone.
        {{2018, 12, 4, 18, 0, 0, 123}, "1543917600"},
        {{2001, 9, 9, 9, 46, 40, 0}, "1000000000"},
        // Short counts get the milliseconds and then zeros: the stamp keeps ten digits.
        {{1970, 1, 1, 8, 0, 0, 0}, "0000000000"},
        {{1970, 1, 1, 8, 0, 5, 7}, "5007000000"},
        {{1970, 1, 1, 7, 59, 59, 500}, "-150000000"},
        // After 2286 the count has eleven digits and is cut.
        {{2300, 1, 1, 8, 0, 0, 0}, "1041379200"},
    };
    for (const Case &c : cases) {
        SetClock(c.now);
        EXPECT_EQ(MakeRecordStamp(), c.stamp) << c.now.year;
    }
}

TEST_F(RecordStampTest, TenDigitNamesShowTheSaveTime)
{
    SetLocaleClockForTests(1);
    EXPECT_EQ(StampToDisplayTime("0000000000"), "1970-1-01 08:00:00");
    EXPECT_EQ(StampToDisplayTime("1543917600"), "2018-12-04 18:00:00");
    EXPECT_EQ(StampToDisplayTime("abcdefghij"), "1970-1-01 08:00:00"); // not a number: the base itself
    EXPECT_EQ(StampToDisplayTime("9999999999"), "2286-11-21 01:46:39");
    SetLocaleClockForTests(0);
    EXPECT_EQ(StampToDisplayTime("1543917600"), "2018-12-04 06:00:00");
    EXPECT_EQ(StampToDisplayTime("0000000000"), "1970-1-01 08:00:00");
}

TEST_F(RecordStampTest, StampAndDisplayAgreeInAnyZone)
{
    SetLocaleClockForTests(1);
    for (const char *tz : {"UTC0", "CST-8", "EST5"}) {
        SetZone(tz);
        SetClock({2024, 2, 29, 23, 59, 58, 999});
        EXPECT_EQ(StampToDisplayTime(MakeRecordStamp()), "2024-2-29 23:59:58") << tz;
    }
}

TEST_F(RecordStampTest, OtherNamesAreMillisecondsSince1970Utc)
{
    SetZone("CST-8");
    EXPECT_EQ(StampToDisplayTime("1543917600000"), "2018-12-4 18:00:00");
    EXPECT_EQ(StampToDisplayTime("123456789"), "1970-1-2 18:17:36");
    EXPECT_EQ(StampToDisplayTime("12345678901"), "1970-5-24 05:21:18");
    EXPECT_EQ(StampToDisplayTime("0"), "1970-1-1 08:00:00");
    EXPECT_EQ(StampToDisplayTime("-1000"), "1970-1-1 07:59:59");
    SetZone("UTC0");
    EXPECT_EQ(StampToDisplayTime("1543917600000"), "2018-12-4 10:00:00");
    // Anything that is not a millisecond count gives nothing.
    for (const char *name : {"", "abc", "12a", "1.5", " 12", "-", "+12", "99999999999999999",
                             "8640000000000001"})
        EXPECT_EQ(StampToDisplayTime(name), "") << name;
    EXPECT_FALSE(StampToDisplayTime("8640000000000000").empty());
}

TEST_F(RecordStampTest, RecordDateTimeIsTheShownSaveTime)
{
    SetZone("CST-8");
    const auto at = [](int y, int mo, int d, int h, int mi, int s) {
        return std::optional<QDateTime>(QDateTime(QDate(y, mo, d), QTime(h, mi, s)));
    };
    EXPECT_EQ(RecordDateTime("1543917600"), at(2018, 12, 4, 18, 0, 0));
    EXPECT_EQ(RecordDateTime("0000000000"), at(1970, 1, 1, 8, 0, 0));
    EXPECT_EQ(RecordDateTime("abcdefghij"), at(1970, 1, 1, 8, 0, 0));
    EXPECT_EQ(RecordDateTime("1543917600000"), at(2018, 12, 4, 18, 0, 0));
    EXPECT_EQ(RecordDateTime("abc"), std::nullopt);
    EXPECT_EQ(RecordDateTime(""), std::nullopt);
    // A stamp names the local calendar time in any zone, as its display does.
    SetZone("EST5");
    EXPECT_EQ(RecordDateTime("1543917600"), at(2018, 12, 4, 18, 0, 0));
}

TEST_F(RecordStampTest, OnlyValidTimesUpToADayAheadAreRecordNames)
{
    SetClock({2018, 12, 4, 18, 0, 0, 0}); // stamp 1543917600
    const QDateTime latest = LatestRecordTime();
    const std::pair<const char *, bool> cases[] = {
        {"1543917600", true},
        {"1000000000", true},
        {"-150000000", true},            // a clock before 1970
        {"1544004000", true},            // a day ahead
        {"1544004001", false},           // beyond it
        {"9999999999", false},           // 2286
        {"abcdefghij", false},           // reads as the base, but is no stamp
        {"1543917600000", true},         // milliseconds, a day either side of the stamp
        {"8640000000000001", false},     // past the end of script time values
        {"99999999999999999999", false}, // no time at all
        {"8639999999999999", false},     // year 275760
        {"", false},
        {"\xbc\xc7\xc2\xbc", false},     // "记录" in GBK
    };
    for (const auto &[name, record] : cases)
        EXPECT_EQ(IsRecordName(name, latest), record) << name;
}

} // namespace
