#pragma once
// Bulk import of products (按钮5 "粘贴导入", 按钮6 "文件导入") into url.ini and
// the grid, and the entry of one link by a double-click on a site cell of the
// product grid (LinkInputWindow).
#include <QObject>
#include <QPoint>

#include "products/ImportText.h"

#include <optional>
#include <string>
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
    // text is imported when the window closes with it.
    void PasteImport();
    // Asks for a text file, starting in the folder of the last one.
    void FileImport();
    // Opens LinkInputWindow (not modal) for the cell under the point and
    // returns it; nullptr when the point names no site cell.
    LinkInputWindow *EditCell(const QPoint &viewportPos);

private:
    // text: normalised import text (GBK). Its products go into url.ini (the
    // user choosing how, when some there would go) and become the grid's rows,
    // the texts of products already shown kept; then the count is told. A
    // failed write is told and changes nothing.
    void Import(const std::string &text, const std::vector<int> &linesWithoutGbk = {});
    // When the import would drop products of url.ini, asks whether it is added
    // to them (追加, the default), replaces them (替换), or is dropped (取消:
    // nothing).
    std::optional<ImportMode> ChooseImportMode(const std::vector<ImportedProduct> &products);
    // "已导入：n条数据。" with the rows the import gave, and what it leaves out.
    void ReportImportedLines(const std::string &text, const std::vector<int> &linesWithoutGbk);
    void StoreEntry(const QString &typed, int row, int column);

    ProductListPage *page_;
    ProductGridModel *grid_;
    Session &session_;
    UiSettings &settings_;
};

} // namespace corvix
