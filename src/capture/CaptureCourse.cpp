#include "capture/CaptureCourse.h"

#include "capture/CellTexts.h"
#include "products/ProductGridModel.h"
#include "support/HostName.h"

#include <algorithm>
#include <set>

namespace corvix {
namespace {

std::vector<std::string> HostsOf(const CapturePlan &plan)
{
    std::vector<std::string> hosts;
    hosts.reserve(plan.links.size());
    for (const PlannedLink &link : plan.links)
        hosts.push_back(link.address.empty() ? std::string() : HostOfAddress(link.address));
    return hosts;
}

// No more panes than hosts: links of one host never load side by side anyway.
int PanesFor(const std::vector<std::string> &hosts, int parallelLinks)
{
    std::set<std::string> distinct(hosts.begin(), hosts.end());
    distinct.erase(std::string());
    const int wanted = std::clamp(parallelLinks, 1, kMaxParallelLinks);
    return std::max(1, std::min(wanted, static_cast<int>(distinct.size())));
}

} // namespace

CaptureCourse::CaptureCourse(CapturePlan plan, int parallelLinks)
    : plan_(std::move(plan)), schedule_({}, 1)
{
    const std::vector<std::string> hosts = HostsOf(plan_);
    panes_ = PanesFor(hosts, parallelLinks);
    schedule_ = LinkScheduler(hosts, panes_);
    paneLinks_.resize(static_cast<size_t>(panes_));
    summary_.total = plan_.CountedLinks();
}

CellChange CaptureCourse::TextOf(size_t link, std::string text) const
{
    const PlannedLink &planned = plan_.links[link];
    return {planned.row, planned.column, CellChange::Kind::Text, std::move(text)};
}

std::optional<CourseStep> CaptureCourse::Next(const CellReader &shown)
{
    const std::optional<size_t> next = schedule_.Next();
    if (!next)
        return std::nullopt;
    const PlannedLink &link = plan_.links[*next];
    CourseStep step{.kind = CourseStep::Kind::Load, .link = *next, .pane = -1, .changes = {}};
    switch (link.kind) {
    case LinkKind::Missing:
        step.kind = CourseStep::Kind::Skip;
        return step;
    case LinkKind::NotWeb:
        step.kind = CourseStep::Kind::Bad;
        ++summary_.done;
        // A retry marks the cell; a run names product and shop in its closing message.
        if (plan_.retry)
            step.changes.push_back(TextOf(*next, BadLinkText()));
        else
            summary_.badLinks.push_back({plan_.titles[static_cast<size_t>(link.row)],
                                         plan_.shops[static_cast<size_t>(link.column - kFirstSiteColumn)]});
        return step;
    case LinkKind::Web:
        break;
    }
    // The scheduler never starts more links than there are panes: one is idle.
    const auto idle = std::find_if(paneLinks_.begin(), paneLinks_.end(), [](const Pane &p) { return !p.link; });
    step.pane = static_cast<int>(idle - paneLinks_.begin());
    *idle = Pane{*next, shown(link.row, link.column), {}};
    return step;
}

CaptureCourse::Pane *CaptureCourse::LoadingPane(int pane)
{
    if (pane < 0 || pane >= panes_)
        return nullptr;
    Pane &p = paneLinks_[static_cast<size_t>(pane)];
    return p.link ? &p : nullptr;
}

bool CaptureCourse::Loading(int pane) const
{
    return pane >= 0 && pane < panes_ && paneLinks_[static_cast<size_t>(pane)].link.has_value();
}

std::vector<CellChange> CaptureCourse::Captured(int pane, const std::string &text)
{
    Pane *p = LoadingPane(pane);
    if (!p)
        return {};
    p->result = text;
    return {TextOf(*p->link, text)};
}

std::vector<CellChange> CaptureCourse::DownloadedWithoutPrice(int pane)
{
    const Pane *p = LoadingPane(pane);
    if (!p)
        return {};
    return {TextOf(*p->link, {})};
}

std::optional<LinkEnd> CaptureCourse::Ended(int pane)
{
    Pane *p = LoadingPane(pane);
    if (!p)
        return std::nullopt;
    LinkEnd end{*p->link, std::move(p->result), {}};
    const std::string before = std::move(p->before);
    *p = Pane{};
    const PlannedLink &link = plan_.links[end.link];
    // No result (closed by hand): the cell keeps what it showed before the link.
    if (end.result.empty())
        end.changes.push_back(TextOf(end.link, before));
    else
        end.changes.push_back({link.row, link.column, CellChange::Kind::Refreshed, {}});
    ++summary_.done;
    switch (ClassifyCell(end.result)) {
    case CellState::Empty:
    case CellState::Failed:
        break;
    case CellState::OutOfStock:
        ++summary_.outOfStock;
        break;
    default:
        ++summary_.priced;
    }
    schedule_.Finished(end.link);
    return end;
}

void CaptureCourse::Stop()
{
    summary_.stopped = true;
    schedule_.DropWaiting();
}

} // namespace corvix
