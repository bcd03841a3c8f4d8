#include "app/Application.h"
#include "app/StartUp.h"

#include <QApplication>

int main(int argc, char **argv)
{
    corvix::PrepareQtBeforeApplication();
    QApplication app(argc, argv);
    int result = 0;
    {
        // Every window and browser page goes before the QApplication does.
        corvix::AppShell shell;
        shell.Show();
        result = app.exec();
    }
    return result;
}
