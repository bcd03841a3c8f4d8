#include "products/LastSaved.h"

#include "products/LinkFile.h"
#include "products/RecordStamp.h"
#include "support/Gbk.h"

namespace corvix {
namespace {

constexpr std::string_view kSection = "lastsaved";

LinkFile ReadSideFile(const std::filesystem::path &dbDir)
{
    return LinkFile::Load(LastSavedPath(dbDir)).value_or(LinkFile());
}

// The save time of a record file name ("1733640000.txt"), listed or not.
std::optional<QDateTime> SaveTimeOf(std::string_view fileName)
{
    if (fileName.empty())
        return std::nullopt;
    return RecordDateTime(TextBeforeMarker(fileName, "."));
}

const RecordListEntry *Listed(const std::vector<RecordListEntry> &records, std::string_view fileName)
{
    for (const RecordListEntry &entry : records)
        if (PathToGbk(entry.file) == fileName)
            return &entry;
    return nullptr;
}

// records are listed in the order of their save times.
const RecordListEntry *LatestOf(const std::vector<RecordListEntry> &records)
{
    return records.empty() ? nullptr : &records.back();
}

} // namespace

std::filesystem::path LastSavedPath(const std::filesystem::path &dbDir)
{
    return dbDir / "lastsaved.ini";
}

std::optional<RecordListEntry> LastSavedRecord(const std::filesystem::path &dbDir,
                                               const std::vector<RecordListEntry> &records)
{
    const RecordListEntry *latest = LatestOf(records);
    if (!latest)
        return std::nullopt;
    const LinkFile side = ReadSideFile(dbDir);
    const RecordListEntry *last = Listed(records, side.Value(kSection, "record"));
    if (!last)
        return *latest;
    std::optional<QDateTime> known = SaveTimeOf(side.Value(kSection, "latest"));
    if (!known)
        known = RecordDateTime(last->name);
    if (const std::optional<QDateTime> newest = RecordDateTime(latest->name); newest && known && *newest > *known)
        return *latest; // saved since by a program that keeps no side file
    return *last;
}

std::optional<RecordListEntry> RecordSavedBefore(const std::filesystem::path &dbDir,
                                                 const std::vector<RecordListEntry> &records, std::string_view name)
{
    if (const std::optional<RecordListEntry> last = LastSavedRecord(dbDir, records); last && last->name == name) {
        if (const RecordListEntry *before = Listed(records, ReadSideFile(dbDir).Value(kSection, "before"));
            before && before->name != name)
            return *before;
    }
    if (const RecordListEntry *before = RecordBefore(records, name))
        return *before;
    return std::nullopt;
}

std::string LastSavedTextAfter(const std::filesystem::path &dbDir, const std::vector<RecordListEntry> &records,
                               const std::filesystem::path &fileName)
{
    const std::string saved = PathToGbk(fileName);
    std::string latest = saved;
    if (const RecordListEntry *listed = LatestOf(records)) {
        const std::optional<QDateTime> listedTime = RecordDateTime(listed->name);
        const std::optional<QDateTime> savedTime = SaveTimeOf(saved);
        if (listedTime && (!savedTime || *listedTime > *savedTime))
            latest = PathToGbk(listed->file);
    }
    LinkFile side;
    side.SetValue(kSection, "record", saved);
    if (const std::optional<RecordListEntry> before = LastSavedRecord(dbDir, records))
        side.SetValue(kSection, "before", PathToGbk(before->file));
    side.SetValue(kSection, "latest", latest);
    return side.Text();
}

} // namespace corvix
