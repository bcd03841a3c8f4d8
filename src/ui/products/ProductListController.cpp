#include "ui/products/ProductListController.h"

#include "ui/Session.h"
#include "products/GridSearch.h"
#include "products/LinkFile.h"
#include "products/ProductGridModel.h"
#include "products/RecordFile.h"
#include "support/FileIo.h"
#include "support/Gbk.h"
#include "support/HostName.h"
#include "support/ListText.h"
#include "support/TextUtils.h"
#include "ui/ContextMenuHook.h"
#include "ui/MainWindow.h"
#include "ui/MessageBox.h"
#include "ui/ShellOpen.h"

#include <QAction>
#include <QEventLoop>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

namespace corvix {
namespace {

QAction *MenuAction(QMenu *menu, const QString &name)
{
    return menu->findChild<QAction *>(name);
}

int SelectedRow(const QTreeView *view)
{
    const QModelIndexList rows = view->selectionModel() ? view->selectionModel()->selectedRows() : QModelIndexList();
    return rows.isEmpty() ? -1 : rows.constFirst().row();
}

// The physical line (1-based) of the record file that holds grid row `row`:
// empty lines are skipped when a record is loaded, so they hold no row. 0 when
// the record has fewer rows.
long long RecordLineOfRow(std::string_view record, int row)
{
    const std::vector<std::string> lines = SplitText(record, "\r\n");
    int seen = -1;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].empty())
            continue;
        if (++seen == row)
            return static_cast<long long>(i) + 1;
    }
    return 0;
}

} // namespace

GridHit HitTestGrid(const QTreeView *view, const QPoint &viewportPos)
{
    GridHit hit;
    const QModelIndex index = view->indexAt(viewportPos);
    hit.row = index.isValid() ? index.row() : -1;
    hit.column = view->header()->logicalIndexAt(viewportPos.x());
    return hit;
}

ProductListController::ProductListController(MainWindow *window, Session &session)
    : QObject(window), window_(window), grid_(window->Grid()), view_(window->GridView()), session_(session)
{
    if (auto *search = window_->findChild<QPushButton *>(QStringLiteral("按钮8")))
        connect(search, &QPushButton::clicked, this, &ProductListController::SearchGrid);
    view_->viewport()->installEventFilter(this);
    OnContextMenu(view_, [this](const QPoint &globalPos, bool) { ShowGridMenu(globalPos); });
    QMenu *menu = window_->GridMenu();
    if (QAction *remove = MenuAction(menu, QStringLiteral("删除记录")))
        connect(remove, &QAction::triggered, this, &ProductListController::DeleteProductRow);
    if (QAction *open = MenuAction(menu, QStringLiteral("浏览器打开[默认浏览器]")))
        connect(open, &QAction::triggered, this, &ProductListController::OpenLinkInBrowser);
}

bool ProductListController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == view_->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton)
            GridLeftButtonDown(mouse->position().toPoint());
        else if (mouse->button() == Qt::RightButton)
            GridRightButtonDown(mouse->position().toPoint());
    }
    return false; // the view still selects the row
}

void ProductListController::SearchGrid()
{
    auto *box = window_->findChild<QLineEdit *>(QStringLiteral("编辑框8"));
    if (!box || box->text().isEmpty())
        return;
    const std::string text = ToGbk(box->text());
    const int row = SearchGridRows(*grid_, text);
    if (row < 0) {
        ShowMessage(QStringLiteral("没有找到：") + box->text());
        return;
    }
    const QModelIndex index = grid_->index(row, 0);
    view_->selectionModel()->setCurrentIndex(index,
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view_->scrollTo(index);
}

void ProductListController::GridLeftButtonDown(const QPoint &viewportPos)
{
    const GridHit hit = HitTestGrid(view_, viewportPos);
    session_.currentCell.Reset();
    if (hit.row != -1)
        return;
    const int row = grid_->AppendRow();
    grid_->SetText(row, 0, std::to_string(row + 1));
}

void ProductListController::GridRightButtonDown(const QPoint &viewportPos)
{
    const GridHit hit = HitTestGrid(view_, viewportPos);
    // Below the last row there is no product (and no section) to name.
    if (hit.column <= 1 || hit.row < 0)
        return;
    CurrentCell &cell = session_.currentCell;
    cell.row = hit.row;
    cell.column = hit.column;
    cell.title = grid_->Title(hit.column);
}

void ProductListController::ShowGridMenu(const QPoint &globalPos)
{
    if (SelectedRow(view_) < 0)
        return;
    window_->GridMenu()->popup(globalPos);
}

void ProductListController::DeleteProductRow()
{
    if (grid_->ShowsOlderRecord()) {
        ShowMessage(QStringLiteral("正在查看以前的记录，不能删除：删除只用于当前的抓取结果。"));
        return;
    }
    QAction *item = MenuAction(window_->GridMenu(), QStringLiteral("删除记录"));
    if (item)
        item->setEnabled(false);
    const int row = SelectedRow(view_);
    if (row >= 0 && RemoveRowFromFiles(row)) {
        session_.resultsChanged = true;
        grid_->RemoveRow(row);
        grid_->RenumberIds();
    }
    if (item)
        item->setEnabled(true);
}

// url.ini and the newest record both number the rows: they are replaced
// together, so that neither can keep a row the other has lost.
bool ProductListController::RemoveRowFromFiles(int row)
{
    const DataDirs &dirs = session_.dirs;
    const std::filesystem::path linkPath = LinkFilePath(dirs);
    const std::string linksBefore = ReadWholeFile(linkPath, StopAt::ZeroOrTextEnd);
    LinkFile links = LinkFile::Parse(linksBefore);
    links.RemoveProductSection(row);
    const std::string linksAfter = links.Text();

    std::vector<FileContents> changed;
    if (linksAfter != linksBefore)
        changed.push_back({linkPath, linksAfter});
    std::string recordAfter;
    const std::string newest = NewestRecordName(dirs.dbDir);
    if (!newest.empty()) {
        const std::filesystem::path recordPath = PathInDir(dirs.dbDir, newest);
        const std::string record = ReadWholeFile(recordPath, StopAt::ZeroByte);
        if (const long long line = RecordLineOfRow(record, row); line > 0) {
            recordAfter = RemoveLine(record, line);
            changed.push_back({recordPath, recordAfter});
        }
    }
    std::filesystem::path failed;
    if (!WriteFilesTogether(changed, &failed)) {
        ShowWriteFailure(QStringLiteral("删除记录"), failed);
        return false;
    }
    return true;
}

void ProductListController::OpenLinkInBrowser()
{
    const CurrentCell cell = session_.currentCell;
    const std::string &columnTitle = grid_->Title(cell.column);
    const std::string link = ReadLink(session_.dirs, cell.row, columnTitle);
    if (link.empty()) {
        ShowMessage(QStringLiteral("未发现 \"") + FromGbk(columnTitle) + QStringLiteral("\"的任何链接可打开。"));
        return;
    }
    // Only a web page goes to the desktop: its open action would as well start
    // a program or open a local file for any other address.
    const std::string address = WebAddress(link);
    const QString shown = FromGbk(link);
    if (address.empty()) {
        ShowMessage(QStringLiteral("这个链接不是网页地址，不能用浏览器打开：\r\n") + shown
                    + QStringLiteral("\r\n只能打开 http 或 https 链接。"));
        return;
    }
    const QPointer<MainWindow> window(window_);
    window->setWindowTitle(QStringLiteral("即将打开：") + shown);
    QEventLoop wait;
    QTimer::singleShot(1000, &wait, &QEventLoop::quit);
    wait.exec();
    if (!window)
        return; // the program was closed meanwhile
    window->setWindowTitle(QStringLiteral("Corvix"));
    OpenWithShell(QUrl(FromGbk(address)));
}

} // namespace corvix
