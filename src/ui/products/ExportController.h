#pragma once
// Button 按钮7 ("导出"): the product grid into an Excel workbook.
#include <QDateTime>
#include <QObject>

#include <functional>
#include <string>

namespace corvix {

struct Session;

class ProductGridModel;
class ProductListPage;
class UiSettings;

struct ExportResult;

// Tells the user what an export ran into: a template it went on without, a
// workbook it could not write, or what stopped it. False when it failed.
bool TellExportProblems(const ExportResult &result);

// The price history table of the product into a workbook: asks for the file
// name, proposing "价格走势-<product>-<yyyyMMdd>.xlsx" in the last export folder,
// and tells where it was written as 导出 does. settings may be null: nothing is
// remembered then.
void ExportPriceHistory(const ProductGridModel &table, const QString &product, UiSettings *settings);

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
    // The record the grid shows (GBK, without ".txt"), empty while it holds
    // results never saved: its time names the sheet and dates the workbook.
    void FollowShownRecord(std::function<std::string()> shownRecord) { shownRecord_ = std::move(shownRecord); }

private:
    QString ProposedFile() const;
    QDateTime CapturedAt() const;

    ProductListPage *page_;
    Session &session_;
    UiSettings &settings_;
    std::function<std::string()> shownRecord_;
};

} // namespace corvix
