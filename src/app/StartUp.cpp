#include "app/StartUp.h"

#include "app/DataRoot.h"
#include "app/Events.h"
#include "app/ProgramState.h"
#include "ui/MainWindow.h"

#include <QCoreApplication>
#include <QStandardPaths>

namespace corvix {

struct AppShell::Controllers {
};

AppShell::AppShell(StartUpOptions options) : options_(std::move(options))
{
    window_ = std::make_unique<MainWindow>();
    controllers_ = std::make_unique<Controllers>();
    BindControllers();
    StartUp();
    connect(window_.get(), &MainWindow::aboutToBeDestroyed, this, &AppShell::ShutdownSave);
}

AppShell::~AppShell()
{
    controllers_.reset();
    window_.reset();
}

void AppShell::Show()
{
    window_->show();
}

void AppShell::BindControllers()
{
}

void AppShell::StartUp()
{
    std::filesystem::path programDir = options_.programDir;
    std::filesystem::path fallbackDir = options_.fallbackDir;
    if (programDir.empty())
        programDir = std::filesystem::path(QCoreApplication::applicationDirPath().toStdU16String());
    if (fallbackDir.empty())
        fallbackDir = std::filesystem::path(
            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdU16String());
    Program().dirs = PrepareDataRoot(programDir, fallbackDir);
}

void AppShell::ShutdownSave()
{
}

} // namespace corvix
