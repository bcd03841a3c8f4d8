#pragma once
// Button 按钮7 ("导出"): the product grid into an Excel workbook.
#include <QObject>

namespace corvix {

struct Session;

class ProductListPage;

class ExportController : public QObject {
    Q_OBJECT
public:
    // Parented to the page whose grid it exports.
    ExportController(ProductListPage *page, Session &session);

    // Asks for the file name; cancelling starts nothing. A workbook that could
    // not be written is reported in a message box.
    void ExportToExcel();

private:
    ProductListPage *page_;
    Session &session_;
};

} // namespace corvix
