#pragma once
// Button 按钮7 ("导出"): the product grid into an Excel workbook.
#include <QObject>

namespace corvix {

struct Session;

class ProductListPage;
class UiSettings;

struct ExportResult;

// Tells the user what an export ran into: a template it went on without, a
// workbook it could not write, or what stopped it. False when it failed.
bool TellExportProblems(const ExportResult &result);

class ExportController : public QObject {
    Q_OBJECT
public:
    // Parented to the page whose grid it exports; settings keep the folder of
    // the last export.
    ExportController(ProductListPage *page, Session &session, UiSettings &settings);

    // Asks for the file name, proposing "价格记录-<yyyyMMdd-HHmm>.xlsx" in the
    // last folder used; cancelling starts nothing. A written workbook is told
    // with a button that opens its folder, one that could not be written in a
    // message box.
    void ExportToExcel();

private:
    QString ProposedFile() const;
    void TellExported(const QString &fileName);

    ProductListPage *page_;
    Session &session_;
    UiSettings &settings_;
};

} // namespace corvix
