#pragma once
// Bulk import of products (按钮5 "粘贴导入", 按钮6 "文件导入") into ImportBuffer,
// and the entry of one title or link by a double-click on the product grid
// (LinkInputWindow).
#include <QObject>
#include <QPoint>

#include <vector>

class QTreeView;

namespace corvix {

struct Session;

class LinkInputWindow;
class MainWindow;
class ProductGridModel;

class ImportController : public QObject {
    Q_OBJECT
public:
    ImportController(MainWindow *window, Session &session);

    // Shows PasteImportWindow modally, filled from the clipboard; the box's
    // text becomes ImportBuffer when the window closes.
    void PasteImport();
    void FileImport();
    // Opens LinkInputWindow (not modal) for the cell under the point and
    // returns it; nullptr when the point names no title or site cell.
    LinkInputWindow *EditCell(const QPoint &viewportPos);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // "已导入：n条数据。" with the rows the next run builds, and what it leaves out.
    void ReportImportedLines(const std::vector<int> &linesWithoutGbk = {});
    void StoreEntry(const QString &typed, int row, int column);

    MainWindow *window_;
    ProductGridModel *grid_;
    QTreeView *view_;
    Session &session_;
};

} // namespace corvix
