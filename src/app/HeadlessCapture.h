#pragma once
// The capture without a window, for schedulers (cron, systemd timers): the run
// over the links of url.ini, or the retry of the failed cells of the newest
// record, through the same run as the window's buttons. It prints one line per
// link and a summary, saves the results as a new record file as the shutdown
// save does, and answers with an exit code.
#include "products/PriceChanges.h"

#include <QString>
#include <QTextStream>

#include <filesystem>

namespace corvix {

struct HeadlessOptions {
    bool retry = false;                // 失败重抓 over the newest record instead of a new run
    std::filesystem::path dataRoot;    // another data root ("varnwick"); empty: the program's own
    int parallel = 1;                  // links captured at once, never two of one host
    QString notifyCommand;             // run through the shell with the price notices as JSON; empty: none
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

} // namespace corvix
