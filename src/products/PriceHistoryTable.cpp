#include "products/PriceHistoryTable.h"

#include "capture/CellTexts.h"

#include "products/PriceText.h"
#include "products/ProductGridModel.h"
#include "products/RecordStamp.h"
#include "support/Gbk.h"

#include <algorithm>
#include <charconv>
#include <map>

namespace corvix {

bool PriceHistoryTable::AllTimed() const
{
    return std::all_of(rows.begin(), rows.end(), [](const PriceHistoryRow &row) { return row.time.has_value(); });
}

PriceHistoryTable TabulateHistory(const std::vector<PriceSeries> &series)
{
    PriceHistoryTable table;
    std::map<std::string, PriceHistoryRow> byName;
    for (size_t s = 0; s < series.size(); ++s) {
        table.shops.push_back(series[s].siteTitle);
        for (const PricePoint &point : series[s].points) {
            auto [it, added] = byName.try_emplace(point.recordName);
            PriceHistoryRow &row = it->second;
            if (added) {
                row.recordName = point.recordName;
                row.recordTime = point.recordTime;
                row.time = RecordDateTime(point.recordName);
                row.prices.resize(series.size());
                row.texts.resize(series.size());
            }
            row.prices[s] = point.price;
            row.texts[s] = point.text;
        }
    }
    for (auto &[name, row] : byName)
        table.rows.push_back(std::move(row));
    if (table.AllTimed())
        std::stable_sort(table.rows.begin(), table.rows.end(),
                         [](const PriceHistoryRow &a, const PriceHistoryRow &b) { return *a.time < *b.time; });
    return table;
}

bool PriceHistoryRow::OutOfStock(size_t shop) const
{
    return !prices[shop] && ClassifyCell(texts[shop]) == CellState::OutOfStock;
}

PriceHistoryTable InUnitPrices(const PriceHistoryTable &table, const std::vector<std::optional<Amount>> &sizes,
                               PriceUnit unit)
{
    std::vector<size_t> kept;
    for (size_t k = 0; k < table.shops.size() && k < sizes.size(); ++k)
        if (sizes[k] && sizes[k]->kind == KindOf(unit))
            kept.push_back(k);
    PriceHistoryTable out;
    for (size_t k : kept)
        out.shops.push_back(table.shops[k]);
    for (const PriceHistoryRow &row : table.rows) {
        PriceHistoryRow unitRow{row.recordName, row.recordTime, row.time, {}, {}};
        for (size_t k : kept) {
            unitRow.prices.push_back(row.prices[k] ? UnitPrice(*row.prices[k], *sizes[k], unit) : std::nullopt);
            unitRow.texts.push_back(row.texts[k]);
        }
        out.rows.push_back(std::move(unitRow));
    }
    return out;
}

std::vector<size_t> OutOfStockRows(const PriceHistoryTable &table, size_t shop)
{
    std::vector<size_t> rows;
    for (size_t r = 0; r < table.rows.size(); ++r)
        if (table.rows[r].OutOfStock(shop))
            rows.push_back(r);
    return rows;
}

std::vector<std::vector<size_t>> PriceSegments(const PriceHistoryTable &table, size_t shop)
{
    std::vector<std::vector<size_t>> segments;
    bool broken = true;
    for (size_t r = 0; r < table.rows.size(); ++r) {
        const PriceHistoryRow &row = table.rows[r];
        if (row.Failed(shop) || row.OutOfStock(shop)) {
            broken = true;
        } else if (row.prices[shop]) {
            if (broken)
                segments.emplace_back();
            broken = false;
            segments.back().push_back(r);
        }
    }
    return segments;
}

int PriceDecimals(const PriceHistoryTable &table)
{
    int decimals = 0;
    for (const PriceHistoryRow &row : table.rows)
        for (const std::string &text : row.texts)
            if (const std::optional<PriceText> price = WholePrice(text))
                decimals = std::max(decimals, price->decimals);
    return decimals;
}

std::string PriceNumberText(double price)
{
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, price, std::chars_format::fixed);
    return std::string(buffer, result.ptr);
}

std::string RowLabel(const PriceHistoryRow &row)
{
    return row.recordTime.empty() ? row.recordName : row.recordTime;
}

std::unique_ptr<ProductGridModel> HistoryAsGrid(const PriceHistoryTable &table)
{
    auto grid = std::make_unique<ProductGridModel>();
    grid->AddColumn(Gbk("记录时间"), 140, Qt::AlignLeft);
    for (const std::string &shop : table.shops)
        grid->AddColumn(shop, 60, Qt::AlignHCenter);
    std::vector<std::vector<std::string>> rows;
    for (const PriceHistoryRow &row : table.rows) {
        std::vector<std::string> cells{RowLabel(row)};
        for (const std::optional<double> &price : row.prices)
            cells.push_back(price ? PriceNumberText(*price) : std::string());
        rows.push_back(std::move(cells));
    }
    grid->AppendRows(std::move(rows));
    return grid;
}

} // namespace corvix
