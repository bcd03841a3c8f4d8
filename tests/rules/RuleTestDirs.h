#pragma once
// A fresh data root per test: varnwick/{class,db,spider} in a temporary directory.
#include "support/DataDirs.h"

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <iterator>
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

inline void PutFile(const std::filesystem::path &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string GetFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline size_t CountEntries(const std::filesystem::path &dir)
{
    size_t n = 0;
    for ([[maybe_unused]] const auto &e : std::filesystem::recursive_directory_iterator(dir))
        ++n;
    return n;
}

} // namespace corvix::testing_rules
