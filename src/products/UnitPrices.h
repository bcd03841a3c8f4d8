#pragma once
// The grid's prices per unit of what each shop's link sells: for every product
// row, the cells whose price and pack size are known, in the product's unit,
// and the cheapest buy among them.
#include "products/PackSize.h"

#include <map>
#include <optional>
#include <string>
#include <utility>

namespace corvix {

class PackSizeFile;
class ProductGridModel;

struct UnitPriceCell {
    double perUnit = 0;
    PriceUnit unit = PriceUnit::PerPiece;
    bool cheapest = false; // the row's cheapest buy
};

// By (row, column). Cells without a price (failed, out of stock, no link), or
// without a readable size of the kind of their product's unit, are absent.
using UnitPriceGrid = std::map<std::pair<int, int>, UnitPriceCell>;
UnitPriceGrid UnitPricesOf(const ProductGridModel &grid, const PackSizeFile &packs);

// "30.00/500g" (GBK): two decimals, the unit after a slash.
std::string UnitPriceText(const UnitPriceCell &cell);

} // namespace corvix
