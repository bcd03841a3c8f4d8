#pragma once
// The window of a run that captures several links at once: one capture pane per
// link loading (a CapturePane each, with its own browser, product, shop and
// seconds left), side by side, all visible, since page scripts that put the
// price in run slowly or not at all in a page that is not shown. Like the window
// of a run link by link it is modal, Escape or its button 停止按钮 asks the run to
// stop once the links under way are done, and a close by hand ends the links
// under way without a result; the run shows it again for its next links. It
// first shows where it leaves the main window's status bar (the run's progress)
// in view, when the screen has room for that.
#include "ui/capture/CapturePane.h"

#include <QDialog>

#include <vector>

class QKeyEvent;

namespace corvix {

class WarmBrowser;

class ParallelCaptureWindow : public QDialog, public RunPanes {
    Q_OBJECT
public:
    // One pane per browser of warm (each pane borrows one).
    explicit ParallelCaptureWindow(const std::vector<WarmBrowser *> &warm, QWidget *parent = nullptr);

    const std::vector<CapturePane *> &Panes() const override { return panes_; }
    // Shows the window modally unless it is on screen.
    void ShowForRun() override;

signals:
    // Escape or 停止按钮: the run stops once the links under way are done.
    void stopRequested();

protected:
    void done(int result) override;
    // Escape would close the window and lose the results of the links under way.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void AskRunToStop();
    void PlaceClearOfStatusBar();

    std::vector<CapturePane *> panes_;
    bool placed_ = false; // a window the user has moved stays where it is
};

} // namespace corvix
