#pragma once
// The item "价格走势" of the menu "列表操作": opens the price history window of
// the selected row's product over the shops of the grid's columns.
#include <QObject>

namespace corvix {

struct DataDirs;

class PriceHistoryLoader;
class PriceHistoryWindow;
class ProductListPage;
class UiSettings;

class PriceHistoryController : public QObject {
    Q_OBJECT
public:
    // loader keeps the history index and outlives the page's windows; so do
    // the settings (may be null) that keep the folder of the last export.
    PriceHistoryController(ProductListPage *page, const PriceHistoryLoader &loader, UiSettings *settings = nullptr);
    // With the toggle "单价" on, a history opens in prices per unit of the pack
    // sizes kept in dirs (packs.ini).
    void FollowUnitPrices(const DataDirs *dirs) { dirs_ = dirs; }

    // The window of the selected row's product, shown; nullptr without a selected row.
    PriceHistoryWindow *OpenHistory();

private:
    ProductListPage *page_;
    const PriceHistoryLoader &loader_;
    UiSettings *settings_;
    const DataDirs *dirs_ = nullptr;
};

} // namespace corvix
