#pragma once
// Which record was saved last, in the side file "lastsaved.ini" of DbDir. A
// record's name is its save time, but names do not always follow the order of
// the saves: saves within one second take the next free seconds, and after the
// clock is set back a new record is named earlier than the one saved before
// it. The side file names the last one, so that start-up, a retry, the change
// marks and the notices take the record that was written last. Older
// installations never open it; a record one of them saves later than every
// save time the side file knew counts as the last one saved.
//
//   [lastsaved]
//   record=<file name of the record saved last>
//   before=<file name of the record saved before it>
//   latest=<file name of the record with the latest save time at that save>
#include "products/RecordList.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

std::filesystem::path LastSavedPath(const std::filesystem::path &dbDir);

// The record saved last among records (ListRecords of dbDir): the one the side
// file names, unless it is not listed or a record has a later save time than
// any the side file knew; then the one with the latest save time. nullopt
// when there are no records.
std::optional<RecordListEntry> LastSavedRecord(const std::filesystem::path &dbDir,
                                               const std::vector<RecordListEntry> &records);

// The record saved before the one named name (GBK, without ".txt"): for the
// record saved last, the one the side file names as saved before it, when
// listed; otherwise the one listed before it (the next earlier save time).
std::optional<RecordListEntry> RecordSavedBefore(const std::filesystem::path &dbDir,
                                                 const std::vector<RecordListEntry> &records, std::string_view name);

// The side file's text once the record fileName (no directory) is saved into
// dbDir; records: the records listed before that save.
std::string LastSavedTextAfter(const std::filesystem::path &dbDir, const std::vector<RecordListEntry> &records,
                               const std::filesystem::path &fileName);

} // namespace corvix
