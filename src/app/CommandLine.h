#pragma once
// The program's command line: --version and --help answer on standard output
// without opening a window or starting the browser engine. Arguments the
// program does not know are left alone: Qt and the browser engine read their
// own (-platform, --webEngineArgs ...).
#include <QString>
#include <QStringList>

namespace corvix {

struct CommandLine {
    // Text to print and leave with, when the arguments only ask for it.
    QString answer;
    bool exitNow() const { return !answer.isEmpty(); }
};

QString VersionText(); // "Corvix <version>"
CommandLine ParseCommandLine(const QStringList &arguments);

} // namespace corvix
