#include "support/Platform.h"

#if defined(_WIN32)
#include <string>

namespace corvix {
bool RunningAsRoot() { return false; }

std::FILE *OpenFile(const std::filesystem::path &path, const char *mode)
{
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(path.c_str(), wideMode.c_str());
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
} // namespace corvix
#endif
