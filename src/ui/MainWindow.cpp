#include "ui/MainWindow.h"

#include "ui/HelpWindow.h"
#include "ui/pages/AboutPage.h"
#include "ui/pages/PageControls.h"
#include "ui/pages/ProductListPage.h"
#include "ui/pages/RecordListPage.h"
#include "ui/pages/RuleEditorPage.h"
#include "ui/pages/RuleListPage.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeView>

#include <algorithm>

// The resources live in a static library: register them before first use.
static void InitIconResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace corvix {

QIcon ProgramIcon()
{
    InitIconResources();
    QIcon icon;
    for (const int size : {32, 64, 256})
        icon.addFile(QStringLiteral(":/icons/corvix-%1.png").arg(size), QSize(size, size));
    return icon;
}

QSize FirstWindowSize(int gridColumnsWidth, QSize available)
{
    constexpr QSize kRoomy(900, 600);
    // The grid's frame and scroll bar and the page's margins beside its columns.
    constexpr int kBesideColumns = 40;
    // The window's frame, its title bar and the desktop's panels.
    constexpr QSize kDesktopRoom(40, 60);
    const QSize wanted(std::max(kRoomy.width(), gridColumnsWidth + kBesideColumns), kRoomy.height());
    if (available.isEmpty())
        return wanted;
    return wanted.boundedTo(available - kDesktopRoom);
}

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Corvix"));
    setWindowIcon(ProgramIcon());
    BuildTabs();
    BuildStatusBar();
    BuildHelp();
    ResizeToFirstSize();
}

void MainWindow::ResizeToFirstSize()
{
    const QHeaderView *header = listPage_->GridView()->header();
    int columns = 0;
    for (int i = 0; i < header->count(); ++i)
        columns += header->isSectionHidden(i) ? 0 : header->sectionSize(i);
    const QScreen *shown = screen();
    resize(FirstWindowSize(columns, shown ? shown->availableGeometry().size() : QSize()));
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildTabs()
{
    tabs_ = Named(new QTabWidget, QStringLiteral("选择夹1"));
    // Added in the order of MainTab: a tab's index is its MainTab value.
    listPage_ = new ProductListPage;
    tabs_->addTab(listPage_, QStringLiteral("列表"));
    rulesPage_ = new RuleListPage;
    tabs_->addTab(rulesPage_, QStringLiteral("采集管理"));
    editorPage_ = new RuleEditorPage;
    tabs_->addTab(editorPage_, QStringLiteral("采集添加"));
    recordsPage_ = new RecordListPage;
    tabs_->addTab(recordsPage_, QStringLiteral("查询记录列表"));
    aboutPage_ = new AboutPage;
    tabs_->addTab(aboutPage_, QStringLiteral("关于我们"));
    tabs_->setCurrentIndex(0);
    setCentralWidget(tabs_);
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        const auto tab = static_cast<MainTab>(index);
        if (tab == MainTab::About)
            aboutPage_->ShowStartPage();
        emit tabShown(tab);
    });
}

void MainWindow::ShowTab(MainTab tab)
{
    tabs_->setCurrentIndex(static_cast<int>(tab));
}

void MainWindow::SetVersionText(const QString &text)
{
    aboutPage_->SetVersionText(text);
}

void MainWindow::BuildHelp()
{
    auto *button = Named(new QPushButton(QStringLiteral("帮助")), QStringLiteral("帮助"));
    button->setToolTip(QStringLiteral("帮助 (F1)"));
    button->setFlat(true);
    tabs_->setCornerWidget(button, Qt::TopRightCorner);
    connect(button, &QPushButton::clicked, this, &MainWindow::ShowHelp);
    auto *f1 = new QShortcut(QKeySequence::HelpContents, this);
    connect(f1, &QShortcut::activated, this, &MainWindow::ShowHelp);
}

void MainWindow::ShowHelp()
{
    if (!help_)
        help_ = new HelpWindow(this);
    help_->show();
    help_->raise();
    help_->activateWindow();
}

void MainWindow::BuildStatusBar()
{
    runProgressText_ = Named(new QLabel, QStringLiteral("抓取进度说明"));
    runProgress_ = Named(new QProgressBar, QStringLiteral("抓取进度"));
    runProgress_->setAccessibleName(QStringLiteral("抓取进度"));
    runProgress_->setMaximumWidth(240);
    runProgress_->setFormat(QStringLiteral("%v / %m"));
    stopRun_ = Named(new QPushButton(QStringLiteral("停止抓取")), QStringLiteral("停止抓取"));
    connect(stopRun_, &QPushButton::clicked, this, &MainWindow::stopRunRequested);
    statusBar()->addWidget(runProgressText_, 1);
    statusBar()->addPermanentWidget(runProgress_);
    statusBar()->addPermanentWidget(stopRun_);
    runProgress_->hide();
    runProgressText_->hide();
    stopRun_->hide();
    statusBar()->hide();
}

void MainWindow::ShowRunProgress(int done, int total, const QString &product)
{
    runProgress_->setRange(0, total);
    runProgress_->setValue(done);
    runProgressText_->setText(product);
    runProgress_->show();
    runProgressText_->show();
    stopRun_->show();
    statusBar()->clearMessage();
    statusBar()->show();
}

void MainWindow::ShowRunStopped(int done, int total)
{
    statusBar()->showMessage(QStringLiteral("已停止抓取：完成 %1 / %2 条链接。").arg(done).arg(total));
}

void MainWindow::ShowStatusNote(const QString &text)
{
    statusBar()->showMessage(text);
    statusBar()->show();
}

void MainWindow::HideRunProgress()
{
    runProgress_->hide();
    runProgressText_->hide();
    stopRun_->hide();
    // A stopped run's count stays in view.
    if (statusBar()->currentMessage().isEmpty())
        statusBar()->hide();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Closing is never refused; the shutdown save runs while the grid exists.
    if (!destroyedSignalled_) {
        destroyedSignalled_ = true;
        emit aboutToBeDestroyed();
    }
    event->accept();
}

} // namespace corvix
