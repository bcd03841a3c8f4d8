#include "support/PrivateFile.h"

#include "support/PathText.h"
#include "support/Platform.h"

#include <QTemporaryFile>

#include <system_error>

namespace corvix {
namespace {

constexpr auto kOthersRights = std::filesystem::perms::group_all | std::filesystem::perms::others_all;

} // namespace

bool OwnerOnly(const std::filesystem::path &path)
{
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    return !ec && std::filesystem::exists(status) && (status.permissions() & kOthersRights) == std::filesystem::perms::none;
}

Result<void> MakeOwnerOnly(const std::filesystem::path &path)
{
    std::error_code ec;
    std::filesystem::permissions(path, kOthersRights, std::filesystem::perm_options::remove, ec);
    if (ec)
        return Failure(path, QString::fromStdString(ec.message()));
    if (!OwnerOnly(path))
        return Failure(path, QStringLiteral("无法限制文件的访问权限"));
    return {};
}

Result<void> WriteOwnerOnlyFile(const std::filesystem::path &path, std::string_view bytes)
{
    // A temporary file is created for its owner alone; the rights are set once
    // more before the first byte, for systems whose default differs.
    QTemporaryFile temp(PathText(path) + QStringLiteral(".XXXXXX"));
    if (!temp.open())
        return Failure(path, temp.errorString());
    if (!temp.setPermissions(QFile::ReadOwner | QFile::WriteOwner))
        return Failure(path, QStringLiteral("无法限制文件的访问权限"));
    if (const Result<void> limited = MakeOwnerOnly(PathOf(temp.fileName())); !limited)
        return Failure(path, limited.error().reason);
    const auto size = static_cast<qint64>(bytes.size());
    if (temp.write(bytes.data(), size) != size || !temp.flush() || temp.error() != QFileDevice::NoError)
        return Failure(path, temp.errorString());
    SyncToDisk(temp.handle());
    const std::filesystem::path staged = PathOf(temp.fileName());
    temp.setAutoRemove(false);
    temp.close();
    std::error_code ec;
    std::filesystem::rename(staged, path, ec);
    if (ec) {
        const QString reason = QString::fromStdString(ec.message());
        std::filesystem::remove(staged, ec);
        return Failure(path, reason);
    }
    // The rename keeps the new file's rights; a file put back in between, or a
    // system that does not, is mended here.
    if (!OwnerOnly(path))
        if (const Result<void> limited = MakeOwnerOnly(path); !limited)
            return limited;
    return {};
}

} // namespace corvix
