#pragma once
// CaptureWindow: the window that hosts the capture browser 浏览互联网, its test log
// 编辑框1 and its timer 时钟1, with the handlers of a capture (a modal window shown
// for each link of a capture run, one capture after another, CaptureRun) and of
// the rule test and marker picking (a window that stays open beside the main
// window, RuleTestController). Each window keeps the state of its current
// capture, test or pick.
//
// The handlers read the page through SharedDomHelper as one snapshot per event and
// continue when the snapshot arrives. Besides the browser's events, a capture and
// a test look at the page every 100 ms, so that a price is taken as soon as it is
// in the page (page scripts often put it in after the load, when no event comes);
// one look is under way at a time. A close request from a handler takes effect
// after the handler has returned; from then on the window's handlers do nothing,
// so nothing can overwrite a result once the window is on its way out.
#include "capture/CaptureJob.h"
#include "capture/RuleTest.h"

#include <QDialog>
#include <QElapsedTimer>

#include <filesystem>
#include <functional>
#include <string>

class QKeyEvent;
class QLabel;
class QPlainTextEdit;
class QResizeEvent;
class QShortcut;
class QTimer;

namespace corvix {

class BrowserView;
class WarmBrowser;
struct DataDirs;
struct DomSnapshot;

// The interval of 时钟1 during a capture: 1000 ms. Tests may shorten it; 0 restores it.
int CaptureTickInterval();
void SetCaptureTickIntervalForTests(int milliseconds);

class CaptureWindow : public QDialog {
    Q_OBJECT
public:
    enum class Purpose {
        Capture,     // one link of a capture run: extraction, ticks, the result
        TestAndPick, // rule test and marker picking: test log lines, test.txt
    };

    // A capture of job: builds the window and starts the capture (Start). With
    // warm, the window borrows that browser (when it is free) instead of building
    // one, and gives it back when it goes.
    explicit CaptureWindow(CaptureJob job, WarmBrowser *warm = nullptr, QWidget *parent = nullptr);
    // A capture window that waits for its first Start: a run shows the same window
    // for each of its links, so that neither the window nor its browser is built,
    // reparented or torn down between two links.
    explicit CaptureWindow(WarmBrowser *warm, QWidget *parent = nullptr);
    // A window for the rule test and marker picking; a pick writes test.txt into
    // the ClassDir of dirs. It attaches SharedDomHelper and loads nothing yet.
    explicit CaptureWindow(const DataDirs &dirs, QWidget *parent = nullptr);
    // The about-to-be-destroyed handler runs when the window closes, when a run's
    // capture has reported its result, or, unclosed, when the window is destroyed:
    // it ends the capture (or the test and the pick) and stops 时钟1.
    ~CaptureWindow() override;

    // The created handler of a capture of job: resets the window's state, sends
    // the browser to the job's link (when it has one), attaches SharedDomHelper and
    // starts 时钟1. Whatever the page answers to the window's earlier captures is
    // ignored from here on.
    void Start(CaptureJob job);
    // A run's capture of job: starts it, shows the window modally and returns once
    // the capture has ended, by its result or by a close by hand. After a result
    // the window stays on screen for the run's next link (hiding and showing it
    // again would hold up the next page's load by the time it takes to map it);
    // a window closed by hand is shown again for the next link.
    void Capture(CaptureJob job);

    // A capture window that is one pane of the window of a run capturing several
    // links at once (ParallelCaptureWindow): it has no frame of its own, fills the
    // place it is given, leaves Escape to the window around it, and stays shown
    // between its links, which the run starts with Start.
    void EmbedAsPane();
    // The capture ends without a result, as when its window is closed by hand.
    void Abandon();
    // The page stops loading (its images and scripts would go on holding its
    // host's connections after the link has ended).
    void StopLoading();
    // Escape in a run: the run stops once the link in progress is done.
    void AskRunToStop();

    Purpose WindowPurpose() const { return purpose_; }
    BrowserView *Browser() const { return browser_; }
    QPlainTextEdit *TestLog() const { return log_; }
    QTimer *Clock() const { return clock_; }

    // The capture's own state: its job, whether it still captures, and its ticks
    // and download-complete events without a price so far.
    const CaptureJob &Job() const { return job_; }
    bool Capturing() const { return capturing_; }
    int TickCount() const { return tickCount_; }
    int EmptyResultCount() const { return emptyResultCount_; }

    // Where the download-complete handler reads the rule editor's fields, anew at
    // every event.
    void SetTestInputSource(std::function<TestInputs()> source);
    // Tests the editor's rule on link (GBK): the browser loads it and the test
    // looks for the price as a capture does, for as long as a capture waits (ten
    // ticks of 时钟1's interval); it logs one line: the first price found, or, once
    // that time is up, that there is none (nothing while the page has no document).
    void StartTest(const std::string &link, const TestInputs &inputs);
    // Loads link (GBK) and, once the page has finished loading and its scripts
    // have settled (no change of the document for 500 ms, at most 3 s), writes its
    // page source to test.txt; the window then closes.
    void StartPick(const std::string &link);
    bool Testing() const { return testing_; }
    bool Picking() const { return picking_; }

    // Closes the window once the running handler has returned; a second request
    // has no effect.
    void RequestClose();
    bool CloseRequested() const { return closeRequested_; }

signals:
    // The result of the capture of job, once: the price, or "获取失败" (GBK) on
    // the tenth tick or the ninth download-complete event without a price. A
    // window closed by hand reports nothing.
    void captured(const CaptureJob &job, const std::string &text);
    // A download-complete event of the capture found no price: until a result
    // comes, the job's cell shows nothing.
    void downloadedWithoutPrice(const CaptureJob &job);
    // Escape in a capture window: the run stops once this link is done.
    void stopRequested();
    // The capture has ended: its result has been reported, or the window was closed.
    void captureEnded();

protected:
    void done(int result) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    CaptureWindow(Purpose purpose, WarmBrowser *warm, QWidget *parent);
    void LoadLink(const std::string &link);
    void ShowTestResult(const TestInputs &inputs);
    void OnNavigateComplete2();
    void OnProgressChange(int percent);
    void OnDownloadComplete();
    void OnTick();
    void OnLook();
    void Look();
    void LookDone();
    void TryPrice();
    void LookForTestPrice();
    void LookForSettledPage();
    // A page answer asked for in capture start is no longer wanted.
    bool Stale(quint64 start) const { return closeRequested_ || start != starts_; }
    std::string PriceOnPage(const DomSnapshot &page) const;
    void CaptureDownloadStep(const DomSnapshot &page);
    void ReportResult(const std::string &text);
    void AppendTestLine(const TestInputs &inputs, const DomSnapshot &page);
    void DumpPageSource(const DomSnapshot &page);
    TestInputs ReadTestInputs() const;
    void FinishWindow();
    void ShowCaptureStatus();
    void LayOutPane();

    Purpose purpose_;
    BrowserView *browser_ = nullptr;
    QPlainTextEdit *log_ = nullptr;
    QTimer *clock_ = nullptr;
    QTimer *look_ = nullptr;
    QLabel *status_ = nullptr;
    QShortcut *escape_ = nullptr;
    bool pane_ = false;
    bool stopAsked_ = false;
    WarmBrowser *warm_ = nullptr; // the browser's lender, when it is borrowed
    quint64 starts_ = 0;          // captures started in this window; answers of earlier ones are stale
    bool lookPending_ = false;    // a look is under way
    bool lookAgain_ = false;      // an event asked for a look meanwhile
    bool closeRequested_ = false;
    bool finished_ = false;
    bool staysShown_ = false;     // a run's window: a result does not hide it

    // Purpose::Capture
    CaptureJob job_;
    bool capturing_ = false;
    int tickCount_ = 0;
    int emptyResultCount_ = 0;

    // Purpose::TestAndPick
    std::filesystem::path pickedSourcePath_;
    std::function<TestInputs()> testInputs_;
    bool testing_ = false;
    bool picking_ = false;
    TestInputs startInputs_;
    bool testLineDue_ = false; // the test has not logged its line yet
    QElapsedTimer testClock_;
    bool pickLoaded_ = false;  // the picked page has finished loading
    QElapsedTimer pickClock_;
};

} // namespace corvix
