#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/HeadlessCapture.h"
#include "app/StartUp.h"
#include "ui/MainWindow.h"
#include "ui/browser/LocalNetworkGuard.h"

#include <QApplication>
#include <QIcon>
#include <QTextStream>

#include <cstdio>
#include <vector>

namespace {

int RunWindow(QApplication &app)
{
    // Every window and browser page goes before the QApplication does.
    app.setWindowIcon(corvix::ProgramIcon()); // every window of the program
    corvix::AppShell shell;
    if (!shell.Usable())
        return corvix::kCouldNotRun;
    // Windows still open beside the main one (a rule test) do not keep the
    // program alive once the main window has closed.
    QObject::connect(&shell, &corvix::AppShell::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    shell.Show();
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const corvix::CommandLine line = corvix::ParseCommandLine(arguments);
    if (line.exitNow()) {
        std::fputs(line.answer.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (line.refused()) {
        std::fputs((line.refusal + u'\n').toLocal8Bit().constData(), stderr);
        return corvix::kCouldNotRun;
    }
    // A scheduled capture has no desktop to show its windows on.
    std::vector<char *> appArguments(argv, argv + argc);
    if (line.headless())
        corvix::PrepareHeadlessBeforeApplication(line.verbose, appArguments);
    corvix::CapRendererMemory(appArguments);
    corvix::RouteEngineThroughGuard(appArguments);
    int appArgc = static_cast<int>(appArguments.size());
    appArguments.push_back(nullptr);
    corvix::PrepareQtBeforeApplication();
    QApplication app(appArgc, appArguments.data());
    app.setApplicationVersion(QStringLiteral(CORVIX_VERSION));
    corvix::StartLocalNetworkGuard();
    corvix::InstallQtTranslation(app);
    if (!line.headless())
        return RunWindow(app);
    QTextStream out(stdout);
    QTextStream err(stderr);
    corvix::HeadlessOptions options;
    options.retry = line.retry;
    options.parallel = line.parallel;
    options.notifyCommand = line.notifyCommand;
    options.dataRoot = std::filesystem::path(line.dataRoot.toStdU16String());
    if (!line.merge.isEmpty())
        return corvix::RunHeadlessMerge(options, line.merge.toStdString(), out, err);
    if (!line.shard.isEmpty())
        options.part = corvix::ParsePartSpec(line.shard.toStdString());
    options.run = line.run.toStdString();
    return corvix::RunHeadlessCapture(options, out, err);
}
