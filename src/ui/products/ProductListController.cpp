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
#include "ui/MainWindow.h"
#include "ui/MessageBox.h"
#include "ui/ShellOpen.h"
#include "ui/pages/ProductListPage.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>

namespace corvix {
namespace {

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

ProductListController::ProductListController(MainWindow *window, Session &session)
    : QObject(window), window_(window), page_(window->ListPage()), grid_(page_->Grid()), session_(session)
{
    connect(page_, &ProductListPage::searchRequested, this, &ProductListController::SearchGrid);
    connect(page_, &ProductListPage::gridLeftPressed, this, &ProductListController::GridLeftButtonDown);
    connect(page_, &ProductListPage::gridRightPressed, this, &ProductListController::GridRightButtonDown);
    connect(page_, &ProductListPage::deleteRowRequested, this, &ProductListController::DeleteProductRow);
    connect(page_, &ProductListPage::openLinkRequested, this, &ProductListController::OpenLinkInBrowser);
}

void ProductListController::SearchGrid()
{
    const QString typed = page_->SearchText();
    if (typed.isEmpty())
        return;
    const int row = SearchGridRows(*grid_, ToGbk(typed));
    if (row < 0) {
        ShowMessage(QStringLiteral("没有找到：") + typed);
        return;
    }
    page_->SelectAndShowRow(row);
}

void ProductListController::GridLeftButtonDown(const QPoint &viewportPos)
{
    const GridHit hit = page_->HitTest(viewportPos);
    session_.currentCell.Reset();
    if (hit.row != -1)
        return;
    const int row = grid_->AppendRow();
    grid_->SetText(row, 0, std::to_string(row + 1));
}

void ProductListController::GridRightButtonDown(const QPoint &viewportPos)
{
    const GridHit hit = page_->HitTest(viewportPos);
    // Below the last row there is no product (and no section) to name.
    if (hit.column <= 1 || hit.row < 0)
        return;
    CurrentCell &cell = session_.currentCell;
    cell.row = hit.row;
    cell.column = hit.column;
    cell.title = grid_->Title(hit.column);
}

void ProductListController::DeleteProductRow()
{
    if (grid_->ShowsOlderRecord()) {
        ShowMessage(QStringLiteral("正在查看以前的记录，不能删除：删除只用于当前的抓取结果。"));
        return;
    }
    const int row = page_->SelectedRow();
    if (row < 0)
        return;
    const std::string &title = grid_->Text(row, kProductTitleColumn);
    QString what = QStringLiteral("第%1行").arg(row + 1);
    if (!title.empty())
        what += QStringLiteral("“") + FromGbk(title) + QStringLiteral("”");
    // The row cannot be brought back: its links and its prices go with it.
    page_->SetDeleteRowEnabled(false);
    if (ConfirmDelete(what) && RemoveRowFromFiles(row)) {
        session_.resultsChanged = true;
        grid_->RemoveRow(row);
        grid_->RenumberIds();
    }
    page_->SetDeleteRowEnabled(true);
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
