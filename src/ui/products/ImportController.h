#pragma once
// Bulk import of products (按钮5 "粘贴导入", 按钮6 "文件导入") into ImportBuffer,
// and the entry of one link by a double-click on a site cell of the product
// grid (LinkInputWindow).
#include <QObject>
#include <QPoint>

#include <vector>

namespace corvix {

struct Session;

class LinkInputWindow;
class ProductGridModel;
class ProductListPage;
class UiSettings;

class ImportController : public QObject {
    Q_OBJECT
public:
    // Parented to the page whose grid it fills; settings keep the folder of
    // the last file imported.
    ImportController(ProductListPage *page, Session &session, UiSettings &settings);

    // Shows PasteImportWindow modally, filled from the clipboard; the box's
    // text becomes ImportBuffer when the window closes.
    void PasteImport();
    // Asks for a text file, starting in the folder of the last one.
    void FileImport();
    // Opens LinkInputWindow (not modal) for the cell under the point and
    // returns it; nullptr when the point names no site cell.
    LinkInputWindow *EditCell(const QPoint &viewportPos);

private:
    // When the import would drop products of url.ini, asks whether it is added
    // to them (追加, the default), replaces them (替换), or is dropped (取消:
    // false, nothing imported).
    bool ChooseImportMode();
    // "已导入：n条数据。" with the rows the next run builds, and what it leaves out.
    void ReportImportedLines(const std::vector<int> &linesWithoutGbk = {});
    void StoreEntry(const QString &typed, int row, int column);

    ProductListPage *page_;
    ProductGridModel *grid_;
    Session &session_;
    UiSettings &settings_;
};

} // namespace corvix
