#include "capture/LinkScheduler.h"

#include <algorithm>

namespace corvix {

LinkScheduler::LinkScheduler(const std::vector<std::string> &hosts, int slots)
    : hostOf_(hosts), slots_(std::max(1, slots))
{
    for (size_t i = 0; i < hosts.size(); ++i) {
        if (hosts[i].empty())
            noHost_.push_back(i);
        else
            waiting_[hosts[i]].push_back(i);
    }
    for (const auto &[host, links] : waiting_) {
        fronts_.emplace(links.front(), host);
        ready_.emplace(links.front(), host);
    }
}

std::optional<size_t> LinkScheduler::Next()
{
    const size_t firstHosted = fronts_.empty() ? SIZE_MAX : fronts_.begin()->first;
    // In its turn, with a slot free: one slot goes link after link, as a run without panes did.
    if (!noHost_.empty() && noHost_.front() < firstHosted && loading_ < slots_) {
        const size_t link = noHost_.front();
        noHost_.pop_front();
        return link;
    }
    if (loading_ >= slots_ || ready_.empty())
        return std::nullopt;
    const auto [link, host] = *ready_.begin();
    ready_.erase(ready_.begin());
    fronts_.erase({link, host});
    auto &links = waiting_[host];
    links.pop_front();
    if (links.empty())
        waiting_.erase(host);
    else
        fronts_.emplace(links.front(), host);
    busy_.insert(host);
    ++loading_;
    return link;
}

void LinkScheduler::Finished(size_t link)
{
    if (link >= hostOf_.size() || hostOf_[link].empty())
        return;
    const std::string &host = hostOf_[link];
    if (busy_.erase(host) == 0)
        return;
    --loading_;
    if (const auto left = waiting_.find(host); left != waiting_.end())
        ready_.emplace(left->second.front(), host);
}

void LinkScheduler::DropWaiting()
{
    waiting_.clear();
    fronts_.clear();
    ready_.clear();
    noHost_.clear();
}

} // namespace corvix
