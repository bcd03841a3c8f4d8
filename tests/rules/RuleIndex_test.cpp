#include "RuleTestDirs.h"

#include "rules/RuleIndex.h"
#include "support/Gbk.h"

#include <gtest/gtest.h>

using namespace corvix;
using namespace corvix::testing_rules;

namespace {

using Titles = std::vector<std::string>;

TEST(RuleIndex, CreatedEmptyWhenMissing)
{
    TempDataDirs d;
    EXPECT_EQ(UpdateRuleIndex(d.dirs, "", false), Titles{});
    EXPECT_TRUE(std::filesystem::exists(RuleIndexPath(d.dirs)));
    EXPECT_EQ(ReadBytes(RuleIndexPath(d.dirs)), "");
}

TEST(RuleIndex, AddAppendsOnce)
{
    TempDataDirs d;
    EXPECT_EQ(UpdateRuleIndex(d.dirs, "A", false), Titles{"A"});
    EXPECT_EQ(ReadBytes(RuleIndexPath(d.dirs)), "\r\nA");
    EXPECT_EQ(UpdateRuleIndex(d.dirs, "", false), Titles{"A"});
    EXPECT_EQ(UpdateRuleIndex(d.dirs, "A", false), Titles{"A"});
    EXPECT_EQ(ReadBytes(RuleIndexPath(d.dirs)), "\r\nA");
    WriteBytes(RuleIndexPath(d.dirs), "abc");
    EXPECT_EQ(UpdateRuleIndex(d.dirs, "ab", false), (Titles{"abc", "ab"}));
    EXPECT_EQ(ReadBytes(RuleIndexPath(d.dirs)), "abc\r\nab");
    const std::string chinese = Gbk("京东乗");
    EXPECT_EQ(UpdateRuleIndex(d.dirs, chinese, false), (Titles{"abc", "ab", chinese}));
}

TEST(RuleIndex, RemoveEveryEqualLine)
{
    TempDataDirs d;
    WriteBytes(RuleIndexPath(d.dirs), "A\r\nB\r\nC");
    EXPECT_EQ(UpdateRuleIndex(d.dirs, "B", true), (Titles{"A", "C"}));
    EXPECT_EQ(ReadBytes(RuleIndexPath(d.dirs)), "A\r\nC");
    // Not listed: rewritten cleaned, otherwise unchanged.
    WriteBytes(RuleIndexPath(d.dirs), "\r\nA\r\n\r\nC\r\n");
    EXPECT_EQ(UpdateRuleIndex(d.dirs, "X", true), (Titles{"A", "C"}));
    EXPECT_EQ(ReadBytes(RuleIndexPath(d.dirs)), "A\r\nC");
    // Duplicates all go, and no other line with them.
    WriteBytes(RuleIndexPath(d.dirs), "A\r\nB\r\nB\r\nC\r\nB");
    EXPECT_EQ(UpdateRuleIndex(d.dirs, "B", true), (Titles{"A", "C"}));
    EXPECT_EQ(ReadBytes(RuleIndexPath(d.dirs)), "A\r\nC");
    WriteBytes(RuleIndexPath(d.dirs), "\r\nA");
    EXPECT_EQ(UpdateRuleIndex(d.dirs, "A", true), Titles{});
    EXPECT_EQ(ReadBytes(RuleIndexPath(d.dirs)), "");
}

TEST(RuleIndex, EmptyAndBlankOnlyLinesBetweenTitlesAreNoTitles)
{
    TempDataDirs d;
    WriteBytes(RuleIndexPath(d.dirs), "\r\nA\r\n\r\n  \r\n\t\r\nB\r\n\r\n\r\nC\r\n");
    EXPECT_EQ(UpdateRuleIndex(d.dirs, "", false), (Titles{"A", "B", "C"}));
    WriteBytes(RuleIndexPath(d.dirs), "\r\n\r\nA\r\n\r\n");
    EXPECT_EQ(UpdateRuleIndex(d.dirs, "", false), Titles{"A"});
    // A lone line of blanks is the title of a rule called " ".
    WriteBytes(RuleIndexPath(d.dirs), "\r\n \r\n");
    EXPECT_EQ(UpdateRuleIndex(d.dirs, "", false), Titles{" "});
    // Blanks inside a line belong to the title.
    WriteBytes(RuleIndexPath(d.dirs), " A\r\nB");
    EXPECT_EQ(UpdateRuleIndex(d.dirs, "", false), (Titles{" A", "B"}));
    // "€" (80) is one byte: the line break after it ends the title.
    WriteBytes(RuleIndexPath(d.dirs), "\r\nA\x80\r\nB\xFF\r\nC");
    EXPECT_EQ(UpdateRuleIndex(d.dirs, "", false), (Titles{"A\x80", "B\xFF", "C"}));
}

TEST(RuleIndex, AddAfterAZeroByteStaysVisible)
{
    TempDataDirs d;
    WriteBytes(RuleIndexPath(d.dirs), std::string("A\r\nB\0junk", 9));
    EXPECT_EQ(UpdateRuleIndex(d.dirs, "C", false), (Titles{"A", "B", "C"}));
    EXPECT_EQ(UpdateRuleIndex(d.dirs, "", false), (Titles{"A", "B", "C"}));
}

TEST(RuleIndex, TitlesThatAreNoFileNameAreNotAdded)
{
    TempDataDirs d;
    WriteBytes(RuleIndexPath(d.dirs), "A");
    EXPECT_FALSE(UpdateRuleIndex(d.dirs, "x\r\ny", false));
    EXPECT_FALSE(UpdateRuleIndex(d.dirs, "../B", false));
    EXPECT_EQ(ReadRuleIndex(d.dirs), Titles{"A"});
    EXPECT_EQ(ReadBytes(RuleIndexPath(d.dirs)), "A");
}

TEST(RuleIndex, AFailedWriteLeavesIndexAndResult)
{
    TempDataDirs d;
    // Without a class directory nothing can be created or written.
    std::filesystem::remove_all(d.dirs.classDir);
    const auto added = UpdateRuleIndex(d.dirs, "A", false);
    ASSERT_FALSE(added);
    EXPECT_EQ(added.error().path, RuleIndexPath(d.dirs));
    EXPECT_EQ(ReadRuleIndex(d.dirs), Titles{});
    EXPECT_FALSE(std::filesystem::exists(d.dirs.classDir));

    // An index that cannot be read is not rewritten from nothing.
    TempDataDirs e;
    std::filesystem::create_directory(RuleIndexPath(e.dirs));
    for (const bool remove : {false, true}) {
        const auto refused = UpdateRuleIndex(e.dirs, "A", remove);
        ASSERT_FALSE(refused) << remove;
        EXPECT_TRUE(refused.error().read) << remove;
        EXPECT_TRUE(std::filesystem::is_directory(RuleIndexPath(e.dirs))) << remove;
    }
}

} // namespace
