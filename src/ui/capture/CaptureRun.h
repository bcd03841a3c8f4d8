#pragma once
// One capture run over the product grid: every link of url.ini (the last
// import merged into it first), or the retry of the cells that are empty or
// "获取失败". A run first lists its links (CapturePlan), then captures them. Link by link (the default), the capture
// window is shown modally once per link and its result goes into the link's
// cell; it is one window for the whole run, shown again for each link, because
// building a window and moving the browser into it cost more than loading a small
// page. With several links at once, one window shows a pane per link under way,
// and LinkScheduler decides which link starts next: never two of one host. Every
// product's row is shown before the first link with the prices it had, drawn as
// not refreshed until its links are done, so a stopped run loses no product and
// no price it did not reach. The buttons of the main window and
// the headless capture run the same code: it knows the session and the grid,
// never a window around them.
#include "capture/CaptureJob.h"
#include "capture/CaptureParts.h"
#include "capture/CapturePlan.h"
#include "capture/LinkScheduler.h"
#include "ui/browser/WarmBrowser.h"

#include <QObject>
#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <utility>

#include <string>
#include <vector>

namespace corvix {

struct Session;
class CaptureWindow;
class ParallelCaptureWindow;
class ProductGridModel;

// A link that is no web address: the product's title and the shop (GBK).
struct BadLink {
    std::string product;
    std::string shop;
};

struct RunSummary {
    bool noLinks = false;   // url.ini holds no product: nothing ran
    bool stopped = false;   // Stop() ended the run early
    int total = 0;          // links the run set out to capture; products a shop does not sell are none
    int done = 0;           // links done, bad ones included
    int priced = 0;         // links that gave a price
    int outOfStock = 0;     // links whose shop said the product is sold out: no price, no failure
    std::vector<BadLink> badLinks;
    int Failed() const { return done - priced - outOfStock; }
    bool AllPriced() const { return Failed() == 0 && !stopped; }
};

// The one message for the links a run could not load: "您输入的链接不正确,录入失败",
// then "商品名称 / 商城" per link, at most 20 of them, then "……共 n 条".
QString BadLinkSummary(const std::vector<BadLink> &links);

class CaptureRun : public QObject {
    Q_OBJECT
public:
    CaptureRun(Session &session, ProductGridModel &grid, QObject *parent = nullptr);
    ~CaptureRun() override;

    // The run of 开始抓取 over the products of url.ini (an import is there
    // already: it is written when it is made).
    RunSummary RunFromLinkFile();
    // The run of 失败重抓 over the grid as it is.
    RunSummary RetryFailed();
    // Ends the run once the link in progress is done.
    void Stop() { stopRequested_ = true; }
    bool StopRequested() const { return stopRequested_; }
    // Links captured at the same time, never two of one host: 1 (one after
    // another, each in the modal capture window) to kMaxParallelLinks. Values
    // outside are taken as the nearest bound. Takes effect at the next run.
    void SetParallelLinks(int links);
    int ParallelLinks() const { return parallelLinks_; }
    // A run over url.ini captures only the links of this part (CaptureParts.h);
    // nullopt: every link. Takes effect at the next run.
    void SetPart(std::optional<PartSpec> part) { part_ = part; }
    // The plan of the last run over url.ini before it was cut to its part.
    const CapturePlan &WholePlan() const { return wholePlan_; }

signals:
    // Before each link: links done so far, links in all, the product's row.
    void progress(int done, int total, int row);
    // A link starts loading (links that are no web address load nothing).
    void linkStarted(const CaptureJob &job);
    // After each link: its result text (GBK; empty when its window was closed by
    // hand, "链接不正确" for a link that is no web address) and the seconds it took.
    void linkFinished(const CaptureJob &job, const std::string &text, double seconds);
    // A product that the shop does not sell, in its turn: nothing was loaded.
    void linkSkipped(const CaptureJob &job);

private:
    void RunPlan(const CapturePlan &plan, RunSummary &summary);
    void CaptureOneByOne(const CapturePlan &plan, LinkScheduler &schedule, RunSummary &summary);
    void CaptureSideBySide(const CapturePlan &plan, LinkScheduler &schedule, int paneCount, RunSummary &summary);
    // What happens before each link: the progress, its job.
    CaptureJob BeginLink(const CapturePlan &plan, const PlannedLink &link, const RunSummary &summary);
    // What happens after each link: its cell keeps the text it had when no
    // result came (the window was closed by hand), and the link is counted.
    void EndLink(const CaptureJob &job, const std::string &before, const std::string &result, RunSummary &summary);
    // A link that loads nothing: a product the shop does not sell, or a link
    // that is no web address.
    void PassLink(const CapturePlan &plan, const PlannedLink &link, const CaptureJob &job, RunSummary &summary);
    // Shows the modal capture window for job and returns its result once it has closed.
    std::string CaptureLink(const CaptureJob &job);
    CaptureWindow &Window();
    ParallelCaptureWindow &Panes(int count);
    // Each run ends with its window closed, the browsers given back.
    RunSummary Finished(RunSummary summary);

    Session &session_;
    ProductGridModel &grid_;
    bool stopRequested_ = false;
    int parallelLinks_ = 1;
    std::optional<PartSpec> part_;
    CapturePlan wholePlan_;
    bool sideBySide_ = false; // the run in progress captures links side by side
    // The browsers that the capture windows of every run borrow: the first one
    // for a run link by link, one per pane for links side by side.
    std::array<WarmBrowser, kMaxParallelLinks> browsers_;
    std::unique_ptr<CaptureWindow> window_;         // the run's capture window, while it runs
    std::unique_ptr<ParallelCaptureWindow> panes_;  // the same for links side by side
    std::string result_;                            // the result of the link in progress
};

} // namespace corvix
