#pragma once
// One program per data root: a lock file in the root keeps a window and a
// headless capture, or two of either, from writing the same files. A lock left
// by a process that no longer runs is taken over.
#include <QLockFile>
#include <QString>

#include <filesystem>
#include <memory>

namespace corvix {

class DataRootLock {
public:
    explicit DataRootLock(const std::filesystem::path &root);

    // True when another running process holds the root (then nothing may be written).
    bool HeldElsewhere() const { return heldElsewhere_; }
    // "进程 1234（主机 name）": who holds it, for the message.
    QString Holder() const;
    static std::filesystem::path LockPath(const std::filesystem::path &root) { return root / "corvix.lock"; }

private:
    std::unique_ptr<QLockFile> lock_;
    bool heldElsewhere_ = false;
};

} // namespace corvix
