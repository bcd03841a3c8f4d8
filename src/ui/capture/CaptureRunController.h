#pragma once
// The buttons of the capture run: 按钮9 ("开始抓取") runs over every product link
// of the last import, or of url.ini when there is none; 按钮10 ("失败重抓")
// captures again the cells that are empty or "获取失败" (CaptureRun), each with as
// many links at once as "同时抓取" says when it is clicked. The run's
// progress shows in the status bar, and what went wrong in one message at its end.
#include "ui/capture/CaptureRun.h"

#include <QObject>

#include <string>

namespace corvix {

struct CaptureJob;
struct Session;

class MainWindow;
class ProductGridModel;

class CaptureRunController : public QObject {
    Q_OBJECT
public:
    explicit CaptureRunController(MainWindow *window, Session &session);

    void RunCapture();
    void RetryFailed();
    // Stops a run or retry after the link in progress; the prices so far stay.
    void StopRun();
    // True from the start of a run or retry until its end. A click on
    // either button meanwhile is ignored: a second run inside the first would
    // clear and rebuild the grid under it.
    bool Running() const { return running_; }
    const CaptureRun &Run() const { return run_; }
    // Whether the last run or retry changed a cell or a row of the grid: its
    // results want a record of their own.
    bool LastRunChangedGrid() const { return lastRunChangedGrid_; }

signals:
    // A run (retry false: its rows are rebuilt) or a retry (of the grid's own
    // rows) begins.
    void runStarted(bool retry);
    // A run or retry has ended (finished, or stopped), after its messages.
    void runEnded();

private:
    // Before and after a run: what the grid held, and whether the run changed
    // it; an unchanged grid leaves nothing new to save.
    void BeginRun(bool retry);
    void EndRun();
    // The run is over: what went wrong is told, then the run is ended.
    void Conclude(const RunSummary &summary);
    bool resultsChangedBefore_ = false;
    void ShowProgress(int done, int total, int row);
    // What the user hears at the end of a run: links that could not be loaded or
    // kept, and how far a stopped run came.
    void Report(const RunSummary &summary);

    MainWindow *window_;
    ProductGridModel *grid_;
    bool running_ = false;
    bool retrying_ = false; // the run under way is a retry
    bool lastRunChangedGrid_ = false;
    std::string recordTextBefore_; // the grid as a record before the run
    // The main window was closed while a run was going on: the remaining links
    // are not captured, so nothing changes after the shutdown save.
    bool windowClosed_ = false;
    Session &session_;
    CaptureRun run_;
};

} // namespace corvix
