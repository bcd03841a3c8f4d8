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
    connect(&run_, &CaptureRun::runEnded, this, &CaptureRunController::Conclude);
    connect(window_, &MainWindow::stopRunRequested, this, &CaptureRunController::StopRun);
}

void CaptureRunController::BeginRun(bool retry)
{
    running_ = true;
    retrying_ = retry;
    resultsChangedBefore_ = session_.resultsChanged;
    session_.resultsChanged = true;
    recordTextBefore_ = RecordText(*grid_);
    run_.SetParallelLinks(window_->ListPage()->ParallelLinks());
    emit runStarted(retry);
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
    BeginRun(false);
    run_.StartFromLinkFile();
}

void CaptureRunController::RetryFailed()
{
    if (running_)
        return;
    BeginRun(true);
    run_.StartRetry();
}

void CaptureRunController::Conclude(const RunSummary &summary)
{
    Report(summary);
    running_ = false;
    EndRun();
    if (!windowClosed_)
        window_->HideRunProgress();
    emit runEnded();
}

void CaptureRunController::Report(const RunSummary &summary)
{
    if (windowClosed_)
        return;
    // Nothing ran: the grid is as it was.
    if (summary.unreadable) {
        ShowReadFailure(retrying_ ? QStringLiteral("失败重抓") : QStringLiteral("开始抓取"), *summary.unreadable);
        return;
    }
    if (summary.noLinks) {
        ShowMessage(QStringLiteral("链接为空,执行不了"));
        return;
    }
    if (!summary.badLinks.empty())
        ShowMessage(BadLinkSummary(summary.badLinks));
    if (summary.stopped)
        window_->ShowRunStopped(summary.done, summary.total);
}

} // namespace corvix
