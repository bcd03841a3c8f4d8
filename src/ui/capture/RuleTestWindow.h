#pragma once
// RuleTestWindow: the window of the rule test and of marker picking, beside the
// main window (RuleTestController): a CapturePane for the page, which captures
// nothing here, and the test log 编辑框1 under it, shown from the first line.
//
// The test and the pick read the page through SharedDomHelper as one snapshot
// per event, and look at it between events (PageLooks). A close request takes
// effect after the handler has returned; from then on the handlers do nothing.
#include "capture/RuleTest.h"

#include <QDialog>
#include <QElapsedTimer>

#include <filesystem>
#include <functional>
#include <string>

class QPlainTextEdit;
class QTimer;

namespace corvix {

class BrowserView;
class CapturePane;
class PageLooks;
struct DataDirs;
struct DomSnapshot;

class RuleTestWindow : public QDialog {
    Q_OBJECT
public:
    // A pick writes test.txt into the ClassDir of dirs. The window attaches
    // SharedDomHelper and loads nothing yet.
    explicit RuleTestWindow(const DataDirs &dirs, QWidget *parent = nullptr);
    ~RuleTestWindow() override;

    // Where the handlers read the rule editor's fields, anew at every event.
    void SetTestInputSource(std::function<TestInputs()> source);
    // Tests the editor's rule on link (GBK): the browser loads it and the test
    // looks for the price as a capture does, for as long as a capture waits (ten
    // ticks of 时钟1's interval); it logs one line: the first price found, or, once
    // that time is up, that there is none (nothing while the page has no document).
    void StartTest(const std::string &link, const TestInputs &inputs);
    // Loads link (GBK) and, once the page has finished loading and its scripts
    // have settled (no change of the document for 500 ms, at most 3 s), writes its
    // page source to test.txt, reports it by sourceWritten and closes.
    void StartPick(const std::string &link);
    bool Testing() const { return testing_; }
    bool Picking() const { return picking_; }
    // The test or the pick still looks at the page: once it has stopped, no
    // line is written before the page's next download-complete event.
    bool Looking() const;

    // Closes the window once the running handler has returned; a second request
    // has no effect.
    void RequestClose();
    bool CloseRequested() const { return closeRequested_; }

    BrowserView *Browser() const;
    QTimer *Clock() const;
    QPlainTextEdit *TestLog() const { return log_; }

signals:
    // test.txt was written with gbkText.
    void sourceWritten(const std::string &gbkText, const std::filesystem::path &file);

protected:
    void done(int result) override;

private:
    void LoadLink(const std::string &link);
    void ShowTestResult(const TestInputs &inputs);
    void OnDownloadComplete();
    bool Look();
    void LookForTestPrice();
    void LookForSettledPage();
    void AppendTestLine(const TestInputs &inputs, const DomSnapshot &page);
    void DumpPageSource(const DomSnapshot &page);
    TestInputs ReadTestInputs() const;
    void Finish();

    CapturePane *pane_ = nullptr;
    QPlainTextEdit *log_ = nullptr;
    PageLooks *looks_ = nullptr;
    bool closeRequested_ = false;
    bool finished_ = false;

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
