#pragma once
// CaptureWindow: the window that hosts the capture browser 浏览互联网, its test log
// 编辑框1 and its timer 时钟1, with the handlers of one capture (a modal window per
// link, CaptureOneLink) and of the rule test and marker picking (a window that
// stays open beside the main window, RuleTestController).
//
// The handlers read the page through SharedDomHelper as one snapshot per event and
// continue when the snapshot arrives. A close request from a handler takes effect
// after the handler has returned; from then on the window's handlers do nothing,
// so nothing can overwrite a result once the window is on its way out.
#include "capture/RuleTest.h"

#include <QDialog>

#include <functional>
#include <string>

class QPlainTextEdit;
class QTimer;

namespace corvix {

class BrowserView;
struct Rule;
struct Session;
struct DomSnapshot;

// The interval of 时钟1 during a capture: 1000 ms. Tests may shorten it; 0 restores it.
int CaptureTickInterval();
void SetCaptureTickIntervalForTests(int milliseconds);

class CaptureWindow : public QDialog {
    Q_OBJECT
public:
    enum class Purpose {
        Capture,     // one link of a capture run: extraction, ticks, results into the grid
        TestAndPick, // rule test and marker picking: test log lines, test.txt
    };

    // Builds the window and runs its created handler: the browser goes to
    // CaptureState's current link when there is one, SharedDomHelper attaches to it,
    // and a capture starts 时钟1.
    CaptureWindow(Purpose purpose, Session &session, QWidget *parent = nullptr);
    // The about-to-be-destroyed handler runs when the window closes (or, unclosed,
    // when it is destroyed): it clears the flags of this window's purpose (capturing
    // and the current link; or testing and picking) and stops 时钟1.
    ~CaptureWindow() override;

    Purpose WindowPurpose() const { return purpose_; }
    BrowserView *Browser() const { return browser_; }
    QPlainTextEdit *TestLog() const { return log_; }
    QTimer *Clock() const { return clock_; }

    // Sends 浏览互联网 to link (GBK).
    void LoadLink(const std::string &link);
    // Where the download-complete handler reads the rule editor's fields, anew at
    // every event.
    void SetTestInputSource(std::function<TestInputs()> source);
    // Appends one line to the test log once the page has been read (nothing while no
    // test runs or the browser holds no document yet).
    void ShowTestResult(const TestInputs &inputs);

    // Closes the window once the running handler has returned; a second request
    // has no effect.
    void RequestClose();
    bool CloseRequested() const { return closeRequested_; }

protected:
    void done(int result) override;

private:
    void OnNavigateComplete2();
    void OnProgressChange(int percent);
    void OnDownloadComplete();
    void OnTick();
    void TryPrice();
    std::string PriceOnPage(const DomSnapshot &page) const;
    void CaptureDownloadStep(const DomSnapshot &page);
    void AppendTestLine(const TestInputs &inputs, const DomSnapshot &page);
    void DumpPageSource(const DomSnapshot &page);
    TestInputs ReadTestInputs() const;
    void FinishWindow();

    Purpose purpose_;
    Session &session_;
    BrowserView *browser_ = nullptr;
    QPlainTextEdit *log_ = nullptr;
    QTimer *clock_ = nullptr;
    std::function<TestInputs()> testInputs_;
    bool closeRequested_ = false;
    bool finished_ = false;
};

// Captures one link into the ProductGrid cell (row, column): prepares CaptureState
// and CurrentCell, shows a modal CaptureWindow and returns once it has been
// destroyed (a price, "获取失败", or the user closed it). Texts are GBK.
void CaptureOneLink(Session &session, const std::string &link, const Rule &rule, int row, int column);

} // namespace corvix
