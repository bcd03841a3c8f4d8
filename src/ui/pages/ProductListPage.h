#pragma once
// The page "列表": the search and action buttons in 分组框2 above the product
// grid 超级列表框1, and the grid's pop-up menu "列表操作". It reports what the user
// asks for; the controllers act on it.
#include <QWidget>

#include <string>

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QMenu;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTreeView;

namespace corvix {

class ProductGridModel;

// Row and column under a point of the grid's viewport; row -1 below the last
// row, column -1 right of the last column.
struct GridHit {
    int row = -1;
    int column = -1;
};

class ProductListPage : public QWidget {
    Q_OBJECT
public:
    explicit ProductListPage(QWidget *parent = nullptr);

    ProductGridModel *Grid() const { return grid_; }
    QTreeView *GridView() const { return gridView_; }
    QMenu *GridMenu() const { return gridMenu_; }
    // 编辑框8, as typed.
    QString SearchText() const;
    // The toggle "降价" beside the search: only the rows with a lower price than before.
    bool DropFilterOn() const;
    QCheckBox *DropFilter() const { return dropFilter_; }
    // The toggle "单价" beside it: prices per unit of each link's pack size.
    QCheckBox *UnitPricesToggle() const { return unitPrices_; }

    // Adds a product-grid column and gives the view its width.
    void AddGridColumn(const std::string &gbkTitle, int width, Qt::Alignment alignment);
    // A site column, centred, as wide as its title and at least 60 pixels.
    void AddShopColumn(const std::string &gbkTitle);
    // The same, inserted as grid column `column`.
    void InsertShopColumn(int column, const std::string &gbkTitle);
    int ShopColumnWidth(const QString &title) const;
    GridHit HitTest(const QPoint &viewportPos) const;
    // The selected row, -1 without one.
    int SelectedRow() const;
    // Makes the row the only selected one and scrolls it into view.
    void SelectAndShowRow(int row);
    // Pops up "列表操作" at globalPos when a row is selected.
    void ShowGridMenu(const QPoint &globalPos);
    void SetExportEnabled(bool enabled);
    // The line above the grid while it shows an older record: "正在查看 <time>
    // 的记录" and the button "返回当前结果". It goes when the grid shows current
    // results again, whoever brings them.
    void ShowOlderRecordBanner(const QString &saveTime);
    QWidget *OlderRecordBanner() const;
    // The steps of a first start, over the grid while it has no rows.
    QLabel *EmptyGridHint() const { return emptyHint_; }
    void SetDeleteRowEnabled(bool enabled);
    void SetUndoDeleteEnabled(bool enabled);
    // "同时抓取": how many links a run captures at once, 1 to kMaxParallelLinks.
    int ParallelLinks() const;
    // Values outside the range are taken as the nearest bound.
    void SetParallelLinks(int links);

signals:
    void searchRequested();      // 按钮8 "查询", or Enter in 编辑框8
    void runRequested();         // 按钮9 "开始抓取"
    void retryRequested();       // 按钮10 "失败重抓"
    void pasteImportRequested(); // 按钮5 "粘贴导入"
    void fileImportRequested();  // 按钮6 "文件导入"
    void exportRequested();      // 按钮7 "导出"
    void deleteRowRequested();   // menu item "删除记录", or the Delete key on the grid
    void undoDeleteRequested();  // menu item "撤销删除", or Ctrl+Z on the grid
    void editProductRequested(); // menu item "编辑商品…"
    void openLinkRequested();    // menu item "浏览器打开[默认浏览器]"
    void priceHistoryRequested(); // menu item "价格走势"
    void alertRequested();        // menu item "设置提醒…"
    void channelsRequested();     // menu item "提醒方式…"
    void dropFilterToggled(bool on); // the toggle "降价"
    void unitPricesToggled(bool on); // the toggle "单价"
    void backToCurrentRequested(); // "返回当前结果" in the older record's banner
    void parallelLinksChanged(int links); // the spin box "同时抓取", by the user or SetParallelLinks
    // Mouse buttons pressed on the grid, at a point of its viewport. The view
    // still selects the row after a press; a left double-click goes no further.
    void gridLeftPressed(const QPoint &viewportPos);
    void gridRightPressed(const QPoint &viewportPos);
    void gridDoubleClicked(const QPoint &viewportPos);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *BuildButtonRow();
    QWidget *BuildOlderRecordBanner();
    void BuildGrid();
    void BuildGridMenu();
    void BuildEmptyGridHint();
    void ShowEmptyGridHintWhenEmpty();

    QLineEdit *search_ = nullptr;
    QCheckBox *dropFilter_ = nullptr;
    QCheckBox *unitPrices_ = nullptr;
    QFrame *banner_ = nullptr;
    QLabel *bannerText_ = nullptr;
    QPushButton *exportButton_ = nullptr;
    QSpinBox *parallel_ = nullptr;
    ProductGridModel *grid_ = nullptr;
    QTreeView *gridView_ = nullptr;
    QLabel *emptyHint_ = nullptr;
    QMenu *gridMenu_ = nullptr;
    QAction *deleteRow_ = nullptr;
    QAction *undoDelete_ = nullptr;
};

} // namespace corvix
