#pragma once
// A fresh data root per test: varnwick/{class,db,spider} in a temporary directory.
#include "common/CoreTestSupport.h"
#include "support/DataDirs.h"

#include <QTemporaryDir>

#include <filesystem>
#include <string>

namespace corvix::testing_rules {

struct TempDataDirs {
    QTemporaryDir tmp;
    DataDirs dirs;
    TempDataDirs()
    {
        dirs.root = std::filesystem::path(tmp.path().toStdString()) / "varnwick";
        dirs.classDir = dirs.root / "class";
        dirs.dbDir = dirs.root / "db";
        dirs.spiderDir = dirs.root / "spider";
        std::filesystem::create_directories(dirs.classDir);
        std::filesystem::create_directories(dirs.dbDir);
        std::filesystem::create_directories(dirs.spiderDir);
    }
};

using test::ReadBytes;
using test::WriteBytes;

inline size_t CountEntries(const std::filesystem::path &dir)
{
    size_t n = 0;
    for ([[maybe_unused]] const auto &e : std::filesystem::recursive_directory_iterator(dir))
        ++n;
    return n;
}

} // namespace corvix::testing_rules
