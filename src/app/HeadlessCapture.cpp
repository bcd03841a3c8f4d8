#include "app/HeadlessCapture.h"

#include "capture/CellTexts.h"

#include "app/HeadlessNotices.h"
#include "app/StartUp.h"
#include "capture/CaptureJob.h"
#include "products/ProductGridModel.h"
#include "products/RecordColumns.h"
#include "products/RecordFile.h"
#include "rules/EnabledRules.h"
#include "support/DataRoot.h"
#include "support/DataRootLock.h"
#include "support/Gbk.h"
#include "support/Platform.h"
#include "support/PathText.h"
#include "ui/Session.h"
#include "ui/browser/BrowserView.h"
#include "ui/capture/CaptureRun.h"

#include <QElapsedTimer>

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
    if (options.dataRoot.empty()) {
        session.dirs = PrepareProgramDataRoot({}).dirs;
    } else if (!PrepareNamedRoot(options.dataRoot, session.dirs)) {
        err << QStringLiteral("数据目录不存在：") << Shown(options.dataRoot) << Qt::endl;
        return kCouldNotRun;
    }
    const DataRootLock lock(session.dirs.root);
    if (lock.HeldElsewhere() || lock.PlaceTaken()) {
        err << DataRootInUseText(lock, session.dirs.root) << Qt::endl;
        return kCouldNotRun;
    }
    // Found before the first link: otherwise a whole run is captured for nothing.
    if (const QString why = WhyNotWritable(session.dirs.dbDir); !why.isEmpty()) {
        err << QStringLiteral("数据目录无法写入（") << why << QStringLiteral("）：") << Shown(session.dirs.dbDir)
            << Qt::endl;
        return kCouldNotRun;
    }
    if (const QString others = NonRecordFilesText(session.dirs.dbDir); !others.isEmpty())
        err << others << Qt::endl;
    SetCaptureProfileRoot(session.dirs.root);

    ProductGridModel grid;
    grid.AddColumn("ID", 50, Qt::AlignLeft);
    grid.AddColumn(Gbk("商品名称"), 200, Qt::AlignHCenter);
    session.enabledRules = LoadEnabledRules(session.dirs);
    if (session.enabledRules.empty()) {
        err << QStringLiteral("没有启用的采集规则：") << Shown(session.dirs.spiderDir) << Qt::endl;
        return kCouldNotRun;
    }
    for (const EnabledRule &rule : session.enabledRules)
        grid.AddColumn(rule.title, 60, Qt::AlignHCenter);

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
    const std::optional<RecordListEntry> earlier = RecordBeforeRun(records, options.retry);
    const std::unique_ptr<ProductGridModel> earlierGrid =
        earlier ? LoadRecordWithColumnsOf(grid, session.dirs.dbDir / earlier->file) : nullptr;
    CaptureRun run(session, grid);
    run.SetParallelLinks(options.parallel);
    int line = 0;
    int total = 0;
    QObject::connect(&run, &CaptureRun::progress, [&total](int, int all, int) { total = all; });
    QObject::connect(&run, &CaptureRun::linkFinished,
                     [&](const CaptureJob &job, const std::string &text, double seconds) {
                         const PriceChangeMark mark =
                             earlierGrid ? CompareCapturedPrice(text, job.product, job.shop, *earlierGrid)
                                         : PriceChangeMark{};
                         out << CapturedLinkLine(++line, total, job, text, mark, seconds) << Qt::endl;
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
    const RunSummary summary = options.retry ? run.RetryFailed() : run.RunFromImportOrLinkFile();
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

    const Result<SavedRecord> saved = SaveGridAsRecord(grid, session.dirs.dbDir);
    if (!saved) {
        err << QStringLiteral("保存记录失败：无法写入文件 ") << Shown(saved.error().path) << Qt::endl;
        return kCouldNotRun;
    }
    const std::filesystem::path &record = saved->path;
    const bool titlesSaved = saved->titlesSaved;
    // The prices are saved; only a later change of the rules could show them
    // under other shops, so the run's result stands.
    if (!titlesSaved)
        err << QStringLiteral("记录的店铺名称无法写入文件 ") << Shown(RecordColumnsPath(session.dirs.dbDir))
            << Qt::endl;
    out << QStringLiteral("记录已保存：") << Shown(record) << Qt::endl;
    ReportPriceNotices(session.dirs, {&grid, earlier, records, Shown(record), options.notifyCommand}, out, err);
    if (interrupted)
        return kInterrupted;
    return summary.AllPriced() ? kAllPriced : kSomeFailed;
}

} // namespace corvix
