#include "support/Platform.h"

#if defined(_WIN32)
#include <io.h>
#include <string>
#include <windows.h>

namespace corvix {
bool RunningAsRoot() { return false; }

std::FILE *OpenFile(const std::filesystem::path &path, const char *mode)
{
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(path.c_str(), wideMode.c_str());
}

bool SyncToDisk(int fileNumber)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fileNumber));
    return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle);
}
} // namespace corvix
#else
#include <unistd.h>

namespace corvix {
bool RunningAsRoot() { return geteuid() == 0; }

std::FILE *OpenFile(const std::filesystem::path &path, const char *mode)
{
    return std::fopen(path.c_str(), mode);
}

bool SyncToDisk(int fileNumber)
{
    return fileNumber >= 0 && ::fsync(fileNumber) == 0;
}
} // namespace corvix
#endif
