#include "ui/capture/RuleTestWindow.h"

#include "capture/LinkCapture.h"
#include "support/FileIo.h"
#include "support/Gbk.h"
#include "ui/MessageBox.h"
#include "ui/browser/BrowserView.h"
#include "ui/browser/DomHelper.h"
#include "ui/capture/CapturePane.h"
#include "ui/capture/PageLooks.h"

#include <QPlainTextEdit>
#include <QShortcut>
#include <QTextCursor>
#include <QVBoxLayout>

namespace corvix {
namespace {

// A pick writes the source once the document has not changed for this long
// after the load, or at the latest this long after it.
constexpr int kPickQuietMs = 500;
constexpr int kPickSettleLimitMs = 3000;

} // namespace

RuleTestWindow::RuleTestWindow(const DataDirs &dirs, QWidget *parent)
    : QDialog(parent), pickedSourcePath_(PickedSourcePath(dirs))
{
    setWindowTitle(QStringLiteral("[Corvix]抓取窗口，请勿关闭。"));
    resize(923, 414);
    pane_ = new CapturePane(nullptr, this);
    pane_->KeepHelperAttached(true);
    log_ = new QPlainTextEdit(this);
    log_->setObjectName(QStringLiteral("编辑框1"));
    log_->setAccessibleName(QStringLiteral("测试日志"));
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->hide();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pane_, 3);
    layout->addWidget(log_, 1);
    // The page has the keyboard while it loads: Escape reaches the window as a
    // shortcut, not as a key press.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &QDialog::reject);

    looks_ = new PageLooks([this] { return Look(); }, this);
    connect(Browser(), &BrowserView::downloadCompleted, this, &RuleTestWindow::OnDownloadComplete);
    // The created handler.
    SharedDomHelper().AttachToWindow(Browser());
}

RuleTestWindow::~RuleTestWindow()
{
    Finish();
}

BrowserView *RuleTestWindow::Browser() const
{
    return pane_->Browser();
}

QTimer *RuleTestWindow::Clock() const
{
    return pane_->Clock();
}

bool RuleTestWindow::Looking() const
{
    return looks_->Active();
}

void RuleTestWindow::Finish()
{
    // The about-to-be-destroyed handler, run once, when the window closes (it is
    // destroyed right after) or when it is destroyed without closing.
    if (finished_)
        return;
    finished_ = true;
    closeRequested_ = true;
    testing_ = false;
    picking_ = false;
    pane_->KeepHelperAttached(false);
    looks_->Stop();
}

void RuleTestWindow::done(int result)
{
    Finish();
    QDialog::done(result);
}

void RuleTestWindow::RequestClose()
{
    if (closeRequested_)
        return;
    closeRequested_ = true;
    pane_->KeepHelperAttached(false);
    looks_->Stop();
    QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
}

void RuleTestWindow::LoadLink(const std::string &link)
{
    Browser()->Navigate(FromGbk(link));
}

void RuleTestWindow::SetTestInputSource(std::function<TestInputs()> source)
{
    testInputs_ = std::move(source);
}

TestInputs RuleTestWindow::ReadTestInputs() const
{
    return testInputs_ ? testInputs_() : startInputs_;
}

void RuleTestWindow::StartTest(const std::string &link, const TestInputs &inputs)
{
    testing_ = true;
    testLineDue_ = true;
    startInputs_ = inputs;
    testClock_.start();
    LoadLink(link);
    // Writes nothing until the page has a document and a price, or the time is up.
    ShowTestResult(inputs);
    looks_->Start();
}

void RuleTestWindow::StartPick(const std::string &link)
{
    LoadLink(link);
    picking_ = true;
    pickLoaded_ = false;
}

void RuleTestWindow::OnDownloadComplete()
{
    if (closeRequested_)
        return;
    // The test and the pick look at the page on their own schedule; the load
    // completing starts the pick's wait for the scripts to settle.
    if (picking_ && !pickLoaded_) {
        pickLoaded_ = true;
        pickClock_.start();
        looks_->Start();
    }
    if (testing_ && testLineDue_)
        looks_->Start();
    looks_->Ask();
}

bool RuleTestWindow::Look()
{
    if (closeRequested_)
        return false;
    if (testing_ && testLineDue_)
        LookForTestPrice();
    else if (picking_ && pickLoaded_)
        LookForSettledPage();
    else
        return false; // nothing left to look for
    return true;
}

void RuleTestWindow::LookForTestPrice()
{
    SharedDomHelper().AttachToWindow(Browser());
    const TestInputs inputs = ReadTestInputs(); // the editor as it is now
    SharedDomHelper().TakeSnapshot(RequestForTest(inputs), this, [this, inputs](const DomSnapshot &page) {
        if (closeRequested_)
            return;
        const bool timeUp = testClock_.elapsed() >= static_cast<qint64>(kTicksPerLink) * CaptureTickInterval();
        if (testLineDue_ && (TestFindsPrice(inputs, page) || (timeUp && page.hasDocument)))
            AppendTestLine(inputs, page);
        // A page that has no document when the time is up waits for its
        // download-complete event.
        if (timeUp && !page.hasDocument)
            looks_->Stop();
        looks_->Done();
    });
}

void RuleTestWindow::LookForSettledPage()
{
    SharedDomHelper().AttachToWindow(Browser());
    DomRequest request;
    request.quietTime = true;
    SharedDomHelper().TakeSnapshot(request, this, [this](const DomSnapshot &page) {
        if (closeRequested_)
            return;
        const bool settled = page.hasDocument && (page.quietMs >= kPickQuietMs || pickClock_.elapsed() >= kPickSettleLimitMs);
        if (!settled) {
            looks_->Done();
            return;
        }
        DomRequest source;
        source.pageSource = true;
        SharedDomHelper().TakeSnapshot(source, this, [this](const DomSnapshot &settledPage) {
            if (closeRequested_)
                return;
            DumpPageSource(settledPage);
            looks_->Done();
        });
    });
}

void RuleTestWindow::ShowTestResult(const TestInputs &inputs)
{
    SharedDomHelper().AttachToWindow(Browser());
    SharedDomHelper().TakeSnapshot(RequestForTest(inputs), this, [this, inputs](const DomSnapshot &page) {
        if (!closeRequested_ && TestFindsPrice(inputs, page))
            AppendTestLine(inputs, page);
    });
}

void RuleTestWindow::AppendTestLine(const TestInputs &inputs, const DomSnapshot &page)
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

void RuleTestWindow::DumpPageSource(const DomSnapshot &page)
{
    if (!picking_ || page.GetPageSource().empty())
        return;
    picking_ = false;
    // The viewer would show a missing file or the source of an earlier pick.
    const std::string text = PickedSourceText(page);
    if (WriteFileAtomically(pickedSourcePath_, text))
        emit sourceWritten(text, pickedSourcePath_);
    else
        ShowWriteFailure(QStringLiteral("保存网页源码"), pickedSourcePath_);
    RequestClose();
}

} // namespace corvix
