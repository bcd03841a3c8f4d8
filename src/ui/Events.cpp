#include "ui/Events.h"

#include <QCoreApplication>
#include <QElapsedTimer>

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

} // namespace corvix
