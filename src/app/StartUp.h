#pragma once
// The life of the main window: StartUp when it is created, the shutdown save
// when it is about to be destroyed, and the controllers that bind its events.
#include "ui/Session.h"

#include <QObject>

#include <filesystem>
#include <memory>

namespace corvix {

class MainWindow;
struct PreparedDataRoot;

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
    Session &State() { return session_; }
    // Shows the main window (StartUp has run in the constructor).
    void Show();

signals:
    // The main window was closed and the shutdown save is done: the program
    // ends. During a capture run this waits until the run has stopped after its
    // current link, so that link's result is saved too.
    void finished();

private:
    void StartUp();
    void TellWhereTheDataLives(const PreparedDataRoot &root);
    void ShutdownSave();
    void Finish();
    void BindControllers();

    StartUpOptions options_;
    Session session_;
    std::unique_ptr<MainWindow> window_;
    struct Controllers;
    std::unique_ptr<Controllers> controllers_;
    bool closing_ = false;
    bool finished_ = false;
};

} // namespace corvix
