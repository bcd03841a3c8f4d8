#pragma once
// The handlers of the product grid 超级列表框1 on the page "列表": the search
// (按钮8), the mouse buttons on the grid, the menu "列表操作" with 删除记录 and
// 浏览器打开[默认浏览器].
#include <QObject>
#include <QPoint>

class QTreeView;

namespace corvix {

struct Session;

class MainWindow;
class ProductGridModel;

// Row and column under a point of the grid's viewport; row -1 below the last
// row, column -1 right of the last column.
struct GridHit {
    int row = -1;
    int column = -1;
};
GridHit HitTestGrid(const QTreeView *view, const QPoint &viewportPos);

class ProductListController : public QObject {
    Q_OBJECT
public:
    ProductListController(MainWindow *window, Session &session);

    void SearchGrid();
    void GridLeftButtonDown(const QPoint &viewportPos);
    void GridRightButtonDown(const QPoint &viewportPos);
    // Pops up "列表操作" at globalPos when a row is selected.
    void ShowGridMenu(const QPoint &globalPos);
    void DeleteProductRow();
    void OpenLinkInBrowser();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // False (and told) when url.ini or the newest record could not be written.
    bool RemoveRowFromFiles(int row);

    MainWindow *window_;
    ProductGridModel *grid_;
    QTreeView *view_;
    Session &session_;
};

} // namespace corvix
