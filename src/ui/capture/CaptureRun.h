#pragma once
// One capture run over the product grid: every link of the last import or of
// url.ini, or the retry of the cells that are empty or "获取失败". The capture
// window is shown modally once per link and its result goes into the link's cell;
// it is one window for the whole run, shown again for each link, because building
// a window and moving the browser into it cost more than loading a small page. The buttons of
// the main window and the headless capture run the same code: it knows the
// session and the grid, never a window around them.
#include "capture/CaptureJob.h"
#include "ui/browser/WarmBrowser.h"

#include <QObject>
#include <QString>

#include <memory>

#include <string>
#include <vector>

namespace corvix {

struct Session;
class CaptureWindow;
class ProductGridModel;

// A link that is no web address: the product's title and the shop (GBK).
struct BadLink {
    std::string product;
    std::string shop;
};

// The most links a run captures at once.
constexpr int kMaxParallelLinks = 8;

struct RunSummary {
    bool noLinks = false;   // url.ini holds no product: nothing ran
    bool stopped = false;   // Stop() ended the run early
    int total = 0;          // links the run set out to capture
    int done = 0;           // links done, bad ones included
    int priced = 0;         // links that gave a price
    std::vector<BadLink> badLinks;
    bool linkFileWriteFailed = false; // an imported link could not be kept in url.ini
    bool AllPriced() const { return priced == done && !stopped; }
};

// The one message for the links a run could not load: "您输入的链接不正确,录入失败",
// then "商品名称 / 商城" per link, at most 20 of them, then "……共 n 条".
QString BadLinkSummary(const std::vector<BadLink> &links);

class CaptureRun : public QObject {
    Q_OBJECT
public:
    CaptureRun(Session &session, ProductGridModel &grid, QObject *parent = nullptr);
    ~CaptureRun() override;

    // The run of 开始抓取: the last import when there is one, else url.ini.
    RunSummary RunFromImportOrLinkFile();
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

signals:
    // Before each link: links done so far, links in all, the product's row.
    void progress(int done, int total, int row);
    // After each link: its result text (GBK; empty when its window was closed by
    // hand, "链接不正确" for a link that is no web address) and the seconds it took.
    void linkFinished(const CaptureJob &job, const std::string &text, double seconds);

private:
    RunSummary CaptureFromImport(const std::string &buffer);
    RunSummary CaptureFromLinkFile();
    // Shows the modal capture window for job and returns its result once it has closed.
    std::string CaptureLink(const CaptureJob &job);
    CaptureWindow &Window();
    // Each run ends with its window closed, the browser given back.
    RunSummary Finished(RunSummary summary);
    void Count(RunSummary &summary, const std::string &result) const;
    void ReportBadLink(RunSummary &summary, const CaptureJob &job);

    Session &session_;
    ProductGridModel &grid_;
    bool stopRequested_ = false;
    int parallelLinks_ = 1;
    // The browser that the capture window of every run borrows.
    WarmBrowser browser_;
    std::unique_ptr<CaptureWindow> window_; // the run's capture window, while it runs
    std::string result_;                   // the result of the link in progress
};

} // namespace corvix
