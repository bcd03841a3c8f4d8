#include "ui/products/PriceHistoryController.h"

#include "products/PackSizeFile.h"
#include "products/ProductGridModel.h"
#include "support/DataDirs.h"

#include <QCheckBox>
#include "ui/pages/ProductListPage.h"
#include "ui/products/PriceHistoryWindow.h"

namespace corvix {

PriceHistoryController::PriceHistoryController(ProductListPage *page, const PriceHistoryLoader &loader,
                                               UiSettings *settings)
    : QObject(page), page_(page), loader_(loader), settings_(settings)
{
    connect(page_, &ProductListPage::priceHistoryRequested, this, &PriceHistoryController::OpenHistory);
}

PriceHistoryWindow *PriceHistoryController::OpenHistory()
{
    const int row = page_->SelectedRow();
    if (row < 0)
        return nullptr;
    const ProductGridModel &grid = *page_->Grid();
    std::vector<std::string> shops;
    for (int c = kFirstSiteColumn; c < grid.ColumnCount(); ++c)
        shops.push_back(grid.Title(c));
    // Parented to the main window: it closes with the program.
    auto *window = new PriceHistoryWindow(grid.Text(row, kProductTitleColumn), std::move(shops), loader_,
                                          page_->window());
    window->KeepExportFolderIn(settings_);
    if (dirs_ && page_->UnitPricesToggle()->isChecked()) {
        const std::string &product = grid.Text(row, kProductTitleColumn);
        const PackSizeFile packs = PackSizeFile::Load(PackSizeFilePath(*dirs_));
        if (const std::optional<PriceUnit> unit = packs.UnitOf(product)) {
            std::vector<std::optional<Amount>> sizes;
            for (int c = kFirstSiteColumn; c < grid.ColumnCount(); ++c)
                sizes.push_back(ReadPackSize(packs.SizeText(product, grid.Title(c))));
            window->ShowUnitPrices(std::move(sizes), *unit);
        }
    }
    window->show();
    return window;
}

} // namespace corvix
