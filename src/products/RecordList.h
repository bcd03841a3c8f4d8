#pragma once
// The rows of the record list (超级列表框4): one per "*.txt" of DbDir in
// ascending name order, each with the name up to its first "." and the save
// time read from that name.
#include "support/TextUtils.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

struct RecordListEntry {
    std::string name;           // GBK, the file name up to its first "."
    std::string displayTime;    // GBK, empty when the name is no readable stamp
    std::filesystem::path file; // the file's name in DbDir
};

// Every "*.txt" of dbDir, in ascending name order, as the list shows them.
std::vector<RecordListEntry> ListRecordEntries(const std::filesystem::path &dbDir);

// The records among them (names that IsRecordName takes) in the order of their
// save times, equal ones by name: what the last saved record, the price history
// and the change marks are made of.
std::vector<RecordListEntry> ListRecords(const std::filesystem::path &dbDir);

// The "*.txt" files of dbDir that are not records, in ascending name order.
std::vector<std::filesystem::path> NonRecordFiles(const std::filesystem::path &dbDir);

// The entry of the record file named fileName (no directory), as the list shows it.
RecordListEntry RecordEntryOf(const std::filesystem::path &fileName);

// The entry listed just before the first one named name: among records, the
// one with the next earlier save time; nullptr when that one is the first or
// is not listed.
const RecordListEntry *RecordBefore(const std::vector<RecordListEntry> &entries, std::string_view name);

// The bytes of text before the first occurrence of marker at or after start
// (1-based; below 1 means 1), or the empty text when the marker does not occur.
std::string TextBeforeMarker(std::string_view text, std::string_view marker, TextPos start = 1,
                             bool ignoreCase = false);

} // namespace corvix
