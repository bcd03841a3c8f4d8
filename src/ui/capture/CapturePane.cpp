#include "ui/capture/CapturePane.h"

#include "capture/DeclaredAvailability.h"
#include "capture/PriceExtraction.h"
#include "support/Gbk.h"
#include "ui/browser/BrowserView.h"
#include "ui/browser/DomHelper.h"
#include "ui/browser/WarmBrowser.h"
#include "ui/capture/PageLooks.h"

#include <QLabel>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QStackedLayout>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEnginePage>

namespace corvix {
namespace {

constexpr int kTickIntervalMs = 1000;

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

CapturePane::CapturePane(WarmBrowser *warm, QWidget *parent) : QWidget(parent)
{
    browser_ = warm ? warm->Lend(this) : nullptr;
    if (browser_)
        warm_ = warm;
    else
        browser_ = new BrowserView(this);
    browser_->setObjectName(QStringLiteral("浏览互联网"));
    browser_->setAccessibleName(QStringLiteral("抓取页面"));

    // Under the page: what is being captured and how long it may still take.
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("抓取状态"));
    status_->setContentsMargins(6, 0, 6, 0);
    status_->hide();

    // The cover lies over the page, the page stays shown beneath it.
    auto *page = new QWidget(this);
    auto *stack = new QStackedLayout(page);
    stack->setStackingMode(QStackedLayout::StackAll);
    stack->addWidget(browser_);
    cover_ = new QWidget(page);
    cover_->setObjectName(QStringLiteral("空白遮盖"));
    cover_->setAutoFillBackground(true);
    QPalette blank = cover_->palette();
    blank.setColor(QPalette::Window, Qt::white);
    cover_->setPalette(blank);
    stack->addWidget(cover_);
    cover_->hide();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 2);
    layout->setSpacing(4);
    layout->addWidget(page, 1);
    layout->addWidget(status_);

    clock_ = new QTimer(this);
    clock_->setObjectName(QStringLiteral("时钟1"));
    clock_->setInterval(0);
    looks_ = new PageLooks([this] { return LookForPrice(); }, this);

    connect(browser_, &BrowserView::navigated, this, [this] {
        UncoverPage();
        // Each navigation brings a new document.
        if (keepAttached_)
            SharedDomHelper().AttachToWindow(browser_);
    });
    connect(browser_, &BrowserView::progressChanged, this, [this] {
        if (capture_.Capturing())
            looks_->Ask();
    });
    connect(browser_, &BrowserView::downloadCompleted, this, &CapturePane::OnDownloadComplete);
    connect(browser_, &BrowserView::rendererLost, this, &CapturePane::OnRendererLost);
    connect(clock_, &QTimer::timeout, this, [this] { Do(capture_.Tick()); });
}

CapturePane::~CapturePane()
{
    // A window being torn down is no place to build a page (its lender stops it).
    pageFresh_ = true;
    Finish();
    if (SharedDomHelper().Window() == browser_)
        SharedDomHelper().AttachToWindow(nullptr);
    if (warm_)
        warm_->GiveBack(browser_);
}

void CapturePane::Start(CaptureJob job)
{
    DropSpentPage();
    capture_.Start(std::move(job));
    finished_ = false;
    keepAttached_ = true;
    status_->show();
    Load();
    clock_->setInterval(CaptureTickInterval());
    clock_->start();
    looks_->Start();
}

void CapturePane::Load()
{
    pageFresh_ = false;
    looks_->Forget();
    ShowStatus();
    if (!capture_.Job().link.empty()) {
        CoverPage();
        browser_->Navigate(FromGbk(capture_.Job().link));
    }
    SharedDomHelper().AttachToWindow(browser_);
}

void CapturePane::DropSpentPage()
{
    // Reusing the page costs a tenth of what a fresh one does, but a page still
    // parsing a huge document or stuck in a script holds up the next link's load.
    if (!capture_.PageSpent() || pageFresh_)
        return;
    browser_->ReplacePage();
    pageFresh_ = true;
}

void CapturePane::OnRendererLost()
{
    // Between links (a window going, a browser given back) nothing is lost.
    if (finished_)
        return;
    const CaptureAnswer answer = capture_.RendererLost();
    if (answer.reload) {
        DropSpentPage();
        Load();
        clock_->start(); // the link's seconds count afresh
    }
    Do(answer);
}

void CapturePane::Finish()
{
    if (finished_)
        return;
    finished_ = true;
    capture_.End();
    keepAttached_ = false;
    clock_->stop();
    clock_->setInterval(0);
    looks_->Stop();
    // The spent page stops loading now; it is replaced when the next link
    // starts, outside every handler of the page's own signals.
    if (capture_.PageSpent())
        browser_->page()->triggerAction(QWebEnginePage::Stop);
}

void CapturePane::Abandon()
{
    if (finished_)
        return;
    Finish();
    emit captureEnded();
}

void CapturePane::StopLoading()
{
    browser_->page()->triggerAction(QWebEnginePage::Stop);
}

void CapturePane::AskRunToStop()
{
    if (!capture_.AskStop())
        return;
    emit stopRequested();
    ShowStatus();
}

void CapturePane::CoverPage()
{
    cover_->show();
    cover_->raise();
}

void CapturePane::UncoverPage()
{
    cover_->hide();
}

void CapturePane::UncoverPage(const DomSnapshot &page)
{
    // A page that keeps its address (the same link again) changes none; a read
    // of the link's own document is the sure sign that it is shown.
    if (page.hasDocument)
        UncoverPage();
}

void CapturePane::ShowStatus()
{
    const CaptureJob &job = capture_.Job();
    status_->setText(QStringLiteral("商品：%1　商城：%2　剩余 %3 秒")
                         .arg(FromGbk(job.product), FromGbk(job.shop))
                         .arg(capture_.SecondsLeft())
                     + (capture_.StopAsked() ? QStringLiteral("　（本条完成后停止抓取）") : QString()));
}

void CapturePane::Do(const CaptureAnswer &answer)
{
    if (answer.clearCell)
        emit downloadedWithoutPrice(capture_.Job());
    if (answer.showStatus)
        ShowStatus();
    if (answer.result) {
        emit captured(capture_.Job(), *answer.result);
        EndAfterResult();
    }
}

void CapturePane::EndAfterResult()
{
    keepAttached_ = false;
    clock_->stop();
    looks_->Stop();
    // After the handler has returned; a pane that has started another capture
    // meanwhile (its window closed by hand while this waited) goes on with it.
    QMetaObject::invokeMethod(
        this,
        [this, start = capture_.CurrentStart()] {
            if (start != capture_.CurrentStart())
                return;
            if (closesWindow_) {
                emit windowCloseWanted();
                return;
            }
            Finish();
            emit captureEnded();
        },
        Qt::QueuedConnection);
}

PageReading CapturePane::Read(const DomSnapshot &page, bool declarationsAsked) const
{
    PageReading reading{page.hasDocument, ExtractPrice(capture_.Job().rule, page), std::nullopt};
    if (declarationsAsked && page.hasDocument)
        reading.declared = DeclaredAvailability(page.declarations);
    return reading;
}

bool CapturePane::LookForPrice()
{
    if (!capture_.Capturing())
        return false;
    ReadPage([this](LinkCapture::StartId start, const PageReading &page) {
        Do(capture_.Look(start, page));
        looks_->Done();
    });
    return true;
}

void CapturePane::OnDownloadComplete()
{
    if (!capture_.Capturing())
        return;
    ReadPage([this](LinkCapture::StartId start, const PageReading &page) {
        Do(capture_.DownloadComplete(start, page));
    });
}

void CapturePane::ReadPage(std::function<void(LinkCapture::StartId, const PageReading &)> take)
{
    // Attach before every read: another window (a rule test beside the run)
    // may have taken the shared helper since this pane's last event.
    SharedDomHelper().AttachToWindow(browser_);
    DomRequest request = RequestForRule(capture_.Job().rule);
    request.declarations = capture_.WantsDeclarations();
    SharedDomHelper().TakeSnapshot(request, this,
                                   [this, take = std::move(take), asked = request.declarations,
                                    start = capture_.CurrentStart()](const DomSnapshot &page) {
                                       if (capture_.Stale(start))
                                           return;
                                       UncoverPage(page);
                                       take(start, Read(page, asked));
                                   });
}

QPushButton *AddRunStopControls(QWidget *window, QBoxLayout *layout, const std::function<void()> &stop)
{
    auto *button = new QPushButton(QStringLiteral("停止抓取"), window);
    button->setObjectName(QStringLiteral("停止按钮"));
    button->setToolTip(QStringLiteral("停止抓取（Esc）：抓完正在抓取的链接后停止，已抓到的价格保留"));
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoDefault(false);
    auto *row = new QHBoxLayout;
    row->setContentsMargins(6, 0, 6, 6);
    row->addStretch(1);
    row->addWidget(button);
    layout->addLayout(row);
    QObject::connect(button, &QPushButton::clicked, window, stop);
    // The page has the keyboard while it loads: Escape reaches the window as a
    // shortcut, not as a key press.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    escape->setContext(Qt::WindowShortcut);
    QObject::connect(escape, &QShortcut::activated, window, stop);
    return button;
}

} // namespace corvix
