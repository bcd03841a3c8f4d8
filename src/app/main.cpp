#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/StartUp.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const corvix::CommandLine line = corvix::ParseCommandLine(arguments); line.exitNow()) {
        std::fputs(line.answer.toLocal8Bit().constData(), stdout);
        return 0;
    }
    corvix::PrepareQtBeforeApplication();
    QApplication app(argc, argv);
    app.setApplicationVersion(QStringLiteral(CORVIX_VERSION));
    corvix::InstallQtTranslation(app);
    int result = 0;
    {
        // Every window and browser page goes before the QApplication does.
        corvix::AppShell shell;
        // Windows still open beside the main one (a rule test) do not keep the
        // program alive once the main window has closed.
        QObject::connect(&shell, &corvix::AppShell::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
        shell.Show();
        result = app.exec();
    }
    return result;
}
