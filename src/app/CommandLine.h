#pragma once
// The program's command line. --version and --help answer on standard output
// without opening a window or starting the browser engine; --capture and
// --retry run the capture without a window (HeadlessCapture). Qt's own options
// (-platform, -style ...) and whatever follows --webEngineArgs are left to Qt
// and the browser engine; any other option is refused by name.
#include <QString>
#include <QStringList>

namespace corvix {

struct CommandLine {
    // Text to print and leave with, when the arguments only ask for it.
    QString answer;
    bool capture = false;   // --capture: capture the links of url.ini, no window
    bool retry = false;     // --retry: capture the failed cells of the newest record, no window
    QString dataRoot;       // --data DIR: another data root
    int parallel = 1;       // --parallel N: links captured at once by --capture or --retry
    QString notifyCommand;  // --notify-command CMD: run with the price notices of --capture or --retry
    bool verbose = false;   // --verbose: the browser engine's own messages stay on standard error
    QString shard;          // --shard i/n: --capture captures only part i of n (by shop host)
    QString run;            // --run ID: the run the parts of --shard belong to
    QString merge;          // --merge ID: join the parts of run ID into one record
    // Why the arguments cannot be acted on (an unknown option, a --parallel
    // that is no whole number in its range), for standard error; the program
    // then ends with 2 before anything starts.
    QString refusal;
    bool exitNow() const { return !answer.isEmpty(); }
    bool refused() const { return !refusal.isEmpty(); }
    bool headless() const { return capture || retry || !merge.isEmpty(); }
};

QString VersionText(); // "Corvix <version>"
CommandLine ParseCommandLine(const QStringList &arguments);

} // namespace corvix
