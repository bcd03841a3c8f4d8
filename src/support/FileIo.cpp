#include "support/FileIo.h"

#include <QSaveFile>
#include <QString>

#include <fstream>
#include <iterator>

namespace corvix {

std::string ReadWholeFile(const std::filesystem::path &path, StopAt stop)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t zero = bytes.find('\0');
    if (zero != std::string::npos)
        bytes.resize(zero);
    if (stop == StopAt::ZeroOrTextEnd) {
        // Walk by characters so that a 0x1A inside a two-byte character is kept.
        for (size_t i = 0; i < bytes.size(); ++i) {
            const auto b = static_cast<unsigned char>(bytes[i]);
            if (b == 0x1A) {
                bytes.resize(i);
                break;
            }
            if (b >= 0x80)
                ++i;
        }
    }
    return bytes;
}

bool WriteFileAtomically(const std::filesystem::path &path, std::string_view bytes)
{
    QSaveFile file(QString::fromStdU16String(path.u16string()));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace corvix
