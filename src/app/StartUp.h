#pragma once
// The life of the main window: StartUp when it is created, the shutdown save
// when it is about to be destroyed, and the controllers that bind its events.
#include <QObject>

#include <filesystem>
#include <memory>

namespace corvix {

class MainWindow;

struct StartUpOptions {
    // Where the data root is made; empty = the directory of the program file,
    // or the user's application-data directory when that cannot be written.
    std::filesystem::path programDir;
    std::filesystem::path fallbackDir;
};

class AppShell : public QObject {
    Q_OBJECT
public:
    explicit AppShell(StartUpOptions options = {});
    ~AppShell() override;

    MainWindow *Window() const { return window_.get(); }
    // Shows the main window (StartUp has run in the constructor).
    void Show();

private:
    void StartUp();
    void ShutdownSave();
    void BindControllers();

    StartUpOptions options_;
    std::unique_ptr<MainWindow> window_;
    struct Controllers;
    std::unique_ptr<Controllers> controllers_;
};

} // namespace corvix
