#include "ui/MainWindow.h"

#include "products/ProductGridModel.h"
#include "rules/Rule.h"
#include "support/Gbk.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWebEngineView>

// The resources live in a static library: register them before first use.
static void InitResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace corvix {
namespace {

template <typename W> W *Named(W *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

QPushButton *Button(const QString &name, const QString &caption, int width, int height = 32)
{
    auto *b = Named(new QPushButton(caption), name);
    b->setMinimumSize(width, height);
    b->setAutoDefault(true); // Enter presses the focused button, like Space
    return b;
}

QLabel *Label(const QString &name, const QString &text)
{
    return Named(new QLabel(text), name);
}

// A label beside its control: the label names the control for screen readers.
void Pair(QLabel *label, QWidget *control)
{
    label->setBuddy(control);
    control->setAccessibleName(label->text());
}

struct ColumnSpec {
    QString title;
    int width;
    Qt::Alignment alignment;
};

QTreeWidget *ReportList(const QString &name, const QString &accessibleName, const QList<ColumnSpec> &columns)
{
    auto *list = Named(new QTreeWidget, name);
    list->setAccessibleName(accessibleName);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setItemsExpandable(false);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setColumnCount(static_cast<int>(columns.size()));
    auto *header = new QTreeWidgetItem;
    for (int i = 0; i < columns.size(); ++i) {
        header->setText(i, columns[i].title);
        header->setTextAlignment(i, columns[i].alignment | Qt::AlignVCenter);
    }
    list->setHeaderItem(header);
    list->header()->setStretchLastSection(false);
    for (int i = 0; i < columns.size(); ++i)
        list->header()->resizeSection(i, columns[i].width);
    return list;
}

QAction *MenuItem(QMenu *menu, const QString &text)
{
    QAction *a = menu->addAction(text);
    a->setObjectName(text);
    return a;
}

} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    InitResources();
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Corvix"));

    tabs_ = Named(new QTabWidget, QStringLiteral("选择夹1"));
    tabs_->addTab(BuildListPage(), QStringLiteral("列表"));
    tabs_->addTab(BuildRuleListPage(), QStringLiteral("采集管理"));
    tabs_->addTab(BuildRuleEditorPage(), QStringLiteral("采集添加"));
    tabs_->addTab(BuildRecordListPage(), QStringLiteral("查询记录列表"));
    tabs_->addTab(BuildAboutPage(), QStringLiteral("关于我们"));
    tabs_->setCurrentIndex(0);
    setCentralWidget(tabs_);
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 4)
            ShowAboutPageOnce();
    });

    BuildMenus();
    BuildStatusBar();
    resize(736, 440);
}

MainWindow::~MainWindow() = default;

QWidget *MainWindow::BuildListPage()
{
    auto *page = new QWidget;
    auto *group = Named(new QGroupBox, QStringLiteral("分组框2"));
    auto *label = Label(QStringLiteral("标签9"), QStringLiteral("查询"));
    auto *search = Named(new QLineEdit, QStringLiteral("编辑框8"));
    search->setMinimumWidth(215);
    Pair(label, search);
    auto *searchButton = Button(QStringLiteral("按钮8"), QStringLiteral("查询"), 50);
    auto *run = Button(QStringLiteral("按钮9"), QStringLiteral("开始抓取"), 64);
    auto *retry = Button(QStringLiteral("按钮10"), QStringLiteral("失败重抓"), 64);
    auto *paste = Button(QStringLiteral("按钮5"), QStringLiteral("粘贴导入"), 65);
    auto *file = Button(QStringLiteral("按钮6"), QStringLiteral("文件导入"), 65);
    auto *exportButton = Button(QStringLiteral("按钮7"), QStringLiteral("导出"), 81);

    auto *row = new QHBoxLayout(group);
    row->setContentsMargins(7, 4, 7, 4);
    row->addWidget(label);
    row->addWidget(search, 1);
    row->addWidget(searchButton);
    row->addSpacing(4);
    row->addWidget(run);
    row->addWidget(retry);
    row->addSpacing(10);
    row->addWidget(paste);
    row->addWidget(file);
    row->addSpacing(16);
    row->addWidget(exportButton);

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
    AddGridColumn("ID", 50, Qt::AlignLeft);
    AddGridColumn(Gbk("商品名称"), 200, Qt::AlignHCenter);

    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(group);
    layout->addWidget(gridView_, 1);

    setTabOrder(search, searchButton);
    setTabOrder(searchButton, run);
    setTabOrder(run, retry);
    setTabOrder(retry, paste);
    setTabOrder(paste, file);
    setTabOrder(file, exportButton);
    setTabOrder(exportButton, gridView_);
    return page;
}

void MainWindow::AddGridColumn(const std::string &gbkTitle, int width, Qt::Alignment alignment)
{
    grid_->AddColumn(gbkTitle, width, alignment);
    gridView_->header()->resizeSection(grid_->ColumnCount() - 1, width);
}

QWidget *MainWindow::BuildRuleListPage()
{
    auto *page = new QWidget;
    ruleList_ = ReportList(QStringLiteral("超级列表框2"), QStringLiteral("采集规则列表"),
                           {{QStringLiteral("ID"), 50, Qt::AlignLeft},
                            {QStringLiteral("采集名称 ( 右键编辑/删除 )"), 300, Qt::AlignLeft},
                            {QStringLiteral("方式"), 100, Qt::AlignHCenter},
                            {QStringLiteral("状态"), 50, Qt::AlignHCenter},
                            {QStringLiteral("添加时间"), 260, Qt::AlignLeft}});
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(ruleList_);
    return page;
}

QWidget *MainWindow::BuildRuleEditorPage()
{
    auto *page = new QWidget;

    auto *titleLabel = Label(QStringLiteral("标签1"), QStringLiteral("采集名称："));
    auto *title = Named(new QLineEdit, QStringLiteral("编辑框1"));
    Pair(titleLabel, title);
    auto *save = Button(QStringLiteral("按钮2"), QStringLiteral("添加"), 80);
    auto *titleRow = new QHBoxLayout;
    titleRow->setContentsMargins(8, 8, 8, 0);
    titleRow->addWidget(titleLabel);
    titleRow->addWidget(title, 1);
    titleRow->addSpacing(32);
    titleRow->addWidget(save);
    titleRow->addStretch();

    auto *methods = Named(new QGroupBox, QStringLiteral("分组框1"));
    auto *markerMethod = Named(new QRadioButton(QStringLiteral("[方式一]标记取出方式")), QStringLiteral("单选框1"));
    auto *elementMethod = Named(new QRadioButton(QStringLiteral("[方式二]元素取出方式")), QStringLiteral("单选框2"));
    markerMethod->setChecked(true);
    auto *methodRow = new QHBoxLayout(methods);
    methodRow->setContentsMargins(32, 4, 8, 4);
    methodRow->addWidget(markerMethod);
    methodRow->addSpacing(20);
    methodRow->addWidget(elementMethod);
    methodRow->addStretch();

    extractionPages_ = Named(new QTabWidget, QStringLiteral("选择夹2"));
    auto *markerPage = new QWidget;
    auto *leftLabel = Label(QStringLiteral("标签2"), QStringLiteral("标记左"));
    auto *left = Named(new QPlainTextEdit, QStringLiteral("编辑框2"));
    auto *rightLabel = Label(QStringLiteral("标签3"), QStringLiteral("标记右"));
    auto *right = Named(new QPlainTextEdit, QStringLiteral("编辑框3"));
    for (auto *box : {left, right}) {
        box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        box->setTabChangesFocus(true);
        box->setMinimumHeight(60);
    }
    Pair(leftLabel, left);
    Pair(rightLabel, right);
    auto *markerGrid = new QGridLayout(markerPage);
    markerGrid->setContentsMargins(6, 6, 6, 6);
    markerGrid->addWidget(leftLabel, 0, 0);
    markerGrid->addWidget(rightLabel, 0, 1);
    markerGrid->addWidget(left, 1, 0);
    markerGrid->addWidget(right, 1, 1);

    auto *elementPage = new QWidget;
    auto *nameLabel = Label(QStringLiteral("标签6"), QStringLiteral("元素名称："));
    auto *name = Named(new QLineEdit, QStringLiteral("编辑框7"));
    auto *hint = Label(QStringLiteral("标签8"), QStringLiteral("支持：标题/索引/ID/Class等方式。"));
    auto *kindLabel = Label(QStringLiteral("标签7"), QStringLiteral("元素类型："));
    auto *kind = Named(new QComboBox, QStringLiteral("组合框2"));
    for (const std::string_view name : kElementKinds)
        kind->addItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    kind->setMinimumWidth(100);
    Pair(nameLabel, name);
    Pair(kindLabel, kind);
    auto *elementGrid = new QGridLayout(elementPage);
    elementGrid->setContentsMargins(48, 18, 8, 8);
    elementGrid->addWidget(nameLabel, 0, 0);
    elementGrid->addWidget(name, 0, 1);
    elementGrid->addWidget(hint, 0, 2);
    elementGrid->addWidget(kindLabel, 1, 0);
    elementGrid->addWidget(kind, 1, 1, Qt::AlignLeft);
    elementGrid->setColumnStretch(1, 1);
    elementGrid->setRowStretch(2, 1);

    extractionPages_->addTab(markerPage, QString());
    extractionPages_->addTab(elementPage, QString());
    extractionPages_->setCurrentIndex(0);

    auto *testGroup = Named(new QGroupBox(QStringLiteral("采集测试")), QStringLiteral("分组框4"));
    auto *linkLabel = Label(QStringLiteral("标签5"), QStringLiteral("链接地址："));
    auto *link = Named(new QLineEdit, QStringLiteral("编辑框6"));
    Pair(linkLabel, link);
    auto *pick = Button(QStringLiteral("按钮1"), QStringLiteral("选取标记/元素"), 88);
    auto *test = Button(QStringLiteral("按钮4"), QStringLiteral("测试规则"), 104);
    auto *testRow = new QHBoxLayout(testGroup);
    testRow->setContentsMargins(16, 8, 16, 8);
    testRow->addWidget(linkLabel);
    testRow->addWidget(link, 1);
    testRow->addWidget(pick);
    testRow->addWidget(test);

    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(titleRow);
    layout->addWidget(methods);
    layout->addWidget(extractionPages_, 1);
    layout->addWidget(testGroup);

    setTabOrder(title, save);
    setTabOrder(save, markerMethod);
    setTabOrder(markerMethod, elementMethod);
    setTabOrder(elementMethod, extractionPages_);
    setTabOrder(extractionPages_, left);
    setTabOrder(left, right);
    setTabOrder(right, name);
    setTabOrder(name, kind);
    setTabOrder(kind, link);
    setTabOrder(link, pick);
    setTabOrder(pick, test);
    return page;
}

QWidget *MainWindow::BuildRecordListPage()
{
    auto *page = new QWidget;
    recordList_ = ReportList(QStringLiteral("超级列表框4"), QStringLiteral("记录列表"),
                             {{QStringLiteral("ID"), 50, Qt::AlignLeft},
                              {QStringLiteral("文件名（右键操作)"), 300, Qt::AlignLeft},
                              {QStringLiteral("保存时间"), 200, Qt::AlignLeft}});
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(recordList_);
    return page;
}

QWidget *MainWindow::BuildAboutPage()
{
    aboutPage_ = new QWidget;
    auto *layout = new QVBoxLayout(aboutPage_);
    layout->setContentsMargins(1, 1, 1, 1);
    return aboutPage_;
}

// The browser engine starts only when the user first looks at this page, so
// that start-up stays fast and starts no browser process.
void MainWindow::ShowAboutPageOnce()
{
    if (aboutBrowser_)
        return;
    aboutBrowser_ = Named(new QWebEngineView(aboutPage_), QStringLiteral("超文本浏览框1"));
    aboutBrowser_->setAccessibleName(QStringLiteral("关于我们"));
    aboutPage_->layout()->addWidget(aboutBrowser_);
    aboutBrowser_->setUrl(QUrl(QStringLiteral("qrc:/about/index.html")));
}

void MainWindow::BuildMenus()
{
    ruleMenu_ = Named(new QMenu(QStringLiteral("采集管理"), this), QStringLiteral("采集管理"));
    for (const char16_t *item : {u"刷新", u"启用/关闭", u"编辑", u"测试", u"删除"})
        MenuItem(ruleMenu_, QString::fromUtf16(item));
    recordMenu_ = Named(new QMenu(QStringLiteral("记录操作"), this), QStringLiteral("记录操作"));
    for (const char16_t *item : {u"刷新列表", u"查看"})
        MenuItem(recordMenu_, QString::fromUtf16(item));
    gridMenu_ = Named(new QMenu(QStringLiteral("列表操作"), this), QStringLiteral("列表操作"));
    for (const char16_t *item : {u"删除记录", u"浏览器打开[默认浏览器]"})
        MenuItem(gridMenu_, QString::fromUtf16(item));
}

void MainWindow::BuildStatusBar()
{
    runProgressText_ = Named(new QLabel, QStringLiteral("抓取进度说明"));
    runProgress_ = Named(new QProgressBar, QStringLiteral("抓取进度"));
    runProgress_->setAccessibleName(QStringLiteral("抓取进度"));
    runProgress_->setMaximumWidth(240);
    runProgress_->setFormat(QStringLiteral("%v / %m"));
    statusBar()->addWidget(runProgressText_, 1);
    statusBar()->addPermanentWidget(runProgress_);
    runProgress_->hide();
    runProgressText_->hide();
    statusBar()->hide();
}

void MainWindow::ShowRunProgress(int done, int total, const QString &product)
{
    runProgress_->setRange(0, total);
    runProgress_->setValue(done);
    runProgressText_->setText(product);
    runProgress_->show();
    runProgressText_->show();
    statusBar()->show();
}

void MainWindow::HideRunProgress()
{
    runProgress_->hide();
    runProgressText_->hide();
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
