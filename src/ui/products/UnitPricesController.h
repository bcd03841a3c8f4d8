#pragma once
// The toggle "单价": every cell whose pack size is known shows its price per
// unit, the row's cheapest buy marked, taken anew whenever the grid changes.
#include <QObject>

namespace corvix {

class ChangeMarksController;
class ProductListPage;
struct Session;

class UnitPricesController : public QObject {
    Q_OBJECT
public:
    UnitPricesController(ProductListPage *page, Session &session, ChangeMarksController *marks);
    // Takes the sizes from packs.ini again (after 编辑商品… or an import).
    void Refresh();

private:
    ProductListPage *page_;
    Session &session_;
    ChangeMarksController *marks_;
};

} // namespace corvix
