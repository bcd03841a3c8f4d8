#pragma once
// The rule columns of the product grid while the program runs: a rule that is
// enabled (or saved enabled) gets its column at once, at its place in index
// order, and the session's enabled rules follow the columns. Columns never go
// before a restart: a closed or deleted rule keeps its column and its rule.
#include <QObject>

namespace corvix {

struct Session;

class CaptureRunController;
class ProductListPage;

// Widens the shop columns of the page's grid that are narrower than their
// title or than their widest cell drawn after a change arrow; a column wider
// than its content, as a user may have left it, keeps its width.
void WidenShopColumnsToContent(ProductListPage &page);

class ShopColumnsController : public QObject {
    Q_OBJECT
public:
    ShopColumnsController(ProductListPage *page, Session &session);

    // A capture run's cells follow its columns: changes wait for its end.
    void FollowRun(CaptureRunController *run);
    // Reads the rules again: newly enabled rules get their columns (cells
    // empty), and the rules of shown columns still enabled take their saved texts.
    void RulesChanged();

private:
    void Apply();

    ProductListPage *page_;
    Session &session_;
    bool held_ = false;
    bool pending_ = false;
};

} // namespace corvix
