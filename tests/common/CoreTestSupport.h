#pragma once
// Helpers shared by the tests of the core: a data root in a temporary
// directory, and whole-file bytes.
#include "support/DataDirs.h"

#include <QTemporaryDir>

#include <filesystem>
#include <string>

namespace corvix::test {

class TempDataRoot {
public:
    TempDataRoot();
    const DataDirs &Dirs() const { return dirs_; }
    std::filesystem::path Dir() const;
    // Writes GBK bytes to a file below the data root's parent directory.
    static void WriteBytes(const std::filesystem::path &path, const std::string &bytes);
    static std::string ReadBytes(const std::filesystem::path &path);

private:
    QTemporaryDir dir_;
    DataDirs dirs_;
};

} // namespace corvix::test
