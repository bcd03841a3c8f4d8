#pragma once
// The order in which a run starts its links when several load at once. A run's
// columns are shops, so links of different hosts may load side by side while
// each host still sees one request after another: a link starts when a slot is
// free and no other link of its host is loading, the earliest such link of the
// run first. With one slot this is the run's own order, link after link.
// Links without a host (no web address; nothing is loaded for them) take no slot
// and go in their turn, once every earlier link has started and a slot is free:
// with one slot, once the link before has ended.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace corvix {

// The most links a run captures at once.
constexpr int kMaxParallelLinks = 8;

class LinkScheduler {
public:
    // hosts: the host of each link of the run, in run order ("" for a link
    // without one); slots: how many links may load at the same time (at least 1).
    LinkScheduler(const std::vector<std::string> &hosts, int slots);

    // The link to start now, or none: nothing is waiting, every slot is taken, or
    // the host of every waiting link is loading one already.
    std::optional<size_t> Next();
    // A started link has ended: its slot and its host are free again.
    void Finished(size_t link);
    // Nothing more starts (the run was stopped); links under way still end.
    void DropWaiting();

    int Loading() const { return loading_; }
    // Nothing waits and nothing is loading.
    bool Done() const { return loading_ == 0 && waiting_.empty() && noHost_.empty(); }

private:
    std::vector<std::string> hostOf_;
    int slots_;
    int loading_ = 0;
    std::map<std::string, std::deque<size_t>> waiting_; // per host with links left, in run order
    std::set<std::pair<size_t, std::string>> fronts_;   // (first waiting link, host) of every host with links left
    std::set<std::pair<size_t, std::string>> ready_;    // the same of the hosts not loading
    std::set<std::string> busy_;
    std::deque<size_t> noHost_;
};

} // namespace corvix
