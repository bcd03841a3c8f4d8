#include "products/ProductChanges.h"

#include "products/PackSizeFile.h"
#include "products/ProductGridModel.h"
#include "products/RecordFile.h"
#include "support/DataRoot.h"
#include "support/FileIo.h"
#include "support/Gbk.h"
#include "support/ListText.h"
#include "support/TextUtils.h"

namespace corvix {
namespace {

// The physical line (1-based) of the record file that holds grid row `row`:
// empty lines are skipped when a record is loaded, so they hold no row. 0 when
// the record has fewer rows.
long long RecordLineOfRow(const std::vector<std::string> &lines, int row)
{
    int seen = -1;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].empty())
            continue;
        if (++seen == row)
            return static_cast<long long>(i) + 1;
    }
    return 0;
}

// How many rows of the grid hold the product titled title.
int TitleRows(const ProductGridModel &grid, const std::string &title)
{
    int rows = 0;
    for (int r = 0; r < grid.RowCount(); ++r)
        rows += grid.Text(r, kProductTitleColumn) == title ? 1 : 0;
    return rows;
}

// A file the change rewrites: missing is empty, unreadable stops the change.
Result<std::string> ReadToChange(const std::filesystem::path &path, StopAt stop)
{
    return AbsentAsEmpty(ReadWholeFile(path, stop));
}

Result<void> WriteTogether(const DataDirs &dirs, const std::vector<FileContents> &files)
{
    return WriteFilesTogether(files, ChangeJournalPath(dirs.root));
}

} // namespace

// url.ini and the newest record both number the rows: they are replaced
// together (with the product's alerts), so that neither can keep a row the
// other has lost, even when the process ends on the way.
Result<ProductDeletion> DeleteProduct(const DataDirs &dirs, const ProductGridModel &grid, int row)
{
    ProductDeletion deleted;
    deleted.row = row;
    const std::string &title = grid.Text(row, kProductTitleColumn);
    const std::filesystem::path linkPath = LinkFilePath(dirs);
    const Result<std::string> linksBefore = ReadToChange(linkPath, StopAt::ZeroOrTextEnd);
    if (!linksBefore)
        return tl::unexpected(linksBefore.error());
    LinkFile links = LinkFile::Parse(*linksBefore);
    deleted.links = links.TakeProductSection(row);
    const std::string linksAfter = links.Text();

    std::vector<FileContents> changed;
    if (linksAfter != *linksBefore)
        changed.push_back({linkPath, linksAfter});
    std::string recordAfter;
    if (const std::string newest = NewestRecordName(dirs.dbDir); !newest.empty()) {
        const std::filesystem::path recordPath = PathInDir(dirs.dbDir, newest);
        const Result<std::string> record = ReadToChange(recordPath, StopAt::ZeroByte);
        if (!record)
            return tl::unexpected(record.error());
        const std::vector<std::string> lines = SplitText(*record, "\r\n");
        const long long line = RecordLineOfRow(lines, row);
        const std::string lineText = line > 0 ? lines[static_cast<size_t>(line - 1)] : std::string();
        if (line > 0 && SplitText(lineText, "|", 2).front() == title) {
            recordAfter = RemoveLine(*record, line);
            changed.push_back({recordPath, recordAfter});
            deleted.record = recordPath;
            deleted.recordLine = line;
            deleted.recordLineText = lineText;
        }
    }
    const std::filesystem::path alertsPath = AlertsFilePath(dirs);
    std::string alertsAfter;
    if (!title.empty() && TitleRows(grid, title) == 1) {
        Result<PriceAlerts> alerts = PriceAlerts::LoadToChange(alertsPath);
        if (!alerts)
            return tl::unexpected(alerts.error());
        deleted.alerts = alerts->TakeProduct(title);
        if (!deleted.alerts.empty()) {
            alertsAfter = alerts->Text();
            changed.push_back({alertsPath, alertsAfter});
        }
    }
    if (Result<void> written = WriteTogether(dirs, changed); !written)
        return tl::unexpected(written.error());
    return deleted;
}

Result<void> UndoProductDeletion(const DataDirs &dirs, const ProductDeletion &deleted)
{
    const std::filesystem::path linkPath = LinkFilePath(dirs);
    const Result<std::string> linksBefore = ReadToChange(linkPath, StopAt::ZeroOrTextEnd);
    if (!linksBefore)
        return tl::unexpected(linksBefore.error());
    LinkFile links = LinkFile::Parse(*linksBefore);
    links.RestoreProductSection(deleted.row, deleted.links);
    // FileContents only views the bytes: they live until the write is done.
    const std::string linksAfter = links.Text();
    std::vector<FileContents> changed;
    if (linksAfter != *linksBefore)
        changed.push_back({linkPath, linksAfter});
    std::string recordAfter;
    if (!deleted.record.empty()) {
        const Result<std::string> record = ReadToChange(deleted.record, StopAt::ZeroByte);
        if (!record)
            return tl::unexpected(record.error());
        recordAfter = InsertLine(*record, deleted.recordLine, deleted.recordLineText);
        changed.push_back({deleted.record, recordAfter});
    }
    const std::filesystem::path alertsPath = AlertsFilePath(dirs);
    std::string alertsAfter;
    if (!deleted.alerts.empty()) {
        Result<PriceAlerts> alerts = PriceAlerts::LoadToChange(alertsPath);
        if (!alerts)
            return tl::unexpected(alerts.error());
        for (const PriceAlert &alert : deleted.alerts)
            if (!alerts->Find(alert.product, alert.shop)) // one set again meanwhile stays
                alerts->All().push_back(alert);
        alertsAfter = alerts->Text();
        changed.push_back({alertsPath, alertsAfter});
    }
    return WriteTogether(dirs, changed);
}

// The whole section is written at once: a product never stands half edited.
// Sizes and alerts are kept by title: a renamed product takes them along,
// unless another row still bears the old title.
Result<std::vector<size_t>> StoreProductEdit(const DataDirs &dirs, const ProductGridModel &grid, int row,
                                             const ProductEdit &edit)
{
    const std::filesystem::path linkPath = LinkFilePath(dirs);
    const Result<std::string> linksBefore = ReadToChange(linkPath, StopAt::ZeroOrTextEnd);
    if (!linksBefore)
        return tl::unexpected(linksBefore.error());
    LinkFile links = LinkFile::Parse(*linksBefore);
    links.SetOrRemoveProductValue(row, "title", edit.title);
    std::vector<size_t> changedLinks;
    for (size_t i = 0; i < edit.links.size() && i < edit.shops.size(); ++i) {
        const std::string &key = edit.shops[i];
        if (!IsStorableKey(key) || links.ProductValue(row, key) == edit.links[i])
            continue;
        links.SetOrRemoveProductValue(row, key, edit.links[i]);
        changedLinks.push_back(i);
    }

    const std::string &oldTitle = grid.Text(row, kProductTitleColumn);
    const bool renamed = !oldTitle.empty() && oldTitle != edit.title && TitleRows(grid, oldTitle) == 1;
    const std::filesystem::path packsPath = PackSizeFilePath(dirs);
    Result<PackSizeFile> packs = PackSizeFile::LoadToChange(packsPath);
    if (!packs)
        return tl::unexpected(packs.error());
    const std::string packsBefore = packs->Text();
    if (renamed)
        packs->RenameProduct(oldTitle, edit.title);
    for (size_t i = 0; i < edit.sizes.size() && i < edit.shops.size(); ++i)
        if (IsStorableKey(edit.shops[i]))
            packs->SetSize(edit.title, edit.shops[i], edit.sizes[i]);
    packs->SetChosenUnit(edit.title, edit.unit);

    std::vector<FileContents> changed;
    const std::string linksAfter = links.Text();
    if (linksAfter != *linksBefore)
        changed.push_back({linkPath, linksAfter});
    const std::string packsAfter = packs->Text();
    if (packsAfter != packsBefore)
        changed.push_back({packsPath, packsAfter});
    std::string alertsAfter;
    if (renamed) {
        const std::filesystem::path alertsPath = AlertsFilePath(dirs);
        Result<PriceAlerts> alerts = PriceAlerts::LoadToChange(alertsPath);
        if (!alerts)
            return tl::unexpected(alerts.error());
        if (alerts->HasProduct(oldTitle)) {
            for (PriceAlert alert : alerts->TakeProduct(oldTitle)) {
                alert.product = edit.title;
                alerts->Set(std::move(alert));
            }
            alertsAfter = alerts->Text();
            changed.push_back({alertsPath, alertsAfter});
        }
    }
    if (Result<void> written = WriteTogether(dirs, changed); !written)
        return tl::unexpected(written.error());
    return changedLinks;
}

Result<LinkFile> ImportProducts(const DataDirs &dirs, const std::vector<ImportedProduct> &products,
                                const std::vector<std::string> &shopTitles, ImportMode mode)
{
    const std::filesystem::path linkPath = LinkFilePath(dirs);
    Result<LinkFile> links = AbsentAsEmpty(LinkFile::Load(linkPath));
    if (!links)
        return links;
    MergeImport(*links, products, shopTitles, mode);
    const std::string linksAfter = links->Text();
    std::vector<FileContents> changed{{linkPath, linksAfter}};
    // Sizes written after a link ("链接 [500g]") go beside it. An import
    // without sizes leaves packs.ini alone, whether it can be read or not.
    const std::filesystem::path packsPath = PackSizeFilePath(dirs);
    PackSizeFile packsAfter;
    TakeImportedSizes(packsAfter, products, shopTitles);
    std::string packsText;
    if (!packsAfter.All().empty()) {
        Result<PackSizeFile> packs = PackSizeFile::LoadToChange(packsPath);
        if (!packs)
            return tl::unexpected(packs.error());
        const std::string packsBefore = packs->Text();
        TakeImportedSizes(*packs, products, shopTitles);
        if (packsText = packs->Text(); packsText != packsBefore)
            changed.push_back({packsPath, packsText});
    }
    if (Result<void> written = WriteTogether(dirs, changed); !written)
        return tl::unexpected(written.error());
    return links;
}

} // namespace corvix
