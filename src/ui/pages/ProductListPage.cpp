#include "ui/pages/ProductListPage.h"

#include "products/ProductGridModel.h"
#include "support/Gbk.h"
#include "ui/ContextMenuHook.h"
#include "capture/LinkScheduler.h"
#include "ui/pages/PageControls.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace corvix {
namespace {

constexpr int kSearchMinimumWidth = 80;

// What a first start needs, in the order it is done.
const QString kEmptyGridHint = QStringLiteral(
    "还没有商品。\n\n"
    "1. 在“采集添加”页编写商城的采集规则，在“采集管理”页启用；\n"
    "2. 用“粘贴导入”或“文件导入”导入商品和链接；\n"
    "3. 点击“开始抓取”。");

} // namespace

ProductListPage::ProductListPage(QWidget *parent) : QWidget(parent)
{
    QWidget *group = BuildButtonRow();
    BuildGrid();
    BuildGridMenu();
    QWidget *banner = BuildOlderRecordBanner();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(group);
    layout->addWidget(banner);
    layout->addWidget(gridView_, 1);
    setTabOrder(exportButton_, gridView_);
}

QWidget *ProductListPage::BuildButtonRow()
{
    auto *group = Named(new QGroupBox, QStringLiteral("分组框2"));
    auto *label = Label(QStringLiteral("标签9"), QStringLiteral("查询"));
    search_ = Named(new QLineEdit, QStringLiteral("编辑框8"));
    // No fixed minimum: with "同时抓取" beside the buttons the row would no longer
    // fit the window's first-start width; the box takes the room that is left.
    Pair(label, search_);
    auto *searchButton = Button(QStringLiteral("按钮8"), QStringLiteral("查询"), 50);
    auto *run = Button(QStringLiteral("按钮9"), QStringLiteral("开始抓取"), 64);
    dropFilter_ = Named(new QCheckBox(QStringLiteral("降价")), QStringLiteral("降价"));
    dropFilter_->setToolTip(QStringLiteral("只显示比上次降价的商品"));
    unitPrices_ = Named(new QCheckBox(QStringLiteral("单价")), QStringLiteral("单价"));
    unitPrices_->setToolTip(QStringLiteral("按规格显示每单位的价格（在“编辑商品…”中填写规格），标出每行最划算的一家"));
    auto *parallelLabel = Label(QStringLiteral("标签同时抓取"), QStringLiteral("同时抓取"));
    parallel_ = Named(new QSpinBox, QStringLiteral("同时抓取"));
    parallel_->setRange(1, kMaxParallelLinks);
    parallel_->setValue(1);
    Pair(parallelLabel, parallel_);
    auto *retry = Button(QStringLiteral("按钮10"), QStringLiteral("失败重抓"), 64);
    auto *paste = Button(QStringLiteral("按钮5"), QStringLiteral("粘贴导入"), 65);
    auto *file = Button(QStringLiteral("按钮6"), QStringLiteral("文件导入"), 65);
    exportButton_ = Button(QStringLiteral("按钮7"), QStringLiteral("导出"), 81);

    auto *row = new QHBoxLayout(group);
    row->setContentsMargins(7, 4, 7, 4);
    row->addWidget(label);
    // Room for a product's name at the first-start width; it takes the rest
    // of a wider window.
    search_->setMinimumWidth(kSearchMinimumWidth);
    row->addWidget(search_, 1);
    row->addWidget(searchButton);
    // One above the other: the row of buttons must still fit a small screen.
    auto *toggles = new QVBoxLayout;
    toggles->setSpacing(0);
    toggles->setContentsMargins(0, 0, 0, 0);
    toggles->addWidget(dropFilter_);
    toggles->addWidget(unitPrices_);
    row->addLayout(toggles);
    row->addSpacing(4);
    row->addWidget(run);
    row->addSpacing(4);
    row->addWidget(parallelLabel);
    row->addWidget(parallel_);
    row->addSpacing(4);
    row->addWidget(retry);
    row->addSpacing(6);
    row->addWidget(paste);
    row->addWidget(file);
    row->addSpacing(8);
    row->addWidget(exportButton_);

    setTabOrder(search_, searchButton);
    setTabOrder(searchButton, dropFilter_);
    setTabOrder(dropFilter_, unitPrices_);
    setTabOrder(unitPrices_, run);
    setTabOrder(run, parallel_);
    setTabOrder(parallel_, retry);
    setTabOrder(retry, paste);
    setTabOrder(paste, file);
    setTabOrder(file, exportButton_);

    connect(searchButton, &QPushButton::clicked, this, &ProductListPage::searchRequested);
    connect(search_, &QLineEdit::returnPressed, this, &ProductListPage::searchRequested);
    connect(dropFilter_, &QCheckBox::toggled, this, &ProductListPage::dropFilterToggled);
    connect(unitPrices_, &QCheckBox::toggled, this, &ProductListPage::unitPricesToggled);
    connect(run, &QPushButton::clicked, this, &ProductListPage::runRequested);
    connect(parallel_, &QSpinBox::valueChanged, this, &ProductListPage::parallelLinksChanged);
    connect(retry, &QPushButton::clicked, this, &ProductListPage::retryRequested);
    connect(paste, &QPushButton::clicked, this, &ProductListPage::pasteImportRequested);
    connect(file, &QPushButton::clicked, this, &ProductListPage::fileImportRequested);
    connect(exportButton_, &QPushButton::clicked, this, &ProductListPage::exportRequested);
    return group;
}

QWidget *ProductListPage::BuildOlderRecordBanner()
{
    banner_ = Named(new QFrame, QStringLiteral("查看记录提示"));
    QFrame *frame = banner_;
    frame->setFrameShape(QFrame::StyledPanel);
    // A pale yellow strip: the rows below are not today's results.
    frame->setAutoFillBackground(true);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, QColor(0xFF, 0xF4, 0xC2));
    palette.setColor(QPalette::WindowText, QColor(0x40, 0x30, 0x00));
    frame->setPalette(palette);
    bannerText_ = Named(new QLabel, QStringLiteral("查看记录说明"));
    auto *back = Named(new QPushButton(QStringLiteral("返回当前结果")), QStringLiteral("返回当前结果"));
    auto *row = new QHBoxLayout(frame);
    row->setContentsMargins(8, 2, 8, 2);
    row->addWidget(bannerText_, 1);
    row->addWidget(back);
    connect(back, &QPushButton::clicked, this, &ProductListPage::backToCurrentRequested);
    frame->hide();
    return frame;
}

QWidget *ProductListPage::OlderRecordBanner() const
{
    return banner_;
}

void ProductListPage::ShowOlderRecordBanner(const QString &saveTime)
{
    bannerText_->setText(QStringLiteral("正在查看 ") + saveTime + QStringLiteral(" 的记录"));
    banner_->show();
}

void ProductListPage::BuildGrid()
{
    grid_ = new ProductGridModel(this);
    gridView_ = Named(new QTreeView, QStringLiteral("超级列表框1"));
    gridView_->setAccessibleName(QStringLiteral("商品列表"));
    gridView_->setRootIsDecorated(false);
    gridView_->setUniformRowHeights(true);
    gridView_->setItemsExpandable(false);
    gridView_->setAllColumnsShowFocus(true);
    gridView_->setSelectionMode(QAbstractItemView::SingleSelection);
    gridView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridView_->setModel(grid_);
    gridView_->header()->setStretchLastSection(false);
    gridView_->header()->setSectionsMovable(false);
    grid_->AddFixedColumns();
    for (int column = 0; column < grid_->ColumnCount(); ++column)
        gridView_->header()->resizeSection(column, grid_->ColumnAt(column).width);
    gridView_->viewport()->installEventFilter(this);
    BuildEmptyGridHint();
    connect(grid_, &ProductGridModel::showsOlderRecordChanged, this, [this](bool older) {
        if (!older)
            banner_->hide();
    });
}

void ProductListPage::BuildEmptyGridHint()
{
    // Over the view's empty area rather than in it, so that it stays put when
    // the columns scroll; clicks go through to the grid (a click below the
    // rows adds one).
    emptyHint_ = Named(new QLabel(kEmptyGridHint, gridView_), QStringLiteral("空列表提示"));
    emptyHint_->setAttribute(Qt::WA_TransparentForMouseEvents);
    emptyHint_->setAlignment(Qt::AlignCenter);
    emptyHint_->setWordWrap(true);
    emptyHint_->setForegroundRole(QPalette::PlaceholderText);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(grid_, signal, this, &ProductListPage::ShowEmptyGridHintWhenEmpty);
    connect(grid_, &QAbstractItemModel::modelReset, this, &ProductListPage::ShowEmptyGridHintWhenEmpty);
    ShowEmptyGridHintWhenEmpty();
}

void ProductListPage::ShowEmptyGridHintWhenEmpty()
{
    emptyHint_->setVisible(grid_->RowCount() == 0);
}

void ProductListPage::BuildGridMenu()
{
    gridMenu_ = Named(new QMenu(QStringLiteral("列表操作"), this), QStringLiteral("列表操作"));
    deleteRow_ = MenuItem(gridMenu_, QStringLiteral("删除记录"));
    undoDelete_ = MenuItem(gridMenu_, QStringLiteral("撤销删除"));
    QAction *editProduct = MenuItem(gridMenu_, QStringLiteral("编辑商品…"));
    undoDelete_->setShortcut(QKeySequence::Undo);
    undoDelete_->setShortcutContext(Qt::WidgetShortcut);
    undoDelete_->setEnabled(false);
    gridView_->addAction(undoDelete_);
    QAction *openLink = MenuItem(gridMenu_, QStringLiteral("浏览器打开[默认浏览器]"));
    // The Delete key on the grid is the menu's 删除记录, disabled with it.
    deleteRow_->setShortcut(QKeySequence::Delete);
    deleteRow_->setShortcutContext(Qt::WidgetShortcut);
    gridView_->addAction(deleteRow_);
    QAction *history = MenuItem(gridMenu_, QStringLiteral("价格走势"));
    QAction *alert = MenuItem(gridMenu_, QStringLiteral("设置提醒…"));
    connect(alert, &QAction::triggered, this, &ProductListPage::alertRequested);
    QAction *channels = MenuItem(gridMenu_, QStringLiteral("提醒方式…"));
    connect(channels, &QAction::triggered, this, &ProductListPage::channelsRequested);
    connect(editProduct, &QAction::triggered, this, &ProductListPage::editProductRequested);
    connect(deleteRow_, &QAction::triggered, this, &ProductListPage::deleteRowRequested);
    connect(undoDelete_, &QAction::triggered, this, &ProductListPage::undoDeleteRequested);
    connect(openLink, &QAction::triggered, this, &ProductListPage::openLinkRequested);
    connect(history, &QAction::triggered, this, &ProductListPage::priceHistoryRequested);
    OnContextMenu(gridView_, [this](const QPoint &globalPos, bool) { ShowGridMenu(globalPos); });
}

bool ProductListPage::DropFilterOn() const
{
    return dropFilter_->isChecked();
}

QString ProductListPage::SearchText() const
{
    return search_->text();
}

void ProductListPage::AddGridColumn(const std::string &gbkTitle, int width, Qt::Alignment alignment)
{
    grid_->AddColumn(gbkTitle, width, alignment);
    gridView_->header()->resizeSection(grid_->ColumnCount() - 1, width);
}

int ProductListPage::ShopColumnWidth(const QString &title) const
{
    constexpr int kNarrowest = 60;
    const QHeaderView *header = gridView_->header();
    // The header's own margins on both sides, and room for the section's frame.
    const int padding = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header) + 8;
    return std::max(kNarrowest, header->fontMetrics().horizontalAdvance(title) + padding);
}

void ProductListPage::AddShopColumn(const std::string &gbkTitle)
{
    InsertShopColumn(grid_->ColumnCount(), gbkTitle);
}

void ProductListPage::InsertShopColumn(int column, const std::string &gbkTitle)
{
    const int width = ShopColumnWidth(FromGbk(gbkTitle));
    grid_->InsertColumn(column, gbkTitle, width, Qt::AlignHCenter);
    gridView_->header()->resizeSection(column, width);
}

GridHit ProductListPage::HitTest(const QPoint &viewportPos) const
{
    GridHit hit;
    const QModelIndex index = gridView_->indexAt(viewportPos);
    hit.row = index.isValid() ? index.row() : -1;
    hit.column = gridView_->header()->logicalIndexAt(viewportPos.x());
    return hit;
}

int ProductListPage::SelectedRow() const
{
    const QItemSelectionModel *selection = gridView_->selectionModel();
    const QModelIndexList rows = selection ? selection->selectedRows() : QModelIndexList();
    return rows.isEmpty() ? -1 : rows.constFirst().row();
}

void ProductListPage::SelectAndShowRow(int row)
{
    const QModelIndex index = grid_->index(row, 0);
    gridView_->selectionModel()->setCurrentIndex(index,
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    gridView_->scrollTo(index);
}

void ProductListPage::ShowGridMenu(const QPoint &globalPos)
{
    if (SelectedRow() < 0)
        return;
    gridMenu_->popup(globalPos);
}

void ProductListPage::SetExportEnabled(bool enabled)
{
    exportButton_->setEnabled(enabled);
}

void ProductListPage::SetDeleteRowEnabled(bool enabled)
{
    deleteRow_->setEnabled(enabled);
}

void ProductListPage::SetUndoDeleteEnabled(bool enabled)
{
    undoDelete_->setEnabled(enabled);
}

int ProductListPage::ParallelLinks() const
{
    return parallel_->value();
}

void ProductListPage::SetParallelLinks(int links)
{
    parallel_->setValue(links); // the spin box keeps it within its range
}

bool ProductListPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != gridView_->viewport())
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::Resize || event->type() == QEvent::Move)
        emptyHint_->setGeometry(gridView_->viewport()->geometry().adjusted(12, 12, -12, -12));
    if (event->type() == QEvent::MouseButtonPress) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton)
            emit gridLeftPressed(mouse->position().toPoint());
        else if (mouse->button() == Qt::RightButton)
            emit gridRightPressed(mouse->position().toPoint());
        return false; // the view still selects the row
    }
    if (event->type() == QEvent::MouseButtonDblClick) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton) {
            emit gridDoubleClicked(mouse->position().toPoint());
            return true;
        }
    }
    return false;
}

} // namespace corvix
