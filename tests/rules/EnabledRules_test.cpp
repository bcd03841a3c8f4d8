#include "RuleTestDirs.h"

#include "rules/EnabledRules.h"
#include "rules/RuleIndex.h"
#include "support/Gbk.h"

#include <gtest/gtest.h>

using namespace corvix;
using namespace corvix::testing_rules;

namespace {

std::vector<std::string> TitlesOf(const std::vector<EnabledRule> &rules)
{
    std::vector<std::string> titles;
    for (const EnabledRule &r : rules)
        titles.push_back(r.title);
    return titles;
}

TEST(EnabledRules, OnlyOpenOneInIndexOrder)
{
    TempDataDirs d;
    WriteBytes(RuleIndexPath(d.dirs), "C\r\nB\r\nA\r\nD\r\nE\r\nF\r\nMissing");
    WriteBytes(d.dirs.spiderDir / "A.spider.cfg", "[left]a[/left]\r\n[open]1[/open]");
    WriteBytes(d.dirs.spiderDir / "B.spider.cfg", "[open]0[/open]");
    WriteBytes(d.dirs.spiderDir / "C.spider.cfg", "[open]1[/open]");
    WriteBytes(d.dirs.spiderDir / "D.spider.cfg", "[left]x[/left]");
    WriteBytes(d.dirs.spiderDir / "E.spider.cfg", "[open] 1[/open]");
    WriteBytes(d.dirs.spiderDir / "F.spider.cfg", "[open]1 [/open]");
    WriteBytes(d.dirs.spiderDir / "Unlisted.spider.cfg", "[open]1[/open]");
    int pumped = 0;
    const auto rules = LoadEnabledRules(d.dirs, [&] { ++pumped; });
    EXPECT_EQ(TitlesOf(rules), (std::vector<std::string>{"C", "A"}));
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[1].rule.left, "a");
    EXPECT_EQ(pumped, 7);
}

TEST(EnabledRules, FirstStartCreatesAnEmptyIndex)
{
    TempDataDirs d;
    EXPECT_TRUE(LoadEnabledRules(d.dirs).empty());
    EXPECT_TRUE(std::filesystem::exists(RuleIndexPath(d.dirs)));
}

TEST(EnabledRules, TextEndMarkAndOddBytes)
{
    TempDataDirs d;
    const std::string chinese = Gbk("京东");
    WriteBytes(RuleIndexPath(d.dirs), "\r\nA\r\nB\r\n" + chinese + "\r\n../X");
    WriteBytes(d.dirs.spiderDir / "A.spider.cfg", "[left]a[/left]\x1A[open]1[/open]");
    WriteBytes(d.dirs.spiderDir / "B.spider.cfg", "[open]1[/open]\x1A" "tail");
    WriteBytes(d.dirs.spiderDir / "京东.spider.cfg", std::string("[left]\x81\x1A[/left][open]1[/open]\0x", 31));
    WriteBytes(d.dirs.root / "X.spider.cfg", "[open]1[/open]"); // outside the rule directory
    const auto rules = LoadEnabledRules(d.dirs);
    EXPECT_EQ(TitlesOf(rules), (std::vector<std::string>{"B", chinese}));
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_TRUE(rules[0].rule.enabled);
    EXPECT_EQ(rules[1].rule.left, "\x81\x1A");
}

} // namespace

namespace {

using Titles = std::vector<std::string>;

// The rule columns after the inserts, as the grid would show them.
Titles Applied(Titles columns, const std::vector<RuleColumnInsert> &inserts)
{
    for (const RuleColumnInsert &insert : inserts)
        columns.insert(columns.begin() + insert.at, insert.title);
    return columns;
}

TEST(EnabledRules, NewColumnsTakeTheirPlaceInIndexOrder)
{
    struct Case {
        const char *name;
        Titles shown, index, enabled, after;
    } cases[] = {
        {"nothing new", {"A", "C"}, {"A", "B", "C"}, {"A", "C"}, {"A", "C"}},
        {"between", {"A", "C"}, {"A", "B", "C"}, {"A", "B", "C"}, {"A", "B", "C"}},
        {"first", {"B", "C"}, {"A", "B", "C"}, {"A", "B", "C"}, {"A", "B", "C"}},
        {"last", {"A"}, {"A", "B"}, {"A", "B"}, {"A", "B"}},
        {"into an empty grid", {}, {"A", "B", "C"}, {"A", "C"}, {"A", "C"}},
        {"after a closed rule's column", {"A", "B", "D"}, {"A", "B", "C", "D"}, {"A", "C", "D"}, {"A", "B", "C", "D"}},
        {"a deleted rule's column stays", {"X", "A"}, {"A", "B"}, {"A", "B"}, {"X", "A", "B"}},
        {"two new, one after the other", {"D"}, {"A", "B", "C", "D"}, {"B", "C", "D"}, {"B", "C", "D"}},
        {"before a predecessor without column", {"C"}, {"A", "B", "C", "D"}, {"B", "C", "D"}, {"B", "C", "D"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Applied(c.shown, PlaceNewRuleColumns(c.shown, c.index, c.enabled)), c.after) << c.name;
}

} // namespace
