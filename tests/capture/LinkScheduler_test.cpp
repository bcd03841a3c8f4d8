#include "capture/LinkScheduler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace corvix {
namespace {

// Runs the schedule to its end, finishing the earliest started link whenever
// nothing more can start, and checks at every start that no host loads twice
// and no more than slots links load. Returns the order in which links started.
std::vector<size_t> StartOrder(const std::vector<std::string> &hosts, int slots)
{
    LinkScheduler schedule(hosts, slots);
    std::vector<size_t> started;
    std::vector<size_t> loading;
    while (!schedule.Done()) {
        while (const std::optional<size_t> next = schedule.Next()) {
            started.push_back(*next);
            if (hosts[*next].empty())
                continue;
            for (size_t other : loading)
                EXPECT_NE(hosts[other], hosts[*next]) << "link " << *next;
            loading.push_back(*next);
            EXPECT_LE(static_cast<int>(loading.size()), std::max(1, slots));
        }
        if (loading.empty())
            break;
        schedule.Finished(loading.front());
        loading.erase(loading.begin());
    }
    EXPECT_TRUE(schedule.Done());
    return started;
}

TEST(LinkScheduler, StartsTheEarliestLinkWhoseHostIsIdle)
{
    using Order = std::vector<size_t>;
    const struct {
        std::vector<std::string> hosts;
        int slots;
        Order order;
    } cases[] = {
        // One slot: the run's own order, whatever the hosts.
        {{"a", "a", "b", "", "a"}, 1, {0, 1, 2, 3, 4}},
        {{"a", "b", "a", "b"}, 0, {0, 1, 2, 3}},
        // Four shops, four slots: a product row at a time.
        {{"a", "b", "c", "d", "a", "b", "c", "d"}, 4, {0, 1, 2, 3, 4, 5, 6, 7}},
        // Two shops on one host: the second waits, later links of other hosts go ahead.
        {{"a", "a", "c", "a", "a", "c"}, 3, {0, 2, 1, 5, 3, 4}},
        // More slots than hosts: never two of one host.
        {{"a", "a", "a"}, 8, {0, 1, 2}},
        // A link without a host takes no slot and goes in its turn.
        {{"a", "", "b", ""}, 1, {0, 1, 2, 3}},
        {{"a", "b", "", "c"}, 2, {0, 1, 2, 3}},
        {{}, 4, {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(StartOrder(c.hosts, c.slots), c.order) << "slots " << c.slots;
}

TEST(LinkScheduler, ALinkWithoutHostWaitsForAFreeSlot)
{
    LinkScheduler one({"a", "", "b"}, 1);
    EXPECT_EQ(one.Next(), 0u);
    EXPECT_EQ(one.Next(), std::nullopt) << "link after link: the link before is loading";
    one.Finished(0);
    EXPECT_EQ(one.Next(), 1u);
    EXPECT_EQ(one.Next(), 2u);
    LinkScheduler two({"a", "", "b"}, 2);
    EXPECT_EQ(two.Next(), 0u);
    EXPECT_EQ(two.Next(), 1u);
    EXPECT_EQ(two.Next(), 2u);
}

TEST(LinkScheduler, DroppedLinksNeverStartAndLoadingOnesStillEnd)
{
    LinkScheduler schedule({"a", "b", "a", "c"}, 2);
    EXPECT_EQ(schedule.Next(), 0u);
    EXPECT_EQ(schedule.Next(), 1u);
    EXPECT_EQ(schedule.Next(), std::nullopt);
    schedule.DropWaiting();
    EXPECT_FALSE(schedule.Done());
    schedule.Finished(0);
    EXPECT_EQ(schedule.Next(), std::nullopt);
    schedule.Finished(1);
    schedule.Finished(1); // a second report of one link changes nothing
    EXPECT_EQ(schedule.Loading(), 0);
    EXPECT_TRUE(schedule.Done());
}

} // namespace
} // namespace corvix
