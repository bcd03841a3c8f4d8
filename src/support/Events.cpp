#include "support/Events.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QString>

#include <algorithm>
#include <system_error>

namespace corvix {

void ProcessPendingEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

void ProcessPendingEventsThrottled()
{
    constexpr qint64 kIntervalMs = 5;
    static QElapsedTimer sinceLastPump;
    if (sinceLastPump.isValid() && sinceLastPump.elapsed() < kIntervalMs)
        return;
    ProcessPendingEvents();
    sinceLastPump.start();
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
        if (!anchored.match(QString::fromStdU16String(name.u16string())).hasMatch())
            continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    for (auto &name : names) {
        if (withPath)
            name = dir / name;
        ProcessPendingEvents();
    }
    return names;
}

} // namespace corvix
