#include "support/DataRootLock.h"
#include "support/PathText.h"

namespace corvix {

DataRootLock::DataRootLock(const std::filesystem::path &root)
    : lock_(std::make_unique<QLockFile>(PathText(LockPath(root))))
{
    // A run may hold the root for hours: only a dead holder makes a lock stale.
    lock_->setStaleLockTime(0);
    // A root that cannot take a lock file (read-only) is still used for reading.
    heldElsewhere_ = !lock_->tryLock(0) && lock_->error() == QLockFile::LockFailedError;
}

QString DataRootLock::Holder() const
{
    qint64 pid = 0;
    QString host, application;
    if (!lock_->getLockInfo(&pid, &host, &application))
        return QStringLiteral("另一个进程");
    return QStringLiteral("进程 %1（主机 %2）").arg(pid).arg(host);
}

} // namespace corvix
