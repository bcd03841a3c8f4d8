#pragma once
// One product's price history laid out for reading: a row per record that
// priced it at some shop, a column per shop. The history window draws it as a
// chart and a table, and exports it as a grid.
#include "products/PackSize.h"
#include "products/PriceHistoryIndex.h"

#include <QDateTime>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvix {

class ProductGridModel;

struct PriceHistoryRow {
    std::string recordName;                    // GBK
    std::string recordTime;                    // GBK, as the record list shows it (may be empty)
    std::optional<QDateTime> time;             // RecordDateTime of the name
    std::vector<std::optional<double>> prices; // one per shop; nullopt where it had no price
    std::vector<std::string> texts;            // one per shop: the cell as the record holds it (GBK), or empty
    // The shop said the product could not be bought.
    bool OutOfStock(size_t shop) const;
    // A capture that gave no price at the shop: a cell that is no price and no stock state.
    bool Failed(size_t shop) const { return !prices[shop] && !texts[shop].empty() && !OutOfStock(shop); }
};

struct PriceHistoryTable {
    std::vector<std::string> shops; // GBK, the series' site titles in order
    std::vector<PriceHistoryRow> rows;
    // True when every row has a time, so that the rows can stand on a time axis.
    bool AllTimed() const;
};

// The rows of series merged by record: oldest first, by time when every record
// has one (names of older installations count milliseconds and sort apart from
// the ten-digit stamps), else in name order as the record list shows them.
PriceHistoryTable TabulateHistory(const std::vector<PriceSeries> &series);

// The rows of the shop's line: runs of rows with a price, broken where a
// capture failed or the product was out of stock, so that a line does not
// bridge either. A record
// without a cell for the shop does not break the line.
std::vector<std::vector<size_t>> PriceSegments(const PriceHistoryTable &table, size_t shop);

// The rows at which the shop had the product out of stock, in order.
std::vector<size_t> OutOfStockRows(const PriceHistoryTable &table, size_t shop);

// The table in prices per unit (the 单价 view): each shop's prices for its
// pack size (sizes[k] for shop k) in unit; shops without a size of the unit's
// kind are left out. Texts stay as the records hold them.
PriceHistoryTable InUnitPrices(const PriceHistoryTable &table, const std::vector<std::optional<Amount>> &sizes,
                               PriceUnit unit);

// The most decimals the prices of the table are written with ("1,299.00": 2).
int PriceDecimals(const PriceHistoryTable &table);

// A price as the fewest digits that read back as it ("1299", "12.5"), never in
// exponent form.
std::string PriceNumberText(double price);

// The label of a row: its time as the record list shows it, else its name.
std::string RowLabel(const PriceHistoryRow &row);

// The table as a grid for the workbook export: column "记录时间" with RowLabel,
// then a column per shop holding PriceNumberText or nothing.
std::unique_ptr<ProductGridModel> HistoryAsGrid(const PriceHistoryTable &table);

} // namespace corvix
