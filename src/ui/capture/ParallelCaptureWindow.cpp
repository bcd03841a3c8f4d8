#include "ui/capture/ParallelCaptureWindow.h"

#include "ui/capture/CapturePane.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>

#include <algorithm>

namespace corvix {
namespace {

// Panes in columns: two side by side, four as two rows of two, up to eight as
// two rows of four.
int PaneColumns(int panes)
{
    if (panes <= 2)
        return panes;
    return panes <= 4 ? 2 : (panes + 1) / 2;
}

} // namespace

ParallelCaptureWindow::ParallelCaptureWindow(const std::vector<WarmBrowser *> &warm, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("[Corvix]抓取窗口，请勿关闭。"));
    setWindowModality(Qt::ApplicationModal);
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(2, 2, 2, 2);
    grid->setSpacing(4);
    const int columns = std::max(1, PaneColumns(static_cast<int>(warm.size())));
    for (size_t i = 0; i < warm.size(); ++i) {
        auto *pane = new CapturePane(warm[i], this);
        pane->setMinimumSize(160, 120);
        pane->setObjectName(QStringLiteral("抓取窗格%1").arg(i + 1));
        grid->addWidget(pane, static_cast<int>(i) / columns, static_cast<int>(i) % columns);
        connect(pane, &CapturePane::stopRequested, this, &ParallelCaptureWindow::stopRequested);
        panes_.push_back(pane);
    }
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &ParallelCaptureWindow::AskRunToStop);
    // As large as the window of a single link per pane would need, within the screen.
    const int rows = (static_cast<int>(warm.size()) + columns - 1) / columns;
    QSize size(columns * 620, rows * 340);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    resize(size);
}

void ParallelCaptureWindow::ShowForRun()
{
    if (!isVisible())
        show();
}

void ParallelCaptureWindow::AskRunToStop()
{
    for (CapturePane *pane : panes_)
        pane->AskRunToStop();
}

void ParallelCaptureWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        AskRunToStop();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ParallelCaptureWindow::done(int result)
{
    // Closed by hand: the links under way end without a result. The window is
    // hidden first, so that the links the run starts in their place find it
    // hidden and show it again.
    QDialog::done(result);
    for (CapturePane *pane : panes_)
        pane->Abandon();
}

} // namespace corvix
