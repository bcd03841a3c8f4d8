#pragma once
// The capture of one link after another in one window, as a state machine: the
// window feeds it what happens (a tick of its clock, a page read at a look or at
// a download-complete event, a close by hand, Escape) and does what it answers.
// A link ends with one result, the price, "获取失败" or "缺货" (no price came and
// the page declared its product sold out), or without one when its window is
// closed by hand; whatever arrives for a link after it has ended, or
// for an earlier link, is ignored.
#include "capture/CaptureJob.h"
#include "capture/DeclaredAvailability.h"

#include <cstdint>
#include <optional>
#include <string>

namespace corvix {

// A link fails on its tenth tick of the capture clock, and on its ninth
// download-complete event that finds a document without a price.
constexpr int kLastTick = 9;
constexpr int kLastEmptyDownload = 8;
// How long a link may take, in ticks: the rule test waits as long.
constexpr int kTicksPerLink = kLastTick + 1;

// What the window does after an event; several at once in this order.
struct CaptureAnswer {
    bool clearCell = false;            // the page loaded without a price: the cell shows nothing
    bool showStatus = false;           // the seconds left (or the stop) changed
    std::optional<std::string> result; // report it (GBK) and close: the link has ended
    bool reload = false;               // the renderer was lost: load the link again in a fresh page

    bool operator==(const CaptureAnswer &) const = default;
};

// What a read of the page found: whether it has a document, and the price the
// job's rule extracts from it (empty: none), and what the page declares about
// its product's stock when that was asked for (WantsDeclarations).
struct PageReading {
    bool hasDocument = true;
    std::string price;
    std::optional<Availability> declared;
};

class LinkCapture {
public:
    // Each start is numbered; a page read asked for under an earlier number is stale.
    using StartId = std::uint64_t;

    // Captures job from now on; the window loads its link. Ticks and empty
    // downloads count from zero again.
    StartId Start(CaptureJob job);
    // One tick of the capture clock.
    CaptureAnswer Tick();
    // A look at the page between browser events, asked for under start.
    CaptureAnswer Look(StartId start, const PageReading &page);
    // A download-complete event, read under start.
    CaptureAnswer DownloadComplete(StartId start, const PageReading &page);
    // The link ends without a result: its window was closed by hand or the run
    // abandoned it.
    void End();
    // The page's renderer went away (crashed or killed). Panes may share a
    // renderer, so a neighbour's crash can take this link's page with it: the
    // link is loaded once more, from its first tick; lost again, it fails.
    CaptureAnswer RendererLost();
    // Escape: the run stops once this link is done. True the first time only.
    bool AskStop();

    // A link is under way: started, not yet ended.
    bool Capturing() const { return capturing_; }
    // A page read asked for under start is no longer wanted.
    bool Stale(StartId start) const { return !capturing_ || start != starts_; }
    StartId CurrentStart() const { return starts_; }
    const CaptureJob &Job() const { return job_; }
    int Ticks() const { return ticks_; }
    int EmptyDownloads() const { return emptyDownloads_; }
    int SecondsLeft() const { return kTicksPerLink - ticks_; }
    bool StopAsked() const { return stopAsked_; }
    // A read of this link found a document without a price: from then on the
    // reads also ask what the page declares about its stock. A page with its
    // price at the first look never pays for that.
    bool WantsDeclarations() const { return capturing_ && pricelessPage_; }
    // The page of the last link may still be busy with it (the link ran out of
    // time or was abandoned) or has lost its renderer: the next link must not
    // reuse it. A link that ended with a page read leaves a page fit for reuse.
    bool PageSpent() const { return pageSpent_; }

private:
    CaptureAnswer Finish(std::string result);
    // No price in time: "缺货" when the last read page declared the product sold
    // out, else "获取失败".
    std::string NoPriceResult() const;
    void Note(const PageReading &page);

    CaptureJob job_;
    StartId starts_ = 0;
    bool capturing_ = false;
    int ticks_ = 0;
    int emptyDownloads_ = 0;
    bool stopAsked_ = false; // for the window's life: a run ends once asked
    bool pageSpent_ = false;
    bool reloaded_ = false;  // this link was loaded again after a lost renderer
    bool pricelessPage_ = false; // a read found a document without a price
    bool declaredOut_ = false;   // the last declaration read says sold out
};

} // namespace corvix
