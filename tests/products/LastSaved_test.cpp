// The record saved last, whatever the names say: saves within one second and
// a clock set back make names that do not follow the order of the saves.
#include "common/CoreTestSupport.h"
#include "products/LastSaved.h"
#include "products/RecordFile.h"
#include "products/TestGrids.h"
#include "support/DateTime.h"
#include "support/Gbk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace corvix;
using corvix::test::TempDataRoot;

namespace {

// A save at a clock time ("18:00:00" on 2018-12-04), or a record an older
// installation wrote straight into the folder ("old 1543921200").
struct Step {
    const char *what;
    int hour = 0, minute = 0, second = 0;
    const char *oldName = nullptr;
};

struct Case {
    const char *what;
    std::vector<Step> steps;
    std::string last, before;        // record names, without ".txt"
    std::vector<std::string> listed; // ListRecords, in order
};

std::vector<std::string> Names(const std::vector<RecordListEntry> &records)
{
    std::vector<std::string> names;
    for (const RecordListEntry &entry : records)
        names.push_back(entry.name);
    return names;
}

TEST(LastSavedRecord, IsTheOneSavedLastAndItsPredecessorTheOneBeforeIt)
{
    const Case cases[] = {
        {"saves in order", {{"", 17}, {"", 18}}, "1543917600", "1543914000", {"1543914000", "1543917600"}},
        {"the clock set back an hour", {{"", 18}, {"", 17}}, "1543914000", "1543917600", {"1543914000", "1543917600"}},
        {"three saves within a second, then the clock a second back",
         {{"", 18}, {"", 18}, {"", 18}, {"", 17, 59, 59}},
         "1543917599",
         "1543917602",
         {"1543917599", "1543917600", "1543917601", "1543917602"}},
        {"an older installation saves later than every name known",
         {{"", 18}, {"", 17}, {"old", 0, 0, 0, "1543921200"}},
         "1543921200",
         "1543917600",
         {"1543914000", "1543917600", "1543921200"}},
        {"an older installation saves within the names known",
         {{"", 18}, {"", 17}, {"old", 0, 0, 0, "1543915000"}},
         "1543914000",
         "1543917600",
         {"1543914000", "1543915000", "1543917600"}},
        {"no side file: the latest name",
         {{"old", 0, 0, 0, "1543914000"}, {"old", 0, 0, 0, "1543910400"}},
         "1543914000",
         "1543910400",
         {"1543910400", "1543914000"}},
        {"a millisecond name among ten-digit ones",
         {{"old", 0, 0, 0, "1543914000500"}, {"old", 0, 0, 0, "1543914001"}},
         "1543914001",
         "1543914000500",
         {"1543914000500", "1543914001"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempDataRoot root;
        const auto db = root.Dirs().dbDir;
        for (const Step &step : c.steps) {
            if (step.oldName) {
                TempDataRoot::WriteBytes(PathInDir(db, std::string(step.oldName) + ".txt"), "P|1|");
                continue;
            }
            SetClockForTests([step] { return LocalDateTime{2018, 12, 4, step.hour, step.minute, step.second, 0}; });
            ASSERT_TRUE(SaveGridAsRecord(*test::MakeGrid({"S"}, {{"1", "P", "1"}}), db));
        }
        SetClockForTests([] { return LocalDateTime{2018, 12, 4, 17, 0, 0, 0}; });
        const std::vector<RecordListEntry> records = ListRecords(db);
        EXPECT_EQ(Names(records), c.listed);
        EXPECT_EQ(NewestRecordName(db), c.last + ".txt");
        const std::optional<RecordListEntry> before = RecordSavedBefore(db, records, c.last);
        EXPECT_EQ(before ? before->name : "", c.before);
        SetClockForTests(nullptr);
    }
}

TEST(LastSavedRecord, AnyOtherRecordFollowsItsListedPredecessorAndAGoneOneIsForgotten)
{
    TempDataRoot root;
    const auto db = root.Dirs().dbDir;
    for (int hour : {18, 17, 16}) {
        SetClockForTests([hour] { return LocalDateTime{2018, 12, 4, hour, 0, 0, 0}; });
        ASSERT_TRUE(SaveGridAsRecord(*test::MakeGrid({"S"}, {{"1", "P", "1"}}), db));
    }
    SetClockForTests(nullptr);
    const std::vector<RecordListEntry> records = ListRecords(db);
    EXPECT_EQ(NewestRecordName(db), "1543910400.txt");
    EXPECT_EQ(RecordSavedBefore(db, records, "1543910400")->name, "1543914000");
    EXPECT_EQ(RecordSavedBefore(db, records, "1543917600")->name, "1543914000");
    EXPECT_EQ(RecordSavedBefore(db, records, "1543914000")->name, "1543910400");
    std::filesystem::remove(db / "1543910400.txt");
    EXPECT_EQ(NewestRecordName(db), "1543917600.txt");
}

} // namespace
