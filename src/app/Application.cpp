#include "app/Application.h"

#include "app/QtTextsSupplement.h"
#include "support/Platform.h"
#include "ui/browser/LocalNetworkGuard.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QtGlobal>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

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

void PrepareHeadlessBeforeApplication(bool verbose, std::vector<char *> &arguments)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (verbose)
        return;
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type == QtFatalMsg)
            std::fputs((message + u'\n').toLocal8Bit().constData(), stderr);
    });
    // The engine's processes log on their own; only what ends them stays.
    static char logLevel[] = "--log-level=3";
    AddEngineFlag(logLevel, arguments);
}

void AddEngineFlag(char *flag, std::vector<char *> &arguments)
{
    // The engine takes its flags from the environment variable when it is set,
    // and then ignores those after --webEngineArgs.
    static char engineArgs[] = "--webEngineArgs";
    const QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.isEmpty()) {
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + ' ' + flag);
        return;
    }
    if (std::none_of(arguments.begin(), arguments.end(), [](const char *a) { return std::strcmp(a, engineArgs) == 0; }))
        arguments.push_back(engineArgs);
    arguments.push_back(flag);
}

void RouteEngineThroughGuard(std::vector<char *> &arguments)
{
    for (const std::string &flag : LocalNetworkGuardFlags())
        AddEngineFlag(const_cast<char *>(flag.c_str()), arguments);
}

void CapRendererMemory(std::vector<char *> &arguments)
{
    // A page that allocates without end would otherwise grow its renderer to
    // the engine's own limit of several gigabytes; at this bound the renderer
    // dies alone and the capture drops its page. Script flags the user gave
    // the engine are the user's.
    static std::string jsFlags = "--js-flags=--max-old-space-size=" + std::to_string(kRendererHeapLimitMb);
    const auto userFlags = [](const char *a) { return std::strncmp(a, "--js-flags", 10) == 0; };
    if (qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").contains("--js-flags")
        || std::any_of(arguments.begin(), arguments.end(), userFlags))
        return;
    AddEngineFlag(jsFlags.data(), arguments);
}

QList<QTranslator *> InstallQtTranslation(QCoreApplication &app)
{
    QList<QTranslator *> installed;
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const QString &catalogue : {QStringLiteral("qtbase"), QStringLiteral("qtwebengine")}) {
        auto *translator = new QTranslator(&app);
        if (translator->load(chinese, catalogue, QStringLiteral("_"), folder) && app.installTranslator(translator))
            installed << translator;
        else
            delete translator;
    }
    // Installed last, so asked first; it answers only what the catalogues lack.
    auto *supplement = new QtTextsSupplement(&app);
    app.installTranslator(supplement);
    installed << supplement;
    return installed;
}

} // namespace corvix
