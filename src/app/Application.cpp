#include "app/Application.h"

#include "support/Platform.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
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

QTranslator *InstallQtTranslation(QCoreApplication &app, const QLocale &locale)
{
    auto *translator = new QTranslator(&app);
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return nullptr;
    }
    app.installTranslator(translator);
    return translator;
}

} // namespace corvix
