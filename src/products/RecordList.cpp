#include "products/RecordList.h"

#include "products/RecordStamp.h"
#include "support/FileIo.h"
#include "support/Gbk.h"

#include <algorithm>

namespace corvix {

std::string TextBeforeMarker(std::string_view text, std::string_view marker, TextPos start, bool ignoreCase)
{
    const TextPos p = FindText(text, marker, start, ignoreCase);
    if (p == kNotFound)
        return {};
    return LeftText(text, p - 1);
}

RecordListEntry RecordEntryOf(const std::filesystem::path &fileName)
{
    RecordListEntry entry;
    entry.name = TextBeforeMarker(PathToGbk(fileName), ".", 1, false);
    entry.displayTime = StampToDisplayTime(entry.name);
    entry.file = fileName;
    return entry;
}

std::vector<RecordListEntry> ListRecordEntries(const std::filesystem::path &dbDir)
{
    std::vector<RecordListEntry> entries;
    for (const auto &file : ListFiles(dbDir, "*.txt", false))
        entries.push_back(RecordEntryOf(file));
    return entries;
}

std::vector<RecordListEntry> ListRecords(const std::filesystem::path &dbDir)
{
    const QDateTime latest = LatestRecordTime();
    std::vector<RecordListEntry> entries;
    for (const auto &file : ListFiles(dbDir, "*.txt", false)) {
        RecordListEntry entry = RecordEntryOf(file);
        if (IsRecordName(entry.name, latest))
            entries.push_back(std::move(entry));
    }
    // Ten-digit and millisecond names do not sort by time among each other.
    std::stable_sort(entries.begin(), entries.end(), [](const RecordListEntry &a, const RecordListEntry &b) {
        return *RecordDateTime(a.name) < *RecordDateTime(b.name);
    });
    return entries;
}

std::vector<std::filesystem::path> NonRecordFiles(const std::filesystem::path &dbDir)
{
    const QDateTime latest = LatestRecordTime();
    std::vector<std::filesystem::path> others;
    for (const auto &file : ListFiles(dbDir, "*.txt", false))
        if (!IsRecordName(RecordEntryOf(file).name, latest))
            others.push_back(file);
    return others;
}

const RecordListEntry *RecordBefore(const std::vector<RecordListEntry> &entries, std::string_view name)
{
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].name == name)
            return i > 0 ? &entries[i - 1] : nullptr;
    return nullptr;
}

} // namespace corvix
