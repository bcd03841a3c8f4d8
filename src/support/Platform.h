#pragma once
// The few facts that differ between operating systems.

#include <cstdio>
#include <filesystem>

namespace corvix {

bool RunningAsRoot();

// fopen for a path in the platform's own file-name encoding (wide on Windows).
std::FILE *OpenFile(const std::filesystem::path &path, const char *mode);

// Asks the system to put what was written through the open file (a C library
// file number, as QFileDevice::handle() gives it) onto the disk itself, so that
// a file renamed into place afterwards never turns up empty after a power cut.
bool SyncToDisk(int fileNumber);

} // namespace corvix
