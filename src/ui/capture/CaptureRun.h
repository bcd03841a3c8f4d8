#pragma once
// One capture run over the product grid: every link of url.ini (the last
// import merged into it first), or the retry of the cells that are empty or
// "获取失败". A run first lists its links (CapturePlan); its course
// (CaptureCourse) then says which pane loads which link and what each end
// means for the grid, and this class only carries that out: it builds each
// link's job, shows the run's window of panes and applies the cell changes.
// Link by link (the default) the window is the capture window with one pane;
// with several links at once it shows a pane per link under way. It is one
// window for the whole run, shown again for each link, because building a
// window and moving the browser into it cost more than loading a small page.
// Every product's row is shown before the first link with the prices it had,
// drawn as not refreshed until its links are done, so a stopped run loses no
// product and no price it did not reach. A run starts and returns at once;
// runEnded tells its end. The buttons of the main window and the headless
// capture run the same code: it knows the session and the grid, never a
// window around them.
#include "capture/CaptureCourse.h"
#include "capture/CaptureJob.h"
#include "capture/CaptureParts.h"
#include "capture/CapturePlan.h"
#include "products/LinkFile.h"
#include "ui/browser/WarmBrowser.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvix {

struct Session;
class CapturePane;
class ProductGridModel;
class RunPanes;

// The one message for the links a run could not load: "您输入的链接不正确,录入失败",
// then "商品名称 / 商城" per link, at most 20 of them, then "……共 n 条".
QString BadLinkSummary(const std::vector<BadLink> &links);

class CaptureRun : public QObject {
    Q_OBJECT
public:
    CaptureRun(Session &session, ProductGridModel &grid, QObject *parent = nullptr);
    ~CaptureRun() override;

    // The run of 开始抓取 over the products of url.ini (an import is there
    // already: it is written when it is made). Returns at once; runEnded follows.
    void StartFromLinkFile();
    // The run of 失败重抓 over the grid as it is. Returns at once; runEnded follows.
    void StartRetry();
    // From a start until runEnded. A start meanwhile is ignored.
    bool Running() const { return running_; }
    // Ends the run once the links in progress are done.
    void Stop();
    // Links captured at the same time, never two of one host: 1 (one after
    // another, in the capture window) to kMaxParallelLinks. Values outside are
    // taken as the nearest bound. Takes effect at the next run.
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
    // The run is over, its window gone: what it did, or why nothing ran.
    void runEnded(const RunSummary &summary);

private:
    void Begin(CapturePlan plan);
    // Begins every link the course lets begin now; ends the run when nothing is left.
    void BeginLinks();
    // The job of a link: its cell, link and rule, product and shop.
    CaptureJob JobFor(const PlannedLink &link);
    void OnPaneEnded(int pane);
    void Apply(const std::vector<CellChange> &changes);
    // The run's window of count panes, built at its first link.
    RunPanes &Window(int count);
    // After the handlers of the last link: the window goes, the browsers are given back.
    void Finish();
    void EndWithoutLinks(RunSummary summary);
    // url.ini for a run: a file not written yet is an empty product list; one
    // that cannot be read ends the run at once (nullopt), saying why.
    std::optional<LinkFile> LinksOrEnd();

    Session &session_;
    ProductGridModel &grid_;
    int parallelLinks_ = 1;
    std::optional<PartSpec> part_;
    CapturePlan wholePlan_;
    bool running_ = false;
    bool finishing_ = false;  // the end is queued
    bool beginQueued_ = false; // more links begin from the event loop
    std::optional<CaptureCourse> course_;
    std::optional<RunSummary> endedEarly_; // a run that could not begin
    // The browsers that the run windows borrow, one per pane.
    std::array<WarmBrowser, kMaxParallelLinks> browsers_;
    std::unique_ptr<RunPanes> window_; // the run's window, while it runs
    std::vector<QElapsedTimer> started_; // per pane: when its link began
};

} // namespace corvix
