#pragma once
#include "support/DataDirs.h"

#include <QString>

#include <filesystem>
#include <string>

namespace corvix {

struct PreparedDataRoot {
    DataDirs dirs;
    // Set at the one start that copied an unwritable tree beside the program
    // into the user's folder: the tree it came from.
    std::filesystem::path copiedFrom;
    // Set when that copy failed: the tree beside the program stays in use, and
    // this says why it could not be copied (file-system text).
    std::string copyError;
};

// Creates "varnwick" with "class", "db" and "spider" inside programDir and
// returns their paths. When that tree cannot be written (a read-only install
// folder, a full disk) the user's folder fallbackDir/varnwick is used instead.
// A tree that already exists beside the program is never hidden that way: it is
// copied there first, unless a tree already exists there, which is never
// overwritten. Failures to create a directory are otherwise ignored.
PreparedDataRoot PrepareDataRoot(const std::filesystem::path &programDir, const std::filesystem::path &fallbackDir);

// Why no file can be written in dir (made when missing): the system's reason,
// or the empty text when a temporary file could be written there (and was
// removed again). Asked before work whose results would otherwise be lost.
QString WhyNotWritable(const std::filesystem::path &dir);

// The directory tree under root, without touching the disk.
DataDirs DataDirsUnder(const std::filesystem::path &root);

// The journal of the data files that change together (WriteFilesTogether):
// "changes.journal" in the root, which older installations never open.
std::filesystem::path ChangeJournalPath(const std::filesystem::path &root);

} // namespace corvix
