#include "support/DateTime.h"
#include "support/Gbk.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace corvix;

namespace {

std::string G(const char *utf8) { return Gbk(utf8); }

class DateTimeTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        SetClockForTests(nullptr);
        SetLocaleClockForTests(-1);
    }
    // 2018-05-06 14:03:09
    const double afternoon = 43226.0 + (14 * 3600 + 3 * 60 + 9) / 86400.0;
};

TEST_F(DateTimeTest, AutomationDatesBothWays)
{
    struct Case {
        double value;
        LocalDateTime expected;
    };
    const Case cases[] = {
        {0.0, {1899, 12, 30, 0, 0, 0, 0}},
        {1.5, {1899, 12, 31, 12, 0, 0, 0}},
        {-1.25, {1899, 12, 29, 6, 0, 0, 0}}, // negative days, the fraction is still the time of day
        {43226.5, {2018, 5, 6, 12, 0, 0, 0}},
        {25569.0 + 1.0 / 3, {1970, 1, 1, 8, 0, 0, 0}},
        {2958465.0, {9999, 12, 31, 0, 0, 0, 0}},
        {1.0 - 0.1 / 86400, {1899, 12, 31, 0, 0, 0, 0}}, // rounds to the next second, over midnight
    };
    for (const Case &c : cases) {
        const auto t = FromAutomationDate(c.value);
        ASSERT_TRUE(t) << c.value;
        EXPECT_EQ(std::tie(t->year, t->month, t->day, t->hour, t->minute, t->second),
                  std::tie(c.expected.year, c.expected.month, c.expected.day, c.expected.hour, c.expected.minute,
                           c.expected.second))
            << c.value;
    }
    EXPECT_DOUBLE_EQ(ToAutomationDate({1899, 12, 29, 6, 0, 0, 0}), -1.25);
    EXPECT_DOUBLE_EQ(ToAutomationDate({2018, 5, 6, 12, 0, 0, 0}), 43226.5);
    EXPECT_FALSE(FromAutomationDate(-700000.0));
    EXPECT_FALSE(FromAutomationDate(3000000.0));
    EXPECT_FALSE(FromAutomationDate(std::nan("")));
}

TEST_F(DateTimeTest, FormatDateTimePictures)
{
    EXPECT_EQ(FormatDateTime(afternoon, "yyyy-MM-dd ", "HH:mm:ss", false), "2018-05-06 14:03:09");
    // "hh" is the 12-hour hour, without a morning or afternoon marker.
    EXPECT_EQ(FormatDateTime(afternoon, "yyyy-M-dd ", "hh:mm:ss", false), "2018-5-06 02:03:09");
    EXPECT_EQ(FormatDateTime(afternoon, "yyyy-M-dd ", "hh:mm:ss", true), "2018-5-06 14:03:09");
    EXPECT_EQ(FormatDateTime(afternoon, "", "h H HH", false), "2 14 14");
    // "€" (80) is one byte: the letters after it still form their picture.
    EXPECT_EQ(FormatDateTime(afternoon, "yyyy\x80MM", "\x80hh", true), "2018\x80" "05\x80" "14");
    EXPECT_EQ(FormatDateTime(43226.0, "", "hh:mm", false), "12:00"); // midnight on the 12-hour clock
    EXPECT_EQ(FormatDateTime(43226.0, "", "HH:mm", false), "00:00");
    EXPECT_EQ(FormatDateTime(afternoon, G("yyyy年MM月dd日 "), G("HH时mm分ss秒"), false),
              G("2018年05月06日 14时03分09秒"));
    // Pictures shorter than three bytes give nothing.
    EXPECT_EQ(FormatDateTime(afternoon, "yy", "HH:mm:ss", false), "14:03:09");
    EXPECT_EQ(FormatDateTime(afternoon, "yyyy-MM-dd", "ss", false), "2018-05-06");
    // Letters that are no picture here are copied: time letters in a date
    // picture, and runs of other lengths.
    EXPECT_EQ(FormatDateTime(afternoon, "dd hh yyy", "", false), "06 hh yyy");
    EXPECT_EQ(FormatDateTime(afternoon, "", "HH dd MMM", false), "14 dd MMM");
    // The 50-byte buffer: 49 bytes fit, 50 do not.
    EXPECT_EQ(FormatDateTime(afternoon, std::string(49, 'x'), "", false), std::string(49, 'x'));
    EXPECT_EQ(FormatDateTime(afternoon, std::string(50, 'x'), "HH", false), "");
    EXPECT_EQ(FormatDateTime(afternoon, std::string(50, 'x'), "HH:mm", false), "14:03");
    EXPECT_EQ(FormatDateTime(-700000.0, "yyyy-MM-dd", "HH:mm", false), "");
}

TEST_F(DateTimeTest, FormatTimestampStylesAndParts)
{
    SetLocaleClockForTests(1);
    struct Case {
        int style, part;
        std::string expected;
    };
    const Case cases[] = {
        {0, 0, G("2018年05月06日 14时03分09秒")},
        {1, 0, "2018-05-06 14:03:09"},
        {2, 0, "2018/05/06 14/03/09"},
        {3, 0, "20180506140309"},
        {9, 0, G("2018年05月06日 14时03分09秒")}, // unknown style is style 0
        {1, 1, "2018-05-06"},
        {1, 2, "05-06"},
        {1, 3, "14:03:09"},
        {1, 4, "14:03"},
        {1, 5, "03:09"},
        {1, 6, "2018-05-06 14:03:09"}, // unknown part is part 0
        {3, 1, "20180506"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FormatTimestamp(afternoon, c.style, c.part), c.expected) << c.style << "/" << c.part;

    SetLocaleClockForTests(0);
    EXPECT_EQ(FormatTimestamp(afternoon, 0, 0), G("2018年05月06日 02时03分09秒"));
    EXPECT_EQ(FormatTimestamp(afternoon, 3, 0), "20180506020309");
}

TEST_F(DateTimeTest, FormatTimestampReadsTheClockToTheSecond)
{
    SetLocaleClockForTests(1);
    SetClockForTests([] { return LocalDateTime{2018, 5, 6, 14, 3, 9, 999}; });
    EXPECT_EQ(FormatTimestamp(), G("2018年05月06日 14时03分09秒"));
    const LocalDateTime now = CurrentLocalTime();
    EXPECT_EQ(now.millisecond, 999);
}

TEST_F(DateTimeTest, LocaleClockOverrideAndTheSystemLocale)
{
    SetLocaleClockForTests(0);
    EXPECT_EQ(LocaleUses24HourClock(), 0);
    SetLocaleClockForTests(1);
    EXPECT_EQ(LocaleUses24HourClock(), 1);
    SetLocaleClockForTests(-1);
    const int system = LocaleUses24HourClock();
    EXPECT_TRUE(system == 0 || system == 1);
}

} // namespace
