#pragma once
// What a capture run or a retry visits, decided before anything loads: the
// product rows with their titles and, per shop column, the link as url.ini
// holds it and the web address it is captured from. The run only carries the
// plan out, so everything here is decided once and tested without a browser.
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

class LinkFile;
class ProductGridModel;

// How a stored link is captured. A product that a shop does not sell has no
// link (no key, or a blank one): nothing loads and nothing failed.
enum class LinkKind { Web, Missing, NotWeb };

// The address a stored or imported link is captured from, or empty when it is
// not captured: it must carry "http", and it must name a web page, so that no
// local file or script address is ever loaded into the grid.
std::string CaptureAddress(std::string_view link);
LinkKind KindOfLink(std::string_view stored);

struct PlannedLink {
    int row = 0;
    int column = 0;      // grid column: shop k of the shop titles is column k + 2
    std::string stored;  // GBK, as url.ini holds it
    std::string address; // what is loaded; empty unless kind is Web
    LinkKind kind = LinkKind::Missing;
};

struct CapturePlan {
    std::vector<std::string> titles; // the product rows a run builds, in order; none for a retry
    std::vector<std::string> shops;  // the shop of grid column k + 2 is shops[k]
    std::vector<PlannedLink> links;  // in run order: row by row, shop by shop
    bool retry = false;
    // The links a run counts and reports: every one but the missing ones.
    int CountedLinks() const;
};

// A run over the products of url.ini: every product row, every shop column.
CapturePlan PlanFromLinkFile(const LinkFile &links, const std::vector<std::string> &shopTitles);

// A retry over the grid as it is: the shop cells that are empty or "获取失败"
// and have a link in url.ini (the grid's row i is url.ini's product row i).
CapturePlan PlanRetry(const ProductGridModel &grid, const LinkFile &links);

// The rows a run shows before its first link: each product's title and, for a
// product and shop that `previous` (the grid before the run) holds, its last
// text, so that a stopped run leaves no product and no price behind. Products
// are matched by title, the n-th row of a title with the n-th row of that title
// before; shops by column title. Cells whose link is missing show "—". Column 0
// is left empty for the IDs.
struct RunRows {
    std::vector<std::vector<std::string>> rows;
    // Cells that hold a text from before the run: not refreshed until a link
    // of theirs gives a result.
    std::vector<std::pair<int, int>> previousCells;
};
RunRows RowsBeforeRun(const CapturePlan &plan, const ProductGridModel &previous);

} // namespace corvix
