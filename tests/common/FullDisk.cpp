#include "common/FullDisk.h"

#include <QDir>
#include <QUuid>

#include <fstream>
#include <system_error>
#include <vector>

#ifdef __linux__
#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#endif

namespace corvix::test {

FullDisk::FullDisk()
{
    dir_ = std::filesystem::path(QDir::tempPath().toStdString())
           / ("corvix-full-" + QUuid::createUuid().toString(QUuid::Id128).toStdString());
    std::filesystem::create_directories(dir_);
#ifdef __linux__
    mounted_ = ::mount("tmpfs", dir_.c_str(), "tmpfs", 0, "size=512k") == 0;
#endif
}

FullDisk::~FullDisk()
{
    Free();
#ifdef __linux__
    if (mounted_)
        ::umount2(dir_.c_str(), MNT_DETACH);
#endif
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

void FullDisk::Fill()
{
#ifdef __linux__
    if (mounted_) {
        // Block by block until the filesystem says no more.
        std::ofstream filler(dir_ / ".filler", std::ios::binary);
        const std::vector<char> block(4096, 'x');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush()) {
        }
        return;
    }
    if (!limited_) {
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        oldLimit_ = limit.rlim_cur;
        limit.rlim_cur = 0;
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead of ending the process
        ::setrlimit(RLIMIT_FSIZE, &limit);
        limited_ = true;
    }
#endif
}

void FullDisk::Free()
{
#ifdef __linux__
    if (limited_) {
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = static_cast<rlim_t>(oldLimit_);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        limited_ = false;
    }
#endif
    std::error_code ec;
    std::filesystem::remove(dir_ / ".filler", ec);
}

} // namespace corvix::test
