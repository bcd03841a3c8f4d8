#include "products/PriceChanges.h"

#include "products/PriceText.h"
#include "products/ProductGridModel.h"
#include "products/RecordFile.h"
#include "products/RecordList.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <unordered_map>

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

PriceChangeMark CompareCells(const std::string &now, const std::string &before, DecimalMark mark)
{
    const std::optional<double> nowPrice = ReadPrice(now, mark);
    const std::optional<double> beforePrice = ReadPrice(before, mark);
    if (!nowPrice || !beforePrice)
        return {};
    return {Direction(*nowPrice, *beforePrice), before};
}

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
    std::vector<std::string> texts;
    for (int r = 0; r < current.RowCount(); ++r)
        texts.push_back(current.Text(r, c));
    if (previous && pc >= kFirstSiteColumn)
        for (int r = 0; r < previous->RowCount(); ++r)
            texts.push_back(previous->Text(r, pc));
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
        const DecimalMark mark = ShopDecimalMark(current, c, &previous, pc);
        for (int r = 0; r < current.RowCount(); ++r) {
            const auto found = previousRows.find(current.Text(r, kProductTitleColumn));
            if (found != previousRows.end())
                changes.Set(r, c, CompareCells(current.Text(r, c), previous.Text(found->second, pc), mark));
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
