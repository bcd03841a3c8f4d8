#pragma once
// The life of the main window: StartUp when it is created, the shutdown save
// when it is about to be destroyed, and the controllers that bind its events.
#include "support/Result.h"
#include "ui/Session.h"

#include <QObject>
#include <QString>

#include <filesystem>
#include <memory>

namespace corvix {

class DataRootLock;
class MainWindow;
class PriceHistoryLoader;
class UiSettings;
struct PreparedDataRoot;

struct StartUpOptions {
    // Where the data root is made; empty = the directory of the program file,
    // or the user's application-data directory when that cannot be written.
    std::filesystem::path programDir;
    std::filesystem::path fallbackDir;
    // The INI file of what the windows remember; empty = the user's settings.
    std::filesystem::path settingsFile;
};

// The data root as every start makes it: beside the program, or in the user's
// folder (options left empty: the program's directory and the user's
// application-data folder).
PreparedDataRoot PrepareProgramDataRoot(const StartUpOptions &options);
// The message for a data root that another running process holds, or whose
// lock file's place is taken by a folder.
QString DataRootInUseText(const DataRootLock &lock, const std::filesystem::path &root);
// The message for a save that a process ending on the way left unfinished and
// that cannot be finished now (FinishFilesTogether): the data root is not used
// until it can, for its files would disagree.
QString UnfinishedSaveText(const FileError &error);

// The message naming the "*.txt" files of dbDir that are not records (their
// names are no save time), which are left as they are; empty when there are none.
QString NonRecordFilesText(const std::filesystem::path &dbDir);

class AppShell : public QObject {
    Q_OBJECT
public:
    explicit AppShell(StartUpOptions options = {});
    ~AppShell() override;

    MainWindow *Window() const { return window_.get(); }
    // The price history index of the data root's records, built from start-up on.
    PriceHistoryLoader &History() { return *history_; }
    Session &State() { return session_; }
    // False when another Corvix holds the data root: the user has been told, and
    // the program must end without showing its window.
    bool Usable() const { return usable_; }
    // Shows the main window (StartUp has run in the constructor).
    void Show();
    // The desktop session is ending: a run stops after its current link and
    // the results so far are saved as a new record, as at a close.
    void SaveForSessionEnd();

signals:
    // The main window was closed and the shutdown save is done: the program
    // ends. During a capture run this waits until the run has stopped after its
    // current link, so that link's result is saved too.
    void finished();

private:
    void StartUp();
    void TellWhereTheDataLives(const PreparedDataRoot &root);
    void ShutdownSave();
    void SaveRunResults();
    void Finish();
    void BindControllers();
    void RememberParallelLinks();
    void RestoreWindowLayout();
    void SaveWindowLayout();

    StartUpOptions options_;
    Session session_;
    // Outlives the windows: a history window may wait for it.
    std::unique_ptr<PriceHistoryLoader> history_;
    std::unique_ptr<UiSettings> settings_;
    std::unique_ptr<MainWindow> window_;
    struct Controllers;
    std::unique_ptr<Controllers> controllers_;
    std::unique_ptr<DataRootLock> lock_;
    bool usable_ = true;
    bool closing_ = false;
    bool finished_ = false;
};

} // namespace corvix
