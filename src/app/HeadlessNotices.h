#pragma once
// The notices of a run without a window: one line per price under its target
// or fallen by more than its share, printed after the summary, the command of
// --notify-command given them as JSON on its standard input, and one message
// to each enabled channel of "提醒方式" with one line per channel.
#include "products/PriceNotices.h"
#include "products/RecordList.h"
#include "support/DataDirs.h"

#include <QDateTime>
#include <QString>
#include <QTextStream>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvix {

class ProductGridModel;

// The record the run's prices are compared with: for a run the record saved
// last, for a retry the one saved before the record it retries. records: the
// records of dbDir listed before the run.
std::optional<RecordListEntry> RecordBeforeRun(const std::filesystem::path &dbDir,
                                               const std::vector<RecordListEntry> &records, bool retry);

struct NoticeRun {
    const ProductGridModel *grid = nullptr;  // the run's results
    std::optional<RecordListEntry> earlier;  // RecordBeforeRun
    std::vector<RecordListEntry> records;    // the records listed before the run
    QString savedRecord;                     // the file the results were saved to
    QString notifyCommand;                   // empty: none
    int commandSeconds = 30;
    // A retry: the record it retried, whose prices were judged by their own run.
    std::optional<RecordListEntry> retried = std::nullopt;
    // Where the channels' settings are; empty: the user's settings folder.
    std::filesystem::path settingsFolder = {};
};

struct RunNotices {
    std::vector<PriceNotice> notices;
    // The text of alerts.ini with the crossings the notices leave, saved with
    // the run's record; nullopt when it stays as it is.
    std::optional<std::string> alertsText;
    QDateTime time;
};

// Finds the notices of the run before its record is saved: the crossings they
// leave are saved in the same change as the record, so that a notice is never
// told twice, nor lost, whenever the process ends.
RunNotices FindRunNotices(const DataDirs &dirs, const NoticeRun &run);

// Prints the notices, runs the command and sends them to the channels:
// "已发送：<channel>" to out, "发送失败：<channel>（why）" to err. Problems (the
// command failing or overrunning its time, a channel failing) go to err; none
// changes the run's result.
void ReportPriceNotices(const RunNotices &found, const NoticeRun &run, QTextStream &out, QTextStream &err);

// Runs command through the shell with input on its standard input, its own
// output going where the program's does (RunShellCommand: in a group of its
// own, ended with all it started after seconds or at a stop request). The
// empty text when it ends with 0, else why not.
QString RunNotifyCommand(const QString &command, const QByteArray &input, int seconds);

} // namespace corvix
