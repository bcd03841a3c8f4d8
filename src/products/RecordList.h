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
    std::string name;        // GBK, the file name up to its first "."
    std::string displayTime; // GBK, empty when the name is no readable stamp
};

std::vector<RecordListEntry> ListRecordEntries(const std::filesystem::path &dbDir);

// The bytes of text before the first occurrence of marker at or after start
// (1-based; below 1 means 1), or the empty text when the marker does not occur.
std::string TextBeforeMarker(std::string_view text, std::string_view marker, TextPos start = 1,
                             bool ignoreCase = false);

} // namespace corvix
