#pragma once
// What each shop's link of a product sells ("规格": "500g", "2斤", "12瓶×500ml"),
// kept in "packs.ini" in DbDir beside url.ini, a file older installations never
// open. One section per product, "pack1", "pack2" ..., named by the product's
// title and the shops' titles rather than rows, because rows move when others
// are deleted or imported. GBK, CR LF lines, written whole.
//
//   [pack1]
//   product=<title>
//   unit=500g                (chosen in 编辑商品…; absent: the unit that fits the sizes)
//   shop1=<shop title>
//   size1=<size as typed>
#include "products/PackSize.h"
#include "support/DataDirs.h"
#include "support/Result.h"

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace corvix {

struct ProductPacks {
    std::string product;                                    // GBK
    std::optional<PriceUnit> unit;                          // chosen by the user
    std::vector<std::pair<std::string, std::string>> sizes; // shop title, size text (GBK)
};

class PackSizeFile {
public:
    // A file that is missing or cannot be read gives no sizes: for showing them.
    static PackSizeFile Load(const std::filesystem::path &path);
    // For a change to be saved: a missing file has no sizes, one that is there
    // and cannot be read is an error, never an empty file to write over.
    static Result<PackSizeFile> LoadToChange(const std::filesystem::path &path);
    static PackSizeFile Parse(std::string_view gbkText);
    std::string Text() const;
    // Atomic replace; the old file is kept when it cannot be written.
    Result<void> Save(const std::filesystem::path &path) const;

    // The size text of the product in the shop; empty when none is known.
    std::string SizeText(const std::string &product, const std::string &shop) const;
    // Sets the size (an empty text removes it).
    void SetSize(const std::string &product, const std::string &shop, const std::string &size);
    std::optional<PriceUnit> ChosenUnit(const std::string &product) const;
    void SetChosenUnit(const std::string &product, std::optional<PriceUnit> unit);
    // The unit the product's prices are compared in: the chosen one, else the
    // one that fits its readable sizes; nullopt without either.
    std::optional<PriceUnit> UnitOf(const std::string &product) const;
    // A product renamed keeps its sizes; sizes already under the new title give way.
    void RenameProduct(const std::string &from, const std::string &to);
    const std::vector<ProductPacks> &All() const { return products_; }

private:
    ProductPacks *Find(const std::string &product);
    const ProductPacks *Find(const std::string &product) const;
    std::vector<ProductPacks> products_;
};

std::filesystem::path PackSizeFilePath(const DataDirs &dirs);

// Splits an imported link field "链接 [500g]" into the link and the size
// (GBK); a field without a bracket after its link has no size.
std::pair<std::string, std::string> LinkAndSize(std::string_view gbkField);

struct ImportedProduct;
// The sizes an import gave its links, under the product's title and the shop
// of each field; a link imported without a size keeps the size it had.
void TakeImportedSizes(PackSizeFile &file, const std::vector<ImportedProduct> &products,
                       const std::vector<std::string> &shopTitles);

} // namespace corvix
