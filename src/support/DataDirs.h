#pragma once
#include <filesystem>

namespace corvix {

// The data root "varnwick" and its directories, as full paths.
struct DataDirs {
    std::filesystem::path root;      // .../varnwick
    std::filesystem::path classDir;  // rule index, test.txt, temp.xls
    std::filesystem::path dbDir;     // record files, url.ini
    std::filesystem::path spiderDir; // one *.spider.cfg per rule
};

} // namespace corvix
