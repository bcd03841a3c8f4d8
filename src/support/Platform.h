#pragma once
// The few facts that differ between operating systems.

#include <cstdio>
#include <filesystem>

namespace corvix {

bool RunningAsRoot();

// fopen for a path in the platform's own file-name encoding (wide on Windows).
std::FILE *OpenFile(const std::filesystem::path &path, const char *mode);

} // namespace corvix
