#pragma once
// The handlers of the product grid 超级列表框1 on the page "列表": the search
// (按钮8), the mouse buttons on the grid, the menu "列表操作" with 删除记录 and
// 浏览器打开[默认浏览器].
#include <QObject>
#include <QPoint>

namespace corvix {

struct Session;

class MainWindow;
class ProductGridModel;
class ProductListPage;

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
    void OpenLinkInBrowser();

private:
    // False (and told) when url.ini or the newest record could not be written.
    bool RemoveRowFromFiles(int row);

    MainWindow *window_;
    ProductListPage *page_;
    ProductGridModel *grid_;
    Session &session_;
};

} // namespace corvix
