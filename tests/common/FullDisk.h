#pragma once
// A folder whose writes fail the way they do on a full disk. Where the test may
// mount (root on Linux), the folder is a tiny tmpfs that Fill() fills up, so
// every write meets a real ENOSPC; elsewhere Fill() lowers the process's file
// size limit to zero, so writes fail with EFBIG the same way (the data goes
// nowhere, the call reports an error). Files put into Dir() before Fill() stay
// readable throughout.
#include <filesystem>

namespace corvix::test {

class FullDisk {
public:
    FullDisk();
    ~FullDisk();
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

    const std::filesystem::path &Dir() const { return dir_; }
    // True when Dir() is a filesystem of its own that Fill() really fills.
    bool RealFilesystem() const { return mounted_; }
    // From now on no write below Dir() (with the limit: anywhere) succeeds.
    void Fill();
    // Writes work again (the filler is removed, the limit restored).
    void Free();

private:
    std::filesystem::path dir_;
    bool mounted_ = false;
    bool limited_ = false;
    unsigned long long oldLimit_ = 0;
};

} // namespace corvix::test
