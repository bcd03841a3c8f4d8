#include "ui/capture/CaptureRunController.h"

#include "ui/Session.h"
#include "products/LinkFile.h"
#include "products/ProductGridModel.h"
#include "products/RecordFile.h"
#include "support/Gbk.h"
#include "ui/MainWindow.h"
#include "ui/MessageBox.h"
#include "ui/pages/ProductListPage.h"


#include <vector>

namespace corvix {

class CaptureRunController::RunScope {
public:
    explicit RunScope(CaptureRunController &owner) : owner_(owner)
    {
        owner_.running_ = true;
        owner_.BeginRun();
    }
    ~RunScope()
    {
        owner_.running_ = false;
        owner_.EndRun();
        if (!owner_.windowClosed_)
            owner_.window_->HideRunProgress();
        emit owner_.runEnded();
    }
    RunScope(const RunScope &) = delete;
    RunScope &operator=(const RunScope &) = delete;

private:
    CaptureRunController &owner_;
};

CaptureRunController::CaptureRunController(MainWindow *window, Session &session)
    : QObject(window), window_(window), grid_(window->ListPage()->Grid()), session_(session),
      run_(session, *window->ListPage()->Grid(), this)
{
    connect(window_->ListPage(), &ProductListPage::runRequested, this, &CaptureRunController::RunCapture);
    connect(window_->ListPage(), &ProductListPage::retryRequested, this, &CaptureRunController::RetryFailed);
    connect(window_, &MainWindow::aboutToBeDestroyed, this, [this] {
        windowClosed_ = true;
        run_.Stop();
    });
    connect(&run_, &CaptureRun::progress, this, &CaptureRunController::ShowProgress);
    connect(window_, &MainWindow::stopRunRequested, this, &CaptureRunController::StopRun);
}

void CaptureRunController::BeginRun()
{
    resultsChangedBefore_ = session_.resultsChanged;
    session_.resultsChanged = true;
    recordTextBefore_ = RecordText(*grid_);
}

void CaptureRunController::EndRun()
{
    lastRunChangedGrid_ = RecordText(*grid_) != recordTextBefore_;
    recordTextBefore_.clear();
    if (!lastRunChangedGrid_)
        session_.resultsChanged = resultsChangedBefore_;
}

void CaptureRunController::ShowProgress(int done, int total, int row)
{
    if (!windowClosed_)
        window_->ShowRunProgress(done, total, FromGbk(grid_->Text(row, 1)));
}

void CaptureRunController::StopRun()
{
    if (running_)
        run_.Stop();
}

void CaptureRunController::RunCapture()
{
    if (running_)
        return;
    RunScope scope(*this);
    run_.SetParallelLinks(window_->ListPage()->ParallelLinks());
    emit runStarted(false);
    const RunSummary summary = run_.RunFromLinkFile();
    if (summary.noLinks) {
        ShowMessage(QStringLiteral("链接为空,执行不了"));
        return;
    }
    Report(summary);
}

void CaptureRunController::RetryFailed()
{
    if (running_)
        return;
    RunScope scope(*this);
    run_.SetParallelLinks(window_->ListPage()->ParallelLinks());
    emit runStarted(true);
    Report(run_.RetryFailed());
}

void CaptureRunController::Report(const RunSummary &summary)
{
    if (windowClosed_)
        return;
    if (!summary.badLinks.empty())
        ShowMessage(BadLinkSummary(summary.badLinks));
    if (summary.stopped)
        window_->ShowRunStopped(summary.done, summary.total);
}

} // namespace corvix
