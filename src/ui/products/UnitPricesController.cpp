#include "ui/products/UnitPricesController.h"

#include "products/PackSizeFile.h"
#include "products/ProductGridModel.h"
#include "products/UnitPrices.h"
#include "ui/Session.h"
#include "ui/pages/ProductListPage.h"
#include "ui/products/ChangeMarksController.h"
#include "ui/products/PriceChangeDelegate.h"

#include "support/Gbk.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QTreeView>

#include <algorithm>
#include <map>

namespace corvix {

UnitPricesController::UnitPricesController(ProductListPage *page, Session &session, ChangeMarksController *marks)
    : page_(page), session_(session), marks_(marks)
{
    connect(page, &ProductListPage::unitPricesToggled, this, &UnitPricesController::Refresh);
    ProductGridModel *grid = page->Grid();
    connect(grid, &QAbstractItemModel::dataChanged, this, &UnitPricesController::Refresh);
    connect(grid, &QAbstractItemModel::modelReset, this, &UnitPricesController::Refresh);
    connect(grid, &QAbstractItemModel::rowsInserted, this, &UnitPricesController::Refresh);
    connect(grid, &QAbstractItemModel::rowsRemoved, this, &UnitPricesController::Refresh);
}

void UnitPricesController::Refresh()
{
    PriceChangeDelegate *delegate = marks_->Delegate();
    if (!page_->UnitPricesToggle()->isChecked()) {
        if (!delegate->ShowsUnitPrices())
            return;
        delegate->SetUnitPrices({});
    } else {
        delegate->SetUnitPrices(UnitPricesOf(*page_->Grid(), PackSizeFile::Load(PackSizeFilePath(session_.dirs))));
    }
    // Unit prices are longer than pack prices: a column too narrow for them widens,
    // none is narrowed behind the user's back.
    QTreeView *view = page_->GridView();
    QFont bold = view->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    constexpr int kPadding = 14;
    std::map<int, int> widest;
    for (const auto &[cell, price] : delegate->UnitPrices()) {
        const int width = metrics.horizontalAdvance(QStringLiteral("★") + FromGbk(UnitPriceText(price))) + kPadding;
        widest[cell.second] = std::max(widest[cell.second], width);
    }
    for (const auto &[column, width] : widest)
        if (width > view->columnWidth(column))
            view->setColumnWidth(column, width);
    view->viewport()->update();
}

} // namespace corvix
