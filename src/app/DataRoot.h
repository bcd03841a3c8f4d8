#pragma once
#include "app/ProgramState.h"

#include <filesystem>

namespace corvix {

// Creates "varnwick" with "class", "db" and "spider" inside programDir and returns
// their paths. When programDir cannot be written (an installed copy under /usr),
// the tree is made inside fallbackDir instead, so that nothing the user saves is
// lost without a word. Failures to create a directory are otherwise ignored.
DataDirs PrepareDataRoot(const std::filesystem::path &programDir, const std::filesystem::path &fallbackDir);

// The directory tree under root, without touching the disk.
DataDirs DataDirsUnder(const std::filesystem::path &root);

} // namespace corvix
