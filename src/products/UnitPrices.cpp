#include "products/UnitPrices.h"

#include "capture/CellTexts.h"
#include "products/PackSizeFile.h"
#include "products/PriceChanges.h"
#include "products/ProductGridModel.h"
#include "support/Gbk.h"

#include <QByteArray>

#include <vector>

namespace corvix {

UnitPriceGrid UnitPricesOf(const ProductGridModel &grid, const PackSizeFile &packs)
{
    std::vector<DecimalMark> marks(static_cast<size_t>(std::max(grid.ColumnCount(), 0)));
    for (int c = kFirstSiteColumn; c < grid.ColumnCount(); ++c)
        marks[static_cast<size_t>(c)] = ShopDecimalMark(grid, c, nullptr, -1);
    UnitPriceGrid out;
    for (int r = 0; r < grid.RowCount(); ++r) {
        const std::string &product = grid.Text(r, kProductTitleColumn);
        const std::optional<PriceUnit> unit = product.empty() ? std::nullopt : packs.UnitOf(product);
        if (!unit)
            continue;
        std::vector<std::optional<double>> perUnit;
        std::vector<int> columns;
        for (int c = kFirstSiteColumn; c < grid.ColumnCount(); ++c) {
            const std::string &text = grid.Text(r, c);
            std::optional<double> value;
            const std::optional<Amount> size = ReadPackSize(packs.SizeText(product, grid.Title(c)));
            if (size && ClassifyCell(text) == CellState::Price)
                if (const std::optional<double> price = ReadPrice(text, marks[static_cast<size_t>(c)]))
                    value = UnitPrice(*price, *size, *unit);
            if (value) {
                out[{r, c}] = UnitPriceCell{*value, *unit, false};
                perUnit.push_back(value);
                columns.push_back(c);
            }
        }
        if (const std::optional<size_t> best = CheapestBuy(perUnit))
            out[{r, columns[*best]}].cheapest = true;
    }
    return out;
}

std::string UnitPriceText(const UnitPriceCell &cell)
{
    return QByteArray::number(cell.perUnit, 'f', 2).toStdString() + "/" + Utf8ToGbk(UnitCaption(cell.unit));
}

} // namespace corvix
