#pragma once
// Files that only their owner may read: keys, tokens and passwords the user
// entered. Such a file never exists readable by others, not even for a moment
// while it is written.
#include "support/Result.h"

#include <filesystem>
#include <string_view>

namespace corvix {

// Replaces the file atomically with bytes. The new content is written to a
// file beside it that is created readable and writable by its owner only
// (0600 where the system has such modes) and then renamed over the target; the
// target's mode is checked afterwards and set back to 0600 when it differs. On
// failure the old file stays and the error names the reason.
Result<void> WriteOwnerOnlyFile(const std::filesystem::path &path, std::string_view bytes);

// Whether the file can be read by its owner only; false for a missing file.
bool OwnerOnly(const std::filesystem::path &path);

// Takes every right away from group and others; an error naming the file
// when it cannot.
Result<void> MakeOwnerOnly(const std::filesystem::path &path);

} // namespace corvix
