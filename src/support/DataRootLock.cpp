#include "support/DataRootLock.h"
#include "support/PathText.h"

#include "support/FileIo.h"
#include "support/Platform.h"

#include <QCoreApplication>
#include <QSysInfo>

#include <system_error>

namespace corvix {

DataRootLock::DataRootLock(const std::filesystem::path &root) : path_(LockPath(root))
{
    std::error_code ec;
    switch (LockFile(path_, &handle_, &ec)) {
    case FileLockState::Locked:
        // The lines QLockFile writes (process, program, host), so that an
        // older Corvix sees a live holder too.
        WriteLockedFile(handle_, std::to_string(QCoreApplication::applicationPid()) + '\n'
                                     + QCoreApplication::applicationName().toStdString() + '\n'
                                     + QSysInfo::machineHostName().toStdString() + '\n');
        break;
    case FileLockState::HeldElsewhere:
        heldElsewhere_ = true;
        break;
    case FileLockState::Failed:
        // A root that cannot take a lock file (read-only) is still used for
        // reading; a folder in the lock file's place is no such root.
        placeTaken_ = std::filesystem::exists(path_, ec) && !std::filesystem::is_regular_file(path_, ec);
        break;
    }
}

DataRootLock::~DataRootLock()
{
    if (handle_ != -1)
        UnlockFile(handle_, path_);
}

QString DataRootLock::Holder() const
{
    const QStringList lines = QString::fromLocal8Bit(ReadWholeFile(path_).value_or(std::string())).split(u'\n');
    bool isNumber = false;
    const qint64 pid = lines.value(0).trimmed().toLongLong(&isNumber);
    if (!isNumber || pid <= 0)
        return QStringLiteral("另一个进程");
    const QString host = lines.value(2).trimmed();
    return host.isEmpty() ? QStringLiteral("进程 %1").arg(pid) : QStringLiteral("进程 %1（主机 %2）").arg(pid).arg(host);
}

} // namespace corvix
