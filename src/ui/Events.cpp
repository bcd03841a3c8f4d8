#include "ui/Events.h"

#include <QCoreApplication>

namespace corvix {

void ProcessPendingEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

} // namespace corvix
