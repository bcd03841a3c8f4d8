#pragma once
// The changes of the product list that touch several files at once: deleting a
// product row and undoing it, storing a product from 编辑商品…, and an import.
// Each reads the files it changes first: a file that is there and cannot be
// read stops the change before anything is written (the error has `read` set),
// since a file made from nothing would replace the products it holds. A missing
// file is an empty one. All files of a change are replaced as one
// (WriteFilesTogether with the data root's journal): they are never seen half
// changed, and on a failed write every file keeps its old bytes.
#include "products/ImportText.h"
#include "products/LinkFile.h"
#include "products/PackSize.h"
#include "products/PriceAlerts.h"
#include "support/DataDirs.h"
#include "support/Result.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvix {

class ProductGridModel;

// What deleting a product row took from the files, enough to put it back.
struct ProductDeletion {
    int row = 0;
    LinkFile::TakenSections links;
    std::filesystem::path record; // empty when the newest record held no line for the row
    long long recordLine = 0;
    std::string recordLineText;
    std::vector<PriceAlert> alerts; // the product's alerts, gone with its last row
};

// Removes the grid's row `row` from url.ini (later sections are numbered on),
// its line from the newest record when that line holds the row's product
// (rows follow url.ini: after an import no run has captured, the line of that
// number may be another product's), and the product's alerts when no other
// row bears its title (alerts are kept by title).
Result<ProductDeletion> DeleteProduct(const DataDirs &dirs, const ProductGridModel &grid, int row);

// Puts back what DeleteProduct took: the section as row `deleted.row`, the
// record line where it was, and the alerts not set again meanwhile.
Result<void> UndoProductDeletion(const DataDirs &dirs, const ProductDeletion &deleted);

// The entries of 编辑商品… for one row, GBK, each one line. shops, links and
// sizes go by index: the shop titles of the window's boxes, in their order.
struct ProductEdit {
    std::string title;
    std::vector<std::string> shops;
    std::vector<std::string> links;
    std::vector<std::string> sizes;
    std::optional<PriceUnit> unit;
};

// Stores the edit of the grid's row `row`: its url.ini section (title and the
// links that changed, an empty entry removing the key), its sizes and chosen
// unit in packs.ini, and, when the title changed and no other row bears the old
// one, the sizes and alerts of the old title move to the new one. Shops whose
// title names no key are left out. Returns the indices of the shops whose link
// changed.
Result<std::vector<size_t>> StoreProductEdit(const DataDirs &dirs, const ProductGridModel &grid, int row,
                                             const ProductEdit &edit);

// An import as it is made: merged into url.ini (MergeImport) with the sizes
// written after its links in packs.ini (TakeImportedSizes). Returns url.ini as
// written.
Result<LinkFile> ImportProducts(const DataDirs &dirs, const std::vector<ImportedProduct> &products,
                                const std::vector<std::string> &shopTitles, ImportMode mode);

} // namespace corvix
