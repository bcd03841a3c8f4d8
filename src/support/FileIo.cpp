#include "support/FileIo.h"

#include "support/Platform.h"
#include "support/TextUtils.h"

#include <QSaveFile>
#include <QString>
#include <QTemporaryFile>

#include <cstdio>
#include <memory>
#include <optional>

namespace corvix {
namespace {

// Every byte of the file, zero bytes included; nullopt when it cannot be opened.
// C stdio: no exceptions (a directory or a read error reads as what was read so
// far, normally nothing), and one buffer copy for large files.
std::optional<std::string> ReadAllBytes(const std::filesystem::path &path)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(OpenFile(path, "rb"), &std::fclose);
    if (!file)
        return std::nullopt;
    std::string bytes;
    char buffer[1 << 16];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        bytes.append(buffer, n);
    return bytes;
}

QString ToQString(const std::filesystem::path &path)
{
    return QString::fromStdU16String(path.u16string());
}

// Writes the new content of file.path completely into `temp`, a new file
// beside it, and closes it. The replaced file's permissions carry over.
bool Stage(QTemporaryFile &temp, const FileContents &file)
{
    const QString target = ToQString(file.path);
    temp.setFileTemplate(target + QStringLiteral(".XXXXXX"));
    if (!temp.open())
        return false;
    temp.setPermissions(QFile::exists(target) ? QFile::permissions(target)
                                              : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser
                                                    | QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther);
    const auto size = static_cast<qint64>(file.bytes.size());
    if (temp.write(file.bytes.data(), size) != size || !temp.flush() || temp.error() != QFileDevice::NoError)
        return false;
    // Like QSaveFile: a filesystem that cannot sync still takes the file; a
    // write it refused has shown up in flush() already.
    SyncToDisk(temp.handle());
    temp.close();
    return temp.error() == QFileDevice::NoError;
}

// What a target held before the renames, to put back when a later rename fails.
struct Previous {
    bool existed = false;
    std::optional<std::string> bytes; // nullopt: it existed but could not be read
};

Previous Remember(const std::filesystem::path &path)
{
    std::error_code ec;
    Previous previous;
    previous.existed = std::filesystem::exists(path, ec);
    if (previous.existed)
        previous.bytes = ReadAllBytes(path);
    return previous;
}

void PutBack(const std::filesystem::path &path, const Previous &previous)
{
    std::error_code ec;
    if (!previous.existed)
        std::filesystem::remove(path, ec);
    else if (previous.bytes)
        WriteFileAtomically(path, *previous.bytes);
}

} // namespace

std::string ReadWholeFile(const std::filesystem::path &path, StopAt stop)
{
    std::string bytes = ReadAllBytes(path).value_or(std::string());
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
    return bytes;
}

bool WriteFileAtomically(const std::filesystem::path &path, std::string_view bytes)
{
    QSaveFile file(QString::fromStdU16String(path.u16string()));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // On a full disk write() may still take the bytes into Qt's buffer and
    // commit() rename an empty file over the target: flush and ask the file for
    // its error first, and drop the temporary file on any failure.
    const bool written =
        file.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size())
        && file.flush() && file.error() == QFileDevice::NoError;
    if (!written) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool WriteFilesTogether(const std::vector<FileContents> &files, std::filesystem::path *failed)
{
    const auto fail = [failed](const std::filesystem::path &path) {
        if (failed)
            *failed = path;
        return false;
    };
    // The temporary files remove themselves unless they were renamed.
    std::vector<std::unique_ptr<QTemporaryFile>> staged;
    for (const FileContents &file : files) {
        staged.push_back(std::make_unique<QTemporaryFile>());
        if (!Stage(*staged.back(), file))
            return fail(file.path);
    }
    std::vector<Previous> previous;
    for (const FileContents &file : files)
        previous.push_back(Remember(file.path));
    for (size_t i = 0; i < files.size(); ++i) {
        std::error_code ec;
        std::filesystem::rename(std::filesystem::path(staged[i]->fileName().toStdU16String()), files[i].path, ec);
        if (ec) {
            for (size_t j = 0; j < i; ++j)
                PutBack(files[j].path, previous[j]);
            return fail(files[i].path);
        }
        staged[i]->setAutoRemove(false);
    }
    return true;
}

} // namespace corvix
