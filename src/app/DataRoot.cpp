#include "app/DataRoot.h"

#include <fstream>
#include <system_error>

namespace corvix {
namespace {

bool CanWriteInto(const std::filesystem::path &dir)
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir, ec))
        return false;
    const auto probe = dir / ".corvix-write-probe";
    {
        std::ofstream out(probe, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out << 'x';
        if (!out.flush())
            return false;
    }
    std::filesystem::remove(probe, ec);
    return true;
}

void CreateTree(const DataDirs &dirs)
{
    std::error_code ec;
    for (const auto &d : {dirs.root, dirs.classDir, dirs.dbDir, dirs.spiderDir})
        std::filesystem::create_directory(d, ec);
}

} // namespace

DataDirs DataDirsUnder(const std::filesystem::path &root)
{
    DataDirs dirs;
    dirs.root = root;
    dirs.classDir = root / "class";
    dirs.dbDir = root / "db";
    dirs.spiderDir = root / "spider";
    return dirs;
}

DataDirs PrepareDataRoot(const std::filesystem::path &programDir, const std::filesystem::path &fallbackDir)
{
    DataDirs dirs = DataDirsUnder(programDir / "varnwick");
    if (!CanWriteInto(dirs.root) && !fallbackDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(fallbackDir, ec);
        dirs = DataDirsUnder(fallbackDir / "varnwick");
    }
    CreateTree(dirs);
    return dirs;
}

} // namespace corvix
