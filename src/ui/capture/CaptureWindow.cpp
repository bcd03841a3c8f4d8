#include "ui/capture/CaptureWindow.h"

#include "ui/Session.h"
#include "ui/capture/CaptureResult.h"
#include "capture/PriceExtraction.h"
#include "ui/browser/BrowserView.h"
#include "ui/browser/DomHelper.h"
#include "support/FileIo.h"
#include "support/Gbk.h"
#include "ui/MessageBox.h"
#include "ui/ShellOpen.h"

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

CaptureWindow::CaptureWindow(Purpose purpose, Session &session, QWidget *parent)
    : QDialog(parent), purpose_(purpose), session_(session)
{
    setWindowTitle(QStringLiteral("[Ravelin]抓取窗口，请勿关闭。"));
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

    clock_ = new QTimer(this);
    clock_->setObjectName(QStringLiteral("时钟1"));
    clock_->setInterval(0);

    connect(browser_, &BrowserView::NavigateComplete2, this, &CaptureWindow::OnNavigateComplete2);
    connect(browser_, &BrowserView::ProgressChange, this, &CaptureWindow::OnProgressChange);
    connect(browser_, &BrowserView::DownloadComplete, this, &CaptureWindow::OnDownloadComplete);
    connect(clock_, &QTimer::timeout, this, &CaptureWindow::OnTick);

    // The created handler.
    const CaptureState &state = session_.capture;
    if (purpose_ == Purpose::Capture && !state.currentLink.empty())
        LoadLink(state.currentLink);
    SharedDomHelper().AttachToWindow(browser_);
    if (purpose_ == Purpose::Capture && state.capturing) {
        clock_->setInterval(CaptureTickInterval());
        clock_->start();
    }
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
    // destroyed right after) or when it is destroyed without closing. Running it at
    // the close means a new test or pick started before the old window is deleted
    // keeps its flags. Each window clears only the flags of its purpose: a test
    // window that closes itself must not end a capture that runs beside it.
    if (finished_)
        return;
    finished_ = true;
    closeRequested_ = true;
    CaptureState &state = session_.capture;
    if (purpose_ == Purpose::Capture) {
        state.capturing = false;
        state.currentLink.clear();
    } else {
        state.testing = false;
        state.picking = false;
    }
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

void CaptureWindow::OnNavigateComplete2()
{
    if (closeRequested_)
        return;
    // Each navigation brings a new document.
    SharedDomHelper().AttachToWindow(browser_);
}

void CaptureWindow::OnProgressChange(int)
{
    if (closeRequested_ || purpose_ != Purpose::Capture || !session_.capture.capturing)
        return;
    TryPrice();
}

void CaptureWindow::OnTick()
{
    if (closeRequested_ || purpose_ != Purpose::Capture)
        return;
    CaptureState &state = session_.capture;
    if (state.tickCount < kLastTick) {
        ++state.tickCount;
        // Page scripts often put the price in after the page has loaded, when no
        // browser event comes any more; look again at every tick.
        if (state.capturing)
            TryPrice();
        return;
    }
    RecordResult(session_.currentCell, FailureText());
    RequestClose();
}

// Only a capture in progress with a rule looks for a price.
std::string CaptureWindow::PriceOnPage(const DomSnapshot &page) const
{
    const CaptureState &state = session_.capture;
    if (!state.capturing)
        return {};
    return ExtractPrice(state.rule, page);
}

void CaptureWindow::TryPrice()
{
    // Attach before every read: another capture window (a test beside the run)
    // may have taken the shared helper since this window's last event.
    SharedDomHelper().AttachToWindow(browser_);
    SharedDomHelper().TakeSnapshot(RequestForRule(session_.capture.rule), this, [this](const DomSnapshot &page) {
        if (closeRequested_)
            return;
        const std::string price = PriceOnPage(page);
        if (!price.empty()) {
            RecordResult(session_.currentCell, price);
            RequestClose();
        }
    });
}

void CaptureWindow::OnDownloadComplete()
{
    if (closeRequested_)
        return;
    SharedDomHelper().AttachToWindow(browser_);
    const CaptureState &state = session_.capture;
    const TestInputs inputs = ReadTestInputs(); // the editor as it is now
    DomRequest request;
    request.pageSource = true;
    if (purpose_ == Purpose::Capture && state.capturing)
        request.Merge(RequestForRule(state.rule));
    if (purpose_ == Purpose::TestAndPick && state.testing)
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
    CaptureState &state = session_.capture;
    if (state.capturing) {
        const std::string price = PriceOnPage(page);
        RecordResult(session_.currentCell, price);
        if (!price.empty())
            RequestClose();
    }
    if (!state.currentLink.empty() && !page.GetPageSource().empty() && session_.currentCell.column > 0) {
        const std::string price = PriceOnPage(page);
        if (state.emptyResultCount >= kLastEmptyDownload) {
            RecordResult(session_.currentCell, FailureText());
            RequestClose();
        }
        if (!price.empty()) {
            RecordResult(session_.currentCell, price);
            RequestClose();
        } else {
            ++state.emptyResultCount;
        }
    }
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
    if (!session_.capture.testing)
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
    CaptureState &state = session_.capture;
    if (!state.picking || page.GetPageSource().empty())
        return;
    state.picking = false;
    const std::filesystem::path path = PickedSourcePath(session_.dirs);
    // The viewer would show a missing file or the source of an earlier pick.
    if (WriteFileAtomically(path, PickedSourceText(page)))
        OpenWithShell(QUrl::fromLocalFile(QString::fromStdU16String(path.u16string())));
    else
        ShowWriteFailure(QStringLiteral("保存网页源码"), path);
    RequestClose();
}

void CaptureOneLink(Session &session, const std::string &link, const Rule &rule, int row, int column)
{
    CaptureState &state = session.capture;
    state.capturing = true;
    state.rule = rule;
    state.currentLink = link;
    session.currentCell.row = row;
    session.currentCell.column = column;
    state.tickCount = 0;
    state.emptyResultCount = 0;

    auto *window = new CaptureWindow(CaptureWindow::Purpose::Capture, session);
    window->setAttribute(Qt::WA_DeleteOnClose);
    // exec() deletes a window that deletes itself on close before it returns.
    window->exec();
}

} // namespace corvix
