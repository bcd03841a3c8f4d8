#pragma once
// Change marks of the price cells: each price of the grid against the same
// product (by title, column 1) and the same site (by column title) in the
// record saved before the one shown. Rows are told apart by their title only,
// so for a title that occurs more than once in the earlier record its first row
// counts, and rows without a title are not compared.
#include <filesystem>
#include <memory>
#include "products/PriceText.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvix {

class ProductGridModel;
struct RecordListEntry;

enum class PriceChange { NotCompared, Higher, Lower, Same };

struct PriceChangeMark {
    PriceChange change = PriceChange::NotCompared;
    std::string previousText; // GBK, the cell in the earlier record; empty when not compared
};

class PriceChanges {
public:
    PriceChanges() = default;
    PriceChanges(int rows, int columns, std::string previousTime);

    // The mark of a grid cell: NotCompared for cells outside the compared grid.
    const PriceChangeMark &At(int row, int column) const;
    void Set(int row, int column, PriceChangeMark mark);
    // The earlier record's time as the record list shows it (GBK).
    const std::string &PreviousTime() const { return previousTime_; }

private:
    int rows_ = 0;
    int columns_ = 0;
    std::vector<PriceChangeMark> marks_;
    std::string previousTime_;
};

// The first row of each title, rows without a title left out; the keys point
// into the grid's cells.
std::unordered_map<std::string_view, int> FirstRowOfEachTitle(const ProductGridModel &grid);

// How the shop of column c of current (column pc of previous, when there is
// one) writes its decimals, from its prices in both grids.
DecimalMark ShopDecimalMark(const ProductGridModel &current, int c, const ProductGridModel *previous, int pc);

// The marks of every site cell of current against previous, both grids with
// their column titles; previousTime is the earlier record's time text.
PriceChanges ComparePrices(const ProductGridModel &current, const ProductGridModel &previous,
                           std::string previousTime);

// The mark of a price just captured (nowText, GBK) for the product titled
// title in the shop column titled shop, against an earlier grid as
// ComparePrices would mark that cell: the shop's decimal mark is read from
// its earlier prices and this one.
PriceChangeMark CompareCapturedPrice(const std::string &nowText, const std::string &title, const std::string &shop,
                                     const ProductGridModel &previous);

// What a shop column must show whole, in pixels.
struct ShopColumnContent {
    int title = 0;       // the header section with its margins
    int longestCell = 0; // the widest cell text
    int mark = 0;        // the change arrow drawn before a price
    int cellPadding = 0; // a cell's margins, both sides together
};

// The width of a shop column now at current: wide enough for its title and
// for its widest cell after an arrow, but never wider than widest for the
// sake of its content, and never narrower than a user left it.
int FittedShopColumnWidth(int current, const ShopColumnContent &content, int widest);

// The record file loaded as 查看 shows it, into a grid of its own with the
// columns of columnsOf: cells by shop title where the record's titles are
// known, else by position (LoadRecordIntoGrid).
std::unique_ptr<ProductGridModel> LoadRecordWithColumnsOf(const ProductGridModel &columnsOf,
                                                          const std::filesystem::path &file);

// The marks of grid against the record file of earlier (an entry of the record
// list of dbDir): for the results of a run the newest record, for a viewed
// record the one listed before it (RecordBefore).
PriceChanges CompareWithRecord(const ProductGridModel &grid, const std::filesystem::path &dbDir,
                               const RecordListEntry &earlier);

} // namespace corvix
