#include "ui/products/ProductListController.h"

#include "ui/Session.h"
#include "products/GridSearch.h"
#include "products/LinkFile.h"
#include "products/PackSizeFile.h"
#include "products/ProductChanges.h"
#include "products/ProductGridModel.h"
#include "support/Gbk.h"
#include "support/HostName.h"
#include "ui/MainWindow.h"
#include "ui/MessageBox.h"
#include "ui/ShellOpen.h"
#include "ui/capture/CaptureRunController.h"
#include "ui/pages/ProductListPage.h"
#include "ui/products/ProductWindow.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>

namespace corvix {

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
        if (Result<ProductDeletion> deleted = DeleteProduct(session_.dirs, *grid_, row); !deleted) {
            ShowFileFailure(QStringLiteral("删除记录"), deleted.error());
        } else {
            session_.resultsChanged = true;
            deleted_ = DeletedRow{std::move(*deleted), grid_->Rows()[static_cast<size_t>(row)]};
            grid_->RemoveRow(row);
            grid_->RenumberIds();
            page_->SetUndoDeleteEnabled(true);
        }
    }
    page_->SetDeleteRowEnabled(true);
}

void ProductListController::UndoDelete()
{
    if (!deleted_ || EditRefused(QStringLiteral("撤销删除")))
        return;
    if (const Result<void> undone = UndoProductDeletion(session_.dirs, deleted_->files); !undone) {
        ShowFileFailure(QStringLiteral("撤销删除"), undone.error());
        return; // still there to be tried again
    }
    const int row = std::min(deleted_->files.row, grid_->RowCount());
    grid_->InsertRow(row, deleted_->cells);
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
    ProductEdit edit;
    edit.title = SingleLineText(ToGbk(window.TitleBox()->text()));
    edit.shops = keys;
    edit.links = std::move(links);
    for (QLineEdit *box : window.SizeBoxes())
        edit.sizes.push_back(SingleLineText(ToGbk(box->text())));
    if (const int unit = window.UnitBox()->currentIndex(); unit > 0)
        edit.unit = static_cast<PriceUnit>(unit - 1);
    const Result<std::vector<size_t>> changedLinks = StoreProductEdit(session_.dirs, *grid_, row, edit);
    if (!changedLinks) {
        ShowFileFailure(QStringLiteral("保存商品"), changedLinks.error());
        return false;
    }
    ForgetDeletion();
    grid_->SetText(row, kProductTitleColumn, edit.title);
    // A new link's price is not known yet; a cell without link has none.
    for (size_t i : *changedLinks)
        grid_->SetText(row, grid_->FindColumn(keys[i]), edit.links[i].empty() ? "" : "-");
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
    // The caption says for a second what is about to open; the window goes on
    // meanwhile, and a window closed within that second opens nothing.
    window_->setWindowTitle(QStringLiteral("即将打开：") + shown);
    QTimer::singleShot(1000, window_, [window = window_, url = QUrl(FromGbk(address))] {
        window->setWindowTitle(QStringLiteral("Corvix"));
        OpenWithShell(url);
    });
}

} // namespace corvix
