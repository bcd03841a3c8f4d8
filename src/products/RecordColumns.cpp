#include "products/RecordColumns.h"

#include "products/ProductGridModel.h"
#include "support/FileIo.h"

namespace corvix {
namespace {

// The record's name as the record list shows it: up to the first "." (a GBK
// second byte is never a ".").
std::string SectionOf(std::string_view recordName)
{
    return std::string(recordName.substr(0, recordName.find('.')));
}


} // namespace

std::filesystem::path RecordColumnsPath(const std::filesystem::path &dbDir) { return dbDir / "columns.ini"; }

RecordColumns ReadRecordColumns(const LinkFile &columnsFile, std::string_view recordName)
{
    RecordColumns columns;
    const std::string section = SectionOf(recordName);
    columns.shops = columnsFile.NumberedValues(section, "");
    for (std::string &shop : columns.shops)
        shop = UnquotedIniValue(std::move(shop));
    // A record of a grid without shops has a section without keys.
    columns.known = !columns.shops.empty() || columnsFile.HasSection(section);
    return columns;
}

RecordColumns ReadRecordColumns(const std::filesystem::path &dbDir, std::string_view recordName)
{
    return ReadRecordColumns(LoadSideFile(RecordColumnsPath(dbDir)).value_or(LinkFile()), recordName);
}

void SetRecordColumns(LinkFile &columnsFile, std::string_view recordName, const ProductGridModel &grid)
{
    std::vector<std::pair<std::string, std::string>> titles;
    for (int c = kFirstSiteColumn; c < grid.ColumnCount(); ++c)
        titles.emplace_back(std::to_string(c - kFirstSiteColumn + 1), QuotedIniValue(grid.Title(c)));
    columnsFile.ReplaceSection(SectionOf(recordName), titles);
}

Result<std::string> RecordColumnsTextWith(const std::filesystem::path &dbDir, std::string_view recordName,
                                          const ProductGridModel &grid)
{
    Result<LinkFile> file = LoadSideFile(RecordColumnsPath(dbDir));
    if (!file)
        return tl::unexpected<FileError>(std::move(file.error()));
    SetRecordColumns(*file, recordName, grid);
    return file->Text();
}

Result<void> WriteRecordColumns(const std::filesystem::path &dbDir, std::string_view recordName,
                                const ProductGridModel &grid)
{
    return RecordColumnsTextWith(dbDir, recordName, grid).and_then([&dbDir](const std::string &text) {
        return WriteFileAtomically(RecordColumnsPath(dbDir), text);
    });
}

Result<void> DropRecordColumns(const std::filesystem::path &dbDir, std::string_view recordName)
{
    Result<LinkFile> file = LoadSideFile(RecordColumnsPath(dbDir));
    if (!file)
        return tl::unexpected(std::move(file.error()));
    const std::string section = SectionOf(recordName);
    if (!file->HasSection(section))
        return {};
    file->RemoveSection(section);
    return file->Save(RecordColumnsPath(dbDir));
}

RecordFieldMap::RecordFieldMap(const RecordColumns &record, const ProductGridModel &grid)
    : byTitle_(record.known), columnCount_(grid.ColumnCount())
{
    if (!byTitle_)
        return;
    columns_.assign(record.shops.size() + 1, -1);
    if (columnCount_ > kProductTitleColumn)
        columns_[0] = kProductTitleColumn;
    std::vector<bool> taken(static_cast<size_t>(columnCount_), false);
    for (size_t k = 0; k < record.shops.size(); ++k) {
        for (int c = kFirstSiteColumn; c < columnCount_; ++c) {
            if (!taken[static_cast<size_t>(c)] && grid.Title(c) == record.shops[k]) {
                taken[static_cast<size_t>(c)] = true;
                columns_[k + 1] = c;
                break;
            }
        }
    }
}

int RecordFieldMap::GridColumn(size_t field) const
{
    if (byTitle_)
        return field < columns_.size() ? columns_[field] : -1;
    const size_t column = field + kProductTitleColumn;
    return column < static_cast<size_t>(columnCount_) ? static_cast<int>(column) : -1;
}

} // namespace corvix
