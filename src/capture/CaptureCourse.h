#pragma once
// The course of one capture run or retry, from its plan to its summary: which
// link a pane loads next (LinkScheduler: never two of one host at once), what
// each link's events and end mean for its grid cell, the stop, and the counts.
// The window side shows N panes, hands each the job this class names, and
// feeds back what the pane reports; it applies the cell changes answered and
// decides nothing itself. A run link by link is N = 1 in the same course.
#include "capture/CapturePlan.h"
#include "capture/LinkScheduler.h"
#include "support/Result.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace corvix {

// A link that is no web address: the product's title and the shop (GBK).
struct BadLink {
    std::string product;
    std::string shop;
    bool operator==(const BadLink &) const = default;
};

struct RunSummary {
    bool noLinks = false;   // url.ini holds no product: nothing ran
    // url.ini exists but could not be read: nothing ran, nothing changed.
    std::optional<FileError> unreadable;
    bool stopped = false;   // a stop request ended the run early
    int total = 0;          // links the run set out to capture; products a shop does not sell are none
    int done = 0;           // links done, bad ones included
    int priced = 0;         // links that gave a price
    int outOfStock = 0;     // links whose shop said the product is sold out: no price, no failure
    std::vector<BadLink> badLinks;
    int Failed() const { return done - priced - outOfStock; }
    bool AllPriced() const { return Failed() == 0 && !stopped; }
};

// A change of one grid cell that the window side makes: its text, or the mark
// that its text is this run's result (drawn as refreshed).
struct CellChange {
    enum class Kind { Text, Refreshed };
    int row = 0;
    int column = 0;
    Kind kind = Kind::Text;
    std::string text; // GBK; Text only
    bool operator==(const CellChange &) const = default;
};

// What the window side does for the next link of the plan.
struct CourseStep {
    enum class Kind {
        Load, // pane loads the link (a job of its own)
        Skip, // a product the shop does not sell: nothing loads, nothing is counted
        Bad,  // no web address: nothing loads; a retry marks the cell (changes)
    };
    Kind kind = Kind::Load;
    size_t link = 0; // index into the plan's links
    int pane = -1;   // Load: the pane (0-based) that loads it
    std::vector<CellChange> changes;
};

// The end of a pane's link: its result (empty when none came), and the cell changes.
struct LinkEnd {
    size_t link = 0;
    std::string result;
    std::vector<CellChange> changes;
};

class CaptureCourse {
public:
    // The text a grid cell (row, column) shows now.
    using CellReader = std::function<std::string(int row, int column)>;

    // parallelLinks: links loaded at once, taken within 1 .. kMaxParallelLinks;
    // never more panes than the plan has hosts, never fewer than one.
    CaptureCourse(CapturePlan plan, int parallelLinks);

    const CapturePlan &Plan() const { return plan_; }
    int PaneCount() const { return panes_; }

    // The next link to begin, or none for now: every pane is busy, the hosts of
    // the waiting links are loading, a stop was asked, or nothing is left. A
    // link to load goes to the first idle pane; `shown` tells what its cell
    // shows before the link, which a link that ends without a result leaves.
    std::optional<CourseStep> Next(const CellReader &shown);
    // The pane's link reported its result (the price, "获取失败", "缺货"): the cell shows it.
    std::vector<CellChange> Captured(int pane, const std::string &text);
    // A download of the pane's link found no price: the cell shows nothing until the result.
    std::vector<CellChange> DownloadedWithoutPrice(int pane);
    // The pane's link has ended (by its result, or its window closed by hand):
    // a link without a result gives back the text its cell had, one with a
    // result marks it refreshed; the link is counted. None when the pane had no link.
    std::optional<LinkEnd> Ended(int pane);
    // Nothing more begins; the links loading still end. Asked once or often, the same.
    void Stop();

    // A link of this pane is loading.
    bool Loading(int pane) const;
    // Nothing waits and nothing loads: the run is over.
    bool Done() const { return schedule_.Done(); }
    const RunSummary &Summary() const { return summary_; }

private:
    struct Pane {
        std::optional<size_t> link;
        std::string before; // the cell's text when the link began
        std::string result;
    };
    Pane *LoadingPane(int pane);
    CellChange TextOf(size_t link, std::string text) const;

    CapturePlan plan_;
    int panes_ = 1;
    LinkScheduler schedule_;
    std::vector<Pane> paneLinks_;
    RunSummary summary_;
};

} // namespace corvix
