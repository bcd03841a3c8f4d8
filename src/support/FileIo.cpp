#include "support/FileIo.h"

#include "support/Platform.h"
#include "support/TextUtils.h"

#include <QSaveFile>
#include <QString>

#include <cstdio>
#include <memory>

namespace corvix {

std::string ReadWholeFile(const std::filesystem::path &path, StopAt stop)
{
    // C stdio: no exceptions (a directory or a read error reads as what was
    // read so far, normally nothing), and one buffer copy for large files.
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(OpenFile(path, "rb"), &std::fclose);
    if (!file)
        return {};
    std::string bytes;
    char buffer[1 << 16];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        bytes.append(buffer, n);
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

} // namespace corvix
