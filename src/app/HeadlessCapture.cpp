#include "app/HeadlessCapture.h"

#include "capture/CellTexts.h"

#include "app/HeadlessNotices.h"
#include "app/StartUp.h"
#include "capture/CaptureJob.h"
#include "capture/CellTexts.h"
#include "products/LastSaved.h"
#include "products/LinkFile.h"
#include "products/PriceAlerts.h"
#include "products/ProductGridModel.h"
#include "products/RecordColumns.h"
#include "products/RecordFile.h"
#include "rules/EnabledRules.h"
#include "support/DataRoot.h"
#include "support/DataRootLock.h"
#include "support/FileIo.h"
#include "support/Gbk.h"
#include "support/Platform.h"
#include "support/PathText.h"
#include "ui/Session.h"
#include "ui/browser/BrowserView.h"
#include "ui/capture/CaptureRun.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <map>
#include <optional>
#include <system_error>

namespace corvix {
namespace {

QString Shown(const std::filesystem::path &path) { return PathText(path); }

// The data root named on the command line must exist: a mistyped folder would
// otherwise start an empty one and capture nothing.
bool PrepareNamedRoot(const std::filesystem::path &root, DataDirs &dirs)
{
    std::error_code ec;
    if (!std::filesystem::is_directory(root, ec))
        return false;
    dirs = DataDirsUnder(root);
    for (const auto &dir : {dirs.classDir, dirs.dbDir, dirs.spiderDir})
        std::filesystem::create_directory(dir, ec);
    return true;
}

// The data root the options name (none: the program's own), made ready; false
// (after the message) when a root named on the command line does not exist.
bool OpenDataRoot(const HeadlessOptions &options, Session &session, QTextStream &err)
{
    if (options.dataRoot.empty()) {
        session.dirs = PrepareProgramDataRoot({}).dirs;
        return true;
    }
    if (PrepareNamedRoot(options.dataRoot, session.dirs))
        return true;
    err << QStringLiteral("数据目录不存在：") << Shown(options.dataRoot) << Qt::endl;
    return false;
}

// The grid of a run: the ID and title columns, then one column per enabled
// rule, which it loads into the session. False (after the message) when no
// rule is enabled.
bool MakeRunGrid(Session &session, ProductGridModel &grid, QTextStream &err)
{
    grid.AddFixedColumns();
    session.enabledRules = LoadEnabledRules(session.dirs);
    if (session.enabledRules.empty()) {
        err << QStringLiteral("没有启用的采集规则：") << Shown(session.dirs.spiderDir) << Qt::endl;
        return false;
    }
    for (const EnabledRule &rule : session.enabledRules)
        grid.AddColumn(rule.title, 60, Qt::AlignHCenter);
    return true;
}

// Saves the run's results as a record, with the alert state its notices
// leave in the same change, says where, then tells the notices. The record's
// path, or nothing (after the message) when it could not be saved.
std::optional<std::filesystem::path> SaveAndTell(const DataDirs &dirs, NoticeRun run, QTextStream &out,
                                                 QTextStream &err)
{
    const RunNotices notices = FindRunNotices(dirs, run);
    std::vector<FileContents> alongside;
    const std::filesystem::path alertsPath = AlertsFilePath(dirs);
    if (notices.alertsText)
        alongside.push_back({alertsPath, *notices.alertsText});
    const Result<SavedRecord> saved = SaveGridAsRecord(*run.grid, dirs.dbDir, alongside);
    if (!saved) {
        err << QStringLiteral("保存记录失败：无法写入文件 ") << Shown(saved.error().path) << Qt::endl;
        return std::nullopt;
    }
    // The prices are saved; only a later change of the rules could show them
    // under other shops, so the run's result stands.
    for (const FileError &notSaved : saved->notSaved) {
        if (notSaved.path == RecordColumnsPath(dirs.dbDir))
            err << QStringLiteral("记录的店铺名称无法写入文件 ") << Shown(notSaved.path) << Qt::endl;
        else if (notSaved.path == alertsPath)
            err << QStringLiteral("提醒的状态无法写入文件 ") << Shown(notSaved.path) << Qt::endl;
        else
            err << QStringLiteral("无法写入文件 ") << Shown(notSaved.path) << Qt::endl;
    }
    out << QStringLiteral("记录已保存：") << Shown(saved->path) << Qt::endl;
    run.savedRecord = Shown(saved->path);
    ReportPriceNotices(notices, run, out, err);
    return saved->path;
}

} // namespace

QString CapturedLinkLine(int line, int total, const CaptureJob &job, const std::string &text,
                         const PriceChangeMark &mark, double seconds)
{
    QString result = text.empty() ? QStringLiteral("获取失败") : FromGbk(text);
    // A shop's own words for it ("暂时缺货") are kept after the state.
    if (ClassifyCell(text) == CellState::OutOfStock && text != OutOfStockText())
        result = QStringLiteral("缺货（") + result + QStringLiteral("）");
    if (mark.change == PriceChange::Higher || mark.change == PriceChange::Lower)
        result += (mark.change == PriceChange::Higher ? QStringLiteral(" ↑ 上次 ") : QStringLiteral(" ↓ 上次 "))
                  + FromGbk(mark.previousText);
    return QStringLiteral("[%1/%2] ").arg(line).arg(total) + FromGbk(job.product) + QStringLiteral(" | ")
           + FromGbk(job.shop) + QStringLiteral(" | ") + result + QStringLiteral(" | %1 s").arg(seconds, 0, 'f', 2);
}

int RunHeadlessCapture(const HeadlessOptions &options, QTextStream &out, QTextStream &err)
{
    Session session;
    if (!OpenDataRoot(options, session, err))
        return kCouldNotRun;
    // A part only reads url.ini and the rules and writes its own file, so the
    // other parts (and a window) may hold the data root meanwhile.
    std::optional<DataRootLock> lock;
    if (!options.part) {
        lock.emplace(session.dirs.root);
        if (lock->HeldElsewhere() || lock->PlaceTaken()) {
            err << DataRootInUseText(*lock, session.dirs.root) << Qt::endl;
            return kCouldNotRun;
        }
    }
    const std::string runName =
        options.run.empty() ? DefaultRunName(QDateTime::currentDateTimeUtc()) : options.run;
    const std::filesystem::path target = options.part ? RunPartsDir(session.dirs.dbDir, runName) : session.dirs.dbDir;
    if (options.part) {
        std::error_code ec;
        std::filesystem::create_directories(target, ec);
    }
    // Only the holder of the data root may finish what another process left.
    if (const Result<void> finished = options.part ? Result<void>() : FinishFilesTogether(ChangeJournalPath(session.dirs.root));
        !finished) {
        err << UnfinishedSaveText(finished.error()) << Qt::endl;
        return kCouldNotRun;
    }
    // Found before the first link: otherwise a whole run is captured for nothing.
    if (const QString why = WhyNotWritable(target); !why.isEmpty()) {
        err << QStringLiteral("数据目录无法写入（") << why << QStringLiteral("）：") << Shown(target) << Qt::endl;
        return kCouldNotRun;
    }
    if (const QString others = NonRecordFilesText(session.dirs.dbDir); !others.isEmpty())
        err << others << Qt::endl;
    // Two browser engines must never share a profile folder: each part keeps its own.
    if (options.part)
        SetCaptureProfileRoot(session.dirs.root,
                              std::filesystem::path("browser") / "parts" / std::to_string(options.part->index));
    else
        SetCaptureProfileRoot(session.dirs.root);

    ProductGridModel grid;
    if (!MakeRunGrid(session, grid, err))
        return kCouldNotRun;

    // The newest record is what a retry retries, and what a run that is
    // stopped keeps for the prices it did not reach.
    const std::string newest = NewestRecordName(session.dirs.dbDir);
    if (options.retry && newest.empty()) {
        err << QStringLiteral("没有可以重抓的记录：") << Shown(session.dirs.dbDir) << Qt::endl;
        return kCouldNotRun;
    }
    if (!newest.empty())
        LoadRecordIntoGrid(PathInDir(session.dirs.dbDir, newest), grid);

    const std::vector<RecordListEntry> records = ListRecords(session.dirs.dbDir);
    // Read before the run: the lines name the prices that changed since.
    const std::optional<RecordListEntry> earlier = RecordBeforeRun(session.dirs.dbDir, records, options.retry);
    const std::unique_ptr<ProductGridModel> earlierGrid =
        earlier ? LoadRecordWithColumnsOf(grid, session.dirs.dbDir / earlier->file) : nullptr;
    CaptureRun run(session, grid);
    run.SetParallelLinks(options.parallel);
    run.SetPart(options.part);
    std::map<std::pair<int, int>, std::string> partResults;
    int line = 0;
    int total = 0;
    QObject::connect(&run, &CaptureRun::progress, [&total](int, int all, int) { total = all; });
    QObject::connect(&run, &CaptureRun::linkFinished,
                     [&](const CaptureJob &job, const std::string &text, double seconds) {
                         const PriceChangeMark mark =
                             earlierGrid ? CompareCapturedPrice(text, job.product, job.shop, *earlierGrid)
                                         : PriceChangeMark{};
                         out << CapturedLinkLine(++line, total, job, text, mark, seconds) << Qt::endl;
                         if (options.part)
                             partResults[{job.row, job.column}] = text;
                     });
    // A product that a shop does not sell is no failure: named, never counted.
    QObject::connect(&run, &CaptureRun::linkSkipped, [&](const CaptureJob &job) {
        out << QStringLiteral("[-/%1] ").arg(total) << FromGbk(job.product) << QStringLiteral(" | ")
            << FromGbk(job.shop) << QStringLiteral(" | 无链接") << Qt::endl;
    });
    // A stop request (systemd, Ctrl-C, a closed terminal) ends the run as 停止抓取
    // does: the links under way land, and everything captured is saved.
    bool interrupted = false;
    WatchStopRequests(&run, [&] {
        interrupted = true;
        run.Stop();
        err << QStringLiteral("收到停止请求：本条链接完成后停止，并保存已抓取的价格。") << Qt::endl;
    });
    QElapsedTimer timer;
    timer.start();
    const RunSummary summary = options.retry ? run.RetryFailed() : run.RunFromLinkFile();
    if (summary.noLinks) {
        err << QStringLiteral("链接为空,执行不了：") << Shown(session.dirs.dbDir / "url.ini") << Qt::endl;
        return kCouldNotRun;
    }
    // The newest record is complete: a copy of it would be no new record.
    if (options.retry && summary.total == 0) {
        out << QStringLiteral("没有需要重抓的链接") << Qt::endl;
        return kAllPriced;
    }
    const QString outOfStock =
        summary.outOfStock > 0 ? QStringLiteral("，%1 条缺货").arg(summary.outOfStock) : QString();
    out << QStringLiteral("共 %1 条链接：%2 条获取成功，%3 条获取失败%4，用时 %5 s")
               .arg(summary.done)
               .arg(summary.priced)
               .arg(summary.Failed())
               .arg(outOfStock)
               .arg(static_cast<double>(timer.elapsed()) / 1000.0, 0, 'f', 1)
        << Qt::endl;
    if (interrupted)
        out << QStringLiteral("已中断：完成 %1 / %2 条链接，未抓取的价格保留上次的记录。").arg(summary.done).arg(summary.total)
            << Qt::endl;

    if (options.part) {
        PartCells part = EmptyPart(run.WholePlan(), *options.part);
        part.stopped = interrupted;
        for (const auto &[cell, text] : partResults)
            part.cells[static_cast<size_t>(cell.first)][static_cast<size_t>(cell.second - kFirstSiteColumn)] = text;
        if (const Result<void> written = WritePart(target, part); !written) {
            err << QStringLiteral("保存部分失败：无法写入文件 ") << Shown(written.error().path) << Qt::endl;
            return kCouldNotRun;
        }
        out << QStringLiteral("部分 %1 / %2 已保存：").arg(options.part->index).arg(options.part->count)
            << Shown(PartFilePath(target, options.part->index)) << Qt::endl;
        if (interrupted)
            return kInterrupted;
        return summary.AllPriced() ? kAllPriced : kSomeFailed;
    }
    NoticeRun noticeRun{&grid, earlier, records, {}, options.notifyCommand};
    // A retry's record was judged by its own run: what that run told is not told again.
    if (options.retry)
        noticeRun.retried = LastSavedRecord(session.dirs.dbDir, records);
    if (!SaveAndTell(session.dirs, noticeRun, out, err))
        return kCouldNotRun;
    // A stop request after the links (while saving, or during the notice
    // command, which it ends) is no less a stop.
    if (interrupted || StopRequested())
        return kInterrupted;
    return summary.AllPriced() ? kAllPriced : kSomeFailed;
}

QString MergeSummaryLine(const RunParts &parts, const JoinedRun &joined)
{
    QString text = QStringLiteral("合并 %1 / %2 部分：完成 %3 / %4 条链接，%5 条失败")
                       .arg(parts.Present())
                       .arg(parts.count)
                       .arg(joined.done)
                       .arg(joined.total)
                       .arg(joined.Failed());
    if (!joined.missingParts.empty()) {
        QStringList missing;
        for (const int part : joined.missingParts)
            missing << QString::number(part);
        text += QStringLiteral("，缺少部分 ") + missing.join(QStringLiteral(", "));
    }
    return text;
}

int RunHeadlessMerge(const HeadlessOptions &options, const std::string &runName, QTextStream &out, QTextStream &err)
{
    Session session;
    if (!OpenDataRoot(options, session, err))
        return kCouldNotRun;
    // The merge saves a record as a run does: one program per data root.
    const DataRootLock lock(session.dirs.root);
    if (lock.HeldElsewhere() || lock.PlaceTaken()) {
        err << DataRootInUseText(lock, session.dirs.root) << Qt::endl;
        return kCouldNotRun;
    }
    if (const QString why = WhyNotWritable(session.dirs.dbDir); !why.isEmpty()) {
        err << QStringLiteral("数据目录无法写入（") << why << QStringLiteral("）：") << Shown(session.dirs.dbDir)
            << Qt::endl;
        return kCouldNotRun;
    }
    const std::filesystem::path runDir = RunPartsDir(session.dirs.dbDir, runName);
    if (const std::string merged = MergedRecordOf(runDir, session.dirs.dbDir); !merged.empty()) {
        out << QStringLiteral("运行 %1 已合并为记录 ").arg(QString::fromStdString(runName))
            << Shown(PathInDir(session.dirs.dbDir, merged)) << QStringLiteral("，不再保存。") << Qt::endl;
        return kAllPriced;
    }

    ProductGridModel grid;
    if (!MakeRunGrid(session, grid, err))
        return kCouldNotRun;
    const std::vector<std::string> shops = grid.ShopTitles();
    const LinkFile links = LinkFile::Load(LinkFilePath(session.dirs)).value_or(LinkFile());
    if (links.ProductCount() == 0) {
        err << QStringLiteral("链接为空,执行不了：") << Shown(session.dirs.dbDir / "url.ini") << Qt::endl;
        return kCouldNotRun;
    }
    const CapturePlan plan = PlanFromLinkFile(links, shops);
    const RunParts parts = ReadRunParts(runDir, plan);
    for (const std::string &problem : parts.problems)
        err << FromGbk(problem) << Qt::endl;
    if (parts.Present() == 0) {
        err << QStringLiteral("运行 %1 没有可以合并的部分：").arg(QString::fromStdString(runName)) << Shown(runDir)
            << Qt::endl;
        return kCouldNotRun;
    }

    // A cell no part captured keeps the newest record's text, as a stopped run leaves it.
    const std::string newest = NewestRecordName(session.dirs.dbDir);
    if (!newest.empty())
        LoadRecordIntoGrid(PathInDir(session.dirs.dbDir, newest), grid);
    const std::vector<RecordListEntry> records = ListRecords(session.dirs.dbDir);
    const std::optional<RecordListEntry> earlier = RecordBeforeRun(session.dirs.dbDir, records, false);
    JoinedRun joined = JoinParts(plan, grid, parts.parts);
    grid.ClearRows();
    grid.AppendRows(std::move(joined.rows));
    grid.RenumberIds();
    out << MergeSummaryLine(parts, joined) << Qt::endl;

    const std::optional<std::filesystem::path> saved =
        SaveAndTell(session.dirs, {&grid, earlier, records, {}, options.notifyCommand}, out, err);
    if (!saved)
        return kCouldNotRun;
    // Without the marker a second merge would save the same run again.
    if (!WriteMergedMarker(runDir, PathToGbk(saved->filename())))
        err << QStringLiteral("合并标记无法写入文件 ") << Shown(MergedMarkerPath(runDir)) << Qt::endl;
    if (!joined.missingParts.empty())
        return kCouldNotRun;
    return joined.Failed() == 0 && joined.notCaptured == 0 ? kAllPriced : kSomeFailed;
}

} // namespace corvix
