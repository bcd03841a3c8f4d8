#pragma once
// Button 按钮7 ("导出"): the product grid into an Excel workbook.
#include "products/ExcelExport.h"
#include "support/Result.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace corvix {

struct Session;

class ProductGridModel;
class ProductListPage;
class StepProgress;
class UiSettings;
class WorkbookExport;
struct WorkbookExportRequest;

// Tells the user what an export ran into: a template it went on without, a
// workbook it could not write, or what stopped it (a cancelled export is no
// news). False when it failed.
bool TellExportProblems(const Result<ExportDone> &result);

// One export under way from a window: the grid is copied now and written on a
// worker while the window goes on; the bar "正在导出……" shows on the window
// after half a second; at the end the user is told where the workbook went or
// what stopped it, then ended follows and the run deletes itself. Destroyed
// before that, it stops the worker and the target stays as it was.
class ExportRun : public QObject {
    Q_OBJECT
public:
    // settings (may be null) remember the folder of a written workbook.
    ExportRun(QWidget *window, const ProductGridModel &grid, WorkbookExportRequest request, UiSettings *settings);
    ~ExportRun() override;

    // Waits for the workbook and tells its result now: for a window about to close.
    void Finish();

signals:
    void ended();

private:
    void Tell(const Result<ExportDone> &outcome);

    std::unique_ptr<StepProgress> bar_;
    WorkbookExport *export_;
    UiSettings *settings_;
};

// The price history table of the product into a workbook: asks for the file
// name, proposing "价格走势-<product>-<yyyyMMdd>.xlsx" in the last export folder,
// and tells where it was written as 导出 does. settings may be null: nothing is
// remembered then. The run under way, shown on window; null when no file was chosen.
ExportRun *ExportPriceHistory(QWidget *window, const ProductGridModel &table, const QString &product,
                              UiSettings *settings);

class ExportController : public QObject {
    Q_OBJECT
public:
    // Parented to the page whose grid it exports; settings keep the folder of
    // the last export.
    ExportController(ProductListPage *page, Session &session, UiSettings &settings);

    // Asks for the file name, proposing "价格记录-<yyyyMMdd-HHmm>.xlsx" in the
    // last folder used; cancelling starts nothing. The export runs on while the
    // window goes on, 按钮7 off until it ends. A written workbook is told with a
    // button that opens its folder, one that could not be written in a message
    // box.
    void ExportToExcel();
    // An export under way is finished and told now; for a window about to close.
    void FinishExport();
    bool Exporting() const { return !run_.isNull(); }
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
    QPointer<ExportRun> run_;
};

} // namespace corvix
