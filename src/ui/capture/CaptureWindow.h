#pragma once
// CaptureWindow: the window of one link, a CapturePane with a frame. A run link
// by link shows the same modal window for each of its links (CaptureRun);
// Escape or its button 停止按钮 asks the run to stop once the link is done, and
// a close by hand ends the link without a result.
#include "capture/CaptureJob.h"
#include "ui/capture/CapturePane.h"

#include <QDialog>

#include <vector>

class QKeyEvent;

namespace corvix {

class CaptureWindow : public QDialog, public RunPanes {
    Q_OBJECT
public:
    // A capture of job: builds the window and starts the capture (Start). With
    // warm, the window borrows that browser (when it is free) instead of building
    // one, and gives it back when it goes. The window closes after the result.
    explicit CaptureWindow(CaptureJob job, WarmBrowser *warm = nullptr, QWidget *parent = nullptr);
    // A run's capture window, which waits for its first Start: a run shows the
    // same window for each of its links, so that neither the window nor its
    // browser is built, reparented or torn down between two links. After a
    // result the window stays on screen for the run's next link (hiding and
    // showing it again would hold up the next page's load by the time it takes
    // to map it); a window closed by hand is shown again for the next link.
    explicit CaptureWindow(WarmBrowser *warm, QWidget *parent = nullptr);

    // The created handler of a capture of job (CapturePane::Start).
    void Start(CaptureJob job);
    // The capture ends without a result, as when its window is closed by hand.
    void Abandon() { pane_->Abandon(); }
    // The page stops loading.
    void StopLoading() { pane_->StopLoading(); }
    // Escape or 停止按钮 in a run: the run stops once the link in progress is done.
    void AskRunToStop() { pane_->AskRunToStop(); }

    // The one pane, for a run.
    const std::vector<CapturePane *> &Panes() const override { return panes_; }
    void ShowForRun() override;

    BrowserView *Browser() const { return pane_->Browser(); }
    QTimer *Clock() const { return pane_->Clock(); }
    // The capture's own state: its job, whether it still captures, and its ticks
    // and download-complete events without a price so far.
    const CaptureJob &Job() const { return pane_->State().Job(); }
    bool Capturing() const { return pane_->State().Capturing(); }
    int TickCount() const { return pane_->State().Ticks(); }
    int EmptyResultCount() const { return pane_->State().EmptyDownloads(); }

signals:
    // As CapturePane's.
    void captured(const CaptureJob &job, const std::string &text);
    void downloadedWithoutPrice(const CaptureJob &job);
    void stopRequested();
    void captureEnded();

protected:
    void done(int result) override;
    // Escape would close the window and lose this link's result.
    void keyPressEvent(QKeyEvent *event) override;

private:
    CapturePane *pane_ = nullptr;
    std::vector<CapturePane *> panes_;
};

} // namespace corvix
