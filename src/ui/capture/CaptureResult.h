#pragma once
// Where capture results go: the ProductGrid cell at CurrentCell.
#include <string>

namespace corvix {

class ProductGridModel;
struct CurrentCell;

// The program's product grid; the main window registers it once it exists.
// nullptr unregisters it. The grid must outlive captures or be unregistered
// (a destroyed grid is noticed and treated as none).
void SetCaptureGrid(ProductGridModel *grid);
ProductGridModel *CaptureGrid();

// Sets the text (GBK) of the grid cell at `cell`. A cell outside
// the grid, or no registered grid, takes nothing.
void RecordResult(const CurrentCell &cell, const std::string &text);

} // namespace corvix
