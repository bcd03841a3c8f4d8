#pragma once
// The notices of a run without a window: one line per price under its target
// or fallen by more than its share, printed after the summary, the command of
// --notify-command given them as JSON on its standard input, and one message
// to each enabled channel of "提醒方式" with one line per channel.
#include "products/RecordList.h"
#include "support/DataDirs.h"

#include <QString>
#include <QTextStream>

#include <filesystem>
#include <optional>
#include <vector>

namespace corvix {

class ProductGridModel;

// The record the run's prices are compared with: for a run the newest before
// it, for a retry the one before the record it retries. records: the records
// listed before the run.
std::optional<RecordListEntry> RecordBeforeRun(const std::vector<RecordListEntry> &records, bool retry);

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

// Finds the notices, stores the crossings in alerts.ini (before anything is
// sent, so that a run stopped while sending tells none of them again), prints
// them, runs the command and sends them to the channels: "已发送：<channel>" to
// out, "发送失败：<channel>（why）" to err. Problems (alerts.ini not written, the
// command failing or overrunning its time, a channel failing) go to err; none
// changes the run's result.
void ReportPriceNotices(const DataDirs &dirs, const NoticeRun &run, QTextStream &out, QTextStream &err);

// Runs command through the shell with input on its standard input, its own
// output going where the program's does. The empty text when it ends with 0,
// else why not.
QString RunNotifyCommand(const QString &command, const QByteArray &input, int seconds);

} // namespace corvix
