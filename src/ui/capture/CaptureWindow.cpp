#include "ui/capture/CaptureWindow.h"

#include "capture/CellTexts.h"

#include "capture/PriceExtraction.h"
#include "ui/browser/BrowserView.h"
#include "ui/browser/DomHelper.h"
#include "ui/browser/WarmBrowser.h"
#include "support/FileIo.h"
#include "support/Gbk.h"
#include "support/PathText.h"
#include "ui/MessageBox.h"
#include "ui/ShellOpen.h"

#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QResizeEvent>
#include <QWebEnginePage>
#include <QShortcut>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>

#include <algorithm>

namespace corvix {
namespace {

constexpr int kTickIntervalMs = 1000;
// A link fails on its tenth tick, and on its ninth download-complete event
// without a price.
constexpr int kLastTick = 9;
constexpr int kLastEmptyDownload = 8;
// Between two browser events the page is looked at this often.
constexpr int kLookIntervalMs = 100;
// A pick writes the source once the document has not changed for this long
// after the load, or at the latest this long after it.
constexpr int kPickQuietMs = 500;
constexpr int kPickSettleLimitMs = 3000;

int &TickIntervalOverride()
{
    static int ms = 0;
    return ms;
}

} // namespace

int CaptureTickInterval()
{
    return TickIntervalOverride() > 0 ? TickIntervalOverride() : kTickIntervalMs;
}

void SetCaptureTickIntervalForTests(int milliseconds)
{
    TickIntervalOverride() = milliseconds;
}

CaptureWindow::CaptureWindow(Purpose purpose, WarmBrowser *warm, QWidget *parent)
    : QDialog(parent), purpose_(purpose)
{
    setWindowTitle(QStringLiteral("[Corvix]抓取窗口，请勿关闭。"));
    resize(923, 414);

    browser_ = warm ? warm->Lend(this) : nullptr;
    if (browser_)
        warm_ = warm;
    else
        browser_ = new BrowserView(this);
    browser_->setObjectName(QStringLiteral("浏览互联网"));
    browser_->setAccessibleName(QStringLiteral("抓取页面"));
    browser_->setGeometry(0, 0, 914, 385);

    log_ = new QPlainTextEdit(this);
    log_->setObjectName(QStringLiteral("编辑框1"));
    log_->setAccessibleName(QStringLiteral("测试日志"));
    log_->setGeometry(0, 288, 920, 96);
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->hide();
    log_->raise();

    // Under the page: what is being captured and how long it may still take.
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("抓取状态"));
    status_->setGeometry(6, 388, 908, 22);
    status_->hide();
    // The page has the keyboard while it loads: Escape reaches the window as a
    // shortcut, not as a key press.
    escape_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape_->setContext(Qt::WindowShortcut);
    connect(escape_, &QShortcut::activated, this, [this] {
        if (purpose_ == Purpose::Capture)
            AskRunToStop();
        else
            reject();
    });

    clock_ = new QTimer(this);
    clock_->setObjectName(QStringLiteral("时钟1"));
    clock_->setInterval(0);

    look_ = new QTimer(this);
    look_->setInterval(kLookIntervalMs);

    connect(browser_, &BrowserView::NavigateComplete2, this, &CaptureWindow::OnNavigateComplete2);
    connect(browser_, &BrowserView::ProgressChange, this, &CaptureWindow::OnProgressChange);
    connect(browser_, &BrowserView::DownloadComplete, this, &CaptureWindow::OnDownloadComplete);
    connect(clock_, &QTimer::timeout, this, &CaptureWindow::OnTick);
    connect(look_, &QTimer::timeout, this, &CaptureWindow::OnLook);
}

CaptureWindow::CaptureWindow(CaptureJob job, WarmBrowser *warm, QWidget *parent)
    : CaptureWindow(Purpose::Capture, warm, parent)
{
    Start(std::move(job));
}

CaptureWindow::CaptureWindow(WarmBrowser *warm, QWidget *parent) : CaptureWindow(Purpose::Capture, warm, parent)
{
    finished_ = true;
    closeRequested_ = true;
}

void CaptureWindow::Start(CaptureJob job)
{
    ++starts_;
    job_ = std::move(job);
    finished_ = false;
    closeRequested_ = false;
    capturing_ = true;
    tickCount_ = 0;
    emptyResultCount_ = 0;
    lookPending_ = false;
    lookAgain_ = false;
    status_->show();
    ShowCaptureStatus();
    if (!job_.link.empty())
        LoadLink(job_.link);
    SharedDomHelper().AttachToWindow(browser_);
    clock_->setInterval(CaptureTickInterval());
    clock_->start();
    look_->start();
}

CaptureWindow::CaptureWindow(const DataDirs &dirs, QWidget *parent)
    : CaptureWindow(Purpose::TestAndPick, nullptr, parent)
{
    pickedSourcePath_ = PickedSourcePath(dirs);
    // The created handler.
    SharedDomHelper().AttachToWindow(browser_);
}

CaptureWindow::~CaptureWindow()
{
    FinishWindow();
    if (SharedDomHelper().Window() == browser_)
        SharedDomHelper().AttachToWindow(nullptr);
    if (warm_)
        warm_->GiveBack(browser_);
}

void CaptureWindow::FinishWindow()
{
    // The about-to-be-destroyed handler, run once, when the window closes (it is
    // destroyed right after) or when it is destroyed without closing.
    if (finished_)
        return;
    finished_ = true;
    closeRequested_ = true;
    capturing_ = false;
    testing_ = false;
    picking_ = false;
    clock_->stop();
    clock_->setInterval(0);
    look_->stop();
}

void CaptureWindow::LoadLink(const std::string &link)
{
    browser_->Navigate(FromGbk(link));
}

void CaptureWindow::SetTestInputSource(std::function<TestInputs()> source)
{
    testInputs_ = std::move(source);
}

TestInputs CaptureWindow::ReadTestInputs() const
{
    return testInputs_ ? testInputs_() : startInputs_;
}

void CaptureWindow::StartTest(const std::string &link, const TestInputs &inputs)
{
    testing_ = true;
    testLineDue_ = true;
    startInputs_ = inputs;
    testClock_.start();
    LoadLink(link);
    // Writes nothing until the page has a document and a price, or the time is up.
    ShowTestResult(inputs);
    look_->start();
}

void CaptureWindow::StartPick(const std::string &link)
{
    LoadLink(link);
    picking_ = true;
    pickLoaded_ = false;
}

void CaptureWindow::RequestClose()
{
    if (closeRequested_)
        return;
    closeRequested_ = true;
    clock_->stop();
    look_->stop();
    // A window that has started another capture meanwhile (closed by hand while
    // this request waited) stays open for it.
    QMetaObject::invokeMethod(
        this,
        [this, start = starts_] {
            if (start != starts_)
                return;
            if (!staysShown_) {
                close();
                return;
            }
            FinishWindow();
            emit captureEnded();
        },
        Qt::QueuedConnection);
}

void CaptureWindow::done(int result)
{
    // Closed by a request or by the user: the handlers stop here.
    FinishWindow();
    QDialog::done(result);
    emit captureEnded();
}

void CaptureWindow::Capture(CaptureJob job)
{
    staysShown_ = true;
    QEventLoop loop;
    connect(this, &CaptureWindow::captureEnded, &loop, &QEventLoop::quit);
    Start(std::move(job));
    if (!isVisible()) {
        setWindowModality(Qt::ApplicationModal);
        show();
    }
    if (!finished_)
        loop.exec(QEventLoop::DialogExec);
}

void CaptureWindow::EmbedAsPane()
{
    pane_ = true;
    staysShown_ = true;
    setWindowFlags(Qt::Widget);
    escape_->setEnabled(false);
    setMinimumSize(160, 120);
    LayOutPane();
}

void CaptureWindow::Abandon()
{
    if (finished_)
        return;
    FinishWindow();
    emit captureEnded();
}

void CaptureWindow::StopLoading()
{
    browser_->page()->triggerAction(QWebEnginePage::Stop);
}

void CaptureWindow::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    if (pane_)
        LayOutPane();
}

void CaptureWindow::LayOutPane()
{
    constexpr int kStatusHeight = 22;
    const int w = width();
    const int h = height();
    browser_->setGeometry(0, 0, w, std::max(0, h - kStatusHeight - 6));
    status_->setGeometry(6, h - kStatusHeight - 2, std::max(0, w - 12), kStatusHeight);
}

void CaptureWindow::keyPressEvent(QKeyEvent *event)
{
    // Escape would close the window and lose this link's result; in a run it
    // asks the run to stop once the link is done instead.
    if (purpose_ == Purpose::Capture && event->key() == Qt::Key_Escape) {
        // A pane leaves it to the window around it, which asks every pane.
        if (pane_) {
            event->ignore();
            return;
        }
        AskRunToStop();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CaptureWindow::AskRunToStop()
{
    if (stopAsked_)
        return;
    stopAsked_ = true;
    emit stopRequested();
    ShowCaptureStatus();
}

void CaptureWindow::ShowCaptureStatus()
{
    const int secondsLeft = kLastTick + 1 - tickCount_;
    status_->setText(QStringLiteral("商品：%1　商城：%2　剩余 %3 秒")
                         .arg(FromGbk(job_.product), FromGbk(job_.shop))
                         .arg(secondsLeft)
                     + (stopAsked_ ? QStringLiteral("　（本条完成后停止抓取）") : QString()));
}

void CaptureWindow::OnNavigateComplete2()
{
    if (closeRequested_)
        return;
    // Each navigation brings a new document.
    SharedDomHelper().AttachToWindow(browser_);
}

void CaptureWindow::OnProgressChange(int)
{
    if (closeRequested_ || purpose_ != Purpose::Capture || !capturing_)
        return;
    Look();
}

void CaptureWindow::OnTick()
{
    if (closeRequested_ || purpose_ != Purpose::Capture)
        return;
    if (tickCount_ < kLastTick) {
        ++tickCount_;
        ShowCaptureStatus();
        return;
    }
    ReportResult(FailureText());
}

void CaptureWindow::OnLook()
{
    if (closeRequested_)
        return;
    Look();
}

void CaptureWindow::Look()
{
    // Looks that ask while one is under way become one look after it, so that a
    // slow page (a large source) is never asked faster than it answers.
    if (lookPending_) {
        lookAgain_ = true;
        return;
    }
    if (purpose_ == Purpose::Capture && capturing_)
        TryPrice();
    else if (purpose_ == Purpose::TestAndPick && testing_ && testLineDue_)
        LookForTestPrice();
    else if (purpose_ == Purpose::TestAndPick && picking_ && pickLoaded_)
        LookForSettledPage();
    else {
        look_->stop(); // nothing left to look for
        return;
    }
    lookPending_ = true;
}

void CaptureWindow::LookDone()
{
    lookPending_ = false;
    if (lookAgain_ && !closeRequested_) {
        lookAgain_ = false;
        Look();
    }
}

// Only a capture in progress looks for a price.
std::string CaptureWindow::PriceOnPage(const DomSnapshot &page) const
{
    if (!capturing_)
        return {};
    return ExtractPrice(job_.rule, page);
}

void CaptureWindow::TryPrice()
{
    // Attach before every read: another capture window (a test beside the run)
    // may have taken the shared helper since this window's last event.
    SharedDomHelper().AttachToWindow(browser_);
    SharedDomHelper().TakeSnapshot(RequestForRule(job_.rule), this, [this, start = starts_](const DomSnapshot &page) {
        if (Stale(start))
            return;
        const std::string price = PriceOnPage(page);
        if (!price.empty())
            ReportResult(price);
        LookDone();
    });
}

void CaptureWindow::LookForTestPrice()
{
    SharedDomHelper().AttachToWindow(browser_);
    const TestInputs inputs = ReadTestInputs(); // the editor as it is now
    SharedDomHelper().TakeSnapshot(RequestForTest(inputs), this, [this, inputs](const DomSnapshot &page) {
        if (closeRequested_)
            return;
        const bool timeUp = testClock_.elapsed() >= static_cast<qint64>(kLastTick + 1) * CaptureTickInterval();
        if (testLineDue_ && (TestFindsPrice(inputs, page) || (timeUp && page.hasDocument)))
            AppendTestLine(inputs, page);
        // A page that has no document when the time is up waits for its
        // download-complete event.
        if (timeUp && !page.hasDocument)
            look_->stop();
        LookDone();
    });
}

void CaptureWindow::LookForSettledPage()
{
    SharedDomHelper().AttachToWindow(browser_);
    DomRequest request;
    request.quietTime = true;
    SharedDomHelper().TakeSnapshot(request, this, [this](const DomSnapshot &page) {
        if (closeRequested_)
            return;
        const bool settled = page.hasDocument && (page.quietMs >= kPickQuietMs || pickClock_.elapsed() >= kPickSettleLimitMs);
        if (!settled) {
            LookDone();
            return;
        }
        DomRequest source;
        source.pageSource = true;
        SharedDomHelper().TakeSnapshot(source, this, [this](const DomSnapshot &settledPage) {
            if (closeRequested_)
                return;
            DumpPageSource(settledPage);
            LookDone();
        });
    });
}

void CaptureWindow::OnDownloadComplete()
{
    if (closeRequested_)
        return;
    if (purpose_ == Purpose::TestAndPick) {
        // The test and the pick look at the page on their own schedule; the
        // load completing starts the pick's wait for the scripts to settle.
        if (picking_ && !pickLoaded_) {
            pickLoaded_ = true;
            pickClock_.start();
            look_->start();
        }
        if (testing_ && testLineDue_)
            look_->start();
        Look();
        return;
    }
    SharedDomHelper().AttachToWindow(browser_);
    SharedDomHelper().TakeSnapshot(RequestForRule(job_.rule), this, [this, start = starts_](const DomSnapshot &page) {
        if (!Stale(start))
            CaptureDownloadStep(page);
    });
}

void CaptureWindow::CaptureDownloadStep(const DomSnapshot &page)
{
    const std::string price = PriceOnPage(page);
    if (!price.empty()) {
        ReportResult(price);
        return;
    }
    emit downloadedWithoutPrice(job_);
    // Without a document there is no page yet: it neither counts nor fails.
    if (!page.hasDocument)
        return;
    if (emptyResultCount_ >= kLastEmptyDownload)
        ReportResult(FailureText());
    ++emptyResultCount_;
}

void CaptureWindow::ReportResult(const std::string &text)
{
    // One result per job: the first one closes the window.
    if (closeRequested_)
        return;
    emit captured(job_, text);
    RequestClose();
}

void CaptureWindow::ShowTestResult(const TestInputs &inputs)
{
    SharedDomHelper().AttachToWindow(browser_);
    SharedDomHelper().TakeSnapshot(RequestForTest(inputs), this, [this, inputs](const DomSnapshot &page) {
        if (!closeRequested_ && TestFindsPrice(inputs, page))
            AppendTestLine(inputs, page);
    });
}

void CaptureWindow::AppendTestLine(const TestInputs &inputs, const DomSnapshot &page)
{
    if (!testing_ || !testLineDue_)
        return;
    const std::optional<std::string> line = TestResultLine(inputs, page);
    if (!line)
        return;
    testLineDue_ = false;
    log_->show();
    QString text = FromGbk(*line);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextCursor cursor = log_->textCursor();
    cursor.movePosition(QTextCursor::End);
    log_->setTextCursor(cursor);
    log_->ensureCursorVisible();
    log_->insertPlainText(text);
}

void CaptureWindow::DumpPageSource(const DomSnapshot &page)
{
    if (!picking_ || page.GetPageSource().empty())
        return;
    picking_ = false;
    // The viewer would show a missing file or the source of an earlier pick.
    if (const auto written = WriteFileAtomically(pickedSourcePath_, PickedSourceText(page)))
        OpenWithShell(QUrl::fromLocalFile(PathText(pickedSourcePath_)));
    else
        ShowWriteFailure(QStringLiteral("保存网页源码"), written.error());
    RequestClose();
}

} // namespace corvix
