#pragma once
// One program per data root: a lock file in the root keeps a window and a
// headless capture, or two of either, from writing the same files. The system
// holds the lock for the holder's open file, so it is free the moment the
// holder ends, whatever the file was left holding.
#include <QString>

#include <cstdint>
#include <filesystem>

namespace corvix {

class DataRootLock {
public:
    explicit DataRootLock(const std::filesystem::path &root);
    ~DataRootLock();
    DataRootLock(const DataRootLock &) = delete;
    DataRootLock &operator=(const DataRootLock &) = delete;

    // True when another running process holds the root (then nothing may be written).
    bool HeldElsewhere() const { return heldElsewhere_; }
    // True when something that is no file (a folder) sits where the lock file
    // belongs: the root cannot be locked and must not be used unlocked.
    bool PlaceTaken() const { return placeTaken_; }
    // "进程 1234（主机 name）": who holds it, as its lock file says; "另一个进程"
    // when the file does not say.
    QString Holder() const;
    const std::filesystem::path &Path() const { return path_; }
    static std::filesystem::path LockPath(const std::filesystem::path &root) { return root / "corvix.lock"; }

private:
    std::filesystem::path path_;
    std::intptr_t handle_ = -1;
    bool heldElsewhere_ = false;
    bool placeTaken_ = false;
};

} // namespace corvix
