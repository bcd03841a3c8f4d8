#pragma once
// CapturePane: the capture browser 浏览互联网 with the line under it that says
// what is loading (抓取状态), and the handlers that capture one link after
// another in it. The single capture window holds one, the window of a run
// capturing several links at once one per link, and the rule-test window one
// for its page (it captures nothing there).
//
// The handlers read the page through SharedDomHelper as one snapshot per event
// and feed what they read to LinkCapture, which decides; they do what it
// answers. Besides the browser's events, the pane looks at the page between
// them (PageLooks) and counts the ticks of its clock 时钟1. A result ends the
// link once the handler that found it has returned; from then on the handlers
// do nothing, so nothing can overwrite a result once it is reported.
//
// The browser goes on showing the last link's page until the next link's page
// arrives: a blank cover (空白遮盖) hides it from the moment a link is loaded
// until its page is there. The page itself stays shown under the cover
// (scripts in a hidden page run slowly or not at all) and loads nothing else.
#include "capture/LinkCapture.h"

#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QBoxLayout;
class QPushButton;
class QTimer;

namespace corvix {

class BrowserView;
class PageLooks;
class WarmBrowser;
struct DomSnapshot;

// The interval of 时钟1 during a capture: 1000 ms. Tests may shorten it; 0 restores it.
int CaptureTickInterval();
void SetCaptureTickIntervalForTests(int milliseconds);

class CapturePane : public QWidget {
    Q_OBJECT
public:
    // With warm, the pane borrows that browser (when it is free) instead of
    // building one, and gives it back when it goes.
    explicit CapturePane(WarmBrowser *warm, QWidget *parent);
    // Unfinished, the pane finishes (Finish) when it is destroyed.
    ~CapturePane() override;

    // The created handler of a capture of job: sends the browser to the job's
    // link (when it has one), attaches SharedDomHelper and starts 时钟1.
    // Whatever the page answers to earlier captures is ignored from here on.
    void Start(CaptureJob job);
    // The about-to-be-destroyed handler: the capture ends (without a result,
    // unless it has one) and 时钟1 stops. Runs once per capture.
    void Finish();
    // The capture ends without a result, as when its window is closed by hand.
    void Abandon();
    // The page stops loading (its images and scripts would go on holding its
    // host's connections after the link has ended).
    void StopLoading();
    // Escape in a run: the run stops once the link in progress is done.
    void AskRunToStop();
    // A pane whose window goes after a result (a single link, not a run) asks
    // its window to close instead of ending the capture itself.
    void SetClosesWindowAfterResult(bool closes) { closesWindow_ = closes; }
    // While on, each navigation attaches SharedDomHelper to this page anew (a
    // new document); the pane turns it on and off with its captures.
    void KeepHelperAttached(bool keep) { keepAttached_ = keep; }

    BrowserView *Browser() const { return browser_; }
    QTimer *Clock() const { return clock_; }
    const LinkCapture &State() const { return capture_; }
    // The about-to-be-destroyed handler has run (or no capture has started).
    bool Finished() const { return finished_; }

signals:
    // The result of the capture of job, once: the price, or "获取失败" (GBK).
    // A capture ended by hand reports nothing.
    void captured(const CaptureJob &job, const std::string &text);
    // A download-complete event found no price: until a result comes, the
    // job's cell shows nothing.
    void downloadedWithoutPrice(const CaptureJob &job);
    // Escape: the run stops once this link is done.
    void stopRequested();
    // The capture has ended: its result has been reported, or it was abandoned.
    void captureEnded();
    // A result of a pane that closes its window: the window closes now.
    void windowCloseWanted();

private:
    void Do(const CaptureAnswer &answer);
    // Loads the job's link (again, after a lost renderer).
    void Load();
    void DropSpentPage();
    void OnRendererLost();
    void EndAfterResult();
    bool LookForPrice();
    void OnDownloadComplete();
    // What the job's rule finds on the page, and its stock declarations when asked for.
    PageReading Read(const DomSnapshot &page, bool declarationsAsked) const;
    // Reads the page for the job's rule and hands the reading to take, unless
    // the link has moved on meanwhile.
    void ReadPage(std::function<void(LinkCapture::StartId, const PageReading &)> take);
    void ShowStatus();
    // The cover goes when the page's address changes to the link's, or when a
    // read finds the link's own document.
    void CoverPage();
    void UncoverPage();
    void UncoverPage(const DomSnapshot &page);

    LinkCapture capture_;
    BrowserView *browser_ = nullptr;
    WarmBrowser *warm_ = nullptr; // the browser's lender, when it is borrowed
    QLabel *status_ = nullptr;
    QWidget *cover_ = nullptr;
    QTimer *clock_ = nullptr;
    PageLooks *looks_ = nullptr;
    bool finished_ = true;
    bool closesWindow_ = false;
    bool keepAttached_ = false;
    bool pageFresh_ = false; // the page was replaced and has loaded nothing since
};

// The window a run shows its panes in: the capture window of a single link
// (one pane) or the window of several links at once (a pane per link).
class RunPanes {
public:
    virtual ~RunPanes() = default;
    virtual const std::vector<CapturePane *> &Panes() const = 0;
    // Shows the window modally unless it is on screen.
    virtual void ShowForRun() = 0;
};

// The two ways to stop a run from its capture window, which is modal, so the
// main window's stop is out of reach: Escape anywhere in the window, and the
// button 停止按钮 ("停止抓取") at the right of a row added to layout, whose
// tooltip names the key. The button never takes the keyboard from the page, and
// Enter never presses it. Both call stop; the button is returned.
QPushButton *AddRunStopControls(QWidget *window, QBoxLayout *layout, const std::function<void()> &stop);

} // namespace corvix
