#include "capture/CapturePlan.h"

#include "capture/CellTexts.h"
#include "products/LinkFile.h"
#include "products/PriceChanges.h"
#include "products/ProductGridModel.h"
#include "products/RecordFile.h"
#include "support/HostName.h"
#include "support/Gbk.h"
#include "support/TextUtils.h"

#include <algorithm>
#include <memory>
#include <unordered_map>

namespace corvix {

std::string CaptureAddress(std::string_view link)
{
    if (FindText(link, "http") == kNotFound)
        return {};
    return WebAddress(link);
}

LinkKind KindOfLink(std::string_view stored)
{
    if (TrimText(stored).empty())
        return LinkKind::Missing;
    return CaptureAddress(stored).empty() ? LinkKind::NotWeb : LinkKind::Web;
}

int CapturePlan::CountedLinks() const
{
    return static_cast<int>(
        std::count_if(links.begin(), links.end(), [](const PlannedLink &l) { return l.kind != LinkKind::Missing; }));
}

namespace {

PlannedLink PlanLink(int row, int column, std::string stored)
{
    PlannedLink link{.row = row, .column = column, .stored = std::move(stored), .address = {}, .kind = {}};
    link.kind = KindOfLink(link.stored);
    if (link.kind == LinkKind::Web)
        link.address = CaptureAddress(link.stored);
    return link;
}

} // namespace

CapturePlan PlanFromLinkFile(const LinkFile &links, const std::vector<std::string> &shopTitles)
{
    CapturePlan plan;
    plan.shops = shopTitles;
    const int products = links.ProductCount();
    plan.titles.reserve(static_cast<size_t>(products));
    for (int i = 0; i < products; ++i) {
        plan.titles.push_back(links.ProductValue(i, "title"));
        for (size_t k = 0; k < shopTitles.size(); ++k)
            plan.links.push_back(PlanLink(i, static_cast<int>(k) + kFirstSiteColumn,
                                          links.ProductValue(i, shopTitles[k])));
    }
    return plan;
}

CapturePlan PlanRetry(const ProductGridModel &grid, const LinkFile &links)
{
    CapturePlan plan;
    plan.retry = true;
    for (int j = kFirstSiteColumn; j < grid.ColumnCount(); ++j)
        plan.shops.push_back(grid.Title(j));
    for (int i = 0; i < grid.RowCount(); ++i) {
        for (int j = kFirstSiteColumn; j < grid.ColumnCount(); ++j) {
            const std::string &text = grid.Text(i, j);
            // A sold-out product is no failure: it is looked at again by the next run.
            if (!NeedsRetry(ClassifyCell(text)))
                continue;
            PlannedLink link = PlanLink(i, j, links.ProductValue(i, grid.Title(j)));
            if (link.kind != LinkKind::Missing)
                plan.links.push_back(std::move(link));
        }
    }
    return plan;
}

RunRows RowsBeforeRun(const CapturePlan &plan, const ProductGridModel &previous)
{
    std::unordered_map<std::string, std::vector<int>> rowsOfTitle;
    for (int r = 0; r < previous.RowCount(); ++r)
        rowsOfTitle[previous.Text(r, kProductTitleColumn)].push_back(r);
    std::unordered_map<std::string, size_t> taken;
    std::vector<int> previousColumn;
    for (const std::string &shop : plan.shops)
        previousColumn.push_back(previous.FindColumn(shop));

    RunRows out;
    const size_t columns = plan.shops.size() + kFirstSiteColumn;
    out.rows.assign(plan.titles.size(), std::vector<std::string>(columns));
    out.sourceRows.assign(plan.titles.size(), -1);
    // A product that a shop does not sell shows so, whatever it showed before.
    for (const PlannedLink &link : plan.links)
        if (link.kind == LinkKind::Missing)
            out.rows[static_cast<size_t>(link.row)][static_cast<size_t>(link.column)] = NoLinkText();
    for (size_t i = 0; i < plan.titles.size(); ++i) {
        const std::string &title = plan.titles[i];
        out.rows[i][kProductTitleColumn] = title;
        const auto found = rowsOfTitle.find(title);
        if (found == rowsOfTitle.end())
            continue;
        size_t &n = taken[title];
        if (n >= found->second.size())
            continue;
        const int before = found->second[n++];
        out.sourceRows[i] = before;
        for (size_t k = 0; k < plan.shops.size(); ++k) {
            std::string &cell = out.rows[i][k + kFirstSiteColumn];
            if (previousColumn[k] < kFirstSiteColumn || !cell.empty())
                continue;
            const std::string &text = previous.Text(before, previousColumn[k]);
            if (text.empty() || text == NoLinkText())
                continue;
            cell = text;
            out.previousCells.emplace_back(static_cast<int>(i), static_cast<int>(k) + kFirstSiteColumn);
        }
    }
    return out;
}

void ShowPlanRows(ProductGridModel &grid, const CapturePlan &plan, const std::filesystem::path &dbDir,
                  KeptTexts kept)
{
    std::unique_ptr<ProductGridModel> newest;
    if (grid.ShowsOlderRecord()) {
        const std::string name = NewestRecordName(dbDir);
        if (!name.empty())
            newest = LoadRecordWithColumnsOf(grid, PathInDir(dbDir, name));
    }
    const ProductGridModel &previous = newest ? *newest : grid;
    RunRows rows = RowsBeforeRun(plan, previous);
    std::vector<std::pair<int, int>> marked;
    if (kept == KeptTexts::NotRefreshed) {
        marked = std::move(rows.previousCells);
    } else {
        for (const auto &[row, column] : rows.previousCells) {
            const int before = rows.sourceRows[static_cast<size_t>(row)];
            const int beforeColumn = previous.FindColumn(plan.shops[static_cast<size_t>(column - kFirstSiteColumn)]);
            if (previous.NotRefreshed(before, beforeColumn))
                marked.emplace_back(row, column);
        }
    }
    grid.ClearRows();
    grid.SetShowsOlderRecord(false);
    grid.AppendRows(std::move(rows.rows));
    grid.RenumberIds();
    grid.MarkNotRefreshed(marked);
}

bool RowsShowProductsOf(const ProductGridModel &grid, const LinkFile &links)
{
    if (grid.RowCount() < links.ProductCount())
        return false;
    for (int r = 0; r < links.ProductCount(); ++r)
        if (grid.Text(r, kProductTitleColumn) != links.ProductValue(r, "title"))
            return false;
    return true;
}

bool FollowLinkFileProducts(ProductGridModel &grid, const std::filesystem::path &linkFile,
                            const std::filesystem::path &dbDir)
{
    const Result<LinkFile> links = LinkFile::Load(linkFile);
    if (!links || links->ProductCount() == 0 || RowsShowProductsOf(grid, *links))
        return false;
    ShowPlanRows(grid, PlanFromLinkFile(*links, grid.ShopTitles()), dbDir, KeptTexts::MarksAsBefore);
    return true;
}

} // namespace corvix
