#pragma once
// The capture without a window, for schedulers (cron, systemd timers): the run
// over the links of url.ini, or the retry of the failed cells of the newest
// record, through the same run as the window's buttons. It prints one line per
// link and a summary, saves the results as a new record file as the shutdown
// save does, and answers with an exit code.
#include "capture/CaptureParts.h"
#include "products/PriceChanges.h"

#include <QString>
#include <QTextStream>

#include <filesystem>
#include <optional>
#include <string>

namespace corvix {

struct HeadlessOptions {
    bool retry = false;                // 失败重抓 over the newest record instead of a new run
    std::filesystem::path dataRoot;    // another data root ("varnwick"); empty: the program's own
    int parallel = 1;                  // links captured at once, never two of one host
    QString notifyCommand;             // run through the shell with the price notices as JSON; empty: none
    // Only this part of the links, saved as a part file of run (no record, no
    // notices, no lock on the data root: the other parts run meanwhile).
    std::optional<PartSpec> part;
    std::string run;                   // the run's name; empty: DefaultRunName of now
};

// Exit codes: every link priced, some failed, the capture could not run (no
// rules, no links, no record to retry, data root unusable or in use), or a stop
// request ended it early (what it captured is saved).
enum HeadlessExit { kAllPriced = 0, kSomeFailed = 1, kCouldNotRun = 2, kInterrupted = 3 };

struct CaptureJob;

// The line of one captured link, "[3/12] 商品 | 商城 | 5699.00 ↑ 上次 5499.00 | 0.31 s":
// text is the price found (GBK; empty: "获取失败"), and a price higher or
// lower than in the earlier record is followed by the arrow and that price.
QString CapturedLinkLine(int line, int total, const CaptureJob &job, const std::string &text,
                         const PriceChangeMark &mark, double seconds);

// Needs a QApplication (the browser engine). Lines go to out, problems to err.
int RunHeadlessCapture(const HeadlessOptions &options, QTextStream &out, QTextStream &err);

// Joins the parts of run into one record, as a run over url.ini would have
// saved it, and sends the run's price notices. Exit codes: every link priced,
// some failed or were not captured, a part missing or unreadable (what the
// others hold is still saved), or nothing could be merged. A run merged
// before saves nothing.
int RunHeadlessMerge(const HeadlessOptions &options, const std::string &run, QTextStream &out, QTextStream &err);

// The one line a merge prints: "合并 n / m 部分：完成 a / b 条链接，x 条失败，缺少部分 1, 3".
QString MergeSummaryLine(const RunParts &parts, const JoinedRun &joined);

} // namespace corvix
