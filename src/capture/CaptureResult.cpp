#include "capture/CaptureResult.h"

#include "app/ProgramState.h"
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

void RecordResult(const std::string &text)
{
    if (ProductGridModel *grid = CaptureGrid())
        grid->SetText(Program().currentCell.row, Program().currentCell.column, text);
}

} // namespace corvix
