#pragma once
// What a capture run or a retry visits, decided before anything loads: the
// product rows with their titles and, per shop column, the link as url.ini
// holds it and the web address it is captured from. The run only carries the
// plan out, so everything here is decided once and tested without a browser.
#include <filesystem>
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
    // The row of `previous` that each row took its texts from; -1 for none.
    std::vector<int> sourceRows;
};
RunRows RowsBeforeRun(const CapturePlan &plan, const ProductGridModel &previous);

// How the texts that products keep from the rows shown before are marked: a
// run's are not refreshed until their links give results; an import's (or
// start-up's) keep the mark each cell had.
enum class KeptTexts { NotRefreshed, MarksAsBefore };

// Gives grid the rows of plan, numbered, as the current results: RowsBeforeRun
// over the rows the grid shows, or over the newest record of dbDir while the
// grid shows an older record (those rows are no results of this program).
void ShowPlanRows(ProductGridModel &grid, const CapturePlan &plan, const std::filesystem::path &dbDir,
                  KeptTexts kept);

// Whether each of url.ini's products is shown as the grid's row of its number
// (the same title there). Rows beyond the products (a record of products taken
// out of url.ini by other means) belong to none and are no obstacle.
bool RowsShowProductsOf(const ProductGridModel &grid, const LinkFile &links);

// At start-up, over the rows of the newest record: when they do not show
// url.ini's products (imported after the last run, or a run that never ended),
// those become the rows, so that no row stands for another product's section
// and no import is hidden. Each keeps the texts its title's row showed. A
// url.ini without products (or none) leaves the rows. True when they changed.
bool FollowLinkFileProducts(ProductGridModel &grid, const std::filesystem::path &linkFile,
                            const std::filesystem::path &dbDir);

} // namespace corvix
