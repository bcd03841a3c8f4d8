// The program's start exactly as src/app/main.cpp does it, ending as soon as
// the main window has been shown and painted, for the start-up benchmark.
#include "app/Application.h"
#include "app/StartUp.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char **argv)
{
    corvix::PrepareQtBeforeApplication();
    QApplication app(argc, argv);
    int result = 0;
    {
        corvix::AppShell shell;
        shell.Show();
        // Queued after the show and expose events: the window is on screen.
        QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });
        result = app.exec();
    }
    return result;
}
