#include "app/Application.h"

#include "support/Platform.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <QtGlobal>

#include <cstdio>

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

void PrepareHeadlessBeforeApplication(bool verbose)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (verbose)
        return;
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type == QtFatalMsg)
            std::fputs((message + u'\n').toLocal8Bit().constData(), stderr);
    });
    // The engine's processes log on their own; only what ends them stays.
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + (flags.isEmpty() ? "" : " ") + "--log-level=3");
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
