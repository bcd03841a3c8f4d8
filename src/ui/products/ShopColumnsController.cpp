#include "ui/products/ShopColumnsController.h"

#include "products/PriceChanges.h"
#include "products/ProductGridModel.h"
#include "rules/EnabledRules.h"
#include "rules/RuleIndex.h"
#include "ui/Session.h"
#include "ui/capture/CaptureRunController.h"
#include "ui/pages/ProductListPage.h"
#include "support/Gbk.h"

#include <QHeaderView>
#include <QStyle>
#include <QTreeView>

#include <algorithm>
#include <string_view>
#include <unordered_set>

namespace corvix {

void WidenShopColumnsToContent(ProductListPage &page)
{
    // A long text (a sentence a rule picked up) is elided rather than taking the row.
    constexpr int kWidest = 180;
    const ProductGridModel &grid = *page.Grid();
    QTreeView &view = *page.GridView();
    const QFontMetrics metrics = view.fontMetrics();
    // An item's text margin on both sides, as the style lays a cell out, and a
    // little room against rounding.
    const int textMargin = view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1;
    ShopColumnContent content;
    content.mark = metrics.horizontalAdvance(QStringLiteral("↑"));
    content.cellPadding = 2 * textMargin + 2;
    for (int c = kFirstSiteColumn; c < grid.ColumnCount(); ++c) {
        content.title = page.ShopColumnWidth(FromGbk(grid.Title(c)));
        // Prices repeat, and measuring a text is slow beside hashing it: each
        // text is measured once, until one is as wide as a column may grow.
        content.longestCell = 0;
        std::unordered_set<std::string_view> measured;
        for (int r = 0; r < grid.RowCount() && content.longestCell < kWidest; ++r)
            if (const std::string &text = grid.Text(r, c); measured.insert(text).second)
                content.longestCell = std::max(content.longestCell, metrics.horizontalAdvance(FromGbk(text)));
        const int current = view.header()->sectionSize(c);
        if (const int width = FittedShopColumnWidth(current, content, kWidest); width != current)
            view.header()->resizeSection(c, width);
    }
}

ShopColumnsController::ShopColumnsController(ProductListPage *page, Session &session)
    : QObject(page), page_(page), session_(session)
{
}

void ShopColumnsController::FollowRun(CaptureRunController *run)
{
    connect(run, &CaptureRunController::runStarted, this, [this] { held_ = true; });
    connect(run, &CaptureRunController::runEnded, this, [this] {
        held_ = false;
        if (pending_)
            Apply();
    });
}

void ShopColumnsController::RulesChanged()
{
    pending_ = true;
    if (!held_)
        Apply();
}

void ShopColumnsController::Apply()
{
    pending_ = false;
    const ProductGridModel &grid = *page_->Grid();
    std::vector<std::string> shown;
    for (int c = kFirstSiteColumn; c < grid.ColumnCount(); ++c)
        shown.push_back(grid.Title(c));
    std::vector<EnabledRule> enabled = LoadEnabledRules(session_.dirs);
    std::vector<std::string> enabledTitles;
    for (const EnabledRule &rule : enabled)
        enabledTitles.push_back(rule.title);
    const auto ruleOf = [&enabled](const std::string &title) {
        return std::find_if(enabled.begin(), enabled.end(), [&title](const EnabledRule &r) { return r.title == title; });
    };

    std::vector<EnabledRule> &rules = session_.enabledRules;
    for (EnabledRule &rule : rules)
        if (const auto saved = ruleOf(rule.title); saved != enabled.end())
            rule.rule = saved->rule;
    const std::vector<std::string> index = ReadRuleIndex(session_.dirs);
    for (const RuleColumnInsert &insert : PlaceNewRuleColumns(shown, index, enabledTitles)) {
        page_->InsertShopColumn(kFirstSiteColumn + insert.at, insert.title);
        const auto at = rules.begin() + std::min<std::ptrdiff_t>(insert.at, std::ssize(rules));
        rules.insert(at, *ruleOf(insert.title));
    }
}

} // namespace corvix
