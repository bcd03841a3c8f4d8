#include "app/Application.h"

#include "support/Platform.h"

#include <QCoreApplication>
#include <QtGlobal>

namespace corvix {

void PrepareQtBeforeApplication()
{
    // The browser engine refuses to start as root with its sandbox on; an
    // ordinary user keeps the sandbox.
    if (RunningAsRoot() && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QCoreApplication::setOrganizationName(QStringLiteral("Corvix"));
    QCoreApplication::setApplicationName(QStringLiteral("Corvix"));
}

} // namespace corvix
