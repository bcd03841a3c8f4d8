#pragma once
// The handlers of the product grid 超级列表框1 on the page "列表": the search
// (按钮8), the mouse buttons on the grid, the menu "列表操作" with 删除记录,
// 撤销删除, 编辑商品… and 浏览器打开[默认浏览器], and a double-click on a title.
#include "products/ProductChanges.h"

#include <QObject>
#include <QPoint>

#include <optional>
#include <string>
#include <vector>

namespace corvix {

struct Session;

class CaptureRunController;
class MainWindow;
class ProductGridModel;
class ProductListPage;
class ProductWindow;

class ProductListController : public QObject {
    Q_OBJECT
public:
    // Binds the window's page "列表"; the window's caption announces a link
    // about to open.
    ProductListController(MainWindow *window, Session &session);

    void SearchGrid();
    void GridLeftButtonDown(const QPoint &viewportPos);
    void GridRightButtonDown(const QPoint &viewportPos);
    void DeleteProductRow();
    // Brings back the row the last 删除记录 took, with its url.ini section and
    // its line of the newest record. Anything else that changes the rows or
    // their files (a run, an edit) makes it too late.
    void UndoDelete();
    bool CanUndoDelete() const { return deleted_.has_value(); }
    // Opens ProductWindow (window-modal) for the row and returns it; nullptr,
    // with a message, while a run goes on or an older record is shown.
    ProductWindow *EditProduct(int row);
    void OpenLinkInBrowser();
    // Edits wait for the end of a run; a run makes 撤销删除 too late.
    void FollowRun(CaptureRunController *run);

private:
    struct DeletedRow {
        ProductDeletion files;
        std::vector<std::string> cells;
    };
    void ForgetDeletion();
    // False (and told) when the window's entries are refused or cannot be written.
    // keys: the shop titles of the window's link boxes, in their order.
    bool StoreProduct(const ProductWindow &window, int row, const std::vector<std::string> &keys);
    // True, and told, while the rows cannot be changed by `what`: during a run
    // or while an older record is shown.
    bool EditRefused(const QString &what);
    void GridDoubleClicked(const QPoint &viewportPos);

    MainWindow *window_;
    ProductListPage *page_;
    ProductGridModel *grid_;
    Session &session_;
    const CaptureRunController *run_ = nullptr;
    std::optional<DeletedRow> deleted_;
};

} // namespace corvix
