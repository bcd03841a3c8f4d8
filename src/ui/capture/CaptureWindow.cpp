#include "ui/capture/CaptureWindow.h"

#include "capture/PriceExtraction.h"
#include "ui/browser/BrowserView.h"
#include "ui/browser/DomHelper.h"
#include "support/FileIo.h"
#include "support/Gbk.h"
#include "ui/MessageBox.h"
#include "ui/ShellOpen.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>

namespace corvix {
namespace {

constexpr int kTickIntervalMs = 1000;
// A link fails on its tenth tick, and on its ninth download-complete event
// without a price.
constexpr int kLastTick = 9;
constexpr int kLastEmptyDownload = 8;

int &TickIntervalOverride()
{
    static int ms = 0;
    return ms;
}

const std::string &FailureText()
{
    static const std::string text = Gbk("获取失败");
    return text;
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

CaptureWindow::CaptureWindow(Purpose purpose, QWidget *parent) : QDialog(parent), purpose_(purpose)
{
    setWindowTitle(QStringLiteral("[Corvix]抓取窗口，请勿关闭。"));
    resize(923, 414);

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

    clock_ = new QTimer(this);
    clock_->setObjectName(QStringLiteral("时钟1"));
    clock_->setInterval(0);

    connect(browser_, &BrowserView::NavigateComplete2, this, &CaptureWindow::OnNavigateComplete2);
    connect(browser_, &BrowserView::ProgressChange, this, &CaptureWindow::OnProgressChange);
    connect(browser_, &BrowserView::DownloadComplete, this, &CaptureWindow::OnDownloadComplete);
    connect(clock_, &QTimer::timeout, this, &CaptureWindow::OnTick);
}

CaptureWindow::CaptureWindow(CaptureJob job, QWidget *parent) : CaptureWindow(Purpose::Capture, parent)
{
    job_ = std::move(job);
    capturing_ = true;
    status_->show();
    ShowCaptureStatus();
    // The created handler.
    if (!job_.link.empty())
        LoadLink(job_.link);
    SharedDomHelper().AttachToWindow(browser_);
    clock_->setInterval(CaptureTickInterval());
    clock_->start();
}

CaptureWindow::CaptureWindow(const DataDirs &dirs, QWidget *parent) : CaptureWindow(Purpose::TestAndPick, parent)
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
    return testInputs_ ? testInputs_() : TestInputs{};
}

void CaptureWindow::StartTest(const std::string &link, const TestInputs &inputs)
{
    testing_ = true;
    LoadLink(link);
    // Writes nothing until the page has a document; the lines come with its
    // download-complete events.
    ShowTestResult(inputs);
}

void CaptureWindow::StartPick(const std::string &link)
{
    LoadLink(link);
    picking_ = true;
}

void CaptureWindow::RequestClose()
{
    if (closeRequested_)
        return;
    closeRequested_ = true;
    clock_->stop();
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void CaptureWindow::done(int result)
{
    // Closed by a request or by the user: the handlers stop here.
    FinishWindow();
    QDialog::done(result);
}

void CaptureWindow::keyPressEvent(QKeyEvent *event)
{
    // Escape would close the window and lose this link's result; in a run it
    // asks the run to stop once the link is done instead.
    if (purpose_ == Purpose::Capture && event->key() == Qt::Key_Escape) {
        emit stopRequested();
        status_->setText(status_->text() + QStringLiteral("　（本条完成后停止抓取）"));
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CaptureWindow::ShowCaptureStatus()
{
    const int secondsLeft = kLastTick + 1 - tickCount_;
    status_->setText(QStringLiteral("商品：%1　商城：%2　剩余 %3 秒")
                         .arg(FromGbk(job_.product), FromGbk(job_.shop))
                         .arg(secondsLeft));
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
    TryPrice();
}

void CaptureWindow::OnTick()
{
    if (closeRequested_ || purpose_ != Purpose::Capture)
        return;
    if (tickCount_ < kLastTick) {
        ++tickCount_;
        ShowCaptureStatus();
        // Page scripts often put the price in after the page has loaded, when no
        // browser event comes any more; look again at every tick.
        if (capturing_)
            TryPrice();
        return;
    }
    ReportResult(FailureText());
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
    SharedDomHelper().TakeSnapshot(RequestForRule(job_.rule), this, [this](const DomSnapshot &page) {
        if (closeRequested_)
            return;
        const std::string price = PriceOnPage(page);
        if (!price.empty())
            ReportResult(price);
    });
}

void CaptureWindow::OnDownloadComplete()
{
    if (closeRequested_)
        return;
    SharedDomHelper().AttachToWindow(browser_);
    const TestInputs inputs = ReadTestInputs(); // the editor as it is now
    DomRequest request;
    request.pageSource = true;
    if (purpose_ == Purpose::Capture && capturing_)
        request.Merge(RequestForRule(job_.rule));
    if (purpose_ == Purpose::TestAndPick && testing_)
        request.Merge(RequestForTest(inputs));
    SharedDomHelper().TakeSnapshot(request, this, [this, inputs](const DomSnapshot &page) {
        if (closeRequested_)
            return;
        // A close requested by one step leaves the remaining steps to run.
        if (purpose_ == Purpose::Capture) {
            CaptureDownloadStep(page);
        } else {
            AppendTestLine(inputs, page);
            DumpPageSource(page);
        }
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
    // A document without a source is no page yet: it neither counts nor fails.
    if (page.GetPageSource().empty())
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
        if (!closeRequested_)
            AppendTestLine(inputs, page);
    });
}

void CaptureWindow::AppendTestLine(const TestInputs &inputs, const DomSnapshot &page)
{
    if (!testing_)
        return;
    const std::optional<std::string> line = TestResultLine(inputs, page);
    if (!line)
        return;
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
    if (WriteFileAtomically(pickedSourcePath_, PickedSourceText(page)))
        OpenWithShell(QUrl::fromLocalFile(QString::fromStdU16String(pickedSourcePath_.u16string())));
    else
        ShowWriteFailure(QStringLiteral("保存网页源码"), pickedSourcePath_);
    RequestClose();
}

} // namespace corvix
