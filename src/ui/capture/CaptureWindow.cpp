#include "ui/capture/CaptureWindow.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvix {

CaptureWindow::CaptureWindow(WarmBrowser *warm, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("[Corvix]抓取窗口，请勿关闭。"));
    resize(923, 414);
    pane_ = new CapturePane(warm, this);
    panes_.push_back(pane_);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pane_, 1);
    QPushButton *stop = AddRunStopControls(this, layout, [this] { AskRunToStop(); });
    connect(pane_, &CapturePane::stopRequested, stop, [stop] { stop->setEnabled(false); });

    connect(pane_, &CapturePane::captured, this, &CaptureWindow::captured);
    connect(pane_, &CapturePane::downloadedWithoutPrice, this, &CaptureWindow::downloadedWithoutPrice);
    connect(pane_, &CapturePane::stopRequested, this, &CaptureWindow::stopRequested);
    connect(pane_, &CapturePane::captureEnded, this, &CaptureWindow::captureEnded);
    connect(pane_, &CapturePane::windowCloseWanted, this, &QWidget::close);
}

CaptureWindow::CaptureWindow(CaptureJob job, WarmBrowser *warm, QWidget *parent) : CaptureWindow(warm, parent)
{
    pane_->SetClosesWindowAfterResult(true);
    Start(std::move(job));
}

void CaptureWindow::Start(CaptureJob job)
{
    pane_->Start(std::move(job));
}

void CaptureWindow::ShowForRun()
{
    if (isVisible())
        return;
    setWindowModality(Qt::ApplicationModal);
    show();
}

void CaptureWindow::done(int result)
{
    // Closed after a result or by the user: the handlers stop here. Hidden
    // first, so that a run's next link finds the window hidden and shows it again.
    QDialog::done(result);
    pane_->Abandon();
}

void CaptureWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        AskRunToStop();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace corvix
