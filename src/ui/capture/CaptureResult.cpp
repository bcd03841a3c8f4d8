#include "ui/capture/CaptureResult.h"

#include "ui/Session.h"
#include "products/ProductGridModel.h"

#include <QPointer>

namespace corvix {
namespace {

QPointer<ProductGridModel> &Grid()
{
    static QPointer<ProductGridModel> grid;
    return grid;
}

} // namespace

void SetCaptureGrid(ProductGridModel *grid)
{
    Grid() = grid;
}

ProductGridModel *CaptureGrid()
{
    return Grid().data();
}

void RecordResult(const CurrentCell &cell, const std::string &text)
{
    if (ProductGridModel *grid = CaptureGrid())
        grid->SetText(cell.row, cell.column, text);
}

} // namespace corvix
