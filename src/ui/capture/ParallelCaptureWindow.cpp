#include "ui/capture/ParallelCaptureWindow.h"

#include "support/WindowPlacement.h"
#include "ui/capture/CapturePane.h"

#include <QApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>

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

// The program's main window on screen, if any (a headless run has none).
QMainWindow *ShownMainWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *main = qobject_cast<QMainWindow *>(widget); main && main->isVisible())
            return main;
    return nullptr;
}

} // namespace

ParallelCaptureWindow::ParallelCaptureWindow(const std::vector<WarmBrowser *> &warm, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("[Corvix]抓取窗口，请勿关闭。"));
    setWindowModality(Qt::ApplicationModal);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    auto *grid = new QGridLayout;
    grid->setSpacing(4);
    layout->addLayout(grid, 1);
    const int columns = std::max(1, PaneColumns(static_cast<int>(warm.size())));
    for (size_t i = 0; i < warm.size(); ++i) {
        auto *pane = new CapturePane(warm[i], this);
        pane->setMinimumSize(160, 120);
        pane->setObjectName(QStringLiteral("抓取窗格%1").arg(i + 1));
        grid->addWidget(pane, static_cast<int>(i) / columns, static_cast<int>(i) % columns);
        connect(pane, &CapturePane::stopRequested, this, &ParallelCaptureWindow::stopRequested);
        panes_.push_back(pane);
    }
    const int rows = (static_cast<int>(warm.size()) + columns - 1) / columns;
    // Equal panes, whatever page each browser showed before.
    for (int column = 0; column < columns; ++column)
        grid->setColumnStretch(column, 1);
    for (int row = 0; row < rows; ++row)
        grid->setRowStretch(row, 1);
    QPushButton *stop = AddRunStopControls(this, layout, [this] { AskRunToStop(); });
    connect(this, &ParallelCaptureWindow::stopRequested, stop, [stop] { stop->setEnabled(false); });
    // As large as the window of a single link per pane would need, within the screen.
    QSize size(columns * 620, rows * 340);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    resize(size);
}

void ParallelCaptureWindow::ShowForRun()
{
    if (isVisible())
        return;
    if (!placed_)
        PlaceClearOfStatusBar();
    placed_ = true;
    show();
}

void ParallelCaptureWindow::PlaceClearOfStatusBar()
{
    QMainWindow *main = ShownMainWindow();
    if (!main || !main->screen())
        return;
    // The run has just shown the status bar; it has its place once the layout has run.
    if (main->layout())
        main->layout()->activate();
    // Not shown yet, this window's frame is taken to be as wide as the main window's.
    const QRect mainFrame = main->frameGeometry();
    const QMargins frame(main->geometry().left() - mainFrame.left(), main->geometry().top() - mainFrame.top(),
                         mainFrame.right() - main->geometry().right(), mainFrame.bottom() - main->geometry().bottom());
    // The run's progress and the stop beside it, or the main window's bottom edge.
    QRect keep(mainFrame.left(), mainFrame.bottom() + 1, mainFrame.width(), 0);
    const auto *bar = main->findChild<const QStatusBar *>(QString(), Qt::FindDirectChildrenOnly);
    if (bar && bar->isVisible())
        keep = QRect(bar->mapToGlobal(QPoint(0, 0)), bar->size());
    const QRect placed = PlaceClearOf(main->screen()->availableGeometry(), mainFrame, keep, size().grownBy(frame),
                                      minimumSizeHint().grownBy(frame));
    resize(placed.size().shrunkBy(frame));
    move(placed.topLeft());
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
