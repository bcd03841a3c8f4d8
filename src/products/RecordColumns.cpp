#include "products/RecordColumns.h"

#include "products/ProductGridModel.h"
#include "support/FileIo.h"

namespace corvix {
namespace {

// Values lose the blanks around them in an INI line, and a rule may be titled
// " A": such a title (and one that starts with a quote) is written in quotes,
// and one pair of quotes around a value is taken off when it is read.
std::string QuotedTitle(const std::string &title)
{
    const bool quote = title.empty() || title.front() == ' ' || title.front() == '\t' || title.back() == ' '
                       || title.back() == '\t' || title.front() == '"';
    return quote ? '"' + title + '"' : title;
}

std::string UnquotedTitle(std::string value)
{
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

// The record's name as the record list shows it: up to the first "." (a GBK
// second byte is never a ".").
std::string SectionOf(std::string_view recordName)
{
    return std::string(recordName.substr(0, recordName.find('.')));
}

LinkFile LoadColumnsFile(const std::filesystem::path &dbDir) { return LinkFile::Load(RecordColumnsPath(dbDir)).value_or(LinkFile()); }

} // namespace

std::filesystem::path RecordColumnsPath(const std::filesystem::path &dbDir) { return dbDir / "columns.ini"; }

RecordColumns ReadRecordColumns(const LinkFile &columnsFile, std::string_view recordName)
{
    RecordColumns columns;
    const std::string section = SectionOf(recordName);
    for (int k = 1; columnsFile.HasValue(section, std::to_string(k)); ++k)
        columns.shops.push_back(UnquotedTitle(columnsFile.Value(section, std::to_string(k))));
    // A record of a grid without shops has a section without keys.
    columns.known = !columns.shops.empty() || columnsFile.HasSection(section);
    return columns;
}

RecordColumns ReadRecordColumns(const std::filesystem::path &dbDir, std::string_view recordName)
{
    return ReadRecordColumns(LoadColumnsFile(dbDir), recordName);
}

void SetRecordColumns(LinkFile &columnsFile, std::string_view recordName, const ProductGridModel &grid)
{
    const std::string section = SectionOf(recordName);
    columnsFile.RemoveSection(section);
    columnsFile.AddSection(section);
    for (int c = kFirstSiteColumn; c < grid.ColumnCount(); ++c)
        columnsFile.SetValue(section, std::to_string(c - kFirstSiteColumn + 1), QuotedTitle(grid.Title(c)));
}

std::string RecordColumnsTextWith(const std::filesystem::path &dbDir, std::string_view recordName,
                                  const ProductGridModel &grid)
{
    LinkFile file = LoadColumnsFile(dbDir);
    SetRecordColumns(file, recordName, grid);
    return file.Text();
}

bool WriteRecordColumns(const std::filesystem::path &dbDir, std::string_view recordName,
                        const ProductGridModel &grid)
{
    return WriteFileAtomically(RecordColumnsPath(dbDir), RecordColumnsTextWith(dbDir, recordName, grid)).has_value();
}

bool DropRecordColumns(const std::filesystem::path &dbDir, std::string_view recordName)
{
    LinkFile file = LoadColumnsFile(dbDir);
    const std::string section = SectionOf(recordName);
    if (!file.HasSection(section))
        return true;
    file.RemoveSection(section);
    return file.Save(RecordColumnsPath(dbDir)).has_value();
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
