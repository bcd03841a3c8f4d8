#include "products/RecordList.h"

#include "support/Events.h"
#include "products/RecordStamp.h"
#include "support/Gbk.h"

namespace corvix {

std::string TextBeforeMarker(std::string_view text, std::string_view marker, TextPos start, bool ignoreCase)
{
    const TextPos p = FindText(text, marker, start, ignoreCase);
    if (p == kNotFound)
        return {};
    return LeftText(text, p - 1);
}

std::vector<RecordListEntry> ListRecordEntries(const std::filesystem::path &dbDir)
{
    std::vector<RecordListEntry> entries;
    for (const auto &file : ListFiles(dbDir, "*.txt", false)) {
        RecordListEntry entry;
        entry.name = TextBeforeMarker(PathToGbk(file), ".", 1, false);
        entry.displayTime = StampToDisplayTime(entry.name);
        entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace corvix
