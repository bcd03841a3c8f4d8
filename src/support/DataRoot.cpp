#include "support/DataRoot.h"
#include "support/PathText.h"

#include <QString>
#include <QTemporaryFile>

#include <system_error>

namespace corvix {
namespace {


bool CanWriteInto(const std::filesystem::path &dir) { return WhyNotWritable(dir).isEmpty(); }

void CreateTree(const DataDirs &dirs)
{
    std::error_code ec;
    std::filesystem::create_directories(dirs.root, ec);
    for (const auto &d : {dirs.classDir, dirs.dbDir, dirs.spiderDir})
        std::filesystem::create_directory(d, ec);
}

// Copies the whole tree to target through a sibling folder that is renamed
// only when complete, so an interrupted copy never passes for the user's data.
std::error_code CopyTree(const std::filesystem::path &from, const std::filesystem::path &target)
{
    std::error_code ec;
    std::filesystem::create_directories(target.parent_path(), ec);
    std::filesystem::path partial = target;
    partial += ".copying";
    std::filesystem::remove_all(partial, ec);
    std::filesystem::copy(from, partial, std::filesystem::copy_options::recursive, ec);
    if (!ec)
        std::filesystem::rename(partial, target, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove_all(partial, ignored);
    }
    return ec;
}

} // namespace

// The probe is a temporary file that removes itself, whatever happened.
QString WhyNotWritable(const std::filesystem::path &dir)
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir, ec))
        return ec ? QString::fromLocal8Bit(ec.message().c_str()) : QStringLiteral("不是文件夹");
    QTemporaryFile probe(PathText(dir / ".corvix-write-probe-XXXXXX"));
    if (probe.open() && probe.write("x", 1) == 1 && probe.flush() && probe.error() == QFileDevice::NoError)
        return {};
    return probe.errorString();
}

DataDirs DataDirsUnder(const std::filesystem::path &root)
{
    DataDirs dirs;
    dirs.root = root;
    dirs.classDir = root / "class";
    dirs.dbDir = root / "db";
    dirs.spiderDir = root / "spider";
    return dirs;
}

std::filesystem::path ChangeJournalPath(const std::filesystem::path &root) { return root / "changes.journal"; }

PreparedDataRoot PrepareDataRoot(const std::filesystem::path &programDir, const std::filesystem::path &fallbackDir)
{
    PreparedDataRoot prepared;
    const std::filesystem::path besideProgram = programDir / "varnwick";
    std::error_code ec;
    const bool anythingThere = std::filesystem::exists(besideProgram, ec);
    const bool existed = std::filesystem::is_directory(besideProgram, ec);
    prepared.dirs = DataDirsUnder(besideProgram);
    if (CanWriteInto(besideProgram) || fallbackDir.empty()) {
        CreateTree(prepared.dirs);
        return prepared;
    }
    if (!anythingThere)
        std::filesystem::remove(besideProgram, ec); // the empty folder this start made
    const std::filesystem::path inUserFolder = fallbackDir / "varnwick";
    if (existed && !std::filesystem::exists(inUserFolder, ec)) {
        if (const std::error_code copyError = CopyTree(besideProgram, inUserFolder)) {
            prepared.copyError = copyError.message();
            return prepared;
        }
        prepared.copiedFrom = besideProgram;
    }
    prepared.dirs = DataDirsUnder(inUserFolder);
    CreateTree(prepared.dirs);
    return prepared;
}

} // namespace corvix
