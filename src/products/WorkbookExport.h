#pragma once
// One export of a grid into a workbook, run on a worker thread so that the
// window goes on while it is written. The grid is copied when the export is
// made: what the window does to its grid afterwards does not reach the file.
// Progress and the result come as signals on the thread that made the export.
#include "products/ExcelExport.h"
#include "products/PackSizeFile.h"
#include "support/Result.h"

#include <QDateTime>
#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>

namespace corvix {

class ProductGridModel;

// What ExportGridToExcel is given besides the grid.
struct WorkbookExportRequest {
    std::filesystem::path target;
    std::filesystem::path templatePath; // none when empty or missing
    QDateTime capturedAt;
    // With sizes, the unit prices of the grid go to a sheet of their own.
    std::optional<PackSizeFile> packSizes;
};

class WorkbookExport : public QObject {
    Q_OBJECT
public:
    WorkbookExport(const ProductGridModel &grid, WorkbookExportRequest request, QObject *parent = nullptr);
    // Stops a running export (the target stays as it was) and waits for the worker.
    ~WorkbookExport() override;

    // Starts the worker; once only.
    void Start();
    // Asks the worker to stop at its next batch of rows; it then finishes as
    // Cancelled, and the target stays as it was. Nothing once it has finished.
    void Cancel();
    // Blocks until the worker is done and emits finished now, if it has not
    // been emitted yet (progress still queued is dropped).
    void Wait();
    // Started and finished not emitted yet.
    bool Running() const { return started_ && !delivered_; }
    const std::filesystem::path &Target() const { return request_.target; }

signals:
    void progressChanged(int rowsWritten, int rowCount);
    void finished(const corvix::Result<corvix::ExportDone> &outcome);

private:
    void Run();
    void Deliver();

    std::unique_ptr<ProductGridModel> grid_;
    WorkbookExportRequest request_;
    std::atomic<bool> cancel_{false};
    std::optional<Result<ExportDone>> outcome_; // written by the worker, read after it ends
    bool started_ = false;
    bool delivered_ = false;
    // Last member: destroyed (and so waited for) before what the worker uses.
    QThreadPool pool_;
};

} // namespace corvix
