#include "ui/products/ProductListController.h"

#include "ui/Session.h"
#include "products/GridSearch.h"
#include "products/LinkFile.h"
#include "products/PackSizeFile.h"
#include "products/PriceAlerts.h"
#include "products/ProductGridModel.h"
#include "products/RecordFile.h"
#include "support/DataRoot.h"
#include "support/FileIo.h"
#include "support/Gbk.h"
#include "support/HostName.h"
#include "support/ListText.h"
#include "support/TextUtils.h"
#include "ui/MainWindow.h"
#include "ui/MessageBox.h"
#include "ui/ShellOpen.h"
#include "ui/capture/CaptureRunController.h"
#include "ui/pages/ProductListPage.h"
#include "ui/products/ProductWindow.h"

#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

#include <algorithm>

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

// How many rows of the grid hold the product titled title.
int TitleRows(const ProductGridModel &grid, const std::string &title)
{
    int rows = 0;
    for (int r = 0; r < grid.RowCount(); ++r)
        rows += grid.Text(r, kProductTitleColumn) == title ? 1 : 0;
    return rows;
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
    connect(page_, &ProductListPage::undoDeleteRequested, this, &ProductListController::UndoDelete);
    connect(page_, &ProductListPage::editProductRequested, this, [this] {
        if (const int row = page_->SelectedRow(); row >= 0)
            EditProduct(row);
    });
    connect(page_, &ProductListPage::gridDoubleClicked, this, &ProductListController::GridDoubleClicked);
    // The row a deletion took can only go back among the rows it was taken
    // from: new rows, other columns, a changed title or price make it too late.
    connect(grid_, &QAbstractItemModel::modelReset, this, &ProductListController::ForgetDeletion);
    connect(grid_, &QAbstractItemModel::columnsInserted, this, &ProductListController::ForgetDeletion);
    connect(grid_, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex &topLeft) {
        if (topLeft.column() > 0) // the IDs are renumbered by every deletion
            ForgetDeletion();
    });
}

void ProductListController::FollowRun(CaptureRunController *run)
{
    run_ = run;
    connect(run, &CaptureRunController::runStarted, this, &ProductListController::ForgetDeletion);
}

void ProductListController::ForgetDeletion()
{
    deleted_.reset();
    page_->SetUndoDeleteEnabled(false);
}

bool ProductListController::EditRefused(const QString &what)
{
    if (run_ && run_->Running()) {
        ShowMessage(QStringLiteral("正在抓取，不能") + what + QStringLiteral("：请等抓取结束。"));
        return true;
    }
    if (grid_->ShowsOlderRecord()) {
        ShowMessage(QStringLiteral("正在查看以前的记录，不能") + what + QStringLiteral("：这只用于当前的抓取结果。"));
        return true;
    }
    return false;
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
    if (ConfirmDelete(what)) {
        if (std::optional<DeletedRow> deleted = RemoveRowFromFiles(row)) {
            session_.resultsChanged = true;
            deleted->cells = grid_->Rows()[static_cast<size_t>(row)];
            grid_->RemoveRow(row);
            grid_->RenumberIds();
            deleted_ = std::move(deleted);
            page_->SetUndoDeleteEnabled(true);
        }
    }
    page_->SetDeleteRowEnabled(true);
}

// url.ini and the newest record both number the rows: they are replaced
// together (with the product's alerts), so that neither can keep a row the
// other has lost, even when the process ends on the way.
std::optional<ProductListController::DeletedRow> ProductListController::RemoveRowFromFiles(int row)
{
    DeletedRow deleted;
    deleted.row = row;
    const DataDirs &dirs = session_.dirs;
    const std::filesystem::path linkPath = LinkFilePath(dirs);
    const std::string linksBefore = ReadWholeFile(linkPath, StopAt::ZeroOrTextEnd).value_or(std::string());
    LinkFile links = LinkFile::Parse(linksBefore);
    deleted.links = links.TakeProductSection(row);
    const std::string linksAfter = links.Text();

    std::vector<FileContents> changed;
    if (linksAfter != linksBefore)
        changed.push_back({linkPath, linksAfter});
    std::string recordAfter;
    const std::string newest = NewestRecordName(dirs.dbDir);
    if (!newest.empty()) {
        const std::filesystem::path recordPath = PathInDir(dirs.dbDir, newest);
        const std::string record = ReadWholeFile(recordPath, StopAt::ZeroByte).value_or(std::string());
        const long long line = RecordLineOfRow(record, row);
        // Rows follow url.ini: after an import that no run has captured, the
        // record's line of that number may be another product's.
        const std::string lineText = line > 0 ? SplitText(record, "\r\n")[static_cast<size_t>(line - 1)] : std::string();
        if (line > 0 && SplitText(lineText, "|", 2).front() == grid_->Text(row, kProductTitleColumn)) {
            recordAfter = RemoveLine(record, line);
            changed.push_back({recordPath, recordAfter});
            deleted.record = recordPath;
            deleted.recordLine = line;
            deleted.recordLineText = lineText;
        }
    }
    // The product's alerts go with its last row: they are kept by title.
    const std::string &title = grid_->Text(row, kProductTitleColumn);
    const std::filesystem::path alertsPath = AlertsFilePath(dirs);
    std::string alertsAfter;
    if (!title.empty() && TitleRows(*grid_, title) == 1) {
        PriceAlerts alerts = PriceAlerts::Load(alertsPath);
        deleted.alerts = alerts.TakeProduct(title);
        if (!deleted.alerts.empty()) {
            alertsAfter = alerts.Text();
            changed.push_back({alertsPath, alertsAfter});
        }
    }
    if (const auto written = WriteFilesTogether(changed, ChangeJournalPath(session_.dirs.root)); !written) {
        ShowWriteFailure(QStringLiteral("删除记录"), written.error());
        return std::nullopt;
    }
    return deleted;
}

void ProductListController::UndoDelete()
{
    if (!deleted_ || EditRefused(QStringLiteral("撤销删除")))
        return;
    const DeletedRow &deleted = *deleted_;
    const std::filesystem::path linkPath = LinkFilePath(session_.dirs);
    const std::string linksBefore = ReadWholeFile(linkPath, StopAt::ZeroOrTextEnd).value_or(std::string());
    LinkFile links = LinkFile::Parse(linksBefore);
    links.RestoreProductSection(deleted.row, deleted.links);
    // FileContents only views the bytes: they live until the write is done.
    const std::string linksAfter = links.Text();
    std::string recordAfter;
    std::vector<FileContents> changed;
    if (linksAfter != linksBefore)
        changed.push_back({linkPath, linksAfter});
    if (!deleted.record.empty()) {
        recordAfter = InsertLine(ReadWholeFile(deleted.record, StopAt::ZeroByte).value_or(std::string()), deleted.recordLine,
                                 deleted.recordLineText);
        changed.push_back({deleted.record, recordAfter});
    }
    const std::filesystem::path alertsPath = AlertsFilePath(session_.dirs);
    std::string alertsAfter;
    if (!deleted.alerts.empty()) {
        PriceAlerts alerts = PriceAlerts::Load(alertsPath);
        for (const PriceAlert &alert : deleted.alerts)
            if (!alerts.Find(alert.product, alert.shop)) // one set again meanwhile stays
                alerts.All().push_back(alert);
        alertsAfter = alerts.Text();
        changed.push_back({alertsPath, alertsAfter});
    }
    if (const auto written = WriteFilesTogether(changed, ChangeJournalPath(session_.dirs.root)); !written) {
        ShowWriteFailure(QStringLiteral("撤销删除"), written.error());
        return; // still there to be tried again
    }
    const int row = std::min(deleted.row, grid_->RowCount());
    grid_->InsertRow(row, deleted.cells);
    grid_->RenumberIds();
    ForgetDeletion();
    page_->SelectAndShowRow(row);
}

void ProductListController::GridDoubleClicked(const QPoint &viewportPos)
{
    const GridHit hit = page_->HitTest(viewportPos);
    if (hit.column == kProductTitleColumn && hit.row >= 0)
        EditProduct(hit.row);
}

ProductWindow *ProductListController::EditProduct(int row)
{
    if (row < 0 || row >= grid_->RowCount() || EditRefused(QStringLiteral("编辑商品")))
        return nullptr;
    std::vector<std::string> keys;
    std::vector<ProductWindow::Shop> shops;
    const std::string &product = grid_->Text(row, kProductTitleColumn);
    const PackSizeFile packs = PackSizeFile::Load(PackSizeFilePath(session_.dirs));
    for (int c = kFirstSiteColumn; c < grid_->ColumnCount(); ++c) {
        keys.push_back(grid_->Title(c));
        const std::string &key = keys.back();
        shops.push_back({FromGbk(key), FromGbk(ReadLink(session_.dirs, row, key)), IsStorableKey(key),
                         FromGbk(packs.SizeText(product, key))});
    }
    const std::optional<PriceUnit> unit = packs.ChosenUnit(product);
    auto *window = new ProductWindow(FromGbk(product), shops, page_->window(),
                                     unit ? static_cast<int>(*unit) + 1 : 0);
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, &ProductWindow::storeRequested, this, [this, window, row, keys] {
        if (StoreProduct(*window, row, keys))
            window->accept();
    });
    window->open();
    return window;
}

// The whole section is written at once: a product never stands half edited.
bool ProductListController::StoreProduct(const ProductWindow &window, int row, const std::vector<std::string> &keys)
{
    if (row >= grid_->RowCount() || EditRefused(QStringLiteral("编辑商品")))
        return false;
    const std::vector<QLineEdit *> &boxes = window.LinkBoxes();
    std::vector<std::string> links;
    for (QLineEdit *box : boxes) {
        links.push_back(SingleLineText(ToGbk(box->text())));
        if (!links.back().empty() && FirstHostName(links.back()).empty()) {
            ShowMessage(QStringLiteral("输入的链接不正确！\r\n请确保链接中带有：http 或 https 等协议。"));
            box->setFocus();
            return false;
        }
    }
    const std::filesystem::path path = LinkFilePath(session_.dirs);
    const std::string before = ReadWholeFile(path, StopAt::ZeroOrTextEnd).value_or(std::string());
    LinkFile file = LinkFile::Parse(before);
    const std::string title = SingleLineText(ToGbk(window.TitleBox()->text()));
    file.SetOrRemoveProductValue(row, "title", title);
    std::vector<size_t> changedLinks;
    for (size_t i = 0; i < boxes.size() && i < keys.size(); ++i) {
        if (!IsStorableKey(keys[i]) || file.ProductValue(row, keys[i]) == links[i])
            continue;
        file.SetOrRemoveProductValue(row, keys[i], links[i]);
        changedLinks.push_back(i);
    }
    if (const std::string after = file.Text(); after != before) {
        if (const auto written = WriteFileAtomically(path, after); !written) {
            ShowWriteFailure(QStringLiteral("保存商品"), written.error());
            return false;
        }
    }
    const std::string oldTitle = grid_->Text(row, kProductTitleColumn);
    if (!StoreSizes(window, oldTitle, title, keys))
        return false;
    ForgetDeletion();
    grid_->SetText(row, kProductTitleColumn, title);
    // A new link's price is not known yet; a cell without link has none.
    for (size_t i : changedLinks)
        grid_->SetText(row, grid_->FindColumn(keys[i]), links[i].empty() ? "" : "-");
    return true;
}

// Sizes and alerts are kept by title: a renamed product takes them along,
// unless another row still bears the old title.
bool ProductListController::StoreSizes(const ProductWindow &window, const std::string &oldTitle,
                                       const std::string &title, const std::vector<std::string> &keys)
{
    int rowsOfOldTitle = 0;
    for (int r = 0; r < grid_->RowCount(); ++r)
        rowsOfOldTitle += grid_->Text(r, kProductTitleColumn) == oldTitle;
    const bool renamed = !oldTitle.empty() && oldTitle != title && rowsOfOldTitle == 1;

    const std::filesystem::path packsPath = PackSizeFilePath(session_.dirs);
    PackSizeFile packs = PackSizeFile::Load(packsPath);
    const std::string packsBefore = packs.Text();
    if (renamed)
        packs.RenameProduct(oldTitle, title);
    const std::vector<QLineEdit *> &sizes = window.SizeBoxes();
    for (size_t i = 0; i < sizes.size() && i < keys.size(); ++i)
        if (IsStorableKey(keys[i]))
            packs.SetSize(title, keys[i], SingleLineText(ToGbk(sizes[i]->text())));
    const int unit = window.UnitBox()->currentIndex();
    packs.SetChosenUnit(title, unit > 0 ? std::optional(static_cast<PriceUnit>(unit - 1)) : std::nullopt);
    if (packs.Text() != packsBefore) {
        if (const auto written = packs.Save(packsPath); !written) {
            ShowWriteFailure(QStringLiteral("保存规格"), written.error());
            return false;
        }
    }
    if (renamed) {
        const std::filesystem::path alertsPath = AlertsFilePath(session_.dirs);
        PriceAlerts alerts = PriceAlerts::Load(alertsPath);
        if (alerts.HasProduct(oldTitle)) {
            for (PriceAlert alert : alerts.TakeProduct(oldTitle)) {
                alert.product = title;
                alerts.Set(std::move(alert));
            }
            if (const auto written = alerts.Save(alertsPath); !written) {
                ShowWriteFailure(QStringLiteral("设置提醒"), written.error());
                return false;
            }
        }
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
