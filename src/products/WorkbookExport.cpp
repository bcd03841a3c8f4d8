#include "products/WorkbookExport.h"

#include "products/ProductGridModel.h"
#include "products/UnitPrices.h"

namespace corvix {
namespace {

std::unique_ptr<ProductGridModel> CopyOf(const ProductGridModel &grid)
{
    auto copy = std::make_unique<ProductGridModel>();
    for (int j = 0; j < grid.ColumnCount(); ++j) {
        const ProductGridModel::Column &column = grid.ColumnAt(j);
        copy->AddColumn(column.title, column.width, column.alignment);
    }
    copy->AppendRows(grid.Rows());
    return copy;
}

} // namespace

WorkbookExport::WorkbookExport(const ProductGridModel &grid, WorkbookExportRequest request, QObject *parent)
    : QObject(parent), grid_(CopyOf(grid)), request_(std::move(request))
{
    pool_.setMaxThreadCount(1);
}

WorkbookExport::~WorkbookExport()
{
    Cancel();
    pool_.waitForDone();
}

void WorkbookExport::Start()
{
    if (started_)
        return;
    started_ = true;
    pool_.start([this] { Run(); });
}

void WorkbookExport::Cancel()
{
    cancel_ = true;
}

void WorkbookExport::Wait()
{
    pool_.waitForDone();
    Deliver();
}

// On the worker: the grid copy and the request are not touched by the window
// thread while it runs, and what it tells goes back as queued calls.
void WorkbookExport::Run()
{
    const UnitPriceGrid unitPrices = request_.packSizes ? UnitPricesOf(*grid_, *request_.packSizes) : UnitPriceGrid();
    const auto progress = [this](int rowsWritten, int rowCount) {
        QMetaObject::invokeMethod(
            this,
            [this, rowsWritten, rowCount] {
                if (!delivered_)
                    emit progressChanged(rowsWritten, rowCount);
            },
            Qt::QueuedConnection);
        return !cancel_;
    };
    outcome_ =
        ExportGridToExcel(*grid_, request_.target, request_.templatePath, request_.capturedAt, progress, unitPrices);
    QMetaObject::invokeMethod(this, [this] { Deliver(); }, Qt::QueuedConnection);
}

void WorkbookExport::Deliver()
{
    if (delivered_ || !outcome_)
        return;
    delivered_ = true;
    emit finished(*outcome_);
}

} // namespace corvix
