#include "products/PriceChanges.h"

#include "products/PriceText.h"
#include "products/ProductGridModel.h"
#include "products/RecordFile.h"
#include "products/RecordList.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace corvix {
namespace {

const PriceChangeMark kNotCompared;

PriceChange Direction(double now, double before)
{
    if (now > before)
        return PriceChange::Higher;
    if (now < before)
        return PriceChange::Lower;
    return PriceChange::Same;
}

PriceChangeMark ComparePrice(std::optional<double> now, std::optional<double> before, const std::string &beforeText)
{
    if (!now || !before)
        return {};
    return {Direction(*now, *before), beforeText};
}

PriceChangeMark CompareCells(const std::string &now, const std::string &before, DecimalMark mark)
{
    return ComparePrice(ReadPrice(now, mark), ReadPrice(before, mark), before);
}

// The prices of one shop's column, each text read once: prices repeat down a
// column, and reading one is slow beside looking it up.
class ColumnPrices {
public:
    explicit ColumnPrices(DecimalMark mark) : mark_(mark) {}
    std::optional<double> Of(const std::string &text)
    {
        const auto [it, added] = read_.try_emplace(text);
        if (added)
            it->second = ReadPrice(text, mark_);
        return it->second;
    }

private:
    DecimalMark mark_;
    std::unordered_map<std::string_view, std::optional<double>> read_;
};

} // namespace

std::unordered_map<std::string_view, int> FirstRowOfEachTitle(const ProductGridModel &grid)
{
    std::unordered_map<std::string_view, int> rows;
    for (int r = 0; r < grid.RowCount(); ++r) {
        const std::string &title = grid.Text(r, kProductTitleColumn);
        if (!title.empty())
            rows.try_emplace(title, r);
    }
    return rows;
}

DecimalMark ShopDecimalMark(const ProductGridModel &current, int c, const ProductGridModel *previous, int pc)
{
    // Only whether a clear decimal point or comma occurs counts: each text once.
    std::unordered_set<std::string_view> seen;
    std::vector<std::string> texts;
    const auto take = [&](const std::string &text) {
        if (seen.insert(text).second)
            texts.push_back(text);
    };
    for (int r = 0; r < current.RowCount(); ++r)
        take(current.Text(r, c));
    if (previous && pc >= kFirstSiteColumn)
        for (int r = 0; r < previous->RowCount(); ++r)
            take(previous->Text(r, pc));
    return DecimalMarkOf(texts);
}

PriceChanges::PriceChanges(int rows, int columns, std::string previousTime)
    : rows_(rows), columns_(columns), marks_(static_cast<size_t>(rows) * static_cast<size_t>(columns)),
      previousTime_(std::move(previousTime))
{
}

const PriceChangeMark &PriceChanges::At(int row, int column) const
{
    if (row < 0 || row >= rows_ || column < 0 || column >= columns_)
        return kNotCompared;
    return marks_[static_cast<size_t>(row) * static_cast<size_t>(columns_) + static_cast<size_t>(column)];
}

void PriceChanges::Set(int row, int column, PriceChangeMark mark)
{
    if (row < 0 || row >= rows_ || column < 0 || column >= columns_)
        return;
    marks_[static_cast<size_t>(row) * static_cast<size_t>(columns_) + static_cast<size_t>(column)] = std::move(mark);
}

PriceChanges ComparePrices(const ProductGridModel &current, const ProductGridModel &previous,
                           std::string previousTime)
{
    PriceChanges changes(current.RowCount(), current.ColumnCount(), std::move(previousTime));
    const auto previousRows = FirstRowOfEachTitle(previous);
    for (int c = kFirstSiteColumn; c < current.ColumnCount(); ++c) {
        const int pc = previous.FindColumn(current.Title(c));
        if (pc < kFirstSiteColumn)
            continue;
        ColumnPrices prices(ShopDecimalMark(current, c, &previous, pc));
        for (int r = 0; r < current.RowCount(); ++r) {
            const auto found = previousRows.find(current.Text(r, kProductTitleColumn));
            if (found == previousRows.end())
                continue;
            const std::string &before = previous.Text(found->second, pc);
            changes.Set(r, c, ComparePrice(prices.Of(current.Text(r, c)), prices.Of(before), before));
        }
    }
    return changes;
}

PriceChangeMark CompareCapturedPrice(const std::string &nowText, const std::string &title, const std::string &shop,
                                     const ProductGridModel &previous)
{
    const int pc = previous.FindColumn(shop);
    if (title.empty() || pc < kFirstSiteColumn)
        return {};
    std::vector<std::string> texts{nowText};
    int earlierRow = -1;
    for (int r = 0; r < previous.RowCount(); ++r) {
        texts.push_back(previous.Text(r, pc));
        if (earlierRow < 0 && previous.Text(r, kProductTitleColumn) == title)
            earlierRow = r;
    }
    if (earlierRow < 0)
        return {};
    return CompareCells(nowText, previous.Text(earlierRow, pc), DecimalMarkOf(texts));
}

int FittedShopColumnWidth(int current, const ShopColumnContent &content, int widest)
{
    const int needed = std::max(content.title, content.longestCell + content.mark + content.cellPadding);
    return std::max(current, std::min(needed, widest));
}

std::unique_ptr<ProductGridModel> LoadRecordWithColumnsOf(const ProductGridModel &columnsOf,
                                                          const std::filesystem::path &file)
{
    auto record = std::make_unique<ProductGridModel>();
    for (int c = 0; c < columnsOf.ColumnCount(); ++c) {
        const ProductGridModel::Column &column = columnsOf.ColumnAt(c);
        record->AddColumn(column.title, column.width, column.alignment);
    }
    LoadRecordIntoGrid(file, *record);
    return record;
}

PriceChanges CompareWithRecord(const ProductGridModel &grid, const std::filesystem::path &dbDir,
                               const RecordListEntry &earlier)
{
    const auto record = LoadRecordWithColumnsOf(grid, dbDir / earlier.file);
    return ComparePrices(grid, *record, earlier.displayTime);
}

} // namespace corvix
