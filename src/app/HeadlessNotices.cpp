#include "app/HeadlessNotices.h"

#include "support/PathText.h"
#include "products/LinkFile.h"
#include "products/NoticeChannels.h"
#include "products/NoticeDelivery.h"
#include "products/PriceAlerts.h"
#include "products/PriceChanges.h"
#include "products/PriceHistoryIndex.h"
#include "products/PriceNotices.h"
#include "products/ProductGridModel.h"

#include <QDateTime>
#include <QProcess>

namespace corvix {
namespace {

// One message to every enabled channel, one line for each.
void SendToChannels(const NoticeRun &run, const std::vector<PriceNotice> &notices, const QByteArray &json,
                    QTextStream &out, QTextStream &err)
{
    const std::filesystem::path folder = run.settingsFolder.empty() ? NoticeSettingsFolder() : run.settingsFolder;
    const Result<std::vector<NoticeChannel>> channels = LoadChannels(folder);
    if (!channels) {
        err << QStringLiteral("提醒方式的设置无法读取：") << PathText(channels.error().path) << QStringLiteral("（")
            << channels.error().reason << QStringLiteral("）") << Qt::endl;
        return;
    }
    out.flush();
    for (const ChannelReport &report : DeliverToEnabled(*channels, RunNoticeMessage(notices, json), {}))
        (report.sent ? out : err) << ReportLine(report) << Qt::endl;
}

} // namespace

std::optional<RecordListEntry> RecordBeforeRun(const std::vector<RecordListEntry> &records, bool retry)
{
    if (records.empty())
        return std::nullopt;
    if (!retry)
        return records.back();
    if (const RecordListEntry *before = RecordBefore(records, records.back().name))
        return *before;
    return std::nullopt;
}

void ReportPriceNotices(const DataDirs &dirs, const NoticeRun &run, QTextStream &out, QTextStream &err)
{
    const std::filesystem::path alertsPath = AlertsFilePath(dirs);
    PriceAlerts alerts = PriceAlerts::Load(alertsPath);
    if (alerts.All().empty())
        return;
    const std::string before = alerts.Text();
    std::unique_ptr<ProductGridModel> previous;
    if (run.earlier)
        previous = LoadRecordWithColumnsOf(*run.grid, dirs.dbDir / run.earlier->file);
    std::unique_ptr<ProductGridModel> judged;
    if (run.retried)
        judged = LoadRecordWithColumnsOf(*run.grid, dirs.dbDir / run.retried->file);
    PriceHistoryIndex history;
    history.AddRecords(dirs.dbDir, run.records);
    const QDateTime now = QDateTime::currentDateTime();
    const LinkFile links = LinkFile::Load(LinkFilePath(dirs)).value_or(LinkFile());
    NoticeSources sources{previous.get(), &history, now};
    sources.links = &links;
    sources.judged = judged.get();
    const std::vector<PriceNotice> notices = FindPriceNotices(*run.grid, sources, alerts);
    if (alerts.Text() != before && !alerts.Save(alertsPath))
        err << QStringLiteral("提醒的状态无法写入文件 ") << PathText(alertsPath)
            << Qt::endl;
    if (notices.empty())
        return;
    for (const PriceNotice &notice : notices)
        out << QStringLiteral("降价提醒：") << NoticeLine(notice) << Qt::endl;
    const QByteArray json = NoticesJson(notices, run.savedRecord, now);
    if (!run.notifyCommand.isEmpty()) {
        out.flush();
        const QString failed = RunNotifyCommand(run.notifyCommand, json, run.commandSeconds);
        if (!failed.isEmpty())
            err << QStringLiteral("提醒命令") << failed << QStringLiteral("：") << run.notifyCommand << Qt::endl;
    }
    SendToChannels(run, notices, json, out, err);
}

QString RunNotifyCommand(const QString &command, const QByteArray &input, int seconds)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    if (!process.waitForStarted())
        return QStringLiteral("无法启动");
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(seconds * 1000)) {
        process.kill();
        process.waitForFinished();
        return QStringLiteral("超过 %1 s 未结束，已终止").arg(seconds);
    }
    if (process.exitStatus() != QProcess::NormalExit)
        return QStringLiteral("异常结束");
    if (process.exitCode() != 0)
        return QStringLiteral("失败（退出码 %1）").arg(process.exitCode());
    return {};
}

} // namespace corvix
