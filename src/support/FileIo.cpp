#include "support/FileIo.h"

#include "support/PathText.h"
#include "support/Platform.h"
#include "support/TextUtils.h"

#include <QRegularExpression>
#include <QSaveFile>
#include <QString>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>
#include <system_error>

namespace corvix {
namespace {

QString SystemReason(int error) { return QString::fromStdString(std::generic_category().message(error)); }

QString SystemReason(const std::error_code &ec) { return QString::fromStdString(ec.message()); }

// Every byte of the file, zero bytes included, or why it cannot be opened.
// C stdio: no exceptions (a directory or a read error reads as what was read so
// far, normally nothing, unless whole is asked for), and one buffer copy for
// large files.
Result<std::string> ReadAllBytes(const std::filesystem::path &path, bool whole = false)
{
    errno = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(OpenFile(path, "rb"), &std::fclose);
    if (!file)
        return Failure(path, SystemReason(errno));
    std::string bytes;
    char buffer[1 << 16];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        bytes.append(buffer, n);
    if (whole && std::ferror(file.get()))
        return Failure(path, SystemReason(errno != 0 ? errno : EIO));
    return bytes;
}

// Writes the new content of file.path completely into a new file beside it and
// returns that file's name, or the reason it failed (then nothing stays
// behind). The replaced file's permissions carry over.
Result<std::filesystem::path> Stage(const FileContents &file)
{
    const QString target = PathText(file.path);
    QTemporaryFile temp(target + QStringLiteral(".XXXXXX"));
    if (!temp.open())
        return Failure(file.path, temp.errorString());
    const auto size = static_cast<qint64>(file.bytes.size());
    if (temp.write(file.bytes.data(), size) != size || !temp.flush() || temp.error() != QFileDevice::NoError)
        return Failure(file.path, temp.errorString());
    // Like QSaveFile: a filesystem that cannot sync still takes the file; a
    // write it refused has shown up in flush() already.
    SyncToDisk(temp.handle());
    temp.setPermissions(QFile::exists(target) ? QFile::permissions(target)
                                              : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser
                                                    | QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther);
    // A temporary file holds its handle until it is destroyed, and a file still
    // open cannot be renamed on every system: it is let go as an ordinary file.
    const QString name = temp.fileName();
    if (name.isEmpty())
        return Failure(file.path, temp.errorString());
    temp.setAutoRemove(false);
    return PathOf(name);
}

// A target as it was before the renames. Its old file keeps a second name
// while they run: the system then frees no file in between (freeing one made a
// rename take milliseconds), and a failed rename is undone by a rename back.
// Where a second name cannot be made, the bytes are kept instead.
struct Previous {
    bool existed = false;
    std::filesystem::path keptAs;
    std::optional<std::string> bytes;
};

Previous Keep(const std::filesystem::path &target, const std::filesystem::path &spareName)
{
    std::error_code ec;
    Previous previous;
    previous.existed = std::filesystem::exists(target, ec);
    if (!previous.existed)
        return previous;
    std::filesystem::create_hard_link(target, spareName, ec);
    if (!ec) {
        previous.keptAs = spareName;
    } else if (auto bytes = ReadAllBytes(target)) {
        previous.bytes = std::move(*bytes);
    }
    return previous;
}

void PutBack(const std::filesystem::path &target, Previous &previous)
{
    std::error_code ec;
    if (!previous.existed)
        std::filesystem::remove(target, ec);
    else if (!previous.keptAs.empty())
        std::filesystem::rename(previous.keptAs, target, ec);
    else if (previous.bytes)
        WriteFileAtomically(target, *previous.bytes);
    previous.keptAs.clear();
}

void Forget(Previous &previous)
{
    std::error_code ec;
    if (!previous.keptAs.empty())
        std::filesystem::remove(previous.keptAs, ec);
    previous.keptAs.clear();
}

} // namespace

Result<std::string> ReadWholeFile(const std::filesystem::path &path, StopAt stop)
{
    Result<std::string> read = ReadAllBytes(path);
    if (!read)
        return read;
    std::string &bytes = *read;
    const size_t zero = bytes.find('\0');
    if (zero != std::string::npos)
        bytes.resize(zero);
    if (stop == StopAt::ZeroOrTextEnd) {
        // Found at character boundaries only: a 0x1A inside a two-byte
        // character is kept.
        const TextPos end = FindText(bytes, "\x1A");
        if (end != kNotFound)
            bytes.resize(static_cast<size_t>(end - 1));
    }
    return read;
}

Result<std::string> ReadEveryByte(const std::filesystem::path &path) { return ReadAllBytes(path, true); }

Result<void> WriteFileAtomically(const std::filesystem::path &path, std::string_view bytes)
{
    QSaveFile file(PathText(path));
    if (!file.open(QIODevice::WriteOnly))
        return Failure(path, file.errorString());
    // On a full disk write() may still take the bytes into Qt's buffer and
    // commit() rename an empty file over the target: flush and ask the file for
    // its error first, and drop the temporary file on any failure.
    const bool written =
        file.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size())
        && file.flush() && file.error() == QFileDevice::NoError;
    if (!written) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return Failure(path, reason);
    }
    if (!file.commit())
        return Failure(path, file.errorString());
    return {};
}

Result<void> WriteFilesTogether(const std::vector<FileContents> &files)
{
    std::vector<std::filesystem::path> staged; // emptied once renamed
    std::vector<Previous> previous;
    const auto fail = [&](FileError error) -> Result<void> {
        std::error_code ec;
        for (const std::filesystem::path &name : staged)
            if (!name.empty())
                std::filesystem::remove(name, ec);
        for (Previous &p : previous)
            Forget(p);
        return tl::unexpected<FileError>(std::move(error));
    };
    for (const FileContents &file : files) {
        Result<std::filesystem::path> name = Stage(file);
        if (!name)
            return fail(std::move(name.error()));
        staged.push_back(std::move(*name));
    }
    for (size_t i = 0; i < files.size(); ++i)
        previous.push_back(Keep(files[i].path, std::filesystem::path(staged[i]) += ".old"));
    for (size_t i = 0; i < files.size(); ++i) {
        std::error_code ec;
        std::filesystem::rename(staged[i], files[i].path, ec);
        if (ec) {
            for (size_t j = 0; j < i; ++j)
                PutBack(files[j].path, previous[j]);
            return fail({files[i].path, SystemReason(ec)});
        }
        staged[i].clear();
    }
    for (Previous &p : previous)
        Forget(p);
    return {};
}

std::vector<std::filesystem::path> ListFiles(const std::filesystem::path &dir, const std::string &pattern,
                                             bool withPath)
{
    const QRegularExpression match(QRegularExpression::wildcardToRegularExpression(
        QString::fromStdString(pattern), QRegularExpression::UnanchoredWildcardConversion));
    const QRegularExpression anchored(QRegularExpression::anchoredPattern(match.pattern()),
                                      QRegularExpression::CaseInsensitiveOption);
    std::vector<std::filesystem::path> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        if (it->is_directory(typeEc))
            continue;
        const auto name = it->path().filename();
        if (!anchored.match(PathText(name)).hasMatch())
            continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    if (withPath)
        for (auto &name : names)
            name = dir / name;
    return names;
}

} // namespace corvix
